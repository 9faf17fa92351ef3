# The steps of the end-to-end runs: xdotool actions that wait for what they expect. Sourced.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

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

# Answers the first start's question about where to keep the settings with はい (an INI file
# beside the program), then waits for the main window whose title matches the pattern and
# prints its id.
answer_first_start() {
    question=$(wait_window "^ヴェルモラ$")
    [ -n "$question" ] || fail "no first-start question"
    focus "$question"
    press Return
    main=$(wait_window "$1")
    [ -n "$main" ] || fail "no main window"
    echo "$main"
}
