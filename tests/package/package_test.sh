#!/usr/bin/env bash
# The Debian package as a player meets it. Builds it (scripts/package.sh), installs it into this
# machine with apt-get, and as the unprivileged user nobody with a fresh home, on a virtual
# display of its own, starts the launcher with the desktop entry's Exec line: two new games are
# saved into the user's data folder, listed, one is opened and the other deleted; Game started
# without a start option starts the launcher there; Game started on a missing picture logs into
# the same folder and repeats the entry on standard error in UTF-8. Then the package is removed
# again, and the user's saved game and log are still there.
# Needs root; without it the test is skipped. The package is removed at the end in any case.
set -Eeuo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
package=tarvenkol-puzzle

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED package test: installing the package needs root"
    exit 0
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    echo "SKIPPED package test: $package is already installed on this machine; remove it first"
    exit 0
fi

deb=${PACKAGE_TEST_DEB:-$(bash "$root/scripts/package.sh" | tail -1)}
echo "package: $deb"
dpkg-deb -f "$deb" Depends

# Steps, waits and the cleanup on every path (tests/e2e/wait.sh); the player's steps.
source "$root/tests/e2e/round_trip.sh"
t_tmp tmp package_test
xvfb=
installed=
cleanup() {
    t_stop "$xvfb"
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$package" >/dev/null 2>&1 ||
            echo "cleanup: removing $package failed" >&2
    fi
}
t_on_exit cleanup
trap 'echo "FAIL: line $LINENO of $0 ended with status $? in step '"'"'$t_current_step'"'"'" >&2' ERR

t_step "install $deb"
installed=1
t_run env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$deb")" >/dev/null
entry=/usr/share/applications/com.tarvenkol.Puzzle.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
folder=/usr/lib/$package
[ -x "$folder/Game" ] && [ -x "$folder/Puzzle" ] && [ -d "$folder/Gfx" ] || { echo "FAIL: no program folder $folder"; exit 1; }

# A display without access control, so that nobody may use it.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
t_until 30 "Xvfb to name its display" test -s "$tmp/display"
export DISPLAY=":$(cat "$tmp/display")"
unset XAUTHORITY

home=$tmp/home
mkdir -p "$home/Obrazki" "$tmp/session"
chmod 755 "$tmp"
rt_setup "$tmp/session"
chmod 777 "$tmp/session" "$rt_frames"
chmod 666 "$rt_log"
for name in kot pies; do
    convert -size 400x300 xc:red -size 400x300 xc:lime +append \
        \( -size 400x300 xc:blue -size 400x300 xc:yellow +append \) -append "$home/Obrazki/$name.png"
done
chown -R nobody:nogroup "$home"
as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -u XDG_DATA_HOME HOME="$home" USER=nobody LOGNAME=nobody sh -c 'cd "$HOME" && exec "$@"' sh "$@"
}
data=$home/.local/share/$package

declare -A saved
for name in kot pies; do
    rt_launcher as_nobody sh -c "exec $exec_line"
    rt_new_game "$home/Obrazki/$name.png" 4
    rt_board
    rt_save "$data" "$name.png ("
    rt_quit_game
    [ "$(stat -c %U "$data/$rt_saved")" = nobody ] || rt_fail "$rt_saved is not the user's"
    saved[$name]=$rt_saved
done
ls -la "$data"
[ -z "$(ls "$folder" | grep -v -x -e Game -e PictureDecoder -e Puzzle -e Gfx)" ] || rt_fail "written into $folder"

# Listed in name order: kot first. Opened, then deleted; pies stays.
rt_launcher as_nobody sh -c "exec $exec_line"
rt_open_first "${saved[kot]}"
rt_board
rt_quit_game
rt_launcher as_nobody sh -c "exec $exec_line"
rt_delete_first "$data/${saved[kot]}"
[ -f "$data/${saved[pies]}" ] || rt_fail "the other saved game went too"

# Game without a start option starts the launcher in the same folder.
t_step "Game without a start option"
rt_launcher as_nobody "$folder/Game"
cwd=$(readlink "/proc/$(xdotool getwindowpid "$rt_dialog")/cwd")
[ "$cwd" = "$data" ] || rt_fail "Game started the launcher in $cwd"
rt_press Escape
t_until 30 "the launcher's dialog to close" sh -c "! xdotool search --onlyvisible --classname '^Puzzle(\.exe)?\$'"

# A missing picture: the entry in the user's Errors.log and, in UTF-8, on standard error.
t_step "Game on a missing picture"
as_nobody "$folder/Game" --window "--new:brak.jpg?4" 2>"$tmp/stderr" >/dev/null &
started=$!
rt_game_window=$(rt_window '^TARVENKOL_PUZZLE$')
rt_game=$(t_run xdotool getwindowpid "$rt_game_window")
# Intro and logo pass on a key; the start then fails and Game ends by itself.
_key_until_gone() { _rt_gone "$rt_game" >/dev/null || { xdotool key --window "$rt_game_window" x 2>&1; sleep 0.2; _rt_gone "$rt_game"; }; }
t_until 60 "Game to end on the missing picture" _key_until_gone
wait "$started" || t_fail "Game ended with exit code $? on the missing picture"
rt_game=
[ -f "$data/Errors.log" ] || rt_fail "no Errors.log in $data"
log=$(iconv -f CP1250 -t UTF-8 "$data/Errors.log" | tr -d '\r')
echo "$log"
grep -q "Komunikat  : Nie można wczytać obrazka z pliku brak.jpg" <<<"$log" || rt_fail "no entry for brak.jpg"
grep -qF "$data/Game" <<<"$log" || rt_fail "the log does not name the user's program folder"
python3 -c '
import sys
entry = open(sys.argv[1], encoding="utf-8").read().strip("\n")
sys.exit(0 if entry in open(sys.argv[2], encoding="utf-8").read() else 1)' <(echo "$log") "$tmp/stderr" ||
    rt_fail "standard error lacks the entry: $(cat "$tmp/stderr")"

t_step "remove the package"
# Removing the package leaves the user's folder alone.
t_run env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$package" >/dev/null
installed=
[ ! -e "$folder" ] || rt_fail "$folder is still there after removal"
[ -f "$data/${saved[pies]}" ] && [ -f "$data/Errors.log" ] || rt_fail "the user's files are gone"
echo "package test passed"
