#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and twwatch (release) and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
exec build/release/bin/Tarnwick "$@"
