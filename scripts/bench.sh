#!/usr/bin/env bash
# Builds the benchmarks in release mode (in build-bench) and prints one table:
# each figure, its goal and whether it is met. Extra arguments go to the
# benchmark program (e.g. --benchmark_filter=Upload).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target zel_bench >/dev/null
out="build-bench/bench.json"
QT_QPA_PLATFORM=offscreen ./build-bench/bench/zel_bench \
  --benchmark_filter='BM_UploadHandlerVsMinimal|BM_DisplayScanWVGA|BM_CopyThroughWindow|BM_DecodeBlock|BM_SilentDeviceWait|BM_StartToWindowShown|BM_CopyPeakMemory' \
  --benchmark_out="$out" --benchmark_out_format=json "$@" >/dev/null
python3 scripts/bench_table.py "$out"
