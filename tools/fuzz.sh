#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs one or all of them.
# Usage: tools/fuzz.sh [TARGET|all] [SECONDS]   (default: all, 60 seconds each)
#
# A run starts from the target's seeds (tests/fuzz/corpus/TARGET, every regression input
# included) and keeps what it learns in build-fuzz/corpus/TARGET. A crash, a leak, a hang or an
# allocation beyond the limit leaves its input in build-fuzz/crashes/ and makes the script exit
# non-zero once every asked target has run. build-fuzz/logs/TARGET.log holds each run's output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup-deps.sh"

target=${1:-all}
seconds=${2:-60}
dir="$top/build-fuzz"
fuzz="$top/tests/fuzz"

# The shared compiler cache, when the environment names one.
options=(-DTALVORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ -n "${CMAKE_C_COMPILER_LAUNCHER:-}" ] && options+=("-DCMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER")
[ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && options+=("-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER")
CC=clang CXX=clang++ cmake -S "$top" -B "$dir" "${options[@]}" >/dev/null

targets=()
for source in "$fuzz"/*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
if [ "$target" != all ]; then
  [ -f "$fuzz/$target.cpp" ] || { echo "no fuzz target $target (one of: ${targets[*]})" >&2; exit 2; }
  targets=("$target")
fi
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$dir/crashes" "$dir/logs"
export ASAN_OPTIONS="detect_leaks=1 ${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$fuzz/lsan.supp ${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
for name in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$name"
  arguments=("$dir/corpus/$name" "$fuzz/corpus/$name" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048
             -artifact_prefix="$dir/crashes/$name-" -print_final_stats=1 -close_fd_mask=3)
  case "$name" in
    recognition_reply | whisper_reply | token_reply | update_* | credentials_json) arguments+=(-dict="$fuzz/dict/json.dict") ;;
    layout_xml) arguments+=(-dict="$fuzz/dict/layout.dict") ;;
    ini_file) arguments+=(-dict="$fuzz/dict/ini.dict") ;;
  esac
  log="$dir/logs/$name.log"
  if "$dir/tests/fuzz/fuzz_$name" "${arguments[@]}" >"$log" 2>&1; then
    passed=$((passed + 1))
    outcome=clean
  else
    failed=$((failed + 1))
    outcome="FAILED (input in build-fuzz/crashes/, output in build-fuzz/logs/$name.log)"
  fi
  # The figures of the last status line and the final statistics.
  status=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$status")
  runs=$(sed -nE 's/^stat::number_of_executed_units:[[:space:]]+([0-9]+)/\1/p' "$log" | tail -n 1)
  rate=$(sed -nE 's/^stat::average_exec_per_sec:[[:space:]]+([0-9]+)/\1/p' "$log" | tail -n 1)
  printf '%-22s %s: %s runs, %s exec/s, cov: %s ft: %s\n' "$name" "$outcome" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}"
  [ "$outcome" = clean ] || grep -E 'ERROR|SUMMARY|check failed|Test unit written' "$log" | head -n 8 | sed 's/^/    /'
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
