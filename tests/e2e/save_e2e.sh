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
t_on_fail() { echo "--- output of Game:"; cat "$work/out.log"; }
_window_of() {
    xdotool search --onlyvisible --pid "$1" 2>&1 | head -1 | grep -E '^[0-9]+$' && return 0
    t_gone "$1" >/dev/null && { echo "Game ended"; return 3; }
    return 1
}
start() { # Game arguments...
    t_step "start Game $*"
    rm -f "$work"/frames/*
    ./Game --window "$@" >>"$work/out.log" 2>&1 &
    pid=$!
    window=$(t_until 30 "Game's window" _window_of "$pid") || exit 1
}
key() { t_run xdotool windowfocus "$window" key --window "$window" "$1"; }
move() { t_run xdotool mousemove --window "$window" "$1" "$2"; }
# Input is read once per frame: the next step waits for a frame drawn after it.
next_frame() { t_frames_later "$work/frames" 10 30 "$1" >/dev/null || exit 1; }
click() { move "$1" "$2"; t_run xdotool click --window "$window" 1; }
drag() { # from x y to x y
    move "$1" "$2"
    next_frame "Game to see the pointer over the piece"
    t_run xdotool mousedown --window "$window" 1
    next_frame "Game to take the piece"
    for step in 1 2 3 4; do
        move $(($1 + ($3 - $1) * step / 4)) $(($2 + ($4 - $2) * step / 4))
    done
    next_frame "Game to move the piece"
    t_run xdotool mouseup --window "$window" 1
}
# Pixels of the picture's four pure colours (red, lime, blue, yellow) in a frame, every fourth
# pixel each way (-fx is slow on a whole frame).
pure_pixels() {
    convert "$work/frames/$1" -sample 200x150 -fx "(max(r,max(g,b))>0.9&&min(r,min(g,b))<0.1&&(r>0.9||r<0.1)&&(g>0.9||g<0.1)&&(b>0.9||b<0.1))?1:0" \
        -format "%[fx:int(mean*w*h)]" info:
}
# "x y" of the first pixel of a colour in a frame, looked for where a drag of (+83, +43) keeps
# the cursor away from the edges that scroll the view (the loaded game starts unscrolled).
find_colour() {
    convert "$work/frames/$1" -crop 640x400+40+40 +repage txt:- | grep -m1 -i "#$2" |
        sed -E 's/^([0-9]+),([0-9]+):.*/\1 \2/' | awk '{ print $1 + 40, $2 + 40 }'
}
_saved() {
    local f
    for f in ./*.pzz; do [ -e "$f" ] && echo "$f" && return 0; done
    ls -la
    return 1
}
# Passes intro and logo with a key the game screen ignores, until the board is on screen.
_board_shows() {
    t_gone "$pid" >/dev/null && { echo "Game ended"; return 3; }
    local frame count
    frame=$(t_newest_frame "$work/frames") || { echo "$frame"; return 1; }
    count=$(pure_pixels "$frame" 2>&1)
    [ "${count:-0}" -gt 190 ] 2>/dev/null && return 0
    echo "$frame: $count picture pixels of 30000 looked at"
    xdotool mousemove --window "$window" 790 10 key --window "$window" x 2>&1
    sleep 0.2
    return 1
}
wait_for_board() {
    t_step "pass intro and logo until the board shows"
    t_until 120 "a frame with the board" _board_shows
}
# The board above the bar unchanged between two dumped frames, ten frames apart.
_settled() {
    local first second diff
    first=$(t_newest_frame "$work/frames") || { echo "$first"; return 1; }
    second=$(t_frames_later "$work/frames" 10 30 "the next frame") || return 1
    diff=$(compare -metric AE "$work/frames/$first[800x518+0+0]" "$work/frames/$second[800x518+0+0]" null: 2>&1)
    [ "$diff" = 0 ] && { echo "$second"; return 0; }
    echo "$first and $second differ in $diff pixels"
    return 1
}
# A frame taken with the mouse parked at the top-right corner, once the picture has settled.
settled_frame() {
    move 790 10
    t_until 60 "the board to settle" _settled
}
end_game() {
    t_step "leave Game: Esc, Enter"
    t_leave_game "$pid" "$window" "$work/frames"
    # The exit code after leaving the game is the application's business, not this test's.
    wait "$pid"
    pid=
    if [ -f Errors.log ]; then
        t_fail "unexpected Errors.log: $(iconv -f CP1250 -t UTF-8 Errors.log)"
    fi
}
_ended_on_keys() {
    t_gone "$pid" >/dev/null && return 0
    xdotool key --window "$window" x 2>&1
    sleep 0.2
    t_gone "$pid"
}
expect_failed_start() { # message regex
    t_step "keys until Game ends by itself"
    t_until 60 "Game to end by itself" _ended_on_keys
    wait "$pid"
    local status=$?
    pid=
    [ "$status" -eq 0 ] || t_fail "exit code $status"
    [ -f Errors.log ] || t_fail "no Errors.log"
    local log
    log=$(iconv -f CP1250 -t UTF-8 Errors.log)
    echo "$log"
    echo "$log" | grep -q "Plik       : game.cpp" || t_fail "no entry from game.cpp"
    echo "$log" | grep -Eq "Komunikat  : $1" || t_fail "message missing: $1"
}

case $case_name in
roundtrip)
    picture="$work/pic/wakacje.png"
    mkdir -p "$work/pic"
    convert -size 400x300 xc:red -size 400x300 xc:lime +append \
        \( -size 400x300 xc:blue -size 400x300 xc:yellow +append \) -append "$picture"
    start "--new:$picture?12"
    wait_for_board
    frame=$(settled_frame) || exit 1
    cp "$work/frames/$frame" "$work/start.png"
    # Up to two pieces of different colours (whichever are in view) are dragged 80 right, 40 down.
    dragged=0
    for colour in "FF0000" "0000FF" "00FF00" "FFFF00"; do
        read -r x y <<<"$(find_colour "$frame" "$colour")"
        [ -n "${x:-}" ] || continue
        t_step "drag the piece of colour $colour at $x, $y"
        drag $((x + 3)) $((y + 3)) $((x + 83)) $((y + 43))
        frame=$(settled_frame) || exit 1
        dragged=$((dragged + 1))
        [ "$dragged" -lt 2 ] || break
    done
    [ "$dragged" -ge 1 ] || t_fail "no piece in view to drag"
    moved=$(compare -metric AE "$work/start.png[800x530+0+0]" "$work/frames/$frame[800x530+0+0]" null: 2>&1)
    [ "${moved%%.*}" -gt 500 ] 2>/dev/null || t_fail "the drags moved nothing ($moved pixels changed)"
    t_step "save with the bar's button"
    click 630 570 # bar button 3
    # The game writes a temporary file and renames it: once the name is there, it is whole.
    saved=$(t_until 30 "a saved game in the program folder" _saved) || exit 1
    echo "saved $saved"
    next_frame "Game to show the notice"
    key Return # the notice's OK
    next_frame "Game to close the notice"
    move 400 100 # the bar sees the mouse again only once the panel is gone
    before=$(settled_frame) || exit 1
    cp "$work/frames/$before" "$work/before.png"
    end_game
    gzip -t "$saved" || t_fail "$saved is not a gzip file"

    start "--open:${saved#./}"
    wait_for_board
    after=$(settled_frame) || exit 1
    cp "$work/frames/$after" "$work/after.png"
    # The bar's clock differs; everything above the bar and its tooltip line must be the same.
    diff=$(compare -metric AE -fuzz 2% "$work/before.png[800x518+0+0]" "$work/after.png[800x518+0+0]" null: 2>&1)
    echo "pixels that differ above the bar: $diff"
    [ -z "${SAVE_E2E_KEEP:-}" ] || cp "$work/start.png" "$work/before.png" "$work/after.png" "$SAVE_E2E_KEEP/"
    [ "$diff" = "0" ] || t_fail "boards differ in $diff pixels (SAVE_E2E_KEEP=FOLDER keeps the frames)"
    end_game
    ;;
missing)
    start "--open:nie ma takiej gry.pzz"
    expect_failed_start "Nie mo.* otworzy. pliku z zapisan. gr."
    # The same entry on standard error, as UTF-8 text.
    iconv -f CP1250 -t UTF-8 Errors.log | tr -d '\r' >"$work/entry"
    python3 -c 'import sys; sys.exit(open(sys.argv[1]).read().strip() not in open(sys.argv[2]).read())' \
        "$work/entry" "$work/out.log" || t_fail "standard error lacks the entry"
    ;;
damaged)
    echo "to nie jest zapisana gra" | gzip >"uszkodzona (12).pzz"
    start "--open:uszkodzona (12).pzz"
    expect_failed_start "Uszkodzony plik z zapisan. gr.: plik jest za kr.tki"
    ;;
*) echo "unknown case $case_name"; exit 2 ;;
esac
exit 0
