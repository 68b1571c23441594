#!/usr/bin/env bash
# The installed program: install into a temporary prefix, validate its desktop entry and metainfo, make the
# prefix read-only, start the installed program offscreen and find its index in a temporary data folder;
# a second start on the same index hands over to the running copy, a start on another index runs, and a
# copy killed outright does not keep the next start from running.
#   install_test.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
# The copies find each other through sockets in the runtime folder; this test's go with it.
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
for f in bin/trovander bin/trovander-mkdb bin/trovander-index share/applications/trovander.desktop \
         share/icons/hicolor/scalable/apps/trovander.svg share/metainfo/org.example.trovander.metainfo.xml; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
desktop-file-validate "$prefix/share/applications/trovander.desktop" || fail "desktop entry"
grep -q '^Icon=trovander$' "$prefix/share/applications/trovander.desktop" || fail "entry names no icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/trovander.svg" || fail "icon is no SVG"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.example.trovander.metainfo.xml" || fail "metainfo"
else
  echo "appstreamcli not installed: metainfo not validated"
fi

# Read-only, as a system prefix is. Root may write anyway, so the listing is compared afterwards as well.
chmod -R a-w "$prefix"
before=$(find "$prefix" | sort)

start() {  # start DATA_HOME LOG: the installed program in the background; its pid in $started
  XDG_DATA_HOME=$1 "$prefix/bin/trovander" >"$2" 2>&1 &
  started=$!
  pids+=("$started")
}
wait_for() {  # wait_for SECONDS CONDITION...
  local limit=$(($1 * 10)); shift
  for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}
alive() { kill -0 "$1" 2>/dev/null; }

data=$work/data
start "$data" "$work/first.log"; first=$started
wait_for 20 test -s "$data/trovander/Main.mdb" || fail "no index made in the data folder: $(cat "$work/first.log")"
# The new index is empty, so the first copy now shows the stale-index message and waits for its answer.
sleep 1
alive "$first" || fail "the installed program did not keep running: $(cat "$work/first.log")"
[ -z "$(find "$prefix" -name Main.mdb)" ] || fail "an index was written into the prefix"
[ "$before" = "$(find "$prefix" | sort)" ] || fail "the prefix changed"
[ -n "$(find "$XDG_RUNTIME_DIR" -name 'trovander-*' -type s)" ] || fail "the running copy has no socket in the runtime folder"

# A second start on the same index: the first copy is asked to come to the front, the second leaves.
XDG_DATA_HOME=$data timeout 20 "$prefix/bin/trovander" >"$work/second.log" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "second start ended with $status: $(cat "$work/second.log")"
grep -q "already running on $data/trovander/Main.mdb; its window is brought to the front" "$work/second.log" ||
  fail "second start said: $(cat "$work/second.log")"
alive "$first" || fail "the first copy went away"

# Another index (another user's data folder): its own copy runs beside the first.
start "$work/other" "$work/other.log"; other=$started
wait_for 20 test -s "$work/other/trovander/Main.mdb" || fail "no second index made"
sleep 1
alive "$other" || fail "a copy on another index did not run: $(cat "$work/other.log")"
kill -9 "$other"

# A copy killed outright leaves its socket behind; the next start must run, not ask a dead copy.
kill -9 "$first"
wait "$first" 2>/dev/null
start "$data" "$work/third.log"; third=$started
sleep 2
alive "$third" || fail "a start after a killed copy did not run: $(cat "$work/third.log")"
kill -9 "$third"

# What the data folder holds is a real index with the program's password.
empty=$work/empty-tree
mkdir -p "$empty"
"$prefix/bin/trovander-index" "$data/trovander/Main.mdb" "$empty" >/dev/null || fail "the index made does not open"
echo "install test passed"
