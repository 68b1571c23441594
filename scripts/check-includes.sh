#!/usr/bin/env bash
# Fails when a source file under src/ includes a header of a floor above its own, or of a floor beside it
# that its library does not link. The floors, lowest first, and what each may include (its own folder
# always): the same order src/*/CMakeLists.txt states in target_link_libraries.
#   bash scripts/check-includes.sh [SRC_DIR]
set -euo pipefail

src=${1:-"$(cd "$(dirname "$0")/.." && pwd)/src"}

declare -A allowed=(
  [platform]=""
  [store]="platform"
  [indexer]="store platform"
  [search]="store platform"
  [results]="search store platform"
  [ui]="results search indexer store platform"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$src/$folder" ] || continue
  while IFS= read -r -d '' file; do
    lineno=0
    while IFS= read -r line; do
      lineno=$((lineno + 1))
      # Only quoted includes name our own headers; <...> are the system's and Qt's.
      [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
      target=${BASH_REMATCH[1]}
      if [[ $target == */* ]]; then
        floor=${target%%/*}
        [ "$floor" = "$folder" ] && continue
        if [ -z "${allowed[$floor]+set}" ]; then
          # Not a floor folder: generated files (ui_*.h) and the like are not ours to judge.
          continue
        fi
        if [[ " ${allowed[$folder]} " != *" $floor "* ]]; then
          echo "${file#"$src"/}:$lineno: $folder may not include $target (it may use: ${allowed[$folder]:-nothing else})" >&2
          status=1
        fi
      elif [ ! -e "$(dirname "$file")/$target" ]; then
        # A bare name must be a header of the file's own folder, or it could be anyone's.
        [[ $target == *.moc || $target == ui_* || $target == moc_* ]] && continue
        echo "${file#"$src"/}:$lineno: $target is not in $folder/; name it by its folder" >&2
        status=1
      fi
    done <"$file"
  done < <(find "$src/$folder" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done

if [ "$status" -eq 0 ]; then
  echo "check-includes: every #include under $src names its own folder or a floor its library links"
fi
exit "$status"
