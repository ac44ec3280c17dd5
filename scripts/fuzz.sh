#!/usr/bin/env bash
# Runs each fuzz harness in turn for a given time.
#   bash scripts/fuzz.sh [seconds-per-harness] [build-dir] [harness...]
# The build dir must have been configured with -DZEL_FUZZ=ON and clang (as
# scripts/test.sh does in build-asan). New inputs found are kept in
# <build-dir>/fuzz-corpus; a failing input is saved in <build-dir>/fuzz-crashes
# and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
build="${2:-build-asan}"
shift $(( $# < 2 ? $# : 2 ))
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  harnesses=(frames decoder slot_render version_text scan_frame update_check slot_diff raw_facts)
fi
cmake --build "$build" -j"$(nproc)" $(printf -- '--target fuzz_%s ' "${harnesses[@]}") >/dev/null
export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
mkdir -p "$build/fuzz-crashes"
for h in "${harnesses[@]}"; do
  work="$build/fuzz-corpus/$h"
  mkdir -p "$work"
  echo "fuzzing $h for ${seconds}s"
  log="$build/fuzz-corpus/$h.log"
  status=0
  "$build/fuzz/fuzz_$h" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-crashes/$h-" "$work" "fuzz/corpus/$h" >"$log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb|SUMMARY|.*check failed|Done )' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "fuzz harness $h failed (exit $status); input kept in $build/fuzz-crashes" >&2
    exit 1
  fi
done
