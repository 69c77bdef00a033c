#!/usr/bin/env bash
# Builds the console and the payment server simulator, starts the simulator
# with the cashier training scenario and the console against it, with a
# settings store and program folder of their own under build/run/.
#
# Usage: bash scripts/run.sh [scenario.json]   (default: the training scenario)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
scenario=${1:-sim/scenarios/training.json}

bash scripts/deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tellar varo-sim

state=$PWD/$build/run
mkdir -p "$state/registry" "$state/home"
simlog=$state/varo-sim.log

"$build/bin/varo-sim" --port 0 --loop "$scenario" >"$simlog" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT

port=
for _ in $(seq 100); do
  line=$(head -n 1 "$simlog" 2>/dev/null || true)
  if [[ $line == "listening on 127.0.0.1:"* ]]; then port=${line##*:}; break; fi
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || { echo "varo-sim did not start:"; cat "$simlog"; exit 1; }

tellar=("$build/bin/Tellar" --registry "$state/registry" --home "$state/home")
"${tellar[@]}" --config set KKAddress 127.0.0.1
"${tellar[@]}" --config set KKPort "$port"
"${tellar[@]}" --config set ReportMode 0

echo "Payment server simulator on 127.0.0.1:$port (log: $simlog)"
echo "Console log and error log in $state/home"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the console under Xvfb (nothing will be visible)."
  xvfb-run -a "${tellar[@]}"
else
  "${tellar[@]}"
fi
