#!/usr/bin/env bash
# Shows the program's windows (the message boxes and the About window in its three states) on a
# virtual X display under Xvfb, saves each window and the whole screen as the display shows them,
# and keeps them open for a while if asked.
# Usage: tools/show-windows.sh [folder] [seconds]   (default folder: docs/screenshots/xvfb)
# The build folder is build/, or $TALVORA_BUILD_DIR.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup-deps.sh"
build=${TALVORA_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" --target talvora_window_pictures -j "$(nproc)" >/dev/null
folder=${1:-$top/docs/screenshots/xvfb}
seconds=${2:-0}
exec env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tests/talvora_window_pictures" --show "$folder" --hold "$seconds"
