#!/usr/bin/env bash
# Our stream and binary-XML layers beside command-line peers on the same
# bytes, in the same run, rounds alternating so both sides see the same
# load. Prints the median wall time and the median CPU time (user + system)
# of each side.
#
# Usage: bench/stream/peers.sh BUILD_DIR [MIB] [ROUNDS]
#   BUILD_DIR: a release build with ZOQ_BUILD_BENCH=ON (zoq-stream-cat,
#   zoq-bench-document and zoq built). MIB: size of the plain data
#   (default 1024). ROUNDS: default 3.
set -euo pipefail
dir=${1:?usage: peers.sh BUILD_DIR [MIB] [ROUNDS]}
mib=${2:-1024}
rounds=${3:-3}
cat_tool="$dir/bench/stream/zoq-stream-cat"
doc_tool="$dir/bench/sxc/zoq-bench-document"
zoq="$dir/src/cli/zoq"
schema="$dir/Resource/BinarySchema/PLIV_Full_v1.1.bsg"
for tool in "$cat_tool" "$doc_tool" "$zoq"; do
  [ -x "$tool" ] || { echo "peers.sh: $tool was not built" >&2; exit 1; }
done
for tool in openssl zlib-flate xmllint gzip dd python3; do
  command -v "$tool" >/dev/null || { echo "peers.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zoq-peers-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Text-like data that compresses about 4x with zlib, deterministic.
python3 - "$work/plain" "$mib" <<'PY'
import random, sys
path, mib = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
words = ["<item ", "name=\"", "value", "\"/>\n", "part ", "revision ", "0x1F", "data ",
         "\t", "folder/", "schema", " 12345", "</group>\n", "text ", "=", ";"]
block = []
size = 0
while size < 4 << 20:
    w = rng.choice(words) + (chr(97 + rng.randrange(26)) if rng.random() < 0.3 else "")
    block.append(w)
    size += len(w)
block = "".join(block).encode()[: 4 << 20]
with open(path, "wb") as f:
    for i in range(mib // 4):
        # rotate the block so that no two copies line up
        k = (i * 7919) % len(block)
        f.write(block[k:] + block[:k])
PY

key=000102030405060708090a0b0c0d0e0f
iv=f0f1f2f3f4f5f6f7f8f9fafb00000000  # low 32 bits start at 0: no wrap below 64 GiB
openssl enc -aes-128-ctr -K "$key" -iv "$iv" -in "$work/plain" -out "$work/cipher"
{ printf "$(echo "$iv" | sed 's/../\\x&/g')"; cat "$work/cipher"; } > "$work/adm"
python3 - "$work/plain" "$work/zlib" <<'PY'
import sys, zlib
c = zlib.compressobj(6)
with open(sys.argv[1], "rb") as src, open(sys.argv[2], "wb") as dst:
    while True:
        piece = src.read(1 << 22)
        if not piece:
            break
        dst.write(c.compress(piece))
    dst.write(c.flush())
PY
"$doc_tool" 20 "$work/doc.xml"
"$zoq" sxc encode --schema "$schema" "$work/doc.xml" -o "$work/doc.sxc" >/dev/null

# The outputs agree before anything is timed.
"$cat_tool" adm "$key" "$work/adm" | cmp - "$work/plain"
"$cat_tool" zip "$work/zlib" | cmp - "$work/plain"

# run NAME COMMAND...: one timed run; appends "wall cpu" to $work/NAME.
run() {
  local name=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$work/t" bash -c "$*" >/dev/null
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/t" >> "$work/$name"
}
median() { sort -n -k"$2" "$work/$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'; }

for ((i = 0; i < rounds; i++)); do
  cat "$work/adm" "$work/zlib" "$work/plain" > /dev/null  # page cache warm
  run adm_ours "'$cat_tool' adm $key '$work/adm' > /dev/null"
  run adm_peer "openssl enc -d -aes-128-ctr -K $key -iv $iv -in '$work/cipher' > /dev/null"
  run zip_ours "'$cat_tool' zip '$work/zlib' > /dev/null"
  run zip_peer "zlib-flate -uncompress < '$work/zlib' > /dev/null"
  rm -f "$work/copy"
  run copy_ours "'$cat_tool' copy '$work/plain' '$work/copy'"
  rm -f "$work/copy"
  run copy_peer "dd if='$work/plain' of='$work/copy' bs=64K status=none"
  rm -f "$work/copy"
  run decode_ours "'$zoq' sxc decode --schema '$schema' '$work/doc.sxc' -o '$work/doc.out'"
  run decode_peer "xmllint --noout '$work/doc.xml'"
  run encode_ours "'$zoq' sxc encode --schema '$schema' '$work/doc.xml' -o '$work/doc.sxc2'"
  run encode_peer "gzip -9 -c '$work/doc.xml' > '$work/doc.gz'"
done

printf "%-44s %10s %10s %10s %10s %8s %8s\n" task ours_wall peer_wall ours_cpu peer_cpu wall_x cpu_x
row() {
  local task=$1 name=$2
  local ow pw oc pc
  ow=$(median "${name}_ours" 1); pw=$(median "${name}_peer" 1)
  oc=$(median "${name}_ours" 2); pc=$(median "${name}_peer" 2)
  printf "%-44s %10s %10s %10s %10s %8.2f %8.2f\n" "$task" "$ow" "$pw" "$oc" "$pc" \
    "$(awk -v a="$ow" -v b="$pw" 'BEGIN { print a / b }')" \
    "$(awk -v a="$oc" -v b="$pc" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}
row "ADM read ${mib} MiB vs openssl enc -d" adm
row "ZIP read ${mib} MiB vs zlib-flate -uncompress" zip
row "CopyStream ${mib} MiB vs dd bs=64K" copy
row "SXC decode $(($(stat -c %s "$work/doc.xml") >> 20)) MiB doc vs xmllint --noout" decode
row "SXC encode vs gzip -9 of the XML" encode
echo "sizes: xml $(stat -c %s "$work/doc.xml"), gzip -9 $(stat -c %s "$work/doc.gz"), sxc $(stat -c %s "$work/doc.sxc2")"
