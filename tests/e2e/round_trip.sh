# Sourced by the end-to-end scripts that play as a player does: the real launcher and the real
# Game, started the way a player starts them, on the display in $DISPLAY, driven with xdotool.
# Frames of Game are dumped into $rt_frames (every tenth); output of both programs goes to
# $rt_log. Every step fails the script with a message when the programs do not follow.
#   rt_setup FOLDER            frames and log in FOLDER (it must be writable by the player)
#   rt_launcher COMMAND...     starts the launcher, waits for its dialog ($rt_dialog)
#   rt_new_game PICTURE COUNT  fills in a new game, presses OK, waits for Game ($rt_game, $rt_game_window)
#   rt_board                   passes intro and logo until the board (a four-colour picture) shows
#   rt_save FOLDER NAME        presses the save button; a saved game NAME*.pzz must appear in
#                              FOLDER ($rt_saved: its file name); closes the notice
#   rt_quit_game               Esc and yes: Game must end
#   rt_open_first NAME         opens the first saved game of the list, which must be NAME
#   rt_delete_first FILE       deletes the first saved game of the list; FILE must go; closes the launcher

rt_fail() {
    echo "FAIL: $*" >&2
    # With RT_SNAP set to a file name, the screen at the failure is saved there.
    [ -n "${RT_SNAP:-}" ] && import -window root "$RT_SNAP"
    [ -f "$rt_log" ] && { echo "--- output of the programs:"; cat "$rt_log"; } >&2
    exit 1
}

rt_setup() {
    rt_frames=$1/frames
    rt_log=$1/programs.log
    mkdir -p "$rt_frames"
    : >"$rt_log"
    rt_launcher_pid=
    rt_game=
    export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy D3D9_NO_VSYNC=1 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
    export D3D9_DUMP_PATH="$rt_frames/f%06d.png" D3D9_DUMP_FRAMES=every:10
    export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
}

rt_cleanup() {
    [ -n "${rt_game:-}" ] && kill "$rt_game" 2>/dev/null
    [ -n "${rt_launcher_pid:-}" ] && kill "$rt_launcher_pid" 2>/dev/null
    return 0
}

# The first visible window whose instance name (WM_CLASS's first part) matches; up to a minute.
rt_window() {
    local w
    for _ in $(seq 600); do
        w=$(xdotool search --onlyvisible --classname "$1" 2>/dev/null | head -1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

rt_press() {
    xdotool key --clearmodifiers "$@"
    sleep 0.3
}

rt_launcher() {
    "$@" >>"$rt_log" 2>&1 &
    rt_launcher_pid=$!
    rt_dialog=$(rt_window '^Puzzle(\.exe)?$') || rt_fail "the launcher's dialog does not open"
    xdotool windowfocus --sync "$rt_dialog"
    sleep 0.5
}

# True once process PID has ended, within TENTHS tenths of a second.
rt_ends() {
    for _ in $(seq "$2"); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

rt_launcher_ended() {
    rt_ends "$rt_launcher_pid" 600 || rt_fail "the launcher does not end"
    rt_launcher_pid=
}

rt_game_started() {
    rt_launcher_ended
    rt_game_window=$(rt_window '^TARVENKOL_PUZZLE$') || rt_fail "Game's window does not open"
    rt_game=$(xdotool getwindowpid "$rt_game_window")
}

rt_new_game() {
    rt_press Tab
    xdotool type --delay 20 "$1"
    rt_press Tab Tab
    xdotool type --delay 20 "$2"
    rt_press Return
    rt_game_started
}

rt_key() {
    xdotool windowfocus "$rt_game_window" 2>/dev/null
    xdotool key --window "$rt_game_window" "$1" 2>/dev/null
}

rt_board() {
    local frame
    rm -f "$rt_frames"/*
    for _ in $(seq 150); do
        kill -0 "$rt_game" 2>/dev/null || rt_fail "Game ended before the board showed"
        sleep 0.3
        frame=$(ls "$rt_frames" | sort | tail -1)
        if [ -n "$frame" ] && [ "$(convert "$rt_frames/$frame" -fx "(max(r,max(g,b))>0.9&&min(r,min(g,b))<0.1)?1:0" \
            -format "%[fx:int(mean*w*h)]" info: 2>/dev/null || echo 0)" -gt 3000 ]; then
            sleep 1
            return 0
        fi
        rt_mouse 400 10
        rt_key x
    done
    rt_fail "the board does not show"
}

# Moves the mouse to a point of Game's 800 x 600 frame, which a full-screen window shows scaled
# to the screen and letterboxed.
rt_mouse() {
    local WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$rt_game_window" | grep -E '^(WIDTH|HEIGHT)=')"
    read -r x y <<<"$(awk -v w="$WIDTH" -v h="$HEIGHT" -v x="$1" -v y="$2" 'BEGIN {
        s = w / 800 < h / 600 ? w / 800 : h / 600
        printf "%d %d\n", (w - 800 * s) / 2 + (x + 0.5) * s, (h - 600 * s) / 2 + (y + 0.5) * s }')"
    xdotool mousemove --window "$rt_game_window" "$x" "$y" 2>/dev/null
}

rt_save() {
    rt_mouse 630 570
    sleep 0.3
    xdotool click --window "$rt_game_window" 1 2>/dev/null
    rt_saved=
    for _ in $(seq 100); do
        rt_saved=$(cd "$1" 2>/dev/null && ls -- "$2"*.pzz 2>/dev/null | head -1)
        [ -n "$rt_saved" ] && break
        sleep 0.1
    done
    [ -n "$rt_saved" ] || rt_fail "no saved game $2*.pzz in $1: $(ls -la "$1")"
    sleep 0.5
    rt_key Return
    sleep 0.5
}

rt_quit_game() {
    rt_key Escape
    sleep 0.5
    rt_key Return
    rt_ends "$rt_game" 100 || rt_fail "Game does not end after Esc and yes"
    rt_game=
}

rt_open_first() {
    rt_press alt+o Tab Home Return
    rt_game_started
    tr '\0' '\n' <"/proc/$rt_game/cmdline" | grep -qxF -- "--open:$1" ||
        rt_fail "Game started with: $(tr '\0' ' ' <"/proc/$rt_game/cmdline"), not --open:$1"
}

rt_delete_first() {
    local box
    rt_press alt+o Tab Home alt+u
    for _ in $(seq 100); do
        box=$(xdotool search --onlyvisible --name '^Usu' 2>/dev/null | head -1)
        [ -n "$box" ] && break
        sleep 0.1
    done
    [ -n "$box" ] || rt_fail "no question before deleting"
    xdotool windowfocus --sync "$box"
    sleep 0.3
    rt_press Return
    for _ in $(seq 100); do
        [ -f "$1" ] || break
        sleep 0.1
    done
    [ ! -f "$1" ] || rt_fail "$1 was not deleted"
    xdotool windowfocus --sync "$rt_dialog"
    rt_press Escape
    rt_launcher_ended
}
