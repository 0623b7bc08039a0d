#!/usr/bin/env bash
# Shows the bundled sample package with the command-line tool of a build.
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
dir=${1:-build/release}
zoq="$dir/src/cli/zoq"
sample=samples/history.zoq
if [ ! -x "$zoq" ]; then echo "demo: $zoq was not built" >&2; exit 1; fi

step() { printf '\n== zoq %s\n' "$*"; "$zoq" "$@"; }

step info "$sample"
step ls "$sample"
step ls --json "$sample"
step log "$sample"
step stat "$sample"
step info "$sample" /a.txt
step cat "$sample" /b.txt
echo
step cat -r 3 "$sample" /a.txt
echo
step verify --all "$sample"
target=$(mktemp -d)
trap 'rm -rf "$target"' EXIT
step extract -d "$target" "$sample"
(cd "$target" && find . -print | sort)

# The sample PLIV document the build makes from samples/pliv/: binary XML
# parts decoded with the schema it carries, three revisions, an encrypted part.
pliv="$dir/samples/sample.pliv"
if [ -f "$pliv" ]; then
  step log "$pliv"
  step ls "$pliv"
  step cat "$pliv" /Document.xml
  echo
  step cat -r 1 "$pliv" /Pages/page1.xml
  echo
  step cat --key 7a6f712d73616d706c65 "$pliv" /Private/memo.txt
  sample=$pliv  # the richer package for the desktop browser below
fi

# Then the desktop browser on the same package: in the user's session when
# there is a display, otherwise in a virtual one long enough for a screenshot.
explorer="$dir/src/app/zoq-explorer"
if [ -x "$explorer" ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo; echo "== zoq-explorer $sample"
    "$explorer" "$sample"
  elif command -v xvfb-run >/dev/null 2>&1 && command -v import >/dev/null 2>&1 &&
       command -v xdotool >/dev/null 2>&1; then
    shot=build/demo-explorer.png
    echo; echo "== zoq-explorer $sample (no display: virtual screen, screenshot in $shot)"
    # The screenshot waits until the window is shown (a first start on a
    # fresh machine can take a while), then a moment for it to be drawn.
    xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
      "$1" "$2" & pid=$!
      if timeout 120 xdotool search --sync --onlyvisible --pid "$pid" >/dev/null; then
        sleep 1
        import -window root "$3"
      else
        echo "demo: the browser window did not appear" >&2
      fi
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null || true
    ' _ "$explorer" "$sample" "$shot" || true
  fi
fi
