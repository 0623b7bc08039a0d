#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build for a set time on its kept
# corpus. Usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
# New inputs go to BUILD_DIR/corpus/<target> (the kept corpus is not
# touched); crashing inputs to BUILD_DIR/findings/<target>. The SXC range
# message that the coder prints to standard output is dropped. To keep the
# new inputs that add coverage, run fuzz/merge.sh BUILD_DIR afterwards.
# With FUZZ_PARALLEL=1 the targets run all at once instead of in turn (for
# long runs at low priority on a shared machine: each takes what CPU is idle).
source "$(dirname "$0")/common.sh"
zoq_fuzz_args 60 "$@"
seconds=$number

# Runs one target; its log is BUILD_DIR/fuzz_<target>.log.
fuzz_one() {
  local target=$1
  local exe="$build/fuzz/fuzz_$target"
  local work="$build/corpus/$target"
  local findings="$build/findings/$target"
  local log="$build/fuzz_$target.log"
  mkdir -p "$work" "$findings"
  if ! "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=300000 \
       -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$here/corpus/$target" >/dev/null \
       2>"$log"; then
    echo "== $target: FAILED: see $log and $findings/"
    return 1
  fi
  echo "== $target: $seconds s"
  grep -E "stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb" "$log" |
    sed 's/^/   /'
}

status=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  pids=()
  for target in "${targets[@]}"; do
    fuzz_one "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
else
  for target in "${targets[@]}"; do fuzz_one "$target" || status=1; done
fi
exit $status
