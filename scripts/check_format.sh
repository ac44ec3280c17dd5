#!/usr/bin/env bash
# Checks that every tracked C++ file (*.cpp, *.h) is laid out as .clang-format
# says: lists the files that differ and fails. With --fix, rewrites them.
#   bash scripts/check_format.sh [--fix]
# CLANG_FORMAT names another clang-format (14 or later) than the one on PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format="${CLANG_FORMAT:-clang-format}"
fix=0
case "${1:-}" in
  --fix) fix=1 ;;
  "") ;;
  *) echo "usage: bash scripts/check_format.sh [--fix]" >&2; exit 2 ;;
esac
command -v "$clang_format" >/dev/null || { echo "format check: $clang_format is not installed" >&2; exit 2; }

files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  while IFS= read -r -d '' f; do [ -f "$f" ] && files+=("$f"); done < <(git ls-files -z -- '*.cpp' '*.h')
else
  while IFS= read -r -d '' f; do files+=("${f#./}"); done \
    < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
fi
[ ${#files[@]} -gt 0 ] || { echo "format check: no C++ files found" >&2; exit 2; }

if [ "$fix" -eq 1 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 32 -P "$(nproc)" "$clang_format" -i --style=file
  echo "format: ${#files[@]} files laid out"
  exit 0
fi

# clang-format names each place it would change as "file:line:col: warning: ...
# [-Wclang-format-violations]" (one clang-format at a time, so that these lines
# are never interleaved); anything else it says (a file it cannot read,
# a bad .clang-format) fails the check as it is.
"$clang_format" --style=file --dump-config >/dev/null
report="$(printf '%s\0' "${files[@]}" | xargs -0 -n 40 "$clang_format" --style=file --dry-run 2>&1)" || {
  printf '%s\n' "$report" >&2
  echo "format check: $clang_format failed" >&2
  exit 2
}
differing="$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted \[-Wclang-format-violations\]$/\1/p' | sort -u)"

if [ -n "$differing" ]; then
  count="$(printf '%s\n' "$differing" | wc -l)"
  echo "format check: $count of ${#files[@]} files differ from clang-format's layout:" >&2
  printf '%s\n' "$differing" | sed 's/^/  /' >&2
  echo "Lay them out with: bash scripts/check_format.sh --fix" >&2
  exit 1
fi
echo "format check: ${#files[@]} files as clang-format lays them out"
