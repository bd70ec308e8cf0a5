#!/usr/bin/env bash
# play_launch.sh GAME: the launch path of scripts/play.sh (scripts/start.sh) on a copy of the
# program folder, started from another folder: new game from a picture path relative to the
# program folder, save, quit; started again, the launcher lists the saved game and opens it.
# On the way: both windows carry the desktop entry's window class, Game's window has an icon.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/round_trip.sh"

t_tmp work play_launch
t_own_display
bin=$work/bin
mkdir -p "$bin"
cp "$1" "$(dirname "$1")/Puzzle" "$bin/"
cp -r "$(dirname "$1")/Gfx" "$bin/"
rt_setup "$work"
convert -size 400x300 xc:red -size 400x300 xc:lime +append \
    \( -size 400x300 xc:blue -size 400x300 xc:yellow +append \) -append "$bin/kot.png"

wm_class=$(sed -n 's/^StartupWMClass=//p' "$root/desktop/com.tarvenkol.Puzzle.desktop.in")
has_class() { # window
    local class
    class=$(t_run xprop -id "$1" WM_CLASS)
    grep -q "\"$wm_class\"\$" <<<"$class" || rt_fail "window class: $class"
}

cd /
rt_launcher bash "$root/scripts/start.sh" "$bin"
has_class "$rt_dialog"
rt_new_game kot.png 4
has_class "$rt_game_window"
icon=$(t_run xprop -id "$rt_game_window" _NET_WM_ICON)
grep -Eq 'Icon \(48 x 48\)|= 48, 48,' <<<"$icon" || rt_fail "Game's window has no 48 x 48 icon: ${icon:0:200}"
rt_board
rt_save "$bin" "kot.png ("
rt_quit_game
[ ! -f "$bin/Errors.log" ] || rt_fail "Errors.log: $(iconv -f CP1250 -t UTF-8 "$bin/Errors.log")"

rt_launcher bash "$root/scripts/start.sh" "$bin"
rt_open_first "$rt_saved"
rt_board
rt_quit_game
[ ! -f "$bin/Errors.log" ] || rt_fail "Errors.log: $(iconv -f CP1250 -t UTF-8 "$bin/Errors.log")"
echo "saved, listed and opened: $rt_saved"
