#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
# Window tests run under xvfb-run when there is no display. Then, as root, builds the Debian
# package and tests it installed, and fuzzes. Every stage runs even when an earlier one failed;
# a summary of the stages, their times and results closes the run, and the exit code is non-zero
# when any stage failed. Tests write into a temporary folder of this run ($TMPDIR), removed at
# the end. PUZZLE_TEST_SLOWDOWN (default 1) stretches the end-to-end tests' deadlines.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

run_tmp=$(mktemp -d "${TMPDIR:-/tmp}/puzzle-test.XXXXXX") || exit 1
trap 'rm -rf "$run_tmp"' EXIT
trap 'exit 130' INT TERM
# The package test plays as the user nobody in a folder inside.
chmod 755 "$run_tmp"
export TMPDIR=$run_tmp

summary=()
failed=0
# stage NAME COMMAND...: runs a stage, notes its time and result.
stage() {
    local name=$1 started=$SECONDS status
    shift
    echo "=== $name"
    "$@"
    status=$?
    local result=passed
    [ "$status" -eq 0 ] || { result="FAILED ($status)"; failed=$((failed + 1)); }
    summary+=("$(printf '%-14s %-12s %5d s' "$name" "$result" $((SECONDS - started)))")
    echo "=== $name: $result after $((SECONDS - started)) s"
}

# Every C and C++ source laid out as .clang-format says.
check_format() {
    find . \( -path './build*' -o -path './.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
        xargs -0 clang-format --dry-run --Werror
}

build="$root/build-test"
configure_and_build() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPUZZLE_SANITIZE=ON -DPUZZLE_BENCH=OFF &&
        cmake --build "$build"
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Mesa's software rasteriser, so that drawing tests read back exact pixels.
export LIBGL_ALWAYS_SOFTWARE=1

# Two tests at a time: the end-to-end tests spend much of their time waiting for frames, and
# those that give input have a display of their own.
run_ctest() {
    ctest --test-dir "$build" --output-on-failure --timeout 600 -j 2
}
# -noreset: the X server stays up as it is between tests instead of regenerating each time its
# last client leaves.
run_tests() {
    if [ -n "${DISPLAY:-}" ]; then
        run_ctest
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c "$(declare -f run_ctest); build='$build'; run_ctest"
    fi | tee "$run_tmp/ctest.log"
}

stage setup bash scripts/setup.sh
stage format check_format
stage build configure_and_build
stage tests run_tests
# The Debian package installed into this machine and played as an unprivileged user; skipped
# (with a message) without root. The package is removed again afterwards.
stage package bash tests/package/package_test.sh
# The saved-game reader and the picture path under libFuzzer and AddressSanitizer.
stage fuzzing bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
# CTest's own count, repeated where the run ends.
grep -E '^[0-9]+% tests passed' "$run_tmp/ctest.log" 2>/dev/null
echo "$failed of ${#summary[@]} stages failed"
[ "$failed" -eq 0 ]
