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
