#!/usr/bin/env bash
# End-to-end test of the launcher Puzzle, one case per run:
#   launcher_e2e.sh CASE PUZZLE-PROGRAM SEND-CLOSE-REQUEST-PROGRAM
# Puzzle runs from a temporary copy of the program folder, beside a stand-in Game that records
# its working folder and arguments; the dialog is driven with xdotool's keyboard and mouse input.
# Each run has a virtual display of its own, so that no other test's windows take the keyboard.
set -euo pipefail

if [ -z "${LAUNCHER_E2E_OWN_DISPLAY:-}" ]; then
    export LAUNCHER_E2E_OWN_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi

# GTK keeps the file chooser's settings in memory, not in the user's settings store, and does
# not look for an accessibility bus.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

case_name=$1
puzzle=$2
close_request=$3

source "$(dirname "$0")/wait.sh"
t_tmp tmp launcher_e2e
prog=$tmp/prog
work=$tmp/work
mkdir -p "$prog" "$work"
cp "$puzzle" "$prog/Puzzle"
cat >"$prog/Game" <<'GAME'
#!/bin/sh
here=$(dirname "$0")
{ echo "$#"; pwd; for a in "$@"; do printf '%s\n' "$a"; done; printf '%s\n' "$PUZZLE_WIN32_COMMAND_LINE"; } >"$here/game-args.tmp"
mv "$here/game-args.tmp" "$here/game-args"
GAME
chmod +x "$prog/Game"

pid=""
main=""
t_on_exit 't_stop "$pid"'

# With LAUNCHER_E2E_SNAPS set to a folder, saves the screen there (for looking into a failure).
snap() {
    if [ -n "${LAUNCHER_E2E_SNAPS:-}" ]; then
        import -window root "$LAUNCHER_E2E_SNAPS/$case_name-$1.png"
    fi
}

t_on_fail() {
    snap failure
    if [ -f "$tmp/stderr" ]; then
        echo "--- launcher stderr:"
        cat "$tmp/stderr"
    fi
}
fail() { t_fail "($case_name) $*"; }

# Prints the id of a visible window whose name matches, other than the window given in $2.
# A loaded machine may take long to start a sanitized GTK program: up to a minute.
_window_named() {
    local w
    for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null || true); do
        [ "$w" != "$2" ] && echo "$w" && return 0
    done
    echo "no visible window named $1 (other than ${2:-none})"
    return 1
}
wait_window() { t_until 60 "a window named $1" _window_named "$1" "${2:-}"; }

wait_window_gone() { t_until 30 "window $2 to close" sh -c '! xdotool search --onlyvisible --name "$2" 2>/dev/null | grep -qx "$1"' sh "$1" "$2"; }

start_launcher() {
    rm -f "$prog/game-args"
    (cd "$work" && exec "$prog/Puzzle" 2>"$tmp/stderr") &
    pid=$!
    main=$(wait_window '^Tarvenkol Puzzle$') || fail "the dialog does not open"
    xdotool windowfocus --sync "$main"
    sleep 0.3
}

# Waits for the launcher to end; fails unless its exit code is $1.
expect_exit() {
    local code
    t_until 30 "the launcher to end" t_gone "$pid"
    set +e
    wait "$pid"
    code=$?
    set -e
    pid=""
    [ "$code" = "$1" ] || fail "exit code $code, expected $1"
}

expect_running() {
    sleep 0.3
    kill -0 "$pid" 2>/dev/null || fail "the launcher ended"
}

# A modal message window with the title $1 is open; answers it with the keys that follow.
answer_message() {
    local title=$1 box
    shift
    box=$(wait_window "^$title\$" "$main") || fail "no message window \"$title\""
    xdotool windowfocus --sync "$box"
    sleep 0.2
    xdotool key --clearmodifiers "$@"
    wait_window_gone "$box" "^$title\$"
    xdotool windowfocus --sync "$main"
    sleep 0.2
}

warning() {
    answer_message "Tarvenkol Puzzle" Return
}

# Fails unless Game was started, from the launcher's folder, with exactly the one argument $1
# and with its command line, that argument in quotes, in the layer's variable.
expect_game() {
    t_until 30 "Game to be started" test -f "$prog/game-args"
    local expected
    expected=$(printf '1\n%s\n%s\nGame.exe "%s"' "$work" "$1" "$1")
    [ "$(cat "$prog/game-args")" = "$expected" ] ||
        fail "Game started with: $(cat "$prog/game-args"), expected: $expected"
}

expect_no_game() {
    sleep 0.5
    [ ! -f "$prog/game-args" ] || fail "Game was started: $(cat "$prog/game-args")"
}

# Clicks at a point of the dialog; x and y count from its left/top, or from its right/bottom
# when negative.
click() {
    local x=$1 y=$2
    eval "$(xdotool getwindowgeometry --shell "$main")"
    [ "$x" -lt 0 ] && x=$((WIDTH + x))
    [ "$y" -lt 0 ] && y=$((HEIGHT + y))
    # Let the dialog lay out what the last input changed (a re-read list) before clicking.
    sleep "${settle:-0.3}"
    xdotool mousemove --window "$main" "$x" "$y" click 1
    sleep 0.2
}

click_ok() { click -151 -28; }
click_cancel() { click -56 -28; }
click_first_saved_game() { settle=1 click 80 160; }
type_text() {
    xdotool type --delay 30 "$1"
    sleep 0.2
}
press() {
    xdotool key --clearmodifiers "$@"
    sleep 0.2
}


case "$case_name" in
new_game)
    mkdir -p "$work/moje obrazki"
    echo picture >"$work/moje obrazki/kot 1.jpg"
    start_launcher
    press Tab
    type_text "moje obrazki/kot 1.jpg"
    press Tab Tab
    type_text " 25"
    click_ok
    expect_exit 0
    expect_game "--new:moje obrazki/kot 1.jpg? 25"
    ;;

warnings)
    echo picture >"$work/kot.jpg"
    mkdir "$work/obrazki"
    start_launcher
    press Return
    warning # "Wpisz lub wybierz obrazek !": the focus goes to the picture field
    type_text "obrazki"
    press Return
    warning # a folder: "Podany obrazek nie istnieje !", picture field again
    press BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
    type_text "kot.jpg"
    click_ok
    warning # "Wpisz liczbę elementów !": the count field
    type_text "3"
    press Return
    warning # "Wpisz jakąś sensowną liczbę elementów !"
    press BackSpace
    type_text "2147483648"
    press Return
    warning # beyond 32 bits: also out of range
    press ctrl+a BackSpace
    type_text "0"
    press Return
    warning # "Wpisz poprawną liczbę elementów !"
    expect_running
    press BackSpace
    type_text "4"
    # A Game that cannot be started, missing or not executable: a warning, the dialog stays.
    mv "$prog/Game" "$prog/Game.real"
    press Return
    warning # "Nie można uruchomić gry !"
    expect_running
    cp "$prog/Game.real" "$prog/Game"
    chmod -x "$prog/Game"
    press Return
    warning
    expect_running
    chmod +x "$prog/Game"
    press Return
    expect_exit 0
    expect_game "--new:kot.jpg?4"
    ;;

open_saved)
    touch "$work/b.pzz" "$work/a.b.pzz"
    start_launcher
    press alt+o Return
    warning # nothing selected: the focus goes to the list
    press Home
    press Return
    expect_exit 0
    expect_game "--open:a.b.pzz"
    ;;

refresh_delete)
    touch "$work/b.pzz"
    start_launcher
    press alt+u
    warning # nothing selected to delete
    expect_running
    touch "$work/a.b.pzz"
    press alt+d
    click_first_saved_game
    press alt+u
    answer_message "Usu.*" alt+n
    [ -f "$work/a.b.pzz" ] || fail "No deleted the saved game"
    press alt+u
    answer_message "Usu.*" Return
    t_until 10 "Yes to delete the saved game" test ! -f "$work/a.b.pzz"
    [ -f "$work/b.pzz" ] || fail "the other saved game is gone"
    # The re-read list starts with b now.
    click 22 130
    click_first_saved_game
    click_ok
    expect_exit 0
    expect_game "--open:b.pzz"
    ;;

browse)
    echo picture >"$work/kot.jpg"
    mkdir "$work/obrazki"
    echo picture >"$work/obrazki/pies 2.png"
    start_launcher
    press Tab
    type_text "kot.jpg"
    press alt+p
    answer_message "Przegl.*" Escape # cancelled: the field keeps its text
    press Tab Tab
    type_text "25"
    press Return
    expect_exit 0
    expect_game "--new:kot.jpg?25"

    start_launcher
    press alt+p
    chooser=$(wait_window "^Przegl.*" "$main") || fail "no file chooser"
    xdotool windowfocus --sync "$chooser"
    sleep 0.5
    type_text "$work/obrazki/pies 2.png"
    sleep 0.5
    press Return
    wait_window_gone "$chooser" "^Przegl.*"
    xdotool windowfocus --sync "$main"
    sleep 0.2
    press Tab Tab Tab
    type_text "30"
    press Return
    expect_exit 0
    expect_game "--new:$work/obrazki/pies 2.png?30"
    ;;

cancel)
    start_launcher
    click_cancel
    expect_exit 0
    start_launcher
    press Tab
    type_text "kot.jpg"
    press Escape
    expect_exit 0
    start_launcher
    "$close_request" "$main"
    expect_exit 0
    expect_no_game
    set +e
    (cd "$work" && DISPLAY= "$prog/Puzzle" 2>/dev/null)
    code=$?
    set -e
    [ "$code" = 1 ] || fail "without a display the exit code is $code, expected 1"
    ;;

*)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
