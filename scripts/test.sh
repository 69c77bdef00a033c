#!/usr/bin/env bash
# Builds Tellar with its tests and runs the whole suite through CTest.
# Usage: bash scripts/test.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

bash scripts/deps.sh
# Debian's flags and /usr as the prefix: the package test packages this very
# build instead of building the program a second time.
# shellcheck source=scripts/debian-build-flags.sh
source scripts/debian-build-flags.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
