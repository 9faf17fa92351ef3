#!/bin/sh
# A new user's first two sessions with the real program under Xvfb, driven by xdotool:
# first start (settings in an INI file), text typed into two nodes, save, quit; a second
# start that must come back with the same document, caret and window place; UTF-8 chosen
# and saved. The saved files are compared byte for byte with what they must hold.
# Usage: run_e2e.sh VELMORA_BINARY
set -eu

binary=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
xvfb_pid=
app_pid=

cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${KEEP_E2E:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The program in a folder of its own, so that its INI file is made there; the per-user
# store and the home folder in the same temporary folder.
mkdir -p "$work/bin" "$work/config" "$work/home"
cp "$binary" "$work/bin/velmora"
export XDG_CONFIG_HOME="$work/config" HOME="$work/home" XDG_RUNTIME_DIR="$work/home"
chmod 700 "$work/home"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
# A sanitizer build of the program: leaks of system libraries are not its own.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION || true

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# Waits until a window whose title matches the pattern (a regular expression) is mapped;
# prints its id.
wait_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}

# Waits until the window's title is exactly the text.
wait_title() {
    for _ in $(seq 200); do
        [ "$(xdotool getwindowname "$1" 2>/dev/null)" = "$2" ] && return 0
        sleep 0.1
    done
    fail "title of $1 is '$(xdotool getwindowname "$1" 2>/dev/null)', not '$2'"
}

press() {
    xdotool key --clearmodifiers "$@"
    sleep 0.3
}

type_text() {
    xdotool type --delay 30 "$1"
    sleep 0.3
}

focus() {
    xdotool windowfocus --sync "$1"
    sleep 0.3
}

start_program() {
    (cd "$work" && exec "$work/bin/velmora" "$@") >>"$work/velmora.log" 2>&1 &
    app_pid=$!
}

wait_exit() {
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" || fail "velmora exited with $?"; app_pid=; return 0; }
        sleep 0.1
    done
    fail "velmora did not quit"
}

# Replaces the time stamp of a saved document, which changes with every save.
without_stamp() {
    sed 's/modified="[0-9/: ]\{19\}"/modified="STAMP"/' "$1"
}

# ---------------------------------------------------------------- first session
start_program
question=$(wait_window "^ヴェルモラ$")
[ -n "$question" ] || fail "no first-start question"
focus "$question"
press Return  # はい: settings in an INI file beside the program
main=$(wait_window " - ヴェルモラ ")
[ -n "$main" ] || fail "no main window"
wait_title "$main" "（ファイル名未設定） - ヴェルモラ (SJIS)"
[ -f "$work/bin/velmora.ini" ] || fail "the INI file was not made beside the program"
focus "$main"
xdotool windowmove --sync "$main" 200 160
sleep 0.5

press Tab  # from the tree to the editor
type_text "root text"
wait_title "$main" "（ファイル名未設定） - ヴェルモラ (SJIS) *"
press ctrl+l  # a child, its name being edited
type_text "child"
press Return
press Tab
type_text "child text"
press ctrl+s
dialog=$(wait_window "名前を付けて保存|Save")
[ -n "$dialog" ] || dialog=$(xdotool getactivewindow)
focus "$dialog"
press ctrl+a
type_text "$work/memo"
press Return
wait_title "$main" "memo.trm - ヴェルモラ (SJIS)"
cp "$work/memo.trm" "$work/first.trm"
focus "$main"
press alt+f
press x
wait_exit

grep -q "^EditingFileName=$work/memo.trm" "$work/bin/velmora.ini" || fail "the edited file was not remembered"

# ---------------------------------------------------------------- second session
start_program
main=$(wait_window "memo.trm - ヴェルモラ")
[ -n "$main" ] || fail "the remembered document was not opened"
wait_title "$main" "memo.trm - ヴェルモラ (SJIS)"
geometry=$(xdotool getwindowgeometry "$main" | sed -n 's/ *Position: \([0-9]*,[0-9]*\).*/\1/p')
[ "$geometry" = "200,160" ] || fail "window at $geometry, not 200,160"
focus "$main"
press Tab
type_text "X"  # at the caret left at the end of the child's text
wait_title "$main" "memo.trm - ヴェルモラ (SJIS) *"
press alt+f
press e
press u  # UTF-8
wait_title "$main" "memo.trm - ヴェルモラ (UTF8) *"
press ctrl+s
wait_title "$main" "memo.trm - ヴェルモラ (UTF8)"
press alt+f
press x
wait_exit

# ---------------------------------------------------------------- the files
root_sjis=$(printf '\203\213\201\133\203\147')
cr=$(printf '\r')
printf '%s' "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><velmora><file version=\"2\" modified=\"STAMP\"/><node name=\"$root_sjis\" expanded=\"yes\" selstart=\"9\" sellength=\"0\"><text>root text$cr
</text><node name=\"child\" expanded=\"no\" selstart=\"10\" sellength=\"0\" selected=\"yes\"><text>child text$cr
</text></node></node></velmora>$cr
" >"$work/expected-first.trm"
printf '%s' "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><file version=\"2\" modified=\"STAMP\"/><node name=\"ルート\" expanded=\"yes\" selstart=\"9\" sellength=\"0\"><text>root text$cr
</text><node name=\"child\" expanded=\"no\" selstart=\"11\" sellength=\"0\" selected=\"yes\"><text>child textX$cr
</text></node></node></velmora>" >"$work/expected-second.trm"

without_stamp "$work/first.trm" | cmp - "$work/expected-first.trm" || fail "first save differs: $(od -c "$work/first.trm" | head -20)"
without_stamp "$work/memo.trm" | cmp - "$work/expected-second.trm" || fail "second save differs: $(od -c "$work/memo.trm" | head -20)"
echo "e2e: passed"
