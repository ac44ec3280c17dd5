#!/usr/bin/env bash
# Installs what is needed, checks the code's layout, builds everything and
# runs every test: once as shipped (then clang-tidy over that build's sources),
# then the Debian package built from that build and checked, once more with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails), then
# each fuzz harness for a short while.
#
# --quick: the plain logic's and the operations' tests only (zel_core_tests,
# in build-quick/), without installing packages, the window, the benchmarks,
# the package or the sanitizers; a few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

if [ "${1:-}" = "--quick" ]; then
  cmake -S . -B build-quick -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON -DZEL_BUILD_BENCH=OFF >/dev/null
  cmake --build build-quick -j"$jobs" --target zel_core_tests
  build-quick/tests/zel_core_tests
  exit
elif [ $# -gt 0 ]; then
  echo "usage: scripts/test.sh [--quick]" >&2
  exit 2
fi

bash scripts/deps.sh

# The layout first: it takes seconds.
bash scripts/check_format.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j"$jobs")

# clang-tidy over the product's sources, with that build's compile commands.
bash scripts/tidy.sh build

# The Debian package: built, checked (lintian errors fail), installed and removed.
bash scripts/check_package.sh build

# The sanitizer build: tests and fuzz harnesses, no benchmarks.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-O1 -g1" \
  -DZEL_SANITIZE="address;undefined" -DZEL_BUILD_BENCH=OFF -DZEL_FUZZ=ON -DZEL_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j"$jobs")

bash scripts/fuzz.sh "${ZEL_FUZZ_SECONDS:-10}" build-asan
