#!/usr/bin/env bash
# Checks every C++ source file of the repository against the committed
# .clang-format and lists those that differ; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=()
while IFS= read -r -d '' f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done < <(git ls-files -z '*.h' '*.hpp' '*.cpp' '*.cc' '*.c')
if [ ${#bad[@]} -gt 0 ]; then
  echo "format-check: ${#bad[@]} file(s) differ from .clang-format:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format-check: every source file follows .clang-format"
