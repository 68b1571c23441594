#!/usr/bin/env bash
# Fails, listing the files, when a C++ source under src, tools or tests differs from what clang-format makes
# of it with the committed .clang-format. `bash scripts/check-format.sh --fix` rewrites them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
fix=false
[ "${1:-}" = "--fix" ] && fix=true
mapfile -d '' files < <(find src tools tests -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if $fix; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if ((${#unformatted[@]})); then
  echo "Not formatted as .clang-format asks (fix: bash scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "clang-format: ${#files[@]} files formatted"
