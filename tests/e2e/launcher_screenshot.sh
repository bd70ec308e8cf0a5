#!/usr/bin/env bash
# Makes docs/launcher.png: the launcher dialog with a few saved games and a typed-in picture,
# on a virtual display, cropped to the window (with its frame when a window manager such as
# metacity is installed).
#   launcher_screenshot.sh PUZZLE-PROGRAM OUTPUT.png
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi

puzzle=$(realpath "$1")
output=$(realpath -m "$2")
export GSETTINGS_BACKEND=memory ASAN_OPTIONS=detect_leaks=0

tmp=$(mktemp -d)
wm=""
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

touch "$tmp/kot.jpg (108).pzz" "$tmp/Zamek (3).pzz" "$tmp/Góry (250).pzz" "$tmp/Wakacje 2006.pzz"
if command -v metacity >/dev/null; then
    metacity --sm-disable >/dev/null 2>&1 &
    wm=$!
    sleep 2
fi
(cd "$tmp" && exec "$puzzle" 2>/dev/null) &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Tarvenkol Puzzle$' | head -1)
sleep 1
xdotool windowfocus --sync "$window"
xdotool key Tab
xdotool type --delay 20 "/home/ola/Obrazki/kot.jpg"
xdotool key Tab Tab
xdotool type --delay 20 "100"
xdotool mousemove 1000 750
sleep 1
# The screen is black around the window: trimming leaves the window and its frame.
import -window root "$tmp/screen.png"
convert "$tmp/screen.png" -trim +repage "$output"
