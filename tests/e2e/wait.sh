# Sourced by the end-to-end scripts: steps, waits with deadlines, failures that say what they saw.
#   PUZZLE_TEST_SLOWDOWN   multiplies every deadline (default 1; e.g. 3 on a slow machine)
#   t_step TEXT            names the step the test is in; printed with the time, and in a failure
#   t_fail TEXT            prints "FAIL in step: TEXT" and the output of t_on_fail, exits 1
#   t_until SECONDS WHAT COMMAND...
#                          runs COMMAND every 0.1 s until it succeeds; after SECONDS (scaled)
#                          fails: what it waited for and what COMMAND printed the last time;
#                          at once when COMMAND returns 3 (the state can no longer come)
#   t_run COMMAND...       runs COMMAND; when it fails, fails with its own output
#   t_gone PID             true when process PID has ended (a zombie no one reaps counts as ended);
#                          else prints it
#   t_alive PID WHAT       fails unless process PID still runs ("WHAT ended")
#   t_stop PID             ends PID (if it still runs) and reaps it; never fails
#   t_tmp VAR NAME         VAR = a new folder under $TMPDIR (or /tmp), removed at exit
#   t_frame_complete FILE  true when FILE is a whole PNG (its IEND chunk written)
#   t_own_display          starts an Xvfb of this test alone (stopped at exit) and points
#                          DISPLAY at it: no other test's pointer, focus or windows get in the way
# The cleanup runs on exit, whatever the path: t_on_exit adds a command to it; one that fails
# does not stop the others.

t_slowdown=${PUZZLE_TEST_SLOWDOWN:-1}
t_current_step="start"
t_started=$SECONDS
t_cleanups=()

t_seconds() { awk -v s="$1" -v f="$t_slowdown" 'BEGIN { v = s * f; printf "%d\n", v == int(v) ? v : int(v) + 1 }'; }

t_step() {
    t_current_step=$*
    echo "-- [$((SECONDS - t_started)) s] $t_current_step" >&2
}

# Scripts may define t_on_fail to print more (a log of the programs, a screenshot).
t_fail() {
    echo "FAIL in step '$t_current_step' after $((SECONDS - t_started)) s: $*" >&2
    if declare -F t_on_fail >/dev/null; then t_on_fail >&2 || true; fi
    exit 1
}

t_until() {
    local seconds what deadline seen=
    seconds=$(t_seconds "$1")
    what=$2
    shift 2
    deadline=$((SECONDS + seconds))
    while :; do
        local status=0
        seen=$("$@" 2>&1) || status=$?
        if [ "$status" -eq 0 ]; then
            [ -z "$seen" ] || printf '%s\n' "$seen"
            return 0
        fi
        [ "$status" -ne 3 ] || t_fail "waiting for $what: ${seen:-it can no longer come}"
        [ "$SECONDS" -lt "$deadline" ] || break
        sleep 0.1
    done
    t_fail "waited ${seconds} s for $what; the last check ($*) said: ${seen:-nothing}"
}

t_run() {
    local out
    out=$("$@" 2>&1) || t_fail "$* failed ($?): $out"
    [ -z "$out" ] || printf '%s\n' "$out"
}

t_gone() {
    local state
    state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
    [ -n "$state" ] && [ "$state" != Z ] || return 0
    ps -o pid=,stat=,args= -p "$1"
    return 1
}

t_alive() { t_gone "$1" >/dev/null && t_fail "$2 ended"; return 0; }

t_stop() {
    [ -n "${1:-}" ] || return 0
    kill "$1" 2>/dev/null || true
    local _
    for _ in $(seq 50); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

t_on_exit() { t_cleanups+=("$*"); }

t_cleanup() {
    local status=$? command
    set +e
    for ((i = ${#t_cleanups[@]} - 1; i >= 0; i--)); do
        command=${t_cleanups[$i]}
        eval "$command" || echo "cleanup: '$command' failed" >&2
    done
    exit "$status"
}
trap t_cleanup EXIT
# A signal (ctest's timeout, ^C) names the step before the cleanup runs.
trap 'echo "interrupted in step '"'"'$t_current_step'"'"' after $((SECONDS - t_started)) s" >&2; exit 143' TERM INT HUP

t_tmp() {
    local _t_new
    _t_new=$(mktemp -d "${TMPDIR:-/tmp}/$2.XXXXXX") || t_fail "no temporary folder"
    t_on_exit "rm -rf '$_t_new'"
    printf -v "$1" %s "$_t_new"
}

t_frame_complete() { [ "$(tail -c 8 "$1" 2>/dev/null | head -c 4)" = IEND ]; }

# Frames dumped by the device (D3D9_DUMP_PATH=FOLDER/f%06d.png): names sort by frame number.
#   t_newest_frame FOLDER      prints the newest whole frame's name; false when there is none
#   t_frames_later FOLDER N SECONDS WHAT
#                              waits until a whole frame at least N frames after the newest one
#                              now is there (input sent before has been read by then), prints it
t_newest_frame() {
    local name
    for name in $(ls "$1" 2>/dev/null | sort | tail -2 | sort -r); do
        t_frame_complete "$1/$name" && { echo "$name"; return 0; }
    done
    echo "no whole frame in $1 ($(ls "$1" 2>/dev/null | wc -l) files)"
    return 1
}

t_frame_number() { local n=${1#f}; n=${n%.png}; echo $((10#$n)); }

t_frames_later() {
    local now=0 frame
    frame=$(t_newest_frame "$1") && now=$(t_frame_number "$frame")
    _t_frame_from() {
        local f
        f=$(t_newest_frame "$1") || { echo "$f"; return 1; }
        [ "$(t_frame_number "$f")" -ge "$2" ] && echo "$f" && return 0
        echo "newest frame $f"
        return 1
    }
    t_until "$3" "$4 (frame $((now + $2)) or later)" _t_frame_from "$1" $((now + $2))
}

# Leaves Game as a player does: Esc asks, Enter says yes. A notice still open takes the first
# Enter; the next round asks again. Waits up to a minute for process PID to end.
#   t_leave_game PID WINDOW FRAMES-FOLDER
_t_leave_round() {
    t_gone "$1" >/dev/null && return 0
    xdotool windowfocus "$2" key --window "$2" Escape 2>&1
    t_frames_later "$3" 10 30 "Game to show the question" >/dev/null
    xdotool key --window "$2" Return 2>&1
    local _
    for _ in $(seq 20); do
        t_gone "$1" >/dev/null && return 0
        sleep 0.1
    done
    t_gone "$1"
}
t_leave_game() { t_until 60 "Game to end after Esc and Enter" _t_leave_round "$@"; }

_t_display_named() {
    [ -s "$1/display" ] && return 0
    t_gone "$2" >/dev/null && { echo "Xvfb ended: $(cat "$1/log")"; return 3; }
    return 1
}
t_own_display() {
    local folder xvfb
    t_tmp folder xvfb
    # -displayfd: Xvfb picks a free display itself and names it once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$folder/display" >"$folder/log" 2>&1 &
    xvfb=$!
    t_on_exit "t_stop $xvfb"
    t_until 30 "Xvfb to start" _t_display_named "$folder" "$xvfb"
    export DISPLAY=":$(cat "$folder/display")"
    unset XAUTHORITY
}
