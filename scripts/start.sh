#!/usr/bin/env bash
# Starts the game from a built program folder (default build/bin): without arguments the
# launcher, in the program folder, where Game keeps its saved games and takes relative picture
# paths from; with arguments Game itself with them.
#   scripts/start.sh [PROGRAM-FOLDER [Game arguments...]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$root/build/bin}"
shift || true
cd "$folder"
if [ $# -eq 0 ] && [ -x ./Puzzle ]; then
    exec ./Puzzle
else
    exec ./Game "$@"
fi
