#!/usr/bin/env bash
# Sets up, builds and starts the game. Without arguments it starts the launcher in the program
# folder build/bin/ (where saved games live); with arguments it starts Game itself with them,
# e.g. scripts/play.sh --window "--new:$HOME/picture.jpg?100" (scripts/start.sh does the start).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF -DPUZZLE_BENCH=OFF >/dev/null
cmake --build build

exec bash scripts/start.sh "$root/build/bin" "$@"
