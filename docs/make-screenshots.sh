#!/usr/bin/env bash
# Rebuilds the console's screenshots in docs/ under a virtual X display.
#   bash docs/make-screenshots.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target tellar_screenshots tellar_translations -j2
# Estonian keyboard and texts; the fonts are whatever fontconfig offers.
LANG=C.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
  env QT_QPA_PLATFORM=xcb "$build/bin/tellar_screenshots" "$here"
