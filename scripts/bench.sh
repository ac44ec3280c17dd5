#!/usr/bin/env bash
# Builds the benchmarks in release mode (in build-bench) and prints the
# report: one table for the window offscreen and one for the window on a
# real X display (Xvfb, the xcb platform), each figure with its goal and
# whether it is met. Extra arguments go to the benchmark program (e.g.
# --benchmark_filter=Upload).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZEL_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target zel_bench >/dev/null
filter='BM_UploadHandlerVsMinimal|BM_DisplayScanWVGA|BM_CopyThroughWindow|BM_DecodeBlock|BM_SilentDeviceWait|BM_StartToWindowShown|BM_CopyPeakMemory|OverWifi'
for platform in offscreen xcb; do
  out="build-bench/bench-$platform.json"
  run=(./build-bench/bench/zel_bench --benchmark_filter="$filter" --benchmark_out="$out" --benchmark_out_format=json "$@")
  if [ "$platform" = xcb ]; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}" >/dev/null
  else
    QT_QPA_PLATFORM=offscreen "${run[@]}" >/dev/null
  fi
  python3 scripts/bench_table.py "$out" "$platform"
  echo
done
