#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: bash scripts/fuzz.sh [build-dir] [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}

bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTELLAR_FUZZ=ON -DTELLAR_BUILD_CONSOLE=OFF -DTELLAR_BUILD_TESTS=OFF -DTELLAR_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"

shopt -s nullglob
targets=("$build"/bin/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built"; exit 0; }
for t in "${targets[@]}"; do
  name=$(basename "$t")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  log="$build/$name.log"
  echo "== $name for ${seconds}s (log: $log)"
  status=0
  "$t" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
  # The progress lines are many; the verdict and the final statistics are at the end.
  grep -E '^(Done|stat::|==[0-9]+==|SUMMARY)' "$log" | tail -n 20
  if [ $status -ne 0 ]; then
    tail -n 60 "$log"
    echo "$name failed with status $status"
    exit $status
  fi
done
