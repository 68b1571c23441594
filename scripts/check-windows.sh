#!/usr/bin/env bash
# Compiles every source the Windows program builds with -fsyntax-only for x86_64-w64-mingw32, against the
# Qt headers of this build and the SQLCipher header, with UNICODE and _UNICODE defined as Qt's Windows
# build defines them. The sources and each one's include folders and definitions come from the build's own
# per-platform selection (cmake/PlatformSources.cmake writes them to BUILD/windows-check/ at configure time),
# so a new file, or one moved between platforms, is checked without this script changing. Run after the
# build: the uic and moc headers the sources include must be there. Fails on any error.
#   bash scripts/check-windows.sh [BUILD]     (BUILD defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cxx=${TROVANDER_WINDOWS_CXX:-x86_64-w64-mingw32-g++-posix}
jobs=${TROVANDER_WINDOWS_JOBS:-2}

if ! command -v "$cxx" >/dev/null; then
  echo "check-windows: $cxx not found; bash scripts/setup.sh installs it (g++-mingw-w64-x86-64-posix)" >&2
  exit 1
fi
shopt -s nullglob
lists=("$build"/windows-check/*.args)
if ((${#lists[@]} == 0)); then
  echo "check-windows: no source lists in $build/windows-check; configure the build first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One line per source: the list it came from, a tab, the source.
: >"$work/jobs"
for list in "${lists[@]}"; do
  in_sources=0
  while IFS= read -r line; do
    [ -z "$line" ] && continue
    if ((in_sources)); then
      printf '%s\t%s\n' "$list" "$line" >>"$work/jobs"
    elif [ "$line" = "--" ]; then
      in_sources=1
    fi
  done <"$list"
done
total=$(wc -l <"$work/jobs")
if ((total == 0)); then
  echo "check-windows: the source lists name no source" >&2
  exit 1
fi

check_one() {
  local list=$1 source=$2 log
  log="$work/$(printf '%s' "$source" | tr '/' '_').log"
  local flags=()
  while IFS= read -r line; do
    [ "$line" = "--" ] && break
    [ -n "$line" ] && flags+=("$line")
  done <"$list"
  # -w: Qt's headers warn about dllimport under a foreign target; only errors count here.
  if "$cxx" -fsyntax-only -w -DUNICODE -D_UNICODE "${flags[@]}" "$source" >"$log" 2>&1; then
    rm -f "$log"
  else
    echo "$source" >"$log.failed"
  fi
}
export -f check_one
export cxx work
tr '\n' '\0' <"$work/jobs" | xargs -0 -P "$jobs" -I{} bash -c 'IFS=$'"'"'\t'"'"' read -r l s <<<"$1"; check_one "$l" "$s"' _ {}

failed=("$work"/*.failed)
for mark in "${failed[@]}"; do
  source=$(cat "$mark")
  echo "---- $source"
  grep -E 'error|note: in expansion' "${mark%.failed}" | head -20
done
echo "check-windows: $total sources compiled for x86_64-w64-mingw32, ${#failed[@]} failed"
for mark in "${failed[@]}"; do echo "  failed: $(cat "$mark")"; done
((${#failed[@]} == 0))
