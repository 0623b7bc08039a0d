#!/usr/bin/env bash
# Adds the inputs a fuzzing run found that reach new coverage to the kept
# corpora (fuzz/corpus/<target>), with libFuzzer's -merge=1. Only inputs of
# at most MAX_BYTES (default 16384) are offered, so that `make test` replays
# the kept corpora in seconds. Usage: fuzz/merge.sh BUILD_DIR [MAX_BYTES] [TARGET...]
# BUILD_DIR is the libFuzzer build whose fuzz/fuzz_<target> programs ran and
# whose corpus/<target> folders hold what they found (see fuzz/run.sh).
set -u
build=${1:?build directory}
max_bytes=${2:-16384}
shift $(( $# >= 2 ? 2 : $# ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(package sxc_decode sxc_encode bsg_load stream_decorators path)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
status=0
for target in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$target"
  found="$build/corpus/$target"
  kept="$here/corpus/$target"
  [ -d "$found" ] || continue
  offered=$(mktemp -d "${TMPDIR:-/tmp}/zoq-merge.XXXXXX")
  find "$found" -maxdepth 1 -type f -size -$((max_bytes + 1))c -exec cp {} "$offered/" \;
  before=$(ls "$kept" | wc -l)
  if ! "$exe" -merge=1 -timeout=60 -rss_limit_mb=2048 -max_len="$max_bytes" "$kept" "$offered" \
       >/dev/null 2>"$build/merge_$target.log"; then
    echo "$target: merge FAILED, see $build/merge_$target.log"
    status=1
  fi
  rm -rf "$offered"
  echo "$target: $(( $(ls "$kept" | wc -l) - before )) inputs added ($(ls "$kept" | wc -l) kept)"
done
exit $status
