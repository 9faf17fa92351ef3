#!/bin/sh
# Runs every benchmark program of a build and prints one table: case | result | target | ok.
#
#   bench/run_benchmarks.sh [BUILD_DIR]     (default build/; configure it as a Release build)
#
# The programs print their own tables; each is read here into rows of
# name <TAB> result <TAB> target <TAB> ok. A target that is missed shows "NO" but does not fail
# the script (the machine may be shared); a program that fails does.
set -eu

BUILD_DIR=${1:-build}
BENCH="$BUILD_DIR/bench"
ROWS=$(mktemp)
LOG=$(mktemp)
trap 'rm -f "$ROWS" "$LOG"' EXIT
export QT_QPA_PLATFORM=offscreen

# A program whose output gave no rows has changed its format: say so rather than leave it out.
expect_rows() {
    if [ "$(wc -l <"$ROWS")" -le "$ROWS_BEFORE" ]; then
        echo "no results read from $1; its output was:" >&2
        cat "$LOG" >&2
        exit 1
    fi
}

run() {
    ROWS_BEFORE=$(wc -l <"$ROWS")
    echo "running $1 ..." >&2
    if ! "$BENCH/$@" >"$LOG" 2>&1; then
        echo "$1 failed:" >&2
        cat "$LOG" >&2
        exit 1
    fi
}

# bench_document: "what  W s  cpu C s  goal G s [peak P MiB = R x file]" and
# "what  M s  goal G s  slowest of N: S s".
run bench_document
awk -v OFS='\t' '
function name_before(k,   i, s) { s = $1; for (i = 2; i < k; i++) s = s " " $i; return s }
function field_after(word,   i) { for (i = 1; i < NF; i++) if ($i == word) return $(i + 1); return "" }
function first_seconds(   i) { for (i = 1; i < NF; i++) if ($i ~ /^[0-9.]+$/ && $(i + 1) == "s") return i; return 0 }
/ cpu .* goal / {
    k = first_seconds(); name = name_before(k); seconds = $k; goal = field_after("goal")
    print "document " name, sprintf("%.3f s", seconds), "< " goal " s", (seconds < goal ? "yes" : "NO")
    peak = field_after("peak")
    ratio = field_after("=")
    if (peak != "") print "peak memory, document " name, peak " MiB = " ratio " x file", "< 4 x file", (ratio + 0 < 4 ? "yes" : "NO")
    next
}
/ slowest of / {
    k = first_seconds(); name = name_before(k); ms = $k * 1000; goal = field_after("goal") * 1000
    print "core " name, sprintf("%.3f ms (slowest %.3f ms)", ms, $NF == "MISSED" ? $(NF - 2) * 1000 : $(NF - 1) * 1000),
          "< " goal " ms", (ms < goal ? "yes" : "NO")
}' "$LOG" >>"$ROWS"
expect_rows bench_document

# bench_nanxml: a table for reading, then one line per target:
# "target <TAB> case <TAB> result <TAB> target <TAB> yes|NO".
run bench_nanxml
awk -F'\t' -v OFS='\t' '$1 == "target" && NF == 5 { print "nanxml " $2, $3, $4, $5 }' "$LOG" >>"$ROWS"
expect_rows bench_nanxml

# Programs that print name <TAB> value <TAB> unit <TAB> goal (same unit, "-" for none).
tabbed() {
    run "$1"
    awk -F'\t' -v OFS='\t' 'NF == 4 {
        if ($4 == "-") print $1, $2 " " $3, "-", "-"
        else print $1, $2 " " $3, "< " $4 " " $3, ($2 + 0 < $4 + 0 ? "yes" : "NO")
    }' "$LOG" >>"$ROWS"
    expect_rows "$1"
}
# trmtool convert against pugixml: built only where pugixml is installed (make bench does).
if [ -x "$BENCH/bench_reader" ]; then
    tabbed bench_reader
else
    echo "bench_reader left out: $BUILD_DIR was built without pugixml (libpugixml-dev)" >&2
fi
tabbed bench_find

# Google Benchmark programs, read from their CSV output.
google() {
    program=$1
    targets=$2
    run "$program" --benchmark_format=csv
    awk -F, -v OFS='\t' -v targets="$targets" -v prefix="${program#bench_}" '
    BEGIN { n = split(targets, t, ";"); for (i = 1; i <= n; i++) { split(t[i], kv, "="); goal[kv[1]] = kv[2] } }
    $1 == "name" { for (i = 1; i <= NF; i++) column[$i] = i; header = 1; next }
    header && NF > 4 {
        name = $1; gsub(/"/, "", name); sub(/^BM_/, "", name); sub(/\/iterations:.*/, "", name)
        label = ("label" in column) ? $(column["label"]) : ""; gsub(/"/, "", label)
        value = $(column["real_time"]); unit = $(column["time_unit"])
        result = sprintf("%.3f %s", value, unit)
        if (("bytes_per_second" in column) && $(column["bytes_per_second"]) != "")
            result = result sprintf(", %.0f MB/s", $(column["bytes_per_second"]) / 1e6)
        key = name; sub(/\/.*/, "", key)
        name = prefix " " name (label == "" ? "" : " (" label ")")
        if (key in goal) print name, result, "< " goal[key] " " unit, (value + 0 < goal[key] + 0 ? "yes" : "NO")
        else print name, result, "-", "-"
    }' "$LOG" >>"$ROWS"
    expect_rows "$program"
}
google bench_codepage ""
google bench_utf8 ""

# The window's programs exist only in a build with the UI (VELMORA_BUILD_UI).
if [ -x "$BENCH/bench_typing" ] && [ -x "$BENCH/bench_window" ] && [ -x "$BENCH/bench_undo" ]; then
    google bench_typing "TypeCharacterIn10MBNode=16;ShowNodeOfOneMBLine=1000;TypeCharacterInOneMBLine=16;TypeWhileRecoveryCopyIsWritten=16;TypeWhileSearchRuns=16;FirstPageAfterLastKey=50"

    tabbed bench_window
    tabbed bench_undo
else
    echo "bench_typing, bench_window and bench_undo left out: $BUILD_DIR was built without the UI" >&2
fi

awk -F'\t' '
{ for (i = 1; i <= 4; i++) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } }
$4 == "yes" { met++ } $4 == "NO" { missed++ }
END {
    split("case result target ok", head, " ")
    for (i = 1; i <= 4; i++) if (length(head[i]) > width[i]) width[i] = length(head[i])
    line = "|"; rule = "|"
    for (i = 1; i <= 4; i++) {
        line = line sprintf(" %-" width[i] "s |", head[i])
        for (j = 0; j < width[i] + 2; j++) rule = rule "-"
        rule = rule "|"
    }
    print line; print rule
    for (r = 1; r <= NR; r++) {
        line = "|"
        for (i = 1; i <= 4; i++) line = line sprintf(" %-" width[i] "s |", cell[r, i])
        print line
    }
    printf "\n%d targets met, %d missed\n", met, missed
}' "$ROWS"
