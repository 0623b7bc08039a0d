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
