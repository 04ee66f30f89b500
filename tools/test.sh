#!/usr/bin/env bash
# Builds Talvora and runs the whole test suite. Usage: tools/test.sh [normal|asan|tsan] [ctest options]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
flavour=normal
case "${1:-}" in normal|asan|tsan) flavour=$1; shift ;; esac
"$top/tools/build.sh" "$flavour"
dir="$top/build"
[ "$flavour" = normal ] || dir="$top/build-$flavour"
export QT_QPA_PLATFORM=offscreen
# TSan needs a fixed memory layout on recent kernels; ASan leaks are real faults here.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/tsan.supp ${TSAN_OPTIONS:-}"
export ASAN_OPTIONS="detect_leaks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"
cd "$dir"
if [ "$flavour" = tsan ] && command -v setarch >/dev/null; then
  exec setarch "$(uname -m)" -R ctest --output-on-failure -j "$(nproc)" "$@"
fi
exec ctest --output-on-failure -j "$(nproc)" "$@"
