#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build for a set time on its kept
# corpus. Usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
# New inputs go to BUILD_DIR/corpus/<target> (the kept corpus is not
# touched); crashing inputs to BUILD_DIR/findings/<target>. The SXC range
# message that the coder prints to standard output is dropped. To keep a new
# input, copy it into fuzz/corpus/<target>/.
set -u
build=${1:?build directory}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : $# ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(package sxc_decode sxc_encode bsg_load stream_decorators path)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  exe="$build/fuzz/fuzz_$target"
  work="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  echo "== $target: $seconds s"
  if ! "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=300000 \
       -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$here/corpus/$target" >/dev/null \
       2>"$build/fuzz_$target.log"; then
    echo "   FAILED: see $build/fuzz_$target.log and $findings/"
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/fuzz_$target.log" | sed 's/^/   /'
done
exit $status
