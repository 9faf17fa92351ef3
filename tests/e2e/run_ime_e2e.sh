#!/bin/sh
# Japanese typed through a real input method, as on a Japanese desktop: ibus with mozc under
# Xvfb and a session bus of its own. In the editor "nihongo" is typed, converted with Space
# and committed with Enter; a new node is named the same way, where the Enter that commits
# the conversion must not end the rename; the document is saved and compared byte for byte.
# mozc refuses to run as root: as root the run goes on as the unprivileged user nobody, with
# a home of its own in a temporary folder. Exits 77 (a skip for CTest) with the reason when
# the input method is not installed.
# Usage: run_ime_e2e.sh VELMORA_BINARY
set -eu

. "$(dirname "$0")/e2e_steps.sh"

skip() {
    echo "SKIP: $*"
    exit 77
}

stage=${2:-start}

# ---------------------------------------------------------------- as root: hand over
if [ "$stage" = start ]; then
    for tool in Xvfb xdotool dbus-run-session ibus-daemon ibus; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (packages xvfb, xdotool, dbus-daemon, ibus)"
    done
    [ -x /usr/lib/ibus-mozc/ibus-engine-mozc ] || skip "ibus-mozc is not installed"
    work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-ime-XXXXXX")
    here=$(cd "$(dirname "$0")" && pwd)
    mkdir -p "$work/bin"
    cp "$1" "$work/bin/velmora"
    cp "$0" "$work/run_ime_e2e.sh"
    cp "$here/e2e_steps.sh" "$work/e2e_steps.sh"
    cp "$here/lsan.supp" "$work/lsan.supp"
    status=0
    if [ "$(id -u)" -eq 0 ]; then
        command -v setpriv >/dev/null 2>&1 || skip "setpriv is not installed (package util-linux)"
        chown -R 65534:65534 "$work"
        # In a process namespace of its own, so that the conversion server mozc starts in the
        # background ends with the run (mozc checks its server through /proc: a /proc of the
        # namespace's own).
        unshare --pid --fork --kill-child --mount-proc setpriv --reuid=65534 --regid=65534 --clear-groups \
            sh "$work/run_ime_e2e.sh" "$work/bin/velmora" user "$work" || status=$?
    elif unshare --user --map-user="$(id -u)" --map-group="$(id -g)" --pid --fork --mount-proc true 2>/dev/null; then
        unshare --user --map-user="$(id -u)" --map-group="$(id -g)" --pid --fork --kill-child --mount-proc \
            sh "$work/run_ime_e2e.sh" "$work/bin/velmora" user "$work" || status=$?
    else
        # Without namespaces mozc's server outlives the run (it ends with the user's session).
        sh "$work/run_ime_e2e.sh" "$work/bin/velmora" user "$work" || status=$?
    fi
    [ -n "${KEEP_E2E:-}" ] && echo "kept $work" || rm -rf "$work"
    exit "$status"
fi

work=$3
cd "$work"

# ---------------------------------------------------------------- as the user: X and a bus
if [ "$stage" = user ]; then
    mkdir -p "$work/home/.config/mozc" "$work/run"
    chmod 700 "$work/home" "$work/run"
    export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
        XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"
    export LANG=C.UTF-8 QT_QPA_PLATFORM=xcb QT_IM_MODULE=ibus GSETTINGS_BACKEND=memory
    export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
    unset XMODIFIERS GTK_IM_MODULE QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION \
        DBUS_SESSION_BUS_ADDRESS IBUS_ADDRESS || true
    # mozc starts in Hiragana input, not direct input.
    cat >"$XDG_CONFIG_HOME/mozc/ibus_config.textproto" <<'CONFIG'
engines {
  name : "mozc-jp"
  longname : "Mozc"
  layout : "default"
  layout_variant : ""
  layout_option : ""
  rank : 80
}
active_on_launch: True
CONFIG
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { kill "$xvfb_pid"; fail "Xvfb did not start"; }
    export DISPLAY=":$(cat "$work/display")"
    status=0
    dbus-run-session -- sh "$0" "$1" session "$work" || status=$?
    # Waited for: it removes its socket and lock file as it ends.
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    exit "$status"
fi

# ---------------------------------------------------------------- in the session: the run
app_pid=
ibus_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$ibus_pid" ] && kill "$ibus_pid" 2>/dev/null || true
}
trap cleanup EXIT

ibus-daemon --panel=disable --emoji-extension=disable --config=disable --cache=none >"$work/ibus.log" 2>&1 &
ibus_pid=$!

# Waits until the command succeeds, up to 30 s.
wait_for() {
    for _ in $(seq 300); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
engine_is_mozc() { [ "$(ibus engine 2>/dev/null)" = mozc-jp ]; }
wait_for ibus list-engine || fail "ibus-daemon did not start: $(cat "$work/ibus.log")"

# Types the word in romaji, converts it with Space and commits it with Enter.
type_japanese() {
    xdotool type --delay 60 "$1"
    sleep 0.3
    press space
    press Return
}

# An empty file opens as a new document under its name, so the save needs no file dialog
# (whose name field would take the input method's text too).
: >"$work/ime.trm"
("$work/bin/velmora" "$work/ime.trm") >>"$work/velmora.log" 2>&1 &
app_pid=$!
main=$(answer_first_start " - ヴェルモラ ") || exit 1
wait_title "$main" "ime.trm - ヴェルモラ (SJIS)"
focus "$main"

press Tab  # from the tree to the editor
# The engine is chosen for the input context that has the focus. The first choice may time
# out while the engine starts, and still take effect.
ibus engine mozc-jp >"$work/engine.log" 2>&1 || true
wait_for engine_is_mozc || fail "ibus did not switch to mozc: $(cat "$work/engine.log")"
xdotool type --delay 60 nihongo
sleep 0.3
# Only the conversion's text so far, which is no edit.
title=$(xdotool getwindowname "$main")
[ "$title" = "ime.trm - ヴェルモラ (SJIS)" ] || fail "typing before the commit changed the title to '$title'"
press space
press Return
wait_title "$main" "ime.trm - ヴェルモラ (SJIS) *"
press ctrl+l  # a child, its name being edited
press ctrl+a
type_japanese nihongo
press Return  # ends the rename: the Enter above only committed the conversion
press ctrl+s
wait_title "$main" "ime.trm - ヴェルモラ (SJIS)"
press alt+f
press x  # 終了
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "velmora did not quit"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || fail "velmora exited with $status: $(tail -20 "$work/velmora.log")"

# ---------------------------------------------------------------- the file
nihongo=$(printf '\223\372\226\173\214\352')
root=$(printf '\203\213\201\133\203\147')
cr=$(printf '\r')
printf '%s' "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><velmora><file version=\"2\" modified=\"STAMP\"/><node name=\"$root\" expanded=\"yes\" selstart=\"6\" sellength=\"0\"><text>$nihongo$cr
</text><node name=\"$nihongo\" expanded=\"no\" selstart=\"0\" sellength=\"0\" selected=\"yes\"><text/></node></node></velmora>$cr
" >"$work/expected.trm"
sed 's/modified="[0-9/: ]\{19\}"/modified="STAMP"/' "$work/ime.trm" | cmp - "$work/expected.trm" ||
    fail "the saved file differs: $(od -c "$work/ime.trm" | head -20)"
echo "ime e2e: passed"
