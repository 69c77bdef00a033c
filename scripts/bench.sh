#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: the codec (report-sized and
# request frames), the PDF writer against libharu, and the largest report.
# Usage: bash scripts/bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}

bash scripts/deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_varo bench_papyr bench_report bench_journal
for b in bench_varo bench_papyr bench_report bench_journal; do
  echo "== $b"
  "$build/bin/$b"
done
