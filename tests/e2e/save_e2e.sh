#!/bin/bash
# save_e2e.sh CASE GAME
# Runs a copy of the program folder's Game in a window with dumped frames:
#   roundtrip: a new 12-piece game; up to two pieces are dragged with the mouse, the save button
#              is clicked and its notice answered, the game is left (Esc, Enter); then
#              "--open:<saved file>" must show the same board (the frames above the bar agree).
#   missing, damaged: "--open:" of a file that does not exist / is not a saved game ends the
#              program by itself with exit code 0 and the load's entry in Errors.log.
set -u
case_name=$1
game=$2
source "$(dirname "$0")/game_folder.sh"
game_folder save_e2e "$game"
cd "$work/bin"

window=
start() { # Game arguments...
    rm -f "$work"/frames/*
    ./Game --window "$@" >>"$work/out.log" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1)
        [ -n "$window" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    echo "no Game window"; cat "$work/out.log"; exit 1
}
key() { xdotool windowfocus "$window" 2>/dev/null; xdotool key --window "$window" "$1" 2>/dev/null; }
move() { xdotool mousemove --window "$window" "$1" "$2" 2>/dev/null; }
click() { move "$1" "$2"; sleep 0.2; xdotool click --window "$window" 1 2>/dev/null; }
drag() { # from x y to x y
    move "$1" "$2"; sleep 0.2
    xdotool mousedown --window "$window" 1; sleep 0.2
    for step in 1 2 3 4; do
        move $(($1 + ($3 - $1) * step / 4)) $(($2 + ($4 - $2) * step / 4)); sleep 0.1
    done
    xdotool mouseup --window "$window" 1; sleep 0.3
}
newest_frame() { ls "$work/frames" | sort | tail -1; }
# Pixels of the picture's four pure colours (red, lime, blue, yellow) in a frame.
pure_pixels() {
    convert "$work/frames/$1" -fx "(max(r,max(g,b))>0.9&&min(r,min(g,b))<0.1&&(r>0.9||r<0.1)&&(g>0.9||g<0.1)&&(b>0.9||b<0.1))?1:0" \
        -format "%[fx:int(mean*w*h)]" info:
}
# "x y" of the first pixel of a colour in a frame, looked for where a drag of (+83, +43) keeps
# the cursor away from the edges that scroll the view (the loaded game starts unscrolled).
find_colour() {
    convert "$work/frames/$1" -crop 640x400+40+40 +repage txt:- | grep -m1 -i "#$2" |
        sed -E 's/^([0-9]+),([0-9]+):.*/\1 \2/' | awk '{ print $1 + 40, $2 + 40 }'
}
# Passes intro and logo with a key the game screen ignores, until the board is on screen.
wait_for_board() {
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || { echo "Game ended"; cat "$work/out.log"; exit 1; }
        sleep 0.3
        frame=$(newest_frame)
        if [ -n "$frame" ] && [ "$(pure_pixels "$frame")" -gt 3000 ]; then
            return 0
        fi
        move 790 10
        key x
    done
    echo "no frame with the board"; cat "$work/out.log"; exit 1
}
# A frame taken with the mouse parked at the top-right corner, once the picture has settled.
settled_frame() {
    move 790 10
    sleep 1.5
    newest_frame
}
end_game() {
    key Escape; sleep 0.5; key Return
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "Game did not end after Esc, Enter"; exit 1
    fi
    # The exit code after leaving the game is the application's business, not this test's.
    wait "$pid"
    pid=
    if [ -f Errors.log ]; then
        echo "unexpected Errors.log"; iconv -f CP1250 -t UTF-8 Errors.log; cat "$work/out.log"; exit 1
    fi
}
expect_failed_start() { # message regex
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || break
        key x
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "Game still runs"; exit 1
    fi
    wait "$pid"
    local status=$?
    pid=
    [ "$status" -eq 0 ] || { echo "exit code $status"; cat "$work/out.log"; exit 1; }
    [ -f Errors.log ] || { echo "no Errors.log"; exit 1; }
    local log
    log=$(iconv -f CP1250 -t UTF-8 Errors.log)
    echo "$log"
    echo "$log" | grep -q "Plik       : game.cpp" || { echo "no entry from game.cpp"; exit 1; }
    echo "$log" | grep -Eq "Komunikat  : $1" || { echo "message missing: $1"; exit 1; }
}

case $case_name in
roundtrip)
    picture="$work/pic/wakacje.png"
    mkdir -p "$work/pic"
    convert -size 400x300 xc:red -size 400x300 xc:lime +append \
        \( -size 400x300 xc:blue -size 400x300 xc:yellow +append \) -append "$picture"
    start "--new:$picture?12"
    wait_for_board
    sleep 1
    frame=$(settled_frame)
    cp "$work/frames/$frame" "$work/start.png"
    # Up to two pieces of different colours (whichever are in view) are dragged 80 right, 40 down.
    dragged=0
    for colour in "FF0000" "0000FF" "00FF00" "FFFF00"; do
        read -r x y <<<"$(find_colour "$frame" "$colour")"
        [ -n "${x:-}" ] || continue
        drag $((x + 3)) $((y + 3)) $((x + 83)) $((y + 43))
        frame=$(settled_frame)
        dragged=$((dragged + 1))
        [ "$dragged" -lt 2 ] || break
    done
    [ "$dragged" -ge 1 ] || { echo "no piece in view to drag"; exit 1; }
    moved=$(compare -metric AE "$work/start.png[800x530+0+0]" "$work/frames/$frame[800x530+0+0]" null: 2>&1)
    [ "${moved%%.*}" -gt 500 ] 2>/dev/null || { echo "the drags moved nothing ($moved pixels changed)"; exit 1; }
    click 630 570 # bar button 3
    sleep 1
    saved=$(ls ./*.pzz 2>/dev/null | head -1)
    [ -n "$saved" ] || { echo "no saved game in the program folder"; ls -la; exit 1; }
    echo "saved $saved"
    key Return # the notice's OK
    sleep 0.5
    move 400 100 # the bar sees the mouse again only once the panel is gone
    before=$(settled_frame)
    cp "$work/frames/$before" "$work/before.png"
    end_game
    [ ! -f Errors.log ] || { echo "unexpected Errors.log"; iconv -f CP1250 -t UTF-8 Errors.log; exit 1; }
    gzip -t "$saved" || { echo "not a gzip file"; exit 1; }

    start "--open:${saved#./}"
    wait_for_board
    after=$(settled_frame)
    cp "$work/frames/$after" "$work/after.png"
    # The bar's clock differs; everything above the bar and its tooltip line must be the same.
    diff=$(compare -metric AE -fuzz 2% "$work/before.png[800x518+0+0]" "$work/after.png[800x518+0+0]" null: 2>&1)
    echo "pixels that differ above the bar: $diff"
    [ -z "${SAVE_E2E_KEEP:-}" ] || cp "$work/start.png" "$work/before.png" "$work/after.png" "$SAVE_E2E_KEEP/"
    [ "$diff" = "0" ] || { cp "$work/before.png" "$work/after.png" /tmp/ 2>/dev/null; echo "boards differ (frames copied to /tmp)"; exit 1; }
    end_game
    ;;
missing)
    start "--open:nie ma takiej gry.pzz"
    expect_failed_start "Nie mo.* otworzy. pliku z zapisan. gr."
    # The same entry on standard error, as UTF-8 text.
    iconv -f CP1250 -t UTF-8 Errors.log | tr -d '\r' >"$work/entry"
    python3 -c 'import sys; sys.exit(open(sys.argv[1]).read().strip() not in open(sys.argv[2]).read())' \
        "$work/entry" "$work/out.log" || { echo "standard error lacks the entry"; cat "$work/out.log"; exit 1; }
    ;;
damaged)
    echo "to nie jest zapisana gra" | gzip >"uszkodzona (12).pzz"
    start "--open:uszkodzona (12).pzz"
    expect_failed_start "Uszkodzony plik z zapisan. gr.: plik jest za kr.tki"
    ;;
*) echo "unknown case $case_name"; exit 2 ;;
esac
exit 0
