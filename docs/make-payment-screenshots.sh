#!/usr/bin/env bash
# Pictures of a card payment in the real console, for docs/:
#   payment-in-progress.png  the server's status text in the status line,
#                            input disabled, "Loobu" enabled
#   payment-approved.png     "Toiming on teostatud. Kviitungi number: 1001"
#
# Starts varo-sim with the cashier training scenario and the console
# (bin/Tellar, with a store and program folder of its own) under a virtual X
# display, and drives it with xdotool as a cashier would: the amount typed
# key by key, then the card "swiped", a keyboard-wedge reader's burst of keys
# a few milliseconds apart. The pictures are taken with ImageMagick's import.
#
#   bash docs/make-payment-screenshots.sh [BUILD_DIR]
# Needs: Xvfb, xdotool, imagemagick (import).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "make-payment-screenshots: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2; exit 1; }
done
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target Tellar varo-sim -j2

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "make-payment-screenshots: $*" >&2
  echo "-- varo-sim log:" >&2; cat "$work/sim.log" >&2 || true
  echo "-- console output:" >&2; cat "$work/tellar.out" >&2 || true
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A display of our own; Xvfb picks a free number and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 100 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n 1 "$work/display")"

"$build/bin/varo-sim" --port 0 "$root/sim/scenarios/training.json" >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for 100 grep -q '^listening on 127.0.0.1:' "$work/sim.log" || fail "varo-sim did not start"
port="$(head -n 1 "$work/sim.log")"
port="${port##*:}"

tellar=("$build/bin/Tellar" --registry "$work/registry" --home "$work/home")
mkdir -p "$work/registry" "$work/home"
"${tellar[@]}" --config set KKAddress 127.0.0.1 >/dev/null
"${tellar[@]}" --config set KKPort "$port" >/dev/null
"${tellar[@]}" --config set ReportMode 0 >/dev/null
"${tellar[@]}" --config set POS KASSA001 >/dev/null
"${tellar[@]}" --config set Session 41 >/dev/null

LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "${tellar[@]}" >"$work/tellar.out" 2>&1 &
pids+=($!)
window="$(timeout 20 xdotool search --sync --onlyvisible --name '^Tellar - POS:' | head -n 1)" \
  || fail "the console's window did not appear"
xdotool windowfocus --sync "$window"
sleep 1   # first paint

# The card payment tab is selected and the amount field has the focus.
xdotool type --delay 200 '12,50'
sleep 0.3
xdotool type --delay 4 ';4871049999999910=25121010000012345678?'

# The second status text of the scenario, while the payment waits.
wait_for 100 grep -q -- '-> 0002 .*PIN-koodi' "$work/sim.log" || fail "the payment did not start"
sleep 0.8
import -window "$window" "$here/payment-in-progress.png"
echo "$here/payment-in-progress.png"

# The approval; the status line shows the STAN once the server's "0023" ended the session.
wait_for 150 grep -q '#1 done' "$work/sim.log" || fail "the payment was not approved"
sleep 0.8
import -window "$window" "$here/payment-approved.png"
echo "$here/payment-approved.png"
