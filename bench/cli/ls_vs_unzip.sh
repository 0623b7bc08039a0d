#!/usr/bin/env bash
# Listing speed: "zoq ls" of a package against "unzip -Z1" of a zip archive
# holding the same parts, in the same run.
#
# Usage: bench/cli/ls_vs_unzip.sh [BUILD_DIR] [PACKAGE | generate]
#   BUILD_DIR  a release build (default build/release)
#   PACKAGE    default: the corpus package with the most parts
#   generate   a package of 100,000 parts in 100 revisions with compressed
#              tables, written by make_package.py (fixed seed)
#
# The parts are extracted with zoq (or written by the generator) and zipped
# with "zip -q -r"; then both listings run in alternation, each sample
# timing a batch of invocations; the figure is the median time per
# invocation and the ratio zoq / unzip.
set -euo pipefail

dir=${1:-build/release}
package=${2:-tests/data/package/v_many_parts.zoq}
zoq="$dir/src/cli/zoq"
samples=${SAMPLES:-15}
batch=${BATCH:-20}

for tool in zip unzip; do
  command -v "$tool" >/dev/null || { echo "ls_vs_unzip: $tool is not installed" >&2; exit 1; }
done
[ -x "$zoq" ] || { echo "ls_vs_unzip: $zoq was not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$package" = generate ]; then
  package="$work/generated.zoq"
  python3 "$(dirname "$0")/make_package.py" "$package" "$work/parts" "${PARTS:-100000}" \
    "${REVISIONS:-100}"
  samples=${SAMPLES:-7}
  batch=${BATCH:-1}
else
  "$zoq" extract -d "$work/parts" "$package" >/dev/null
fi
(cd "$work/parts" && zip -q -r "$work/parts.zip" .)

zoq_lines=$("$zoq" ls "$package" | wc -l)
unzip_lines=$(unzip -Z1 "$work/parts.zip" | wc -l)

now_ns() { date +%s%N; }

# Median of the numbers on standard input.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Nanoseconds per invocation for one batch of the command.
time_batch() {
  local start end i
  start=$(now_ns)
  for ((i = 0; i < batch; i++)); do "$@" >/dev/null; done
  end=$(now_ns)
  echo $(((end - start) / batch))
}

zoq_times=()
unzip_times=()
for ((s = 0; s < samples; s++)); do
  zoq_times+=("$(time_batch "$zoq" ls "$package")")
  unzip_times+=("$(time_batch unzip -Z1 "$work/parts.zip")")
done

zoq_median=$(printf '%s\n' "${zoq_times[@]}" | median)
unzip_median=$(printf '%s\n' "${unzip_times[@]}" | median)

echo "package:        $package ($(stat -c %s "$package") bytes)"
echo "entries listed: zoq ls $zoq_lines, unzip -Z1 $unzip_lines (zip: $(stat -c %s "$work/parts.zip") bytes)"
awk -v z="$zoq_median" -v u="$unzip_median" -v n="$samples" -v b="$batch" 'BEGIN {
  printf "zoq ls:         %.3f ms median per run (%d samples of %d runs)\n", z / 1e6, n, b
  printf "unzip -Z1:      %.3f ms median per run\n", u / 1e6
  printf "ratio zoq/unzip: %.2f\n", z / u
}'
