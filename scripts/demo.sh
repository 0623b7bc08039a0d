#!/usr/bin/env bash
# Shows the bundled sample package with the command-line tool.
set -euo pipefail
dir=${1:-build/release}
zoq="$dir/src/cli/zoq"
sample=samples/sample.zoq
if [ ! -x "$zoq" ]; then echo "demo: $zoq was not built" >&2; exit 1; fi
"$zoq" info "$sample"
"$zoq" ls "$sample"
"$zoq" log "$sample"
