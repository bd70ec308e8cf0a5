#!/usr/bin/env bash
# Makes docs/game.png: the game board of a real run, a new 48-piece puzzle of a generated
# landscape, as the OpenGL device presents it (its frame dump).
#   game_screenshot.sh GAME-PROGRAM OUTPUT.png
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi

game=$(realpath "$1")
output=$(realpath -m "$2")
tmp=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT

mkdir -p "$tmp/bin" "$tmp/frames"
cp "$game" "$tmp/bin/Game"
cp -r "$(dirname "$game")/Gfx" "$tmp/bin/Gfx"
# A landscape: sky, sun, hills and a lake, drawn with ImageMagick.
convert -size 800x600 gradient:'#6fa8dc-#d9ecf7' \
    -fill '#ffd966' -draw 'circle 620,130 620,185' \
    -fill '#6aa84f' -draw 'ellipse 200,600 420,260 180,360' \
    -fill '#38761d' -draw 'ellipse 640,620 360,230 180,360' \
    -fill '#3d85c6' -draw 'ellipse 420,560 260,60 0,360' \
    -fill '#990000' -draw 'rectangle 150,300 250,380' -fill '#660000' -draw 'polygon 140,300 200,250 260,300' \
    "$tmp/bin/krajobraz.png"

export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy D3D9_NO_VSYNC=1 ASAN_OPTIONS=detect_leaks=0
export D3D9_DUMP_PATH="$tmp/frames/f%06d.png" D3D9_DUMP_FRAMES=every:10
(cd "$tmp/bin" && exec ./Game --window "--new:krajobraz.png?48") >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
# Past the intro and the logo (a key the board ignores), then the board settles.
for _ in $(seq 12); do
    xdotool key --window "$window" x
    sleep 0.5
done
xdotool mousemove --window "$window" 420 250
sleep 3
rm -f "$tmp/frames"/*
sleep 1.5
cp "$(ls "$tmp/frames"/*.png | sort | tail -1)" "$output"
