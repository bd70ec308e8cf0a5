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
t_on_fail() { echo "--- output of Game:"; cat "$work/out.log"; }
t_step "start Game --new:$picture?$count"
./Game --window "--new:$picture?$count" >"$work/out.log" 2>&1 &
pid=$!

_window_of() {
    xdotool search --onlyvisible --pid "$1" 2>&1 | head -1 | grep -E '^[0-9]+$' && return 0
    t_gone "$1" >/dev/null && { echo "Game ended"; return 3; }
    return 1
}
window=$(t_until 30 "Game's window" _window_of "$pid") || exit 1

press() { xdotool mousemove --window "$window" 400 300 windowfocus "$window" key --window "$window" "$1" 2>&1; }

pixel() { convert "$work/frames/$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.b)]" info:; }
# Counts of strongly red and strongly blue pixels of a frame, every fourth pixel each way.
colour_counts() {
    convert "$work/frames/$1" -sample 200x150 -fx "(r>0.8&&g<0.2&&b<0.2)?1:0" -format "%[fx:int(mean*w*h)]" info:
    echo -n " "
    convert "$work/frames/$1" -sample 200x150 -fx "(b>0.8&&g<0.2&&r<0.2)?1:0" -format "%[fx:int(mean*w*h)]" info:
}

if [ -n "$expect_failure" ]; then
    # Intro, then logo, then the game screen's start fails and the program ends on its own.
    _ended_on_keys() {
        t_gone "$pid" >/dev/null && return 0
        press space
        sleep 0.2
        t_gone "$pid"
    }
    t_step "keys until Game ends by itself"
    t_until 60 "Game to end by itself" _ended_on_keys
    wait "$pid"
    status=$?
    pid=
    [ "$status" -eq 0 ] || t_fail "exit code $status"
    [ -f Errors.log ] || t_fail "no Errors.log"
    log=$(iconv -f CP1250 -t UTF-8 Errors.log)
    echo "$log"
    echo "$log" | grep -q "Plik       : game.cpp" || t_fail "no entry from game.cpp"
    echo "$log" | grep -Eq "Komunikat  : $message" || t_fail "message missing: $message"
    exit 0
fi

# Success: press keys until a frame shows the pieces (red and blue picture pixels on the desk).
_board_shows() {
    t_gone "$pid" >/dev/null && { echo "Game ended"; return 3; }
    local frame reds blues
    frame=$(t_newest_frame "$work/frames") || { echo "$frame"; return 1; }
    read -r reds blues <<<"$(colour_counts "$frame" 2>&1)"
    if [ "${reds:-0}" -gt 125 ] 2>/dev/null && [ "${blues:-0}" -gt 125 ] 2>/dev/null; then
        echo "$frame $reds $blues"
        return 0
    fi
    echo "$frame: $reds red and $blues blue of 30000 pixels looked at"
    press space
    sleep 0.2
    return 1
}
t_step "pass intro and logo until the board shows"
read -r built reds blues <<<"$(t_until 120 "a frame with the board" _board_shows)"
[ -n "$built" ] || exit 1
echo "board in $built: $reds red and $blues blue pixels (every fourth each way)"
[ ! -f Errors.log ] || t_fail "unexpected Errors.log: $(iconv -f CP1250 -t UTF-8 Errors.log)"

# Tab held: the whole picture, 512 x 384 at (144, 108) in the frame, red above blue on white.
t_step "hold Tab until the whole picture shows"
_whole_picture() {
    local frame top bottom above tr tb br bb ar ab
    frame=$(t_newest_frame "$work/frames") || { echo "$frame"; return 1; }
    top=$(pixel "$frame" 400 150)
    bottom=$(pixel "$frame" 400 450)
    above=$(pixel "$frame" 400 70)
    read -r tr tb <<<"$top"
    read -r br bb <<<"$bottom"
    read -r ar ab <<<"$above"
    echo "$frame: red, blue at the top $top, at the bottom $bottom, above $above"
    [ "$tr" -gt 200 ] && [ "$tb" -lt 60 ] && [ "$br" -lt 60 ] && [ "$bb" -gt 200 ] && [ "$ar" -gt 200 ] && [ "$ab" -gt 200 ]
}
t_run xdotool keydown --window "$window" Tab
t_until 60 "red above blue on white with Tab held" _whole_picture
t_run xdotool keyup --window "$window" Tab
exit 0
