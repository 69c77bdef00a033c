#!/usr/bin/env bash
# Runs payment sessions back to back against varo-sim in one console process
# and prints sessions per second, resident memory and open file descriptors
# at the start and the end. Fails when memory or descriptors grow.
# Usage: bash scripts/soak.sh [sessions] [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
sessions=${1:-1000}
build=${2:-build-release}

bash scripts/deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target session_soak varo-sim
"$build/bin/session_soak" --sessions "$sessions"
