#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each in
# turn for a bounded time, from its seed corpus in fuzz/corpus/<target>/.
# Usage: bash scripts/fuzz.sh [build-dir] [seconds-per-target] [target...]
#
# Prints one line per target, "<target>: N executions, 0 crashes", and the
# coverage it reached; a crash (or a broken invariant, a leak, a time-out,
# running out of memory) is saved under <build-dir>/artifacts/ and the script
# exits non-zero once every target has run. The corpus a run grows is kept in
# <build-dir>/corpus/<target>/ for the next run. FUZZ_FLAGS adds libFuzzer
# options (e.g. FUZZ_FLAGS="-max_len=4096"; a run is one process already:
# -jobs would move its output to fuzz-N.log); TELLAR_CCACHE=1 compiles
# through ccache.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
wanted=("$@")

bash scripts/deps.sh
launcher=()
if [ "${TELLAR_CCACHE:-0}" = 1 ]; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTELLAR_FUZZ=ON -DTELLAR_BUILD_CONSOLE=ON -DTELLAR_BUILD_TESTS=OFF -DTELLAR_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_all

targets=()
if [ ${#wanted[@]} -gt 0 ]; then
  for name in "${wanted[@]}"; do targets+=("$build/bin/$name"); done
else
  shopt -s nullglob
  targets=("$build"/bin/fuzz_*)
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built" >&2; exit 1; }

# Leaks of the Qt runtime that a process keeps until exit are no input's
# fault; the suppressions say which and why.
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizer-leaks.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

failed=0
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  name=$(basename "$t")
  [ -x "$t" ] || { echo "$name: not built" >&2; failed=1; continue; }
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  log="$build/$name.log"
  status=0
  # shellcheck disable=SC2086
  "$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=2048 \
       -artifact_prefix="$build/artifacts/$name-" ${FUZZ_FLAGS:-} \
       "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
  execs=$(grep -E '^stat::number_of_executed_units:' "$log" | tail -n1 | awk '{print $2}')
  # The last status line: "#N  DONE  cov: C ft: F corp: ..."
  progress=$(grep -E '^#[0-9]+' "$log" | tail -n1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$progress")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$progress")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$progress")
  if [ $status -eq 0 ]; then
    echo "$name: ${execs:-0} executions, 0 crashes"
    echo "  cov: ${cov:-?} ft: ${ft:-?} corpus: ${corp:-?} (${seconds}s, log: $log)"
  else
    # libFuzzer stops at the first crash: the run's executions up to it.
    execs=${execs:-$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$progress")}
    echo "$name: ${execs:-0} executions, 1 crash (status $status)"
    grep -E '^(==[0-9]+==|SUMMARY|fuzz invariant broken|artifact_prefix|Test unit written)' "$log" | head -n 20
    tail -n 40 "$log"
    failed=1
  fi
done
exit $failed
