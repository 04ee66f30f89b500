#!/usr/bin/env bash
# How long the main window's UI thread stalls while ten 1-GiB WAV files and a 4-GiB video are
# added and started, on an Xvfb display of its own (Qt's xcb platform), with a data folder and a
# temporary folder of its own and the update check pointed at a closed loopback port.
# Usage: bench/ui_stall.sh [--keep-files DIR] [--warm]   (after tools/build.sh; builds nothing)
#   --keep-files DIR  make the files in DIR, or take them from there when a run left them, and
#                     leave them there (about 14 GiB)
#   --warm            leave the files in the page cache (by default they are read from the disk)
# Everything else it makes (the files without --keep-files, the job folders' copies of them, as
# big again) goes when it ends, also when it fails or is interrupted. Needs about 30 GiB free
# (16 GiB with kept files).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
media=""
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --keep-files) media=${2:?--keep-files needs a folder}; shift 2 ;;
    --warm) options+=(--warm); shift ;;
    *) echo "usage: $0 [--keep-files DIR] [--warm]" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
xvfb=""
bench=""
cleanup() {
  # The benchmark leads a process group of its own: the speech double and ffmpeg go with it.
  if [ -n "$bench" ]; then kill -- "-$bench" 2>/dev/null || true; wait "$bench" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
media=${media:-$work/media}

mkdir -p "$work/data/Talvora" "$work/tmp"
printf '[Talvora]\r\nUpdateUrl=http://127.0.0.1:9\r\n' > "$work/data/Talvora/config.ini"
mkdir -m 0700 "$work/runtime"
export XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime"

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb

# A run right after another starts while the disk still writes and discards the last run's
# gigabytes: it waits (at most 4 minutes) until the kernel reports the disk quiet, so that one
# run's figure is not the aftermath of the one before.
io_busy() { awk '/^some/ { split($2, f, "="); exit !(f[2] >= 1.0) }' /proc/pressure/io 2>/dev/null; }
for _ in $(seq 120); do io_busy || break; sleep 2; done
echo "disk pressure at the start: $(head -n1 /proc/pressure/io 2>/dev/null || echo unknown)"

setsid "$build/bench/ui_stall_bench" "$media" "${options[@]}" &
bench=$!
status=0
wait "$bench" || status=$?
bench=""
exit "$status"
