#!/usr/bin/env bash
# Peak memory of adding one large ZIP-coded part to a new package and saving
# it: "zoq create" then "zoq add --codes zip" under /usr/bin/time -v, which
# reports the maximum resident set size of the whole process.
#
# Usage: bench/package/large_part_memory.sh [BUILD_DIR] [MIB]
#   BUILD_DIR  a release build (default build/release)
#   MIB        size of the part in MiB (default 2048)
#
# The part is text-like (it compresses about 4x), written from a fixed seed.
# Needs about MIB + MIB/3 MiB of free space in $TMPDIR.
set -euo pipefail

dir=${1:-build/release}
mib=${2:-2048}
zoq="$dir/src/cli/zoq"
[ -x "$zoq" ] || { echo "large_part_memory: $zoq was not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "large_part_memory: /usr/bin/time is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/part.bin" "$mib" <<'EOF'
import random, sys
path, mib = sys.argv[1], int(sys.argv[2])
rng = random.Random(20261208)
words = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
         "omicron pi rho sigma tau upsilon phi chi psi omega").split()
# One MiB of text, varied per MiB by a rotating offset so the stream does not
# repeat exactly.
base = []
size = 0
while size < (1 << 20) + 4096:
    line = " ".join(rng.choice(words) for _ in range(rng.randint(6, 14))) + "\n"
    base.append(line)
    size += len(line)
text = "".join(base).encode()
with open(path, "wb") as f:
    for i in range(mib):
        shift = (i * 7919) % 4096
        f.write(text[shift:shift + (1 << 20)])
EOF

"$zoq" create "$work/large.zoq"
/usr/bin/time -v "$zoq" add --codes zip "$work/large.zoq" /large.bin "$work/part.bin" \
  2> "$work/time.txt"

grep -E "Elapsed|User time|System time|Maximum resident" "$work/time.txt"
echo "part: $(stat -c %s "$work/part.bin") bytes, package: $(stat -c %s "$work/large.zoq") bytes"
"$zoq" verify "$work/large.zoq" && echo "verify: ok"
