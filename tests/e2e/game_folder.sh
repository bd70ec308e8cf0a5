# Sourced by the end-to-end scripts that run Game: a private copy of the program folder.
#   game_folder NAME GAME
# Makes $work (removed at exit, together with a still running $pid) holding bin/ with a copy of
# GAME, the picture decoder beside it and its Gfx/ folder, and frames/, into which the device
# dumps every tenth frame.
game_folder() {
    [ -n "${DISPLAY:-}" ] || { echo "needs a display (run under xvfb-run)"; exit 1; }
    work=$(mktemp -d "/tmp/$1.XXXXXX")
    pid=
    trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

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
