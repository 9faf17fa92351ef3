#!/bin/sh
# Unsaved work survives the program's end under Xvfb, driven by xdotool: typed into two
# nodes of a saved document, killed with SIGKILL, restored on the next start and saved (the
# bytes compared); a never-saved document ended with SIGTERM, its copy discarded on the next
# start; a second window offers nothing of a first one that still runs.
# Usage: run_e2e_recovery.sh VELMORA_BINARY
set -eu

binary=$1
. "$(dirname "$0")/e2e_lib.sh"

export XDG_STATE_HOME="$work/state"
copies="$work/state/velmora/recovery"
cr=$(printf '\r')

# Waits until a recovery copy holds the text and its record is written (the record follows
# the document).
wait_copy_with() {
    for _ in $(seq 300); do
        for copy in "$copies"/*.trm; do
            [ -f "$copy" ] && grep -q "$1" "$copy" && [ -f "${copy%.trm}.info" ] && return 0
        done
        sleep 0.1
    done
    fail "no recovery copy holds '$1'"
}

copy_count() {
    ls "$copies"/*.info 2>/dev/null | wc -l
}

# Ends the program from outside and waits until it is gone.
end_with() {
    kill "-$1" "$app_pid"
    wait "$app_pid" || true
    app_pid=
}

printf '%s' "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><file version=\"2\" modified=\"2026/01/01 00:00:00\"/><node name=\"ルート\" expanded=\"yes\" selstart=\"0\" sellength=\"0\" selected=\"yes\"><text/><node name=\"子\" expanded=\"no\" selstart=\"0\" sellength=\"0\"><text/></node></node></velmora>" >"$work/saved.trm"
cp "$work/saved.trm" "$work/original.trm"

# ---------------------------------------------------------------- typed, then killed
start_program "$work/saved.trm"
main=$(answer_first_start "saved.trm - ヴェルモラ ") || exit 1
focus "$main"
press Tab
type_text "one"
press ctrl+Down
type_text "two"
wait_title "$main" "saved.trm - ヴェルモラ (UTF8) *"
wait_copy_with "two"
[ "$(copy_count)" -eq 1 ] || fail "$(copy_count) copies, not 1"
[ "$(stat -c %a "$copies")" = 700 ] || fail "the copies' folder is not private"
end_with KILL
cmp "$work/saved.trm" "$work/original.trm" || fail "the user's file was written without a save"

# ---------------------------------------------------------------- restored and saved
start_program "$work/saved.trm"
offer=$(wait_window "^確認$")
[ -n "$offer" ] || fail "no offer to restore"
focus "$offer"
press Return  # はい: restore
main=$(wait_window "saved.trm - ヴェルモラ ")
wait_title "$main" "saved.trm - ヴェルモラ (UTF8) *"
focus "$main"
press ctrl+s
wait_title "$main" "saved.trm - ヴェルモラ (UTF8)"
printf '%s' "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><file version=\"2\" modified=\"STAMP\"/><node name=\"ルート\" expanded=\"yes\" selstart=\"3\" sellength=\"0\"><text>one$cr
</text><node name=\"子\" expanded=\"no\" selstart=\"3\" sellength=\"0\" selected=\"yes\"><text>two$cr
</text></node></node></velmora>" >"$work/expected.trm"
without_stamp "$work/saved.trm" | cmp - "$work/expected.trm" || fail "restored save differs: $(od -c "$work/saved.trm" | head -20)"
[ "$(copy_count)" -eq 0 ] || fail "the copy outlived the save"
press alt+f
press x
wait_exit

# ---------------------------------------------------------------- never saved, SIGTERM
start_program
main=$(wait_window " - ヴェルモラ ")
focus "$main"
wait_title "$main" "saved.trm - ヴェルモラ (UTF8)"
press alt+f
press n  # 新規
wait_title "$main" "（ファイル名未設定） - ヴェルモラ (SJIS)"
press Tab
type_text "unsaved"
wait_title "$main" "（ファイル名未設定） - ヴェルモラ (SJIS) *"
end_with TERM  # at once, before the quiet time has passed
wait_copy_with "unsaved"
grep -q "^path=$" "$copies"/*.info || fail "the copy does not say the document was never saved"

start_program
offer=$(wait_window "^確認$")
[ -n "$offer" ] || fail "no offer for the never-saved document"
focus "$offer"
press alt+n  # いいえ: discard
main=$(wait_window " - ヴェルモラ ")
[ "$(copy_count)" -eq 0 ] || fail "the discarded copy is still there"

# ---------------------------------------------------------------- a second window
focus "$main"
press Tab
type_text "first window"
wait_copy_with "first window"
first=$app_pid
start_program
second=$app_pid
for _ in $(seq 100); do
    [ "$(xdotool search --onlyvisible --name " - ヴェルモラ " | wc -l)" -ge 2 ] && break
    sleep 0.1
done
[ "$(xdotool search --onlyvisible --name " - ヴェルモラ " | wc -l)" -ge 2 ] || fail "no second window"
sleep 1
[ -z "$(xdotool search --onlyvisible --name "^確認$" || true)" ] || fail "the second window offered the first one's copy"
kill -KILL "$first" "$second"
app_pid=
echo "e2e recovery: passed"
