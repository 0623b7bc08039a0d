#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own:
#   include/zoq (public) -> public headers only
#   src/stream -> stream;  src/sxc -> stream, sxc;  src/package -> stream, sxc, package
#   src/cli, src/app -> the public headers and their own folder only
# The build enforces the same through per-layer include roots; this check
# names the offending lines.
set -u
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$top" || exit 2
status=0
check() {  # folder, allowed include prefixes (regex)
  local folder=$1 allowed=$2 hits
  hits=$(grep -rnE '^\s*#\s*include\s+"[a-z_]+/' "$folder" --include='*.h' --include='*.cc' |
         grep -vE "#\s*include\s+\"(${allowed})/" || true)
  if [ -n "$hits" ]; then
    echo "$folder includes headers of a higher layer or private headers:"
    echo "$hits" | sed 's/^/  /'
    status=1
  fi
}
check include/zoq 'zoq'
check src/stream 'zoq|stream'
check src/sxc 'zoq|stream|sxc'
check src/package 'zoq|stream|sxc|package'
check src/cli 'zoq|cli'
check src/app 'zoq|app'
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
