#!/usr/bin/env bash
# Starts the real program in a virtual X server with a package, grabs the
# screen and checks that the window was drawn. Skips (77) without xvfb-run
# or ImageMagick. Usage: xvfb_screenshot.sh PROGRAM PACKAGE OUTPUT.png
set -euo pipefail
program=$1 package=$2 output=$3
for tool in xvfb-run import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skip: $tool missing"; exit 77; }
done
rm -f "$output"
export QT_QPA_PLATFORM=xcb
# libxkbcommon-x11 hands strndup a buffer without a terminating zero, which the
# sanitizer build's strndup check reports inside that library on every start.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_strndup=0"
xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
  "$1" "$2" &
  pid=$!
  for _ in $(seq 1 60); do
    sleep 0.5
    if ! kill -0 "$pid" 2>/dev/null; then echo "program ended early" >&2; exit 1; fi
    # The window is up once the root window holds more than one colour.
    import -window root "$3" 2>/dev/null || continue
    colours=$(identify -format "%k" "$3" 2>/dev/null || echo 0)
    if [ "${colours:-0}" -gt 16 ]; then break; fi
  done
  sleep 1
  import -window root "$3"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
' _ "$program" "$package" "$output"
[ -s "$output" ] || { echo "no screenshot" >&2; exit 1; }
colours=$(identify -format "%k" "$output")
echo "screenshot $output: $colours colours"
[ "$colours" -gt 16 ] || { echo "the window was not drawn" >&2; exit 1; }

# A message box's caption reads exactly as given, with nothing added by the
# windowing system: opening a package that does not exist shows "错误".
command -v xdotool >/dev/null 2>&1 || { echo "skip caption check: xdotool missing"; exit 0; }
xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
  "$1" "$2.missing" &
  pid=$!
  caption=""
  for _ in $(seq 1 120); do
    sleep 0.5
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      name=$(xdotool getwindowname "$w" 2>/dev/null || true)
      case "$name" in 错误*) caption=$name ;; esac
    done
    [ -n "$caption" ] && break
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  [ "$caption" = "错误" ] || { echo "message box caption: [$caption], not [错误]" >&2; exit 1; }
' _ "$program" "$package"
echo "message box caption: 错误"
