#!/usr/bin/env bash
# scripts/timing.sh BINDIR PICTURE COUNT: a real game under the current X display, timed as the
# player sees it. Prints the longest time between two presented frames while the board is built
# (--new:), during a first and a second save with the bar's button, while the save is opened
# (--open:) and during a save after that load, with the peak resident memory of each run. Needs
# xdotool, a C compiler and GNU time; the folder BINDIR holds Game, PictureDecoder and Gfx.
bin=$1; pic=$(realpath "$2"); count=$3
work=$(mktemp -d /tmp/timing.XXXX); cp -r "$bin/Game" "$bin/Gfx" "$bin/PictureDecoder" "$work/"
# Every presented frame's time, from a preloaded SDL_GL_SwapWindow.
cat > "$work/swap_times.c" <<'SHIM'
// LD_PRELOAD: appends the wall-clock time of every SDL_GL_SwapWindow to $SWAP_TIMES_LOG.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static FILE* g_log;

void SDL_GL_SwapWindow(void* window) {
    static void (*real)(void*);
    if (!real)
        real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    if (!g_log) {
        const char* path = getenv("SWAP_TIMES_LOG");
        g_log = path ? fopen(path, "a") : NULL;
        if (!g_log)
            return;
        setvbuf(g_log, NULL, _IOLBF, 0);
    }
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    fprintf(g_log, "%ld.%09ld\n", (long)t.tv_sec, t.tv_nsec);
}
SHIM
cc -O2 -shared -fPIC -o "$work/swap_times.so" "$work/swap_times.c" -ldl
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy D3D9_DRAW_EVERY_FRAME=1
cd $work
now() { date +%s.%N; }
# waits until the log has a gap over 0.3 s after time $1 and 15 frames after that gap
wait_gap() {
  for i in $(seq 1 600); do
    if awk -v t=$1 'BEGIN{g=0} $1>t{ if (p && $1-p>0.3) g=1; else if (g) n++; p=$1 } END{exit !(g && n>=15)}' $2; then return 0; fi
    sleep 0.1
  done; echo "timeout waiting for a gap" >&2
}
maxgap() { awk -v a=$1 -v b=$2 '$1>a && $1<=b { if (p && $1-p>m) m=$1-p; p=$1 } $1<=a {p=$1} END{printf "%.2f", m}' $3; }
win() { for i in $(seq 1 100); do w=$(xdotool search --onlyvisible --pid $1 2>/dev/null | head -1); [ -n "$w" ] && { echo $w; return; }; sleep 0.1; done; }
click_save() { xdotool mousemove --window $1 630 570; sleep 0.3; xdotool click --window $1 1; }
run() { # arg, saves
  log=$work/swaps.$RANDOM; : > $log
  SWAP_TIMES_LOG=$log LD_PRELOAD=$work/swap_times.so /usr/bin/time -v -o $work/time.txt $work/Game --window "$1" & tpid=$!
  sleep 1; pid=$(pgrep -n -f "$work/Game"); w=$(win $pid); t0=$(now)
  for i in 1 2 3; do xdotool mousemove --window $w 790 10; xdotool key --window $w x; sleep 1; done
  wait_gap $t0 $log; sleep 1
  marks=($t0)
  for s in $(seq 1 $2); do
    before=$(stat -c %Y.%y $work/*.pzz 2>/dev/null | md5sum)
    t=$(now); marks+=($t); click_save $w
    for i in $(seq 1 600); do
      after=$(stat -c %Y.%y $work/*.pzz 2>/dev/null | md5sum)
      [ "$after" != "$before" ] && ! ls $work/*.tmp >/dev/null 2>&1 && break; sleep 0.1
    done; sleep 1
    xdotool key --window $w Return; sleep 0.5
  done
  marks+=($(now)); kill $pid; wait $tpid
  out=""
  for ((i=0;i<${#marks[@]}-1;i++)); do out+=" $(maxgap ${marks[i]} ${marks[i+1]} $log)"; done
  echo "$out peak=$(awk '/Maximum resident/{printf "%.2f GB", $6/1048576}' time.txt)"
}
echo "new game: start save1 save2 ->$(run "--new:$pic?$count" 2)"
f=$(ls $work/*.pzz | head -1)
echo "open: load save ->$(run "--open:$(basename "$f")" 1)"
ls -la $work/*.pzz | awk '{print $5}'
rm -rf "$work"
