#!/usr/bin/env bash
# Installs what is missing, builds everything with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer (plus the libFuzzer targets), and runs the whole test suite with ctest.
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTW_SANITIZE=ON -DTW_FUZZ=ON -DTW_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build/test -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LC_ALL=C.UTF-8
cd build/test
ctest --output-on-failure -j"$(nproc)" "$@"
