#!/usr/bin/env bash
# The suites under the sanitizers.
#
#   bash scripts/sanitize.sh asan [build-dir]   every test under AddressSanitizer
#                                               and UBSan (default build-asan)
#   bash scripts/sanitize.sh tsan [build-dir]   the threaded tests under
#                                               ThreadSanitizer (default build-tsan)
#
# Both build with g++ (Debug; the ASan build at -O1, which keeps its tests
# quick and its stacks readable) and run through CTest, offscreen. Any report
# fails its test: UBSan and ASan halt at the first, TSan exits with 66.
# Leaks that belong to the system libraries are suppressed by
# scripts/sanitizer-leaks.supp, each with its reason; nothing of the
# project's own is.
# Set TELLAR_CCACHE=1 to compile through ccache.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:?usage: sanitize.sh asan|tsan [build-dir]}
here=$PWD

launcher=()
if [ "${TELLAR_CCACHE:-0}" = 1 ]; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=$(nproc)

# The tests that run threads of their own: the report's save on its worker
# thread (flow: the dialog's and the session's report; session: through the
# window's report host) with the event pacer between the layout's passes
# (layout, flow), and the session against varo-sim. The window's own
# end-to-end tests are not among them: Qt's pooled threads that the widgets
# start meet in Qt's uninstrumented code, where TSan sees no lock.
tsan_tests='^(report_flow_test|report_layout_test|report_session_test|session_sim_test)$'

# A test's private cupsd must end with the test: one left running keeps every
# descriptor it inherited (a build lock held by a parent, for one) and the
# scheduler's folder. pgrep only looks.
no_scheduler_outlives_its_test() {
  local left
  left=$(pgrep -f "cupsd .*$(realpath "$1")/test-tmp/" || true)
  if [ -n "$left" ]; then
    echo "a test's cupsd outlived its test: pid(s) $left" >&2
    return 1
  fi
}

case "$mode" in
asan)
  build=${2:-build-asan}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 \
        -DTELLAR_SANITIZE=ON -DTELLAR_BUILD_BENCH=OFF "${launcher[@]}"
  cmake --build "$build" -j"$jobs"
  export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_odr_violation=0:strict_init_order=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$here/scripts/sanitizer-leaks.supp:print_suppressions=0"
  # The package test builds and checks the Release package in a build of its
  # own, without sanitizers: nothing of it runs instrumented, and the normal
  # suite runs it already.
  ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE '^package$'
  no_scheduler_outlives_its_test "$build"
  ;;
tsan)
  build=${2:-build-tsan}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTELLAR_TSAN=ON -DTELLAR_BUILD_BENCH=OFF "${launcher[@]}"
  targets=$(echo "$tsan_tests" | tr -d '^$()' | tr '|' ' ')
  # shellcheck disable=SC2086
  cmake --build "$build" -j"$jobs" --target $targets
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=4"
  ctest --test-dir "$build" --output-on-failure -j"$jobs" -R "$tsan_tests"
  ;;
*)
  echo "usage: sanitize.sh asan|tsan [build-dir]" >&2
  exit 2
  ;;
esac
