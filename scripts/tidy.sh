#!/usr/bin/env bash
# Runs clang-tidy, with the checks in .clang-tidy, over the product's own
# sources (core link ops sim window cli packaging; not the tests, benchmarks
# or fuzz harnesses) as a configured and built build folder compiles them.
# Any finding fails.
#   bash scripts/tidy.sh [build-dir] [file-regex]
# The build folder needs compile_commands.json (CMakeLists.txt asks for it)
# and the generated sources (moc, the version header), so build it first.
# CLANG_TIDY names another clang-tidy than the one on PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
root="$PWD"
filter="${2:-^$root/(core|link|ops|sim|window|cli|packaging)/.*\.cpp$}"
clang_tidy="${CLANG_TIDY:-clang-tidy}"

[ -f "$build/compile_commands.json" ] || {
  echo "tidy: $build/compile_commands.json is missing: configure and build $build first" >&2
  exit 2
}
command -v "$clang_tidy" >/dev/null || { echo "tidy: $clang_tidy is not installed" >&2; exit 2; }
command -v run-clang-tidy >/dev/null || { echo "tidy: run-clang-tidy is not installed" >&2; exit 2; }

log="$build/tidy.log"
start=$SECONDS
status=0
# run-clang-tidy takes each source once however many targets compile it, and
# fails when any clang-tidy fails; .clang-tidy makes every finding an error.
run-clang-tidy -clang-tidy-binary "$(command -v "$clang_tidy")" -p "$build" -j "$(nproc)" -quiet \
  "$filter" >"$log" 2>&1 || status=$?
# (run-clang-tidy asks for colours: they are taken out of the log first.)
sed -i 's/\x1b\[[0-9;]*m//g' "$log"
findings="$(grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): ' "$log" | sort -u || true)"
if [ "$status" -ne 0 ] || [ -n "$findings" ]; then
  if [ -n "$findings" ]; then
    printf '%s\n' "$findings" >&2
    echo "tidy: $(printf '%s\n' "$findings" | wc -l) findings (the whole output is in $log)" >&2
  else
    tail -n 40 "$log" >&2
    echo "tidy: clang-tidy failed (the whole output is in $log)" >&2
  fi
  exit 1
fi
echo "tidy: no findings ($((SECONDS - start)) s)"
