#!/usr/bin/env bash
# Fuzzes the saved-game reader with libFuzzer and AddressSanitizer for a bounded time.
#   scripts/fuzz.sh [seconds]      (default 60; FUZZ_SECONDS works too)
# Configures its own clang build in build-fuzz, writes a seed corpus of saved games made by the
# game's writer (plus any .pzz files already lying in the build folders' bin/), and runs the
# target. Exits non-zero when the fuzzer finds a crash, a leak or an out-of-bounds access; the
# failing input is left in build-fuzz/fuzz/ (crash-*, leak-*).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${1:-${FUZZ_SECONDS:-60}}"

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPUZZLE_FUZZ=ON -DPUZZLE_SANITIZE=OFF -DPUZZLE_BENCH=OFF >/dev/null
cmake --build "$build" --target save_fuzz save_fuzz_seeds -j2

seeds="$build/fuzz/save-seeds"
corpus="$build/fuzz/save-corpus"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus"
"$build/fuzz/save_fuzz_seeds" "$seeds"
find "$root" -maxdepth 3 -path "$root/build-*/bin/*.pzz" -size -4M -exec cp {} "$seeds/" \; 2>/dev/null || true

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
cd "$build/fuzz"
./save_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=1200000 \
    -print_final_stats=1 "$corpus" "$seeds"
