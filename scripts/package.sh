#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and twwatch (release, no tests) and makes the Debian
# package with CPack. Prints the package's path. An argument names the build folder (build/package).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}
scripts/deps.sh package

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Debian's hardening, as the archive's packages get it: fortified functions, stack protector, full RELRO.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$cppflags $(dpkg-buildflags --get CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$cppflags $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    "${launcher[@]}" >/dev/null
# The compiler's output only when the build fails.
cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1 || {
    tail -n 60 "$build/build.log"
    exit 1
}
cd "$build"
rm -f tarnwick_*.deb
cpack -G DEB >/dev/null 2>&1 || cpack -G DEB
ls "$PWD"/tarnwick_*.deb
