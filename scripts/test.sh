#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
# Window tests run under xvfb-run when there is no display. Then, as root, builds the Debian
# package and tests it installed. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh

# Every C and C++ source laid out as .clang-format says; the first difference fails the run.
find . \( -path './build*' -o -path './.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
    xargs -0 clang-format --dry-run --Werror

build="$root/build-test"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPUZZLE_SANITIZE=ON -DPUZZLE_BENCH=OFF
cmake --build "$build"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Mesa's software rasteriser, so that drawing tests read back exact pixels.
export LIBGL_ALWAYS_SOFTWARE=1

run_ctest() {
    ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
}

# -noreset: the X server stays up as it is between tests instead of regenerating each time its
# last client leaves.
if [ -n "${DISPLAY:-}" ]; then
    run_ctest
else
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c "$(declare -f run_ctest); build='$build'; run_ctest"
fi

# The Debian package installed into this machine and played as an unprivileged user; skipped
# (with a message) without root. The package is removed again afterwards.
bash tests/package/package_test.sh

# The saved-game reader under libFuzzer and AddressSanitizer, for a bounded time.
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
