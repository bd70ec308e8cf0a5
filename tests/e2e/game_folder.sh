# Sourced by the end-to-end scripts that run Game: a private copy of the program folder.
#   game_folder NAME GAME
# Makes $work (removed at exit, together with a still running $pid) holding bin/ with a copy of
# GAME, the picture decoder beside it and its Gfx/ folder, and frames/, into which the device
# dumps every tenth frame, and a display of its own. Steps and waits: tests/e2e/wait.sh.
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

game_folder() {
    t_tmp work "$1"
    pid=
    t_on_exit 't_stop "$pid"'
    t_own_display

    mkdir -p "$work/bin" "$work/frames"
    cp "$2" "$work/bin/Game"
    cp "$(dirname "$2")/PictureDecoder" "$work/bin/PictureDecoder"
    cp -r "$(dirname "$2")/Gfx" "$work/bin/Gfx"
    export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy D3D9_NO_VSYNC=1
    # Mesa's software driver is unloaded before the leak check at exit, so its few allocations
    # show up as leaks from an unknown module that no suppression can name; the unit tests
    # check ours.
    export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
    export D3D9_DUMP_PATH="$work/frames/f%06d.png" D3D9_DUMP_FRAMES=every:10
}
