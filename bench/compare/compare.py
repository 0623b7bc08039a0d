#!/usr/bin/env python3
"""Side-by-side comparison of the zoq tool with the usual tools for the same
work (make compare).

Usage: bench/compare/compare.py [BUILD_DIR]

BUILD_DIR is a release build holding src/cli/zoq and
bench/compare/compare_data (default build/release). Environment:

  COMPARE_SCALE  full (default) or small (a quick run for development)
  COMPARE_DIR    where the generated data is kept (default
                 build/compare-data); each scale has its own folder and
                 data already there is reused
  COMPARE_RUNS   runs per command (default 5; the median counts)
  COMPARE_HEAVY_RUNS  runs of the extract and import commands (default
                 COMPARE_RUNS)
  COMPARE_WARMUP 0 to skip the warm-up round (default 1)
  COMPARE_DOC    1 to write the table into docs/PERFORMANCE.md also for the
                 small scale (the full scale always writes it)
  COMPARE_SETTLE_SECONDS  how long the extract row waits after this script
                 last removed many files (default 365; see compare())

  COMPARE_DATA_ONLY  1 to generate the data and stop

Every command runs on the same data in the same run as its peer, the two
taking turns run by run; the figures are the medians of the wall times and
of the CPU times (user + system), and the largest peak resident memory.
"""
import hashlib
import os
import shlex
import struct
import shutil
import statistics
import subprocess
import sys
import tempfile
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
                 big_bytes=1024 * MiB, xml_bytes=20 * MiB, large_files=1024, large_revisions=8),
    "small": dict(list_parts=10000, list_revisions=10, files=1000, tree_bytes=20 * MiB,
                  big_bytes=64 * MiB, xml_bytes=2 * MiB, large_files=64, large_revisions=8),
}

BEGIN_MARK = "<!-- compare:begin -->"
END_MARK = "<!-- compare:end -->"


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


def log(text):
    print("compare: " + text, file=sys.stderr, flush=True)


def run(args, cwd=None, stdout=None):
    subprocess.run(args, cwd=cwd, stdout=stdout, check=True)


def quote(args):
    return " ".join(shlex.quote(str(a)) for a in args)


class Data:
    """The generated inputs, made once per scale and kept."""

    def __init__(self, build, folder, sizes):
        self.zoq = os.path.join(build, "src", "cli", "zoq")
        self.gen = os.path.join(build, "bench", "compare", "compare_data")
        self.dir = folder
        self.sizes = sizes
        os.makedirs(folder, exist_ok=True)
        self.removal_stamp = os.path.join(folder, ".last-removal")

    def note_removal(self):
        """Records when many files were last removed here (see compare())."""
        with open(self.removal_stamp, "w") as f:
            f.write("%f\n" % time.time())

    def settle_removals(self):
        """Writes out what is cached and waits until the last removal noted
        is older than COMPARE_SETTLE_SECONDS."""
        subprocess.run(["sync"], check=True)
        try:
            with open(self.removal_stamp) as f:
                removed = float(f.read())
        except (OSError, ValueError):
            return
        wait = removed + float(os.environ.get("COMPARE_SETTLE_SECONDS", "365")) - time.time()
        if wait > 0:
            log("waiting %.0f s until the files removed last are out of the file system's way" %
                wait)
            time.sleep(wait)

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

    def generate(self):
        s = self.sizes
        zoq, gen = self.zoq, self.gen
        self.make("schema.bsg", lambda t: run([zoq, "schema", "compile", os.path.join(
            ROOT, "Resource", "schemas", "pliv_full_v1.1.xsd"), "-o", t]))

        def listing(t):
            os.makedirs(t)
            run([sys.executable, os.path.join(ROOT, "bench", "cli", "make_package.py"),
                 os.path.join(t, "list.zoq"), os.path.join(t, "parts"), str(s["list_parts"]),
                 str(s["list_revisions"])])
            run(["zip", "-q", "-r", os.path.join(t, "list.zip"), "."],
                cwd=os.path.join(t, "parts"))
            shutil.rmtree(os.path.join(t, "parts"))
            self.note_removal()
        self.make("list", listing)

        self.make("tree", lambda t: run([gen, "tree", t, str(s["files"]), str(s["tree_bytes"]),
                                         "1"]))
        tree = self.path("tree")
        self.make("extract.zoq", lambda t: run([zoq, "import", "--codes", "zip", t, tree]))
        self.make("extract.zip", lambda t: run(["zip", "-9", "-r", "-q", t, "."], cwd=tree))

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

        def saving(t):
            os.makedirs(t)
            large = os.path.join(t, "large.zoq")
            per_revision = s["large_files"] // s["large_revisions"]
            for r in range(s["large_revisions"]):
                part_tree = os.path.join(t, "tree%d" % r)
                run([gen, "tree", part_tree, str(per_revision), str(per_revision * MiB),
                     str(100 + r)])
                run([zoq, "import", large, part_tree, "/r%d" % r])
                shutil.rmtree(part_tree)
                self.note_removal()
            one = os.path.join(t, "one.txt")
            run([gen, "text", one, str(MiB), "5"])
            small = os.path.join(t, "small.zoq")
            run([zoq, "create", small])
            run([zoq, "add", small, "/r0/one.txt", one])
            os.unlink(one)
            run([gen, "text", os.path.join(t, "add.txt"), "4096", "6"])
        self.make("save", saving)


class Measure:
    """Runs commands that do the same work in alternation, so that both see
    the same load, and takes from each run its wall time, its CPU time (user
    + system) and its peak resident memory (wait4)."""

    def __init__(self, runs, heavy_runs, scratch):
        self.runs = runs
        self.heavy_runs = heavy_runs
        self.warmup = int(os.environ.get("COMPARE_WARMUP", "1"))
        self.scratch = scratch
        self.targets = 0

    def once(self, command, prepare, settle=False):
        if prepare:
            subprocess.run(["sh", "-c", prepare], check=True)
        if "{target}" in command:
            # A folder never used before (see compare(): extraction).
            self.targets += 1
            command = command.replace("{target}", shlex.quote(
                os.path.join(self.scratch, "target-%d" % self.targets)))
        if settle:
            # The data the previous run left in the page cache is written
            # back now, not while the next command is being timed.
            subprocess.run(["sync"], check=True)
        # /usr/bin/time reports the peak memory of the command alone (a child
        # forked from this script would start with the script's memory).
        rss_file = os.path.join(self.scratch, "rss")
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file, "sh", "-c", command],
                                 stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            raise SystemExit("compare: failed (%d): %s" % (child.returncode, command))
        with open(rss_file) as f:
            rss = int(f.read().split()[-1]) * 1024
        return wall, usage.ru_utime + usage.ru_stime, rss

    def time(self, commands, prepare=None, warmup=1, runs=None, settle=False):
        """Medians over `runs` rounds after `warmup` rounds. `prepare` runs
        before each command, untimed; "{target}" in a command stands for a
        new folder each run; with `settle` every run starts after a sync."""
        runs = runs or self.runs
        warmup = min(warmup, self.warmup)
        samples = [[] for _ in commands]
        for round_number in range(warmup + runs):
            for index, command in enumerate(commands):
                sample = self.once(command, prepare, settle)
                if round_number >= warmup:
                    samples[index].append(sample)
        figures = []
        for command, taken in zip(commands, samples):
            figures.append(dict(command=command,
                                wall=statistics.median(t[0] for t in taken),
                                cpu=statistics.median(t[1] for t in taken),
                                rss=max(t[2] for t in taken)))
        return figures


def seconds(value):
    return "%.3f s" % value if value < 100 else "%.0f s" % value


def mib(value):
    return "%.1f MiB" % (value / MiB)


def row(task, ours, peer, target, parallel=False):
    log("  %s: ours %.3f s (CPU %.3f s), peer %.3f s (CPU %.3f s)" %
        (task, ours["wall"], ours["cpu"], peer["wall"], peer["cpu"]))
    ratio = ours["wall"] / peer["wall"]
    cpu_ratio = ours["cpu"] / peer["cpu"] if peer["cpu"] > 0 else float("nan")
    return dict(task=task, ours="%s (CPU %s)" % (seconds(ours["wall"]), seconds(ours["cpu"])),
                peer="%s (CPU %s)" % (seconds(peer["wall"]), seconds(peer["cpu"])),
                ratio="%.2f" % ratio, cpu_ratio="%.2f" % cpu_ratio, target="<= %.1f" % target,
                result="pass" if ratio <= target else "FAIL",
                # Run alone on a quiet machine a single-threaded command's
                # wall time is close to its CPU time; for a parallel run
                # only the wall time says anything.
                cpu_result="" if parallel else ("pass" if cpu_ratio <= target else "FAIL"),
                rss="%s / %s" % (mib(ours["rss"]), mib(peer["rss"])))


def table(rows):
    lines = ["| task | ours | peer | ratio | CPU ratio | target | result (wall) | result (CPU) "
             "| peak RSS ours / peer |",
             "|---|---|---|---|---|---|---|---|---|"]
    for r in rows:
        lines.append("| %(task)s | %(ours)s | %(peer)s | %(ratio)s | %(cpu_ratio)s | %(target)s "
                     "| %(result)s | %(cpu_result)s | %(rss)s |" % r)
    return "\n".join(lines)


def compare(data, measure, sizes):
    zoq = shlex.quote(data.zoq)
    p = lambda name: shlex.quote(data.path(name))
    out = measure.scratch
    rows = []
    files = sizes["files"]
    tree_mib = sizes["tree_bytes"] // MiB
    big = "%d MiB" % (sizes["big_bytes"] // MiB) if sizes["big_bytes"] < 1024 * MiB else "1 GiB"

    log("listing")
    ours, peer = measure.time(["%s ls %s" % (zoq, p("list/list.zoq")),
                               "unzip -Z1 %s" % p("list/list.zip")])
    rows.append(row("list %d parts (%d revisions, compressed tables) vs `unzip -Z1`" %
                    (sizes["list_parts"], sizes["list_revisions"]), ours, peer, 0.5))

    log("extracting")
    # Every run writes into a folder of its own, and all of them stay until
    # the end of the script. ext4 without a journal (the disk these figures
    # come from) will not reuse an inode freed in the last 60 s, or 360 s
    # while the block holding it has unwritten changes, and scans past every
    # such inode each time it creates a file: extracting 10,000 files just
    # after removing 10,000 near by costs either tool 5-12 s of system time
    # instead of about 1 s. So nothing is removed between runs, and the row
    # starts only when the last mass removal of this script (generating the
    # data, the scratch folder of an earlier run) is old enough.
    data.settle_removals()
    one, two, peer = measure.time(
        ["%s extract -d {target} %s" % (zoq, p("extract.zoq")),
         "%s extract -j 2 -d {target} %s" % (zoq, p("extract.zoq")),
         "unzip -q -o %s -d {target}" % p("extract.zip")],
        runs=measure.heavy_runs, settle=True)
    task = "extract %d ZIP-coded parts, %d MiB vs `unzip -q -o`" % (files, tree_mib)
    rows.append(row(task + ", single-threaded", one, peer, 1.0))
    rows.append(row(task + ", `-j 2`", two, peer, 0.6, parallel=True))

    log("reading the encrypted part")
    ours, peer = measure.time(
        ["%s cat --key %s %s /big.txt" % (zoq, KEY, p("adm/part.zoq")),
         "openssl enc -d -aes-128-ctr -K %s -iv %s -in %s" % (KEY, IV, p("adm/stored"))])
    rows.append(row("read a %s ADM part vs `openssl enc -d -aes-128-ctr`" % big, ours, peer, 1.0))

    log("reading the compressed part")
    ours, peer = measure.time(["%s cat %s /big.txt" % (zoq, p("zip/part.zoq")),
                               "zlib-flate -uncompress < %s" % p("zip/stored")], warmup=0)
    rows.append(row("read a %s ZIP-coded part vs `zlib-flate -uncompress`" % big, ours, peer,
                    1.0))

    xml_mib = sizes["xml_bytes"] // MiB
    log("binary XML")
    ours, peer = measure.time(
        ["%s sxc decode --schema %s %s" % (zoq, p("schema.bsg"), p("doc.sxc")),
         "xmllint --noout %s" % p("doc.xml")])
    rows.append(row("decode a %d MiB SXC document to XML text vs `xmllint --noout`" % xml_mib,
                    ours, peer, 0.5))
    ours, peer = measure.time(
        ["%s sxc encode --schema %s %s" % (zoq, p("schema.bsg"), p("doc.xml")),
         "gzip -9 -c %s" % p("doc.xml")])
    rows.append(row("encode that XML to SXC vs `gzip -9`", ours, peer, 1.0))

    log("adding one part")
    large_mib = sizes["large_files"]
    added = p("save/add.txt")
    ours, peer = measure.time(
        ["%s add %s /added.txt %s" % (zoq, p("save/large.zoq"), added),
         "%s add %s /added.txt %s" % (zoq, p("save/small.zoq"), added)])
    rows.append(row("add one 4 KiB part to a %s package vs the same on a 1 MiB package" %
                    ("1 GiB" if large_mib == 1024 else "%d MiB" % large_mib), ours, peer, 1.2))
    log("importing")
    package = shlex.quote(os.path.join(out, "imported.zoq"))
    archive = shlex.quote(os.path.join(out, "imported.zip"))
    one, two, peer = measure.time(
        ["%s import --codes zip %s %s" % (zoq, package, p("tree")),
         "%s import -j 2 --codes zip %s %s" % (zoq, package, p("tree")),
         "cd %s && zip -9 -r -q %s ." % (p("tree"), archive)],
        prepare="rm -f %s %s" % (package, archive), warmup=0, runs=measure.heavy_runs)
    task = "import %d files, %d MiB, `--codes zip` vs `zip -9 -r -q`" % (files, tree_mib)
    rows.append(row(task + ", single-threaded", one, peer, 1.0))
    rows.append(row(task + ", `-j 2`", two, peer, 0.6, parallel=True))

    return rows


def write_doc(text):
    path = os.path.join(ROOT, "docs", "PERFORMANCE.md")
    with open(path) as f:
        doc = f.read()
    section = BEGIN_MARK + "\n" + text + "\n" + END_MARK
    if BEGIN_MARK in doc and END_MARK in doc:
        start = doc.index(BEGIN_MARK)
        end = doc.index(END_MARK) + len(END_MARK)
        doc = doc[:start] + section + doc[end:]
    else:
        doc = doc.rstrip("\n") + "\n\n## Side-by-side comparison (`make compare`)\n\n" + section + "\n"
    with open(path, "w") as f:
        f.write(doc)
    log("table written to docs/PERFORMANCE.md")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build",
                                                                                "release"))
    scale = os.environ.get("COMPARE_SCALE", "full")
    if scale not in SCALES:
        raise SystemExit("compare: COMPARE_SCALE is full or small, not " + scale)
    sizes = SCALES[scale]
    runs = int(os.environ.get("COMPARE_RUNS", "5"))
    base = os.environ.get("COMPARE_DIR") or os.path.join(ROOT, "build", "compare-data")
    data = Data(build, os.path.join(os.path.abspath(base), scale), sizes)
    for tool in [data.zoq, data.gen]:
        if not os.access(tool, os.X_OK):
            raise SystemExit("compare: %s was not built" % tool)
    for tool in ["unzip", "zip", "zlib-flate", "xmllint", "openssl", "gzip"]:
        if shutil.which(tool) is None:
            raise SystemExit("compare: %s is not installed (make deps)" % tool)

    heavy_runs = int(os.environ.get("COMPARE_HEAVY_RUNS", str(runs)))
    data.generate()
    if os.environ.get("COMPARE_DATA_ONLY") == "1":
        return
    load_before = os.getloadavg()[0]
    started = time.time()
    try:
        with tempfile.TemporaryDirectory(prefix="zoq-compare-", dir=data.dir) as scratch:
            rows = compare(data, Measure(runs, heavy_runs, scratch), sizes)
    finally:
        data.note_removal()
    load_after = os.getloadavg()[0]
    header = ("Measured %s on %d cores, %s scale, median of %s runs per command (wall and CPU = user + system); load average "
              "%.1f before and %.1f after the %.0f s of measuring." %
              (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), os.cpu_count() or 0, scale,
               runs if heavy_runs == runs else "%d (extract and import: %d)" % (runs, heavy_runs), load_before, load_after, time.time() - started))
    text = header + "\n\n" + table(rows)
    print(text)
    failed = [r["task"] for r in rows if r["result"] != "pass"]
    print("\n%d of %d targets met in wall time" % (len(rows) - len(failed), len(rows)))
    if scale == "full" or os.environ.get("COMPARE_DOC") == "1":
        write_doc(text)


if __name__ == "__main__":
    main()
