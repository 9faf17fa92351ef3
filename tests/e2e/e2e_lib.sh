# The set-up and helpers of the end-to-end runs: a temporary home, the program copied into a
# folder of its own, an Xvfb display, and xdotool steps that wait for what they expect.
# Sourced by a run with the program's path in $binary; sets $work and $DISPLAY.

. "$(dirname "$0")/e2e_steps.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e-XXXXXX")
xvfb_pid=
app_pid=

cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${KEEP_E2E:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

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

