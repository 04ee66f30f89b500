#!/usr/bin/env bash
# Configures and builds Talvora. Usage: tools/build.sh [normal|asan|tsan]
# The build folder is build/, build-asan/ or build-tsan/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup-deps.sh"

flavour=${1:-normal}
case "$flavour" in
  normal) dir="$top/build"; options=() ;;
  asan) dir="$top/build-asan"; options=(-DTALVORA_ASAN=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  tsan) dir="$top/build-tsan"; options=(-DTALVORA_TSAN=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "unknown build flavour: $flavour (normal, asan, tsan)" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$dir" "${options[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
