#!/usr/bin/env bash
# Adds the inputs a fuzzing run found that reach new coverage to the kept
# corpora (fuzz/corpus/<target>), with libFuzzer's -merge=1. Only inputs of
# at most MAX_BYTES (default 16384) are offered, so that `make test` replays
# the kept corpora in seconds. Usage: fuzz/merge.sh BUILD_DIR [MAX_BYTES] [TARGET...]
# BUILD_DIR is the libFuzzer build whose fuzz/fuzz_<target> programs ran and
# whose corpus/<target> folders hold what they found (see fuzz/run.sh).
source "$(dirname "$0")/common.sh"
zoq_fuzz_args 16384 "$@"
max_bytes=$number
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
