#!/usr/bin/env python3
"""Writes a ZOQ package of many small parts spread over several revisions,
with compressed tables, and the same parts as files below a folder (for a
zip archive of the same entries). Deterministic: fixed seed.

Usage: make_package.py PACKAGE FOLDER [PARTS] [REVISIONS]
"""
import hashlib
import os
import random
import struct
import sys
import zlib

WIDTH = 4
WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
         "omicron pi rho sigma tau upsilon phi chi psi omega").split()


def part_text(rng, index):
    words = [rng.choice(WORDS) for _ in range(rng.randint(4, 24))]
    return ("part %d: %s\n" % (index, " ".join(words))).encode()


def entry(offset, records):
    """One entry in normal layout at `offset`: header, tables, then the BitStream.
    `records` is a list of (path, data). Returns the entry's bytes and the
    file offset of its next-entry field."""
    names = struct.pack("<i", len(records))
    for number, (path, _) in enumerate(records, 1):
        names += struct.pack("<i", number) + bytes(12) + path.encode() + b"\0"
    bitstream = b"C.BS"
    items = b""
    for number, (path, data) in enumerate(records, 1):
        check = 0
        for byte in data:
            check ^= byte
        items += bytes([1]) + struct.pack("<I", len(bitstream)) + struct.pack("<i", number) + bytes(12)
        bitstream += bytes([check]) + struct.pack("<I", len(data)) + b"\xff" + data
    items += bytes([15]) + struct.pack("<I", 0) + bytes(16)
    stored_names = zlib.compress(names, 9)
    stored_items = zlib.compress(items, 9)
    tables = stored_names + stored_items
    head_size = 29 + 2 * WIDTH
    length = head_size + len(tables)
    bitstream_offset = offset + length
    head = (b"C.En" + struct.pack("<I", length) + struct.pack("<I", bitstream_offset) +
            struct.pack("<I", 0) + bytes([3]) + hashlib.md5(tables).digest() +
            struct.pack("<I", len(stored_names)))
    return head + tables + bitstream, offset + 8 + WIDTH


def main():
    package, folder = sys.argv[1], sys.argv[2]
    parts = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    revisions = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    rng = random.Random(20261208)
    per_revision = (parts + revisions - 1) // revisions
    out = bytearray(b"@ZOQ" + bytes(10) + bytes([1, 1]) + struct.pack("<i", revisions) +
                    bytes([0, WIDTH]) + struct.pack("<I", 22 + WIDTH))
    previous_next_field = None
    index = 0
    for revision in range(revisions):
        records = []
        for _ in range(per_revision):
            if index >= parts:
                break
            path = "/d%02d/s%02d/part%06d.txt" % (index % 50, (index // 50) % 20, index)
            data = part_text(rng, index)
            records.append((path, data))
            file_path = os.path.join(folder, path[1:])
            os.makedirs(os.path.dirname(file_path), exist_ok=True)
            with open(file_path, "wb") as f:
                f.write(data)
            index += 1
        offset = len(out)
        if previous_next_field is not None:
            out[previous_next_field:previous_next_field + 4] = struct.pack("<I", offset)
        data, previous_next_field = entry(offset, records)
        out += data
    with open(package, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
