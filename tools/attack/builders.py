"""Packages and SXC documents built byte by byte, for inputs no writer makes:
names that climb or drive a terminal, tables and sections that inflate a
thousandfold, a part beside a folder of its name."""

import hashlib
import struct
import zlib


def little(value, width):
    return (value & ((1 << (8 * width)) - 1)).to_bytes(width, "little")


def key(k):
    return little(k, 4) + bytes(12)


def name_table(names, count=None):
    """names: (key number, raw path bytes) pairs."""
    out = bytearray(little(len(names) if count is None else count, 4))
    for k, path in names:
        out += key(k) + path + b"\0"
    return bytes(out)


def item(record_type, data_offset, k, width=4):
    return bytes([record_type]) + little(data_offset, width) + key(k)


def end_item(width=4):
    return bytes([15]) + little(0, width) + bytes(16)


def data_record(data, codes=b"", width=4):
    check = 0
    for b in data:
        check ^= b
    return bytes([check]) + little(len(data), width) + bytes(codes) + b"\xff" + data


def raw_package(entries, width=4, version=0x0101):
    """entries: dicts with names, items (plain tables), bitstream, flags
    (bit 0 Name Table, bit 1 Item List compressed), and raw (tables
    stored as given while the flags say compressed)."""
    out = bytearray(b"@ZOQ" + bytes(10) + bytes([version >> 8, version & 0xFF]))
    out += little(len(entries), 4) + b"\0" + bytes([width]) + little(0, width)
    patch = 22
    for entry in entries:
        bitstream = len(out)
        out += b"C.BS" + entry.get("bitstream", b"")
        flags = entry.get("flags", 0)
        names, items = entry["names"], entry["items"]
        if not entry.get("raw"):
            if flags & 1:
                names = zlib.compress(names, 9)
            if flags & 2:
                items = zlib.compress(items, 9)
        offset = len(out)
        out[patch:patch + width] = little(offset, width)
        head = 29 + 2 * width
        out += b"C.En" + little(head + len(names) + len(items), 4) + little(bitstream, width)
        patch = len(out)
        out += little(0, width) + bytes([flags])
        out += hashlib.md5(names + items).digest() + little(len(names), 4) + names + items
    return bytes(out)


def package(parts, version=0x0101):
    """One entry of parts: (raw path bytes, stored data, codes)."""
    bitstream, items, names = bytearray(), bytearray(), []
    for k, (path, data, codes) in enumerate(parts, 1):
        names.append((k, path))
        items += item(1, 4 + len(bitstream), k)
        bitstream += data_record(data, codes)
    items += end_item()
    return raw_package([{"names": name_table(names), "items": bytes(items),
                         "bitstream": bytes(bitstream)}], version=version)


class _Bits:
    def __init__(self):
        self.out, self.bits, self.count = bytearray(), 0, 0

    def put(self, value, n):  # fields go LSB first
        self.bits |= value << self.count
        self.count += n
        while self.count >= 8:
            self.out.append(self.bits & 0xFF)
            self.bits >>= 8
            self.count -= 8

    def code(self, value, n):  # Huffman codes go MSB first
        self.put(int(format(value, "0%db" % n)[::-1], 2), n)


def zeros_stream(prefix, zeros):
    """A zlib stream of `prefix` and then `zeros` zero bytes, one fixed
    block for the prefix and one dynamic block whose length-258 code takes
    one bit: a gigabyte of zeros costs about a megabyte."""
    b = _Bits()
    b.put(1 if zeros == 0 else 0, 1)
    b.put(1, 2)
    for byte in prefix:
        b.code(0x30 + byte, 8) if byte < 144 else b.code(0x190 + byte - 144, 9)
    if zeros:
        b.code(0x30, 8)
    b.code(0, 7)
    if zeros:
        b.put(1, 1)
        b.put(2, 2)
        b.put(29, 5)
        b.put(0, 5)
        b.put(14, 4)
        for length in (0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2):
            b.put(length, 3)

        def none(n):
            b.code(0, 1)
            b.put(n - 11, 7)
        b.code(3, 2)
        none(138)
        none(117)
        b.code(3, 2)
        none(28)
        b.code(2, 2)
        b.code(2, 2)
        left = zeros - 1
        runs, left = divmod(left, 258)
        # Whole bytes of 2-bit zero codes once aligned: four runs a byte.
        while runs and b.count % 8 and b.count % 2 == 0:
            b.put(0, 2)
            runs -= 1
        if b.count == 0:
            b.out += bytes(runs // 4)
            runs %= 4
        for _ in range(runs):
            b.put(0, 2)
        for _ in range(left):
            b.code(2, 2)
        b.code(3, 2)
    if b.count:
        b.put(0, 8 - b.count)
    adler = zlib.adler32(bytes(prefix))
    a = adler & 0xFFFF
    s = ((adler >> 16) + a * (zeros % 65521)) % 65521
    return b"\x78\x01" + bytes(b.out) + struct.pack(">I", s << 16 | a)


def sxc_document(identifier, structure=b"", blocks=b"", directory=b""):
    out = bytearray(b"??SXC\x01\0\0\0" + identifier)
    values, has_structure = bool(blocks), bool(structure)
    out += bytes([0, (1 if values else 0) | (2 if has_structure else 0)])
    if has_structure:
        out += struct.pack("<II", 0, len(structure))
    if values:
        out += struct.pack("<IIII", 0, len(blocks), 0, len(directory) + 2)
    out += structure
    if values:
        out += blocks + b"\0\1" + directory
    return bytes(out)


def wraps(n):
    """Structure bytes of the "multi" schema's root zeta holding n wrap
    elements (one structure byte and 13 bytes of text each)."""
    return bytes([0x03, 0x80, 0xE0 | n >> 24, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF])


def ints(values):
    return b"".join(struct.pack("<I", v) for v in values)


def compressed_names(count, path, used_key):
    """A compressed Name Table of `count` names, all `path`, deflated piece
    by piece; the Item List uses `used_key`."""
    z = zlib.compressobj(1)
    out = [z.compress(little(count, 4))]
    piece = []
    for k in range(1, count + 1):
        piece.append(key(k) + path + b"\0")
        if len(piece) == 4096:
            out.append(z.compress(b"".join(piece)))
            piece = []
    out.append(z.compress(b"".join(piece)) + z.flush())
    names = b"".join(out)
    items = item(1, 4, used_key) + end_item()
    return raw_package([{"names": names, "items": items, "flags": 1, "raw": True,
                         "bitstream": data_record(b"a")}])
