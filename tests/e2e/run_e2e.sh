#!/bin/sh
# A new user's first two sessions with the real program under Xvfb, driven by xdotool:
# first start (settings in an INI file), text typed into two nodes, save, quit; a second
# start that must come back with the same document, caret and window place; UTF-8 chosen
# and saved. The saved files are compared byte for byte with what they must hold.
# Usage: run_e2e.sh VELMORA_BINARY
set -eu

binary=$1
. "$(dirname "$0")/e2e_lib.sh"

# ---------------------------------------------------------------- first session
start_program
main=$(answer_first_start " - ヴェルモラ ") || exit 1
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
