#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and twwatch (release, no tests) and makes the Debian
# package with CPack. Prints the package's path. An argument names the build folder (build/package).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}
scripts/deps.sh package

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
cd "$build"
rm -f tarnwick_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/tarnwick_*.deb
