# Sourced by the end-to-end scripts that play as a player does: the real launcher and the real
# Game, started the way a player starts them, on the display in $DISPLAY, driven with xdotool.
# Frames of Game are dumped into $rt_frames (every tenth); output of both programs goes to
# $rt_log. Every step waits for the state it needs (tests/e2e/wait.sh) and fails the script with
# what it saw when the programs do not follow.
#   rt_setup FOLDER            frames and log in FOLDER (it must be writable by the player)
#   rt_launcher COMMAND...     starts the launcher, waits for its dialog ($rt_dialog)
#   rt_new_game PICTURE COUNT  fills in a new game, presses OK, waits for Game ($rt_game, $rt_game_window)
#   rt_board                   passes intro and logo until the board (a four-colour picture) shows
#   rt_save FOLDER NAME        presses the save button; a saved game NAME*.pzz must appear in
#                              FOLDER ($rt_saved: its file name); closes the notice
#   rt_quit_game               Esc and yes: Game must end
#   rt_open_first NAME         opens the first saved game of the list, which must be NAME
#   rt_delete_first FILE       deletes the first saved game of the list; FILE must go; closes the launcher

source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

rt_fail() { t_fail "$@"; }

t_on_fail() {
    # With RT_SNAP set to a file name, the screen at the failure is saved there.
    [ -z "${RT_SNAP:-}" ] || import -window root "$RT_SNAP"
    [ ! -f "${rt_log:-}" ] || { echo "--- output of the programs:"; cat "$rt_log"; }
}

rt_setup() {
    rt_frames=$1/frames
    rt_log=$1/programs.log
    mkdir -p "$rt_frames"
    : >"$rt_log"
    rt_launcher_pid=
    rt_game=
    t_on_exit rt_cleanup
    export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy D3D9_NO_VSYNC=1 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
    export D3D9_DUMP_PATH="$rt_frames/f%06d.png" D3D9_DUMP_FRAMES=every:10
    export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
}

rt_cleanup() {
    t_stop "${rt_game:-}"
    t_stop "${rt_launcher_pid:-}"
}

_rt_visible() { xdotool search --onlyvisible --classname "$1" | head -1 | grep .; }
# The first visible window whose instance name (WM_CLASS's first part) matches.
rt_window() { t_until 60 "a visible window of class $1" _rt_visible "$1"; }

rt_press() { t_run xdotool key --clearmodifiers "$@"; }

rt_launcher() {
    t_step "start the launcher: $*"
    "$@" >>"$rt_log" 2>&1 &
    rt_launcher_pid=$!
    rt_dialog=$(rt_window '^Puzzle(\.exe)?$') || exit 1
    t_run xdotool windowfocus --sync "$rt_dialog"
}

_rt_gone() { t_gone "$1"; }
# Waits up to SECONDS for process PID to end.
rt_ends() { t_until "$2" "$3" _rt_gone "$1"; }

rt_launcher_ended() {
    rt_ends "$rt_launcher_pid" 60 "the launcher to end"
    wait "$rt_launcher_pid" 2>/dev/null || true
    rt_launcher_pid=
}

rt_game_started() {
    rt_launcher_ended
    t_step "wait for Game's window"
    rt_game_window=$(rt_window '^TARVENKOL_PUZZLE$') || exit 1
    rt_game=$(t_run xdotool getwindowpid "$rt_game_window") || exit 1
}

rt_new_game() {
    t_step "new game: $1, $2 pieces"
    rt_press Tab
    t_run xdotool type --delay 20 "$1"
    rt_press Tab Tab
    t_run xdotool type --delay 20 "$2"
    rt_press Return
    rt_game_started
}

rt_key() {
    t_run xdotool windowfocus "$rt_game_window"
    t_run xdotool key --window "$rt_game_window" "$1"
}

# The board: a whole frame with the picture's four pure colours and the white button bar.
_rt_board_shows() {
    t_gone "$rt_game" >/dev/null && { echo "Game ended"; return 3; }
    local frame count bar
    if frame=$(t_newest_frame "$rt_frames"); then
        # (every fourth pixel each way: -fx is slow on a whole frame)
        count=$(convert "$rt_frames/$frame" -sample 200x150 -fx "(max(r,max(g,b))>0.9&&min(r,min(g,b))<0.1)?1:0" \
            -format "%[fx:int(mean*w*h)]" info: 2>&1)
        bar=$(convert "$rt_frames/$frame" -format "%[pixel:p{10,590}]" info: 2>&1)
        if [ "${count:-0}" -gt 190 ] 2>/dev/null && [[ $bar == *white* || $bar == *255,255,255* ]]; then
            return 0
        fi
        echo "$frame: $count picture pixels, bar $bar"
    else
        echo "$frame"
    fi
    # Intro and logo pass on a key the board ignores.
    rt_mouse 400 10 && xdotool key --window "$rt_game_window" x 2>&1
    sleep 0.2
    return 1
}

rt_board() {
    t_step "pass intro and logo until the board shows"
    rm -f "$rt_frames"/*
    t_until 90 "the board (picture pixels and the white bar in a frame)" _rt_board_shows
}

# Moves the mouse to a point of Game's 800 x 600 frame, which a full-screen window shows scaled
# to the screen and letterboxed.
rt_mouse() {
    local WIDTH HEIGHT geometry
    geometry=$(xdotool getwindowgeometry --shell "$rt_game_window" 2>&1) || { echo "$geometry"; return 1; }
    eval "$(grep -E '^(WIDTH|HEIGHT)=' <<<"$geometry")"
    read -r x y <<<"$(awk -v w="$WIDTH" -v h="$HEIGHT" -v x="$1" -v y="$2" 'BEGIN {
        s = w / 800 < h / 600 ? w / 800 : h / 600
        printf "%d %d\n", (w - 800 * s) / 2 + (x + 0.5) * s, (h - 600 * s) / 2 + (y + 0.5) * s }')"
    xdotool mousemove --window "$rt_game_window" "$x" "$y" 2>&1
}

_rt_saved() {
    local f
    for f in "$1/$2"*.pzz; do [ -e "$f" ] && basename "$f" && return 0; done
    ls -la "$1"
    return 1
}

rt_save() {
    t_step "save with the bar's button into $1"
    rt_mouse 630 570 >/dev/null || t_fail "cannot move the mouse over Game's window"
    t_run xdotool click --window "$rt_game_window" 1
    # The game writes a temporary file and renames it: once the name is there, it is whole.
    rt_saved=$(t_until 30 "a saved game $2*.pzz in $1" _rt_saved "$1" "$2") || exit 1
    t_frames_later "$rt_frames" 20 30 "Game drawing after the save" >/dev/null
    rt_key Return # the notice's OK
}

rt_quit_game() {
    t_step "leave Game: Esc, Enter"
    t_leave_game "$rt_game" "$rt_game_window" "$rt_frames"
    rt_game=
}

rt_open_first() {
    t_step "open the first saved game of the list"
    rt_press alt+o Tab Home Return
    rt_game_started
    tr '\0' '\n' <"/proc/$rt_game/cmdline" | grep -qxF -- "--open:$1" ||
        rt_fail "Game started with: $(tr '\0' ' ' <"/proc/$rt_game/cmdline"), not --open:$1"
}

_rt_question() { xdotool search --onlyvisible --name '^Usu' | head -1 | grep .; }
_rt_deleted() { [ ! -e "$1" ] || { ls -la "$1"; return 1; }; }

rt_delete_first() {
    t_step "delete the first saved game of the list"
    local box
    rt_press alt+o Tab Home alt+u
    box=$(t_until 30 "the question before deleting" _rt_question) || exit 1
    t_run xdotool windowfocus --sync "$box"
    rt_press Return
    t_until 30 "$1 to be deleted" _rt_deleted "$1"
    t_run xdotool windowfocus --sync "$rt_dialog"
    rt_press Escape
    rt_launcher_ended
}
