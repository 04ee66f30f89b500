#!/usr/bin/env bash
# Time to the first window of the program against a minimal Qt window, on a display of its own.
# Usage: bench/first_window.sh [runs] (after tools/build.sh; default 5 runs each)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
runs=${1:-5}
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
# A data folder of its own, with the update check pointed at a closed loopback port.
mkdir -p "$work/data/Talvora"
printf '[Talvora]\r\nUpdateUrl=http://127.0.0.1:9\r\n' > "$work/data/Talvora/config.ini"
mkdir -m 0700 "$work/runtime"
export XDG_DATA_HOME="$work/data" TMPDIR="$work" XDG_RUNTIME_DIR="$work/runtime"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
unset QT_QPA_PLATFORM
DISPLAY=$display "$build/bench/first_window_bench" "$runs" "$build/bin/talvora" "$build/bench/minimal_window"
