"""The inputs of the side-by-side comparison, made once per scale and kept
(see compare.py)."""
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import struct
import subprocess
import sys
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MiB = 1 << 20
# 128-bit key for the encrypted part; the zero counter block is what the
# ADM stream starts from when it writes no counter header.
KEY = "000102030405060708090a0b0c0d0e0f"
IV = "00000000000000000000000000000000"

SCALES = {
    "full": dict(list_parts=100000, list_revisions=100, files=10000, tree_bytes=200 * MiB,
                 big_bytes=1024 * MiB, xml_bytes=20 * MiB, large_files=1024, large_revisions=8,
                 include="/usr/include"),
    "small": dict(list_parts=10000, list_revisions=10, files=1000, tree_bytes=20 * MiB,
                  big_bytes=64 * MiB, xml_bytes=2 * MiB, large_files=64, large_revisions=8,
                  include="/usr/include/linux"),
}


def log(text):
    print("compare: " + text, file=sys.stderr, flush=True)


def run(args, cwd=None, stdout=None):
    subprocess.run(args, cwd=cwd, stdout=stdout, check=True)


def quote(args):
    return " ".join(shlex.quote(str(a)) for a in args)


def xor_of(data):
    """The XOR of all bytes (the check byte of a data record)."""
    value = int.from_bytes(data, "little")
    bits = len(data) * 8
    while bits > 8:
        half = (bits // 16 + (bits // 8) % 2) * 8
        value = (value & ((1 << half) - 1)) ^ (value >> half)
        bits = half
    return value & 0xFF


def write_zip_part_package(package, path, source, level=6):
    """A package of one revision holding one ZIP-coded part: `source`
    compressed with zlib at `level`. The tool itself stores ZIP parts at
    level 9, which takes many minutes for a 1 GiB part on a loaded machine;
    a reader must read any zlib stream, and its speed hardly depends on the
    level."""
    stored_path = package + ".stored"
    check = 0
    stored_size = 0
    compressor = zlib.compressobj(level)
    with open(source, "rb") as src, open(stored_path, "wb") as stored:
        def put(chunk):
            nonlocal check, stored_size
            if chunk:
                check ^= xor_of(chunk)
                stored_size += len(chunk)
                stored.write(chunk)
        while True:
            chunk = src.read(16 * MiB)
            if not chunk:
                break
            put(compressor.compress(chunk))
        put(compressor.flush())
    # Layout: header, entry header, Name Table and Item List (both
    # compressed), then the BitStream with the one data record.
    width = 4
    names = struct.pack("<i", 1) + struct.pack("<i", 1) + bytes(12) + path.encode() + b"\0"
    items = (bytes([1]) + struct.pack("<I", 4) + struct.pack("<i", 1) + bytes(12) +
             bytes([15]) + struct.pack("<I", 0) + bytes(16))
    stored_names = zlib.compress(names, 9)
    tables = stored_names + zlib.compress(items, 9)
    header = (b"@ZOQ" + bytes(10) + bytes([1, 1]) + struct.pack("<i", 1) + bytes([0, width]) +
              struct.pack("<I", 22 + width))
    entry_offset = len(header)
    length = 29 + 2 * width + len(tables)
    entry = (b"C.En" + struct.pack("<I", length) + struct.pack("<I", entry_offset + length) +
             struct.pack("<I", 0) + bytes([3]) + hashlib.md5(tables).digest() +
             struct.pack("<I", len(stored_names)))
    record = b"C.BS" + bytes([check]) + struct.pack("<I", stored_size) + bytes([2]) + b"\xff"
    with open(package, "wb") as out, open(stored_path, "rb") as stored:
        out.write(header + entry + tables + record)
        shutil.copyfileobj(stored, out, 16 * MiB)
    os.unlink(stored_path)


def scaled_sample_document(path, size, seed=19):
    """The sample document's XML scaled up to about `size` bytes: its root
    and metadata once, then the sections of the document and of its pages
    over and over, each copy with ids of its own and its numbers varied, so
    that the text has the sample's shape (mixed Chinese and English, tables
    of typed cells, lists, figures) at the size of a large document."""
    folder = os.path.join(ROOT, "samples", "pliv")
    with open(os.path.join(folder, "Document.xml"), encoding="utf-8") as f:
        document = f.read()
    sections = re.findall(r"  <section .*?\n  </section>\n", document, re.S)
    pages = os.path.join(folder, "Pages")
    for name in sorted(os.listdir(pages)):
        with open(os.path.join(pages, name), encoding="utf-8") as f:
            sections += re.findall(r"  <section .*?\n  </section>\n", f.read(), re.S)
    head = document[:document.index("  <section ")]
    rng = random.Random(seed)

    def vary_number(match):
        text = match.group(0)
        if "." in text:
            return "%.2f" % (float(text) * (0.5 + rng.random()))
        return str(int(int(text) * (0.5 + rng.random())))

    out = [head]
    written = len(head.encode())
    copy = 0
    while written < size:
        for section in sections:
            copy += 1
            text = re.sub(r'id="([^"]*)"', lambda m: 'id="%s-%d"' % (m.group(1), copy), section)
            text = re.sub(r"(?<=>)-?\d+(\.\d+)?(?=<)", vary_number, text)
            out.append(text)
            written += len(text.encode())
    out.append("</document>\n")
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(out))


class Data:
    """The generated inputs, made once per scale and kept."""

    def __init__(self, build, folder, sizes):
        self.zoq = os.path.join(build, "src", "cli", "zoq")
        self.gen = os.path.join(build, "bench", "compare", "compare_data")
        self.open_to_paint = os.path.join(build, "bench", "app", "open_to_paint")
        self.dir = folder
        self.sizes = sizes
        os.makedirs(folder, exist_ok=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def make(self, name, build):
        """Calls build(tmp) unless `name` exists; tmp is renamed to name."""
        target = self.path(name)
        if os.path.exists(target):
            return target
        tmp = target + ".partial"
        if os.path.isdir(tmp):
            shutil.rmtree(tmp)
        elif os.path.exists(tmp):
            os.unlink(tmp)
        log("generating " + name)
        start = time.time()
        build(tmp)
        os.rename(tmp, target)
        log("  %s ready (%.0f s)" % (name, time.time() - start))
        return target

    def tree_archives(self, tree, name):
        """`name`.zoq (ZIP-coded parts) and `name`.zip (zip -9) of a tree."""
        self.make(name + ".zoq", lambda t: run([self.zoq, "import", "--codes", "zip", t, tree]))
        self.make(name + ".zip", lambda t: run(["zip", "-9", "-r", "-q", t, "."], cwd=tree))

    def generate(self):
        s = self.sizes
        zoq, gen = self.zoq, self.gen
        schemas = os.path.join(ROOT, "Resource", "schemas")
        self.make("schema.bsg", lambda t: run([zoq, "schema", "compile", os.path.join(
            schemas, "pliv_full_v1.1.xsd"), "-o", t]))
        self.make("schema-1.2.bsg", lambda t: run([zoq, "schema", "compile", os.path.join(
            schemas, "pliv_full_v1.2.xsd"), "-o", t]))

        def listing(t):
            os.makedirs(t)
            run([sys.executable, os.path.join(ROOT, "bench", "cli", "make_package.py"),
                 os.path.join(t, "list.zoq"), os.path.join(t, "parts"), str(s["list_parts"]),
                 str(s["list_revisions"])])
            run(["zip", "-q", "-r", os.path.join(t, "list.zip"), "."],
                cwd=os.path.join(t, "parts"))
            shutil.rmtree(os.path.join(t, "parts"))
        self.make("list", listing)

        self.make("tree", lambda t: run([gen, "tree", t, str(s["files"]), str(s["tree_bytes"]),
                                         "1"]))
        self.tree_archives(self.path("tree"), "extract")
        # A real tree every build machine has, links followed so that both
        # tools see the same regular files.
        self.make("include", lambda t: run(["cp", "-rL", s["include"], t]))
        self.tree_archives(self.path("include"), "include")

        big = self.path("big.txt")
        need_big = not (os.path.exists(self.path("adm")) and os.path.exists(self.path("zip")))
        if need_big:
            self.make("big.txt", lambda t: run([gen, "text", t, str(s["big_bytes"]), "3"]))

        def single_part(codes, peer_decode):
            def build(t):
                os.makedirs(t)
                package = os.path.join(t, "part.zoq")
                if codes == "zip":
                    write_zip_part_package(package, "/big.txt", big)
                else:
                    run([zoq, "create", package])
                    run([zoq, "add", "--codes", codes, "--key", KEY, package, "/big.txt", big])
                run([zoq, "verify", package], stdout=subprocess.DEVNULL)
                with open(os.path.join(t, "stored"), "wb") as out:
                    run([zoq, "cat", "--raw", package, "/big.txt"], stdout=out)
                # Both sides must give back the same text.
                with open(big, "rb") as original:
                    expected = original.read(65536)
                for command in [peer_decode(os.path.join(t, "stored")),
                                quote([zoq, "cat", "--key", KEY, package, "/big.txt"])]:
                    head = subprocess.run(["sh", "-c", command + " 2>/dev/null | head -c 65536"],
                                          stdout=subprocess.PIPE, check=True).stdout
                    if head != expected:
                        raise SystemExit("compare: not the same text from " + command)
            return build
        self.make("adm", single_part("adm", lambda f: quote(
            ["openssl", "enc", "-d", "-aes-128-ctr", "-K", KEY, "-iv", IV, "-in", f])))
        self.make("zip", single_part("zip", lambda f: "zlib-flate -uncompress < " + quote([f])))
        if os.path.exists(big):
            os.unlink(big)

        self.make("doc.xml", lambda t: run([gen, "xml", t, str(s["xml_bytes"]), "11"]))
        self.make("doc.sxc", lambda t: run([zoq, "sxc", "encode", "--schema",
                                            self.path("schema.bsg"), self.path("doc.xml"),
                                            "-o", t]))
        self.make("sample.xml", lambda t: scaled_sample_document(t, s["xml_bytes"]))
        self.make("sample.sxc", lambda t: run([zoq, "sxc", "encode", "--schema",
                                               self.path("schema-1.2.bsg"),
                                               self.path("sample.xml"), "-o", t]))

        def large_package(t):
            # 1 MiB text files in several revisions, 1 GiB in all at the
            # full scale.
            os.makedirs(t)
            large = os.path.join(t, "large.zoq")
            per_revision = s["large_files"] // s["large_revisions"]
            for r in range(s["large_revisions"]):
                part_tree = os.path.join(t, "tree%d" % r)
                run([gen, "tree", part_tree, str(per_revision), str(per_revision * MiB),
                     str(100 + r)])
                run([zoq, "import", large, part_tree, "/r%d" % r])
                shutil.rmtree(part_tree)
            return large

        def saving(t):
            large_package(t)
            one = os.path.join(t, "one.txt")
            run([gen, "text", one, str(MiB), "5"])
            small = os.path.join(t, "small.zoq")
            run([zoq, "create", small])
            run([zoq, "add", small, "/r0/one.txt", one])
            os.unlink(one)
            run([gen, "text", os.path.join(t, "add.txt"), "4096", "6"])
        self.make("save", saving)

        def damaged(t):
            # The package of the saving rows with one byte of the newest
            # entry's tables changed: its digest fails, so a recovery keeps
            # every revision but the last.
            package = large_package(t)
            facts = json.loads(subprocess.run([zoq, "info", "--json", package], check=True,
                                              stdout=subprocess.PIPE).stdout)
            at = facts["entries"][-1]["offset"] + 29 + 2 * facts["offset_width"] + 6
            with open(package, "r+b") as f:
                f.seek(at)
                byte = f.read(1)[0]
                f.seek(at)
                f.write(bytes([byte ^ 0x55]))
        self.make("damaged", damaged)
