#!/usr/bin/env bash
# Drops files onto the real program in a virtual X server, from a real drag
# source (zoq_drag_source) driven by xdotool: two files onto the tree's
# folder item "dir" go below it, one onto the list of the root goes below
# the root; Ctrl+S saves and `zoq ls` finds them. A drop of 101 files asks
# first (answered No: nothing added), and a drop holding a .zoq opens it.
# Skips (77) without xvfb-run, xdotool or ImageMagick.
# Usage: drop_test.sh PROGRAM ZOQ DRAG_SOURCE PACKAGE WORK_FOLDER
set -euo pipefail
if [ "${1:-}" != --inside ]; then
  for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skip: $tool missing"; exit 77; }
  done
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --inside "$@"
fi
shift
program=$1 zoq=$2 source=$3 package=$4 work=$5
rm -rf "$work"
mkdir -p "$work/files" "$work/many"
cp "$package" "$work/p.zoq"
chmod u+w "$work/p.zoq"
cp "$package" "$work/other.zoq"
echo one >"$work/files/one.txt"
echo two >"$work/files/two.txt"
echo three >"$work/files/three.txt"
for i in $(seq 1 101); do echo "$i" >"$work/many/m$i.txt"; done
export QT_QPA_PLATFORM=xcb ZOQ_LANG=zh
# libxkbcommon-x11 hands strndup a buffer without a terminating zero (see
# xvfb_screenshot.sh).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_strndup=0"

# Where the window (moved to 0,0, its first size) shows the tree's folder
# item "dir" of the package, and an empty place of the list of "/".
TREE_DIR_X=77 TREE_DIR_Y=107
LIST_X=560 LIST_Y=300

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT
shot() { import -window root "$work/$1.png"; }
fail() { echo "FAIL: $*" >&2; shot failure; exit 1; }

# Waits (up to 30 s) for a visible window of `pid` whose name starts with
# $2; prints its id.
wait_window() {
  local pid=$1 prefix=$2 w name
  for _ in $(seq 1 60); do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      name=$(xdotool getwindowname "$w" 2>/dev/null || true)
      case "$name" in "$prefix"*) echo "$w"; return 0 ;; esac
    done
    sleep 0.5
  done
  return 1
}

# Drags from the source window of `spid` to screen point (x, y).
drag() {
  local spid=$1 x=$2 y=$3 w
  w=$(wait_window "$spid" zoq-drag-source) || fail "no drag source window"
  sleep 0.5
  xdotool mousemove --sync 1000 40
  xdotool mousedown 1
  sleep 0.3
  # Several steps: the drag starts, then the target sees the pointer enter.
  for step in 1 2 3 4 5 6; do
    xdotool mousemove --sync $((1000 + (x - 1000) * step / 6)) $((40 + (y - 40) * step / 6))
    sleep 0.2
  done
  sleep 0.5
  xdotool mouseup 1
  sleep 1
}

source_with() {
  "$source" 960 0 "$@" &
  spid=$!
  pids+=("$spid")
}

"$program" "$work/p.zoq" &
app=$!
pids+=("$app")
win=$(wait_window "$app" "p.zoq") || fail "the window did not come up"
xdotool windowmove --sync "$win" 0 0
sleep 1
shot start

# Two files onto the folder item "dir" of the tree; the codes dialog is
# answered with Enter (its default, ZIP).
source_with "$work/files/one.txt" "$work/files/two.txt"
drag "$spid" "$TREE_DIR_X" "$TREE_DIR_Y"
wait_window "$app" "添加" >/dev/null || fail "no codes dialog after the drop on the tree"
shot tree_drop
xdotool key Return
sleep 1
kill "$spid"

# One file onto the list of the root folder.
source_with "$work/files/three.txt"
drag "$spid" "$LIST_X" "$LIST_Y"
wait_window "$app" "添加" >/dev/null || fail "no codes dialog after the drop on the list"
xdotool key Return
sleep 1
kill "$spid"
shot list_drop

# 101 files: the question comes first; No adds nothing.
source_with "$work/many"/m*.txt
drag "$spid" "$LIST_X" "$LIST_Y"
wait_window "$app" "提示" >/dev/null || fail "no question before adding 101 files"
shot many_question
xdotool key Escape
sleep 1
kill "$spid"

# Save, then look with the tool.
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
xdotool key ctrl+s
sleep 2
listing=$("$zoq" ls "$work/p.zoq")
echo "$listing"
grep -qx '/dir/one.txt' <<<"$listing" || fail "/dir/one.txt not saved"
grep -qx '/dir/two.txt' <<<"$listing" || fail "/dir/two.txt not saved"
grep -qx '/three.txt' <<<"$listing" || fail "/three.txt not saved"
if grep -q 'm1.txt' <<<"$listing"; then fail "the refused drop of 101 files added some"; fi

# A drop holding a package opens it.
source_with "$work/files/one.txt" "$work/other.zoq"
drag "$spid" "$LIST_X" "$LIST_Y"
wait_window "$app" "other.zoq" >/dev/null || fail "the dropped package did not open"
shot package_drop
echo "drops: ok"
