#!/usr/bin/env bash
# End-to-end checks of the game program's start-up and screens. Each case copies the build's
# bin/ folder to a scratch folder of its own, runs Game from there and reads what it leaves:
# exit code, Errors.log, the stand-in launcher's note, frames dumped by the device.
#   framework_e2e.sh BIN_DIR CASE
# shellcheck disable=SC2012,SC2016 # frame names are ours; wait conditions are evaluated later
set -euo pipefail

bin="$1"
case_name="$2"

source "$(dirname "$0")/wait.sh"
t_tmp work framework_e2e
game_pid=""
t_on_exit 't_stop "$game_pid"'

t_on_fail() {
    if [ -f "$work/game/Errors.log" ]; then
        echo "--- Errors.log"
        iconv -f CP1250 -t UTF-8 "$work/game/Errors.log" || cat "$work/game/Errors.log"
    fi
}
fail() { t_fail "$@"; }

cp -r "$bin" "$work/game"
game="$work/game/Game"
log="$work/game/Errors.log"

# The launcher beside the game is a stand-in that notes its start and its arguments.
cat >"$work/game/Puzzle" <<'EOF'
#!/bin/sh
echo "started:$*" >>"$(dirname "$0")/launcher-started"
EOF
chmod +x "$work/game/Puzzle"

# A picture for the game screen.
cp "$work/game/Gfx/Desktop.jpg" "$work/game/picture.jpg"
picture="picture.jpg"

# Mesa's drivers are unloaded before the leak check runs, so their allocations cannot be
# matched by the suppressions; runs that open a window check leaks in the unit tests instead.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
export LIBGL_ALWAYS_SOFTWARE=1

# Runs Game from a folder with the arguments given, bounded in time; sets status.
run_game_in() {
    local dir="$1"
    shift
    status=0
    (cd "$dir" && exec timeout 60 "$game" "$@") || status=$?
}

expect_launcher_only() {
    [ "$status" -eq 0 ] || fail "exit code $status for: $*"
    # The game does not wait for the launcher it starts.
    t_until 10 "the launcher to be started for: $*" test -f "$work/game/launcher-started"
    [ "$(cat "$work/game/launcher-started")" = "started:" ] || fail "launcher started twice or with arguments"
    [ ! -e "$log" ] || fail "a log entry for: $*"
    rm -f "$work/game/launcher-started"
}


pixel() { # frame x y -> "r,g,b"
    identify -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" \
        "$work/frames/$1"
}

_pixel_is() { # x, y, shell test on $corner
    local frame corner
    t_gone "$game_pid" >/dev/null && { echo "Game ended"; return 3; }
    frame=$(t_newest_frame "$work/frames") || { echo "$frame"; return 1; }
    corner="$(pixel "$frame" "$1" "$2")"
    eval "$3" && echo "$frame" && return 0
    echo "$frame: $corner at $1, $2"
    return 1
}
# Waits until the newest whole frame's pixel (x, y) satisfies the test; prints the frame.
wait_for_pixel() { # description, x, y, shell test on $corner
    t_step "wait for $1"
    t_until 60 "$1" _pixel_is "$2" "$3" "$4"
}

press_key() {
    local window
    window=$(t_run xdotool search --name '^Tarvenkol Puzzle$' | head -1)
    t_run xdotool windowfocus --sync "$window"
    t_run xdotool key --clearmodifiers space
}

case "$case_name" in
launcher)
    # Without a start option Game starts the launcher from its own folder and ends, whatever
    # the current directory, and needs no display for it.
    for dir in / "$work" "$(mktemp -d "$work/elsewhere.XXXX")"; do
        run_game_in "$dir"
        expect_launcher_only "(none) from $dir"
    done
    status=0
    (cd / && exec env -u DISPLAY timeout 60 "$game") || status=$?
    expect_launcher_only "(none) without a display"
    ;;

bad-command-lines)
    # A start option that does not parse is no start request: the launcher takes over.
    for arguments in "--new:$picture?1" "--new:$picture" "--new:$picture?" "--new:?100" "--open:" \
        "--NEW:$picture?100" "-N:$picture?100" "--new:$picture?x100" "--new:$picture?4294967298" \
        "--open:a.pzz --open:b.pzz" "-w -f"; do
        # shellcheck disable=SC2086 # the two-option cases are meant to split
        run_game_in / $arguments
        expect_launcher_only "$arguments"
    done
    ;;

no-display)
    # No display at all: the start-up failure is logged and the program ends with code 0.
    status=0
    (cd / && env -u DISPLAY -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY timeout 30 "$game" "--new:$picture?100") ||
        status=$?
    [ "$status" -eq 0 ] || fail "exit code $status without a display"
    [ -s "$log" ] || fail "no log entry without a display"
    grep -aq "^  Plik       : App.cpp" "$log" || fail "the entry does not name App.cpp"
    [ ! -e "$work/game/launcher-started" ] || fail "the launcher was started"
    ;;

missing-image)
    # A missing shared image ends the start with its own entry and exit code 0.
    rm "$work/game/Gfx/Logo.jpg"
    run_game_in / --window "--new:$picture?100"
    [ "$status" -eq 0 ] || fail "exit code $status"
    grep -aq 'Gfx\\Logo.jpg' "$log" || fail "the entry does not name Gfx\\Logo.jpg"
    grep -aq "^  Plik       : Gfx.cpp" "$log" || fail "the entry does not name Gfx.cpp"
    grep -aq "^  Wiersz     : 60" "$log" || fail "the entry does not give line 60"
    grep -aq "^  Numer      : 1" "$log" || fail "the entry is not number 1"
    ;;

screens)
    # Intro on black -> a key -> the logo on white -> a key -> the game screen. The bottom-left
    # corner is free of the intro's text, white on the logo screen; the top-left corner shows
    # the desk on the game screen.
    mkdir "$work/frames"
    t_own_display
    cd /
    D3D9_DUMP_PATH="$work/frames/f%06d.png" D3D9_DUMP_FRAMES=all \
        "$game" --window "--new:$picture?100" &
    game_pid=$!

    wait_for_pixel "the intro" 10 590 '[ "$corner" = "0,0,0" ] && [ "$(ls "$work/frames" | wc -l)" -ge 6 ]' >/dev/null
    window="$(xdotool search --name '^Tarvenkol Puzzle$' | head -1)"
    xdotool getwindowgeometry "$window" | grep -q "Geometry: 800x600" || fail "the client area is not 800 x 600"
    press_key
    logo="$(wait_for_pixel "the logo on white" 10 590 '[ "$corner" = "255,255,255" ]')"
    [ "$(pixel "$logo" 400 300)" != "255,255,255" ] || fail "no logo in the middle of the white frame"
    [ "$(pixel "$logo" 10 10)" = "255,255,255" ] || fail "the logo frame is not white at the top"
    # The very first frame that is not the intro's already shows the logo screen.
    for frame in $(ls "$work/frames" | sort); do
        corner="$(pixel "$frame" 10 590)"
        [ "$corner" = "0,0,0" ] && continue
        [ "$corner" = "255,255,255" ] || fail "frame $frame after the intro is not the logo screen ($corner)"
        break
    done
    [ ! -e "$work/game/Errors.log" ] || fail "an error was logged"
    press_key
    wait_for_pixel "the game screen" 10 10 '[ "$corner" != "255,255,255" ] && [ "$corner" != "0,0,0" ]' >/dev/null
    kill -TERM "$game_pid"
    status=0
    wait "$game_pid" || status=$?
    game_pid=""
    [ "$status" -eq 0 ] || fail "exit code $status after the window was asked to close"
    [ ! -e "$work/game/launcher-started" ] || fail "the launcher was started"
    [ ! -e "$work/game/Errors.log" ] || fail "an error was logged"
    ;;

*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS: $case_name"
