#!/usr/bin/env bash
# Runs every benchmark executable of a release build. Usage: bench/run.sh BUILD_DIR
set -euo pipefail
dir=${1:-build/release}
found=0
while IFS= read -r exe; do
  found=1
  echo "== $(basename "$exe")"
  "$exe" --benchmark_counters_tabular=true
done < <(find "$dir/bench" -type f -name 'bench_*' -perm -u+x | sort)
[ "$found" = 1 ] || echo "no benchmarks built"
