#!/usr/bin/env bash
# Sets up, builds and starts the game: the launcher when it has been built, else the game in a
# window with the arguments given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF -DPUZZLE_BENCH=OFF >/dev/null
cmake --build build

if [ -x build/bin/Puzzle ]; then
    exec build/bin/Puzzle "$@"
else
    exec build/bin/Game --window "$@"
fi
