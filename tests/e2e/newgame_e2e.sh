#!/bin/bash
# newgame_e2e.sh CASE GAME
# Starts a copy of the program folder's Game with "--new:picture?count" in a window, presses
# keys until the game screen has started, then checks:
#   jpg png bmp tga tif: the board was built: a frame with the pieces (red and blue picture
#                        pixels on the desk) and, with Tab held, the whole picture the right
#                        way up (red above, blue below) centred on white.
#   too_small missing unreadable atlas_refused: Game ends by itself with exit code 0 and
#                        Errors.log holds the start's message.
set -u
case_name=$1
game=$2
source "$(dirname "$0")/game_folder.sh"
game_folder newgame_e2e "$game"

red_over_blue() { # picture file, width, height, ImageMagick writer prefix ("BMP3:" or "")
    convert -size "$2x$(($3 / 2))" xc:red -size "$2x$(($3 - $3 / 2))" xc:blue -append -depth 8 "$4$1"
}

picture=
count=100
expect_failure=
message=
case $case_name in
    jpg | png | tga | tif)
        picture="$work/kot obraz.$case_name"
        red_over_blue "$picture" 800 600 "" ;;
    bmp)
        picture="$work/kot.bmp"
        red_over_blue "$picture" 800 600 "BMP3:" ;;
    too_small)
        picture="$work/small.png"
        red_over_blue "$picture" 48 300 ""
        expect_failure=1 message="Obrazek jest za ma" ;;
    missing)
        picture="$work/nie ma.jpg"
        expect_failure=1 message="Nie mo.* wczyta. obrazka z pliku $picture" ;;
    unreadable)
        picture="$work/broken.png"
        echo "not a picture" >"$picture"
        expect_failure=1 message="Nie mo.* wczyta. obrazka z pliku $picture" ;;
    atlas_refused)
        picture="$work/big.png"
        red_over_blue "$picture" 1500 1100 ""
        export D3D9_MAX_TEXTURE_SIZE=1024
        expect_failure=1 message="Nie mo.* utworzy. tekstury puzzli" ;;
    *) echo "unknown case $case_name"; exit 2 ;;
esac

cd "$work/bin"
./Game --window "--new:$picture?$count" >"$work/out.log" 2>&1 &
pid=$!

window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
[ -n "$window" ] || { echo "no Game window"; cat "$work/out.log"; exit 1; }

press() {
    xdotool mousemove --window "$window" 400 300 2>/dev/null
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key --window "$window" "$1" 2>/dev/null
}

newest_frame() { ls "$work/frames" | sort | tail -1; }
pixel() { convert "$work/frames/$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.b)]" info:; }
# Counts of strongly red and strongly blue pixels of a frame.
colour_counts() {
    convert "$work/frames/$1" -fx "(r>0.8&&g<0.2&&b<0.2)?1:0" -format "%[fx:int(mean*w*h)]" info:
    echo -n " "
    convert "$work/frames/$1" -fx "(b>0.8&&g<0.2&&r<0.2)?1:0" -format "%[fx:int(mean*w*h)]" info:
}

if [ -n "$expect_failure" ]; then
    # Intro, then logo, then the game screen's start fails and the program ends on its own.
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || break
        press space
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "Game still runs"; exit 1
    fi
    wait "$pid"
    status=$?
    pid=
    [ "$status" -eq 0 ] || { echo "exit code $status"; cat "$work/out.log"; exit 1; }
    [ -f Errors.log ] || { echo "no Errors.log"; exit 1; }
    log=$(iconv -f CP1250 -t UTF-8 Errors.log)
    echo "$log"
    echo "$log" | grep -q "Plik       : game.cpp" || { echo "no entry from game.cpp"; exit 1; }
    echo "$log" | grep -Eq "Komunikat  : $message" || { echo "message missing: $message"; exit 1; }
    exit 0
fi

# Success: press keys until a frame shows the pieces (red and blue picture pixels on the desk).
built=
for _ in $(seq 150); do
    kill -0 "$pid" 2>/dev/null || { echo "Game ended"; cat "$work/out.log"; exit 1; }
    sleep 0.3
    frame=$(newest_frame)
    [ -n "$frame" ] || continue
    read -r reds blues <<<"$(colour_counts "$frame")"
    if [ "${reds:-0}" -gt 2000 ] && [ "${blues:-0}" -gt 2000 ]; then
        built=$frame
        break
    fi
    press space
done
[ -n "$built" ] || { echo "no frame with the board"; cat "$work/out.log"; exit 1; }
echo "board in $built: $reds red and $blues blue pixels"
[ ! -f Errors.log ] || { echo "unexpected Errors.log"; iconv -f CP1250 -t UTF-8 Errors.log; exit 1; }

# Tab held: the whole picture, 512 x 384 at (144, 108) in the frame, red above blue on white.
xdotool keydown --window "$window" Tab
sleep 1.5
before=$(newest_frame)
sleep 1
frame=$(newest_frame)
xdotool keyup --window "$window" Tab
[ "$frame" != "$before" ] || { echo "no new frame while Tab was held"; exit 1; }
top=$(pixel "$frame" 400 150)
bottom=$(pixel "$frame" 400 450)
above=$(pixel "$frame" 400 70)
echo "picture with Tab in $frame: top $top, bottom $bottom, above $above"
read -r tr tb <<<"$top"
read -r br bb <<<"$bottom"
read -r ar ab <<<"$above"
[ "$tr" -gt 200 ] && [ "$tb" -lt 60 ] || { echo "top of the picture is not red"; exit 1; }
[ "$br" -lt 60 ] && [ "$bb" -gt 200 ] || { echo "bottom of the picture is not blue"; exit 1; }
[ "$ar" -gt 200 ] && [ "$ab" -gt 200 ] || { echo "no white above the picture"; exit 1; }
exit 0
