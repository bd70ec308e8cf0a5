#!/usr/bin/env bash
# Sets up, builds and starts the game. Without arguments it starts the launcher; with arguments
# it starts Game itself with them, e.g. scripts/play.sh --window "--new:picture.jpg?100".
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF -DPUZZLE_BENCH=OFF >/dev/null
cmake --build build

if [ $# -eq 0 ] && [ -x build/bin/Puzzle ]; then
    exec build/bin/Puzzle
else
    exec build/bin/Game "$@"
fi
