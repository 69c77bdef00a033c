#!/usr/bin/env bash
# The include-direction check passes on the tree as it is and fails, naming
# the include, on a copy with one include reversed (the session reaching up
# into the window) and on one with a core file including a widget header.
# Usage: check-includes-test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1
work=$2
script=$source_dir/scripts/check-includes.sh

fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$script" "$source_dir" || fail "the tree as it is must pass"

copy() {
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$source_dir/console" "$source_dir/sim" "$work/"
}

copy
sed -i '1a #include "window/Form1.h"' "$work/console/session/FrameReader.cpp"
if out=$(bash "$script" "$work" 2>&1); then fail "a reversed include passed"; fi
grep -q 'console/session/FrameReader.cpp includes "window/Form1.h": session may not include window' <<<"$out" \
  || fail "the reversed include is not named: $out"

copy
sed -i '1a #include <QLineEdit>' "$work/console/journal/ServerCheck.cpp"
if out=$(bash "$script" "$work" 2>&1); then fail "a widget header in a core file passed"; fi
grep -q 'console/journal/ServerCheck.cpp (core) includes <QLineEdit> of QtWidgets' <<<"$out" \
  || fail "the widget header is not named: $out"

copy
sed -i '1a #include "Scenario.h"' "$work/sim/ReportAnswer.cpp"
if out=$(bash "$script" "$work" 2>&1); then fail "a cycle passed"; fi
grep -q 'cycle' <<<"$out" || fail "the cycle is not named: $out"

rm -rf "$work"
echo "check-includes: passes the tree, fails each of three breaches"
