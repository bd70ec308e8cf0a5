#!/usr/bin/env bash
# Builds the Debian package of the game with CPack in a release build (build-package/) and
# prints the path of the .deb. Its dependencies are read from the shared libraries the programs
# link (dpkg-shlibdeps).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh >&2
build="$root/build-package"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPUZZLE_TESTS=OFF -DPUZZLE_BENCH=OFF \
    "${launcher[@]}" >&2
cmake --build "$build" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/*.deb
