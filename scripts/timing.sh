#!/usr/bin/env bash
# scripts/timing.sh BINDIR PICTURE COUNT [idle]: a real game under the current X display, timed
# as the player sees it. Prints the longest time between two presented frames while the board is
# built (--new:), during a first and a second save with the bar's button, while the save is opened
# (--open:) and during a save after that load, with the peak resident memory of each run: of Game
# alone (GNU time) and of Game and its children together (sampled every 20 ms). With "idle", it
# then starts the game once more with frames reused as they normally are, waits for the board
# and prints the processor time of all Game's threads over 20 s on the untouched board and the
# frames presented meanwhile. SAVE_AFTER=seconds leaves the board untouched that long before the
# first save (the start's figure then covers that time too). Needs xdotool, a C compiler and GNU time; the folder BINDIR holds
# Game, PictureDecoder and Gfx.
bin=$1; pic=$(realpath "$2"); count=$3; idle=$4
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
# waits until the log has a gap over $GAP s (0.3 unless set) after time $1 and 15 frames after that gap
wait_gap() {
  for i in $(seq 1 600); do
    if awk -v t=$1 -v gap=${GAP:-0.3} 'BEGIN{g=0} $1>t{ if (p && $1-p>gap) g=1; else if (g) n++; p=$1 } END{exit !(g && n>=15)}' $2; then return 0; fi
    sleep 0.1
  done; echo "timeout waiting for a gap" >&2
}
maxgap() { awk -v a=$1 -v b=$2 '$1>a && $1<=b { if (p && $1-p>m) m=$1-p; p=$1 } $1<=a {p=$1} END{printf "%.2f", m}' $3; }
win() { for i in $(seq 1 100); do w=$(xdotool search --onlyvisible --pid $1 2>/dev/null | head -1); [ -n "$w" ] && { echo $w; return; }; sleep 0.1; done; }
click_save() { xdotool mousemove --window $1 630 570; sleep 0.3; xdotool click --window $1 1; }
# kB of resident memory of a process and all its descendants
tree_rss() {
  local t c; t=$(awk '/VmRSS/{print $2}' /proc/$1/status 2>/dev/null); t=${t:-0}
  for c in $(pgrep -P $1); do t=$((t + $(tree_rss $c))); done; echo $t
}
# samples tree_rss of $1 until it ends, prints the peak in kB to $2
sample_peak() { local peak=0 r; while kill -0 $1 2>/dev/null; do r=$(tree_rss $1); [ $r -gt $peak ] && peak=$r; echo $peak > $2; sleep 0.02; done; }
run() { # arg, saves
  log=$work/swaps.$RANDOM; : > $log
  SWAP_TIMES_LOG=$log LD_PRELOAD=$work/swap_times.so /usr/bin/time -v -o $work/time.txt $work/Game --window "$1" & tpid=$!
  for i in $(seq 1 50); do pid=$(pgrep -n -f "^$work/Game"); [ -n "$pid" ] && break; sleep 0.02; done
  echo 0 > $work/peak.txt; sample_peak $pid $work/peak.txt & spid=$!
  sleep 1; w=$(win $pid); t0=$(now)
  for i in 1 2 3; do xdotool mousemove --window $w 790 10; xdotool key --window $w x; sleep 1; done
  wait_gap $t0 $log; sleep 1
  [ "$2" -gt 1 ] && sleep "${SAVE_AFTER:-0}"
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
  marks+=($(now)); kill $pid; wait $tpid; wait $spid
  out=""
  for ((i=0;i<${#marks[@]}-1;i++)); do out+=" $(maxgap ${marks[i]} ${marks[i+1]} $log)"; done
  echo "$out peak=$(awk '/Maximum resident/{printf "%.2f GB", $6/1048576}' time.txt)" \
       "tree peak=$(awk '{printf "%.2f GB", $1/1048576}' $work/peak.txt)"
}
echo "new game: start save1 save2 ->$(run "--new:$pic?$count" 2)"
f=$(ls $work/*.pzz | head -1)
echo "open: load save ->$(run "--open:$(basename "$f")" 1)"
ls -la $work/*.pzz | awk '{print $5}'
if [ "$idle" = idle ]; then
  log=$work/swaps.idle; : > $log
  SWAP_TIMES_LOG=$log LD_PRELOAD=$work/swap_times.so D3D9_DRAW_EVERY_FRAME= $work/Game --window "--new:$pic?$count" & gpid=$!
  sleep 1; pid=$(pgrep -n -f "^$work/Game"); w=$(win $pid)
  for i in 1 2 3; do xdotool mousemove --window $w 790 10; xdotool key --window $w x; sleep 1; done
  # the board is shown: frames come again after the start's gap
  t0=$(now); for i in $(seq 1 600); do
    awk -v t=$t0 -v gap=${GAP:-0.3} 'BEGIN{g=0} $1>t{ if (p && $1-p>gap) g=1; else if (g) n++; p=$1 } END{exit !(g && n>=2)}' $log && break
    sleep 0.1; done; sleep 3
  ticks() { awk '{print $14+$15}' /proc/$pid/stat; }
  hz=$(getconf CLK_TCK); a=$(ticks); f0=$(wc -l < $log); sleep 20; b=$(ticks); f1=$(wc -l < $log)
  echo "idle: $(awk -v t=$((b - a)) -v hz=$hz 'BEGIN{printf "%.1f", 100 * t / hz / 20}') % of a core," \
       "$((f1 - f0)) frames presented in 20 s"
  kill $pid; wait $gpid
fi
rm -rf "$work"
