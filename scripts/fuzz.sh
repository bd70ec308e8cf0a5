#!/usr/bin/env bash
# Fuzzes the saved-game reader, then the picture decoder path, with libFuzzer and
# AddressSanitizer, each for a bounded time.
#   scripts/fuzz.sh [seconds]      (default 60 each; FUZZ_SECONDS works too)
# Configures its own clang build in build-fuzz, writes a seed corpus of saved games made by the
# game's writer (plus any .pzz files already lying in the build folders' bin/), and runs the
# target; the picture target starts from small pictures of the launcher's types and the damaged
# ones of tests/data/hostile. Exits non-zero when a fuzzer finds a crash, a leak or an
# out-of-bounds access in the game's code; the failing input is left in build-fuzz/fuzz/
# (crash-*, leak-*). Faults of the decoder program itself are expected and are not findings.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${1:-${FUZZ_SECONDS:-60}}"

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPUZZLE_FUZZ=ON -DPUZZLE_SANITIZE=OFF -DPUZZLE_BENCH=OFF >/dev/null
cmake --build "$build" --target save_fuzz save_fuzz_seeds picture_fuzz PictureDecoder -j2

seeds="$build/fuzz/save-seeds"
corpus="$build/fuzz/save-corpus"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus"
"$build/fuzz/save_fuzz_seeds" "$seeds"
find "$root" -maxdepth 3 -path "$root/build-*/bin/*.pzz" -size -4M -exec cp {} "$seeds/" \; 2>/dev/null || true

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
cd "$build/fuzz"
# Both targets run even when the first one finds something.
failed=
./save_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=1200000 \
    -print_final_stats=1 "$corpus" "$seeds" || failed="$failed save_fuzz"

# Picture seeds: the first byte picks the file's extension (its index among the launcher's types).
picture_seeds="$build/fuzz/picture-seeds"
picture_corpus="$build/fuzz/picture-corpus"
rm -rf "$picture_seeds"
mkdir -p "$picture_seeds" "$picture_corpus"
types=(bmp cut dcx dds ico jpg lbm lif mdl pcd pcx pic png pnm psd psp raw sgi tga tif wal act pal)
index_of() { for i in "${!types[@]}"; do [ "${types[$i]}" = "$1" ] && echo "$i" && return; done; echo 0; }
for type in bmp dds ico jpg pcx png pnm psd sgi tga tif; do
    writer=; [ "$type" = bmp ] && writer=BMP3:
    convert -size 24x16 plasma:fractal -depth 8 "$writer$picture_seeds/seed.$type" 2>/dev/null || continue
    { printf "\\$(printf %o "$(index_of "$type")")"; cat "$picture_seeds/seed.$type"; } >"$picture_seeds/$type"
    rm "$picture_seeds/seed.$type"
done
# (not the endless loops: each costs the whole time limit; the end-to-end test covers them)
for file in "$root"/tests/data/hostile/*; do
    case $(basename "$file") in hang-*) continue ;; esac
    type=${file##*.}
    { printf "\\$(printf %o "$(index_of "$type")")"; cat "$file"; } >"$picture_seeds/$(basename "$file")"
done
./picture_fuzz -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "$picture_corpus" "$picture_seeds" || failed="$failed picture_fuzz"
if [ -n "$failed" ]; then
    echo "fuzzing found faults:$failed (inputs in $build/fuzz)" >&2
    exit 1
fi
