#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them all (drawing ones under xvfb-run when
# there is no display). Figures go to standard output.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
build="$root/build-rel"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF -DPUZZLE_BENCH=ON >/dev/null
cmake --build "$build"

export LIBGL_ALWAYS_SOFTWARE=1 D3D9_NO_VSYNC=1 D3D9_DRAW_EVERY_FRAME=1
run() {
    for b in "$build"/bench/*_bench; do
        echo "== $(basename "$b")"
        "$b" "$@"
    done
}
if [ -n "${DISPLAY:-}" ]; then
    run "$@"
else
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c "$(declare -f run); build='$build'; run $*"
fi
