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
  COMPARE_RUNS   rounds per row (default 7; the medians count)
  COMPARE_HEAVY_RUNS  rounds of the extract and import rows (default
                 COMPARE_RUNS)
  COMPARE_WARMUP 0 to skip the untimed first round of the light rows
                 (default 1; never for the extract and import rows)
  COMPARE_ONLY   a comma-separated subset of the groups list, extract,
                 read, sxc, add, import, history, browser (default: all)
  COMPARE_DOC    1 to write the table into docs/PERFORMANCE.md also for the
                 small scale or a subset (a full run of every group always
                 writes it)
  COMPARE_DATA_ONLY  1 to generate the data and stop

Each row runs our command and its peer on the same data in the same run,
in turns, with no settling wait between runs: the state of the file system,
the page cache and the machine is whatever the previous run left, as users
meet it.
"""
import os
import shlex
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from inputs import IV, KEY, MiB, ROOT, SCALES, Data, log  # noqa: E402
from measure import Measure, Row, peak_memory, system, table, wall, wall_seconds  # noqa: E402

BEGIN_MARK = "<!-- compare:begin -->"
END_MARK = "<!-- compare:end -->"
GROUPS = ["list", "extract", "read", "sxc", "add", "import", "history", "browser"]
# A word of the generated text on about one line in 340 (10,734 of 3.65
# million lines): both sides print little, the work is reading and searching.
GREP_PATTERN = "mamameice"

# The data sets of the extract and import rows: a folder of data (kept), the
# package of its files (ZIP-coded parts) and the zip -9 archive of them.
TREES = [("generated", "tree", "extract"), ("/usr/include", "include", "include")]


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def folder_mib(folder):
    total = 0
    for base, _, files in os.walk(folder):
        total += sum(os.path.getsize(os.path.join(base, f)) for f in files)
    return total / MiB


def listing(data, measure, sizes, zoq, p):
    ours, peer = measure.time(["%s ls %s" % (zoq, p("list/list.zoq")),
                               "unzip -Z1 %s" % p("list/list.zip")])
    return [Row("list %d parts (%d revisions) vs `unzip -Z1`" %
                (sizes["list_parts"], sizes["list_revisions"]), ours, peer,
                [wall(ours, peer, 0.3), peak_memory(ours, 24)])]


def extraction(data, measure, sizes, zoq, p):
    """Three file-system states: every run into a folder never used before;
    into a folder the previous round wrote, removed just before (untimed,
    no waiting after it); over a previous run's files, every file replaced.
    In the last two the commands take the three folders in turns."""
    rows = []
    out = measure.scratch
    for label, tree, name in TREES:
        files = count_files(data.path(tree))
        about = "extract %s: %d files, %.0f MiB vs `unzip -q -o`" % (
            label, files, folder_mib(data.path(tree)))
        commands = ["%s extract -d {out} %s" % (zoq, p(name + ".zoq")),
                    "%s extract -j 2 -d {out} %s" % (zoq, p(name + ".zoq")),
                    "unzip -q -o %s -d {out}" % p(name + ".zip")]
        for state in ["new folder", "after removal", "over an earlier extraction"]:
            log("extracting %s, %s" % (label, state))
            folders = [os.path.join(out, "%s-%s-%d" % (name, state.split()[0], i))
                       for i in range(len(commands))]
            if state == "new folder":
                runs = [c.replace("{out}", "{new}") for c in commands]
                prepare = None
            else:
                runs = commands
                prepare = "rm -rf {out}" if state == "after removal" else None
                for command, folder in zip(commands, folders):
                    # The earlier extraction (or the output removed before
                    # the first timed run), untimed.
                    measure.once(command.replace("{out}", shlex.quote(folder)), None)
            one, two, peer = measure.time(runs, prepare=prepare, warmup=0, heavy=True,
                                          folders=None if state == "new folder" else folders)
            rows.append(Row("%s, single-threaded, %s" % (about, state), one, peer,
                            [wall(one, peer, 0.8), system(one, peer, 1.0)]))
            rows.append(Row("%s, `-j 2`, %s" % (about, state), two, peer,
                            [wall(two, peer, 0.5), system(two, peer, 1.0)]))
        # The files of this data set's runs go before the next one's.
        for entry in os.listdir(out):
            if entry.startswith(("new-", name + "-")):
                shutil.rmtree(os.path.join(out, entry))
    return rows


def reading(data, measure, sizes, zoq, p):
    big = "%d MiB" % (sizes["big_bytes"] // MiB) if sizes["big_bytes"] < 1024 * MiB else "1 GiB"
    target = shlex.quote(os.path.join(measure.scratch, "read.out"))
    sinks = [("into a pipe", " | cat > /dev/null", None),
             ("to a file", " > " + target, "rm -f " + target),
             ("to /dev/null", " > /dev/null", None)]
    ours_adm = "%s cat --docver 0 --key %s %s /big.txt" % (zoq, KEY, p("adm/part.zoq"))
    peer_adm = "openssl enc -d -aes-128-ctr -K %s -iv %s -in %s" % (KEY, IV, p("adm/stored"))
    ours_zip = "%s cat %s /big.txt" % (zoq, p("zip/part.zoq"))
    peer_zip = "zlib-flate -uncompress < %s" % p("zip/stored")
    limits = {("adm", "into a pipe"): 1.0, ("adm", "to /dev/null"): 1.0,
              ("zip", "into a pipe"): 0.5, ("zip", "to a file"): 0.5}
    rows = []
    for code, ours_command, peer_command, peer_name in [
            ("adm", ours_adm, peer_adm, "openssl enc -d -aes-128-ctr"),
            ("zip", ours_zip, peer_zip, "zlib-flate -uncompress")]:
        for sink_name, sink, prepare in sinks:
            log("reading the %s part %s" % (code.upper(), sink_name))
            ours, peer = measure.time([ours_command + sink, peer_command + sink], prepare=prepare)
            limit = limits.get((code, sink_name))
            rows.append(Row("read a %s %s part %s vs `%s`" % (
                big, "ADM" if code == "adm" else "ZIP-coded", sink_name, peer_name), ours, peer,
                [wall(ours, peer, limit)] if limit else []))
    return rows


def binary_xml(data, measure, sizes, zoq, p):
    rows = []
    xml_mib = sizes["xml_bytes"] // MiB
    ours_out = os.path.join(measure.scratch, "encoded.sxc")
    peer_out = os.path.join(measure.scratch, "encoded.gz")
    for label, doc, schema in [("generated", "doc", "schema.bsg"),
                               ("scaled sample", "sample", "schema-1.2.bsg")]:
        log("binary XML, %s document" % label)
        ours, peer = measure.time(
            ["%s sxc decode --schema %s %s" % (zoq, p(schema), p(doc + ".sxc")),
             "xmllint --noout %s" % p(doc + ".xml")])
        rows.append(Row("decode the %d MiB %s SXC document to XML text vs `xmllint --noout`" %
                        (xml_mib, label), ours, peer, [wall(ours, peer, 0.5)]))
        ours, peer = measure.time(
            ["%s sxc encode --schema %s %s -o %s" % (zoq, p(schema), p(doc + ".xml"),
                                                   shlex.quote(ours_out)),
             "gzip -9 -c %s > %s" % (p(doc + ".xml"), shlex.quote(peer_out))],
            prepare=["rm -f " + shlex.quote(ours_out), "rm -f " + shlex.quote(peer_out)])
        size_ratio = os.path.getsize(ours_out) / os.path.getsize(peer_out)
        rows.append(Row("encode the %s XML to SXC vs `gzip -9`" % label, ours, peer,
                        [wall(ours, peer, 0.8), ("size", size_ratio, 0.8)],
                        note="sizes %d / %d bytes" % (os.path.getsize(ours_out),
                                                      os.path.getsize(peer_out))))
    return rows


def adding(data, measure, sizes, zoq, p):
    large_mib = sizes["large_files"]
    added = p("save/add.txt")
    ours, peer = measure.time(["%s add %s /added.txt %s" % (zoq, p("save/large.zoq"), added),
                               "%s add %s /added.txt %s" % (zoq, p("save/small.zoq"), added)])
    return [Row("add one 4 KiB part to a %s package vs the same on a 1 MiB package" %
                ("1 GiB" if large_mib == 1024 else "%d MiB" % large_mib), ours, peer,
                [wall(ours, peer, 1.2)])]


def importing(data, measure, sizes, zoq, p):
    rows = []
    package = shlex.quote(os.path.join(measure.scratch, "imported.zoq"))
    archive = shlex.quote(os.path.join(measure.scratch, "imported.zip"))
    for label, tree, _ in TREES:
        log("importing %s" % label)
        one, two, peer = measure.time(
            ["%s import --codes zip %s %s" % (zoq, package, p(tree)),
             "%s import -j 2 --codes zip %s %s" % (zoq, package, p(tree)),
             "cd %s && zip -9 -r -q %s ." % (p(tree), archive)],
            prepare="rm -f %s %s" % (package, archive), warmup=0, heavy=True)
        task = "import %s: %d files, %.0f MiB, `--codes zip` vs `zip -9 -r -q`" % (
            label, count_files(data.path(tree)), folder_mib(data.path(tree)))
        rows.append(Row(task + ", single-threaded", one, peer, [wall(one, peer, 1.0)]))
        rows.append(Row(task + ", `-j 2`", two, peer, [wall(two, peer, 0.55)]))
    return rows


def history(data, measure, sizes, zoq, p):
    """Searching, comparing revisions and recovering, each against the
    nearest thing users would otherwise run."""
    rows = []
    log("searching the extraction data")
    ours, two, peer = measure.time(
        ["%s grep %s %s | wc -l" % (zoq, GREP_PATTERN, p("extract.zoq")),
         "%s grep -j 2 %s %s | wc -l" % (zoq, GREP_PATTERN, p("extract.zoq")),
         "unzip -p %s | grep -c %s" % (p("extract.zip"), GREP_PATTERN)])
    task = "grep %d ZIP-coded parts vs `unzip -p DATA.zip \\| grep -c`" % count_files(
        data.path("tree"))
    rows.append(Row(task + ", single-threaded", ours, peer, [wall(ours, peer, 1.5)]))
    rows.append(Row(task + ", `-j 2`", two, peer, [wall(two, peer, 1.5)]))
    log("comparing the last two revisions of the listing package")
    ours, peer = measure.time(["%s diff %s" % (zoq, p("list/list.zoq")),
                               "%s ls %s" % (zoq, p("list/list.zoq"))])
    rows.append(Row("diff (name-status) of the last two of %d revisions, %d parts, vs `zoq ls`"
                    % (sizes["list_revisions"], sizes["list_parts"]), ours, peer,
                    [wall(ours, peer, 2.0)]))
    log("recovering the package with a damaged last entry")
    damaged = p("damaged/large.zoq")
    out = shlex.quote(os.path.join(measure.scratch, "recovered.zoq"))
    ours, peer = measure.time(["%s recover %s %s" % (zoq, damaged, out),
                               "dd if=%s of=%s bs=1M conv=fsync status=none" % (damaged, out)],
                              prepare="rm -f " + out, heavy=True, warmup=0)
    size = os.path.getsize(data.path("damaged/large.zoq"))
    rows.append(Row("recover a %d MiB package with a damaged last entry vs `dd bs=1M conv=fsync`"
                    % (size // MiB), ours, peer, [wall(ours, peer, 1.5)]))
    return rows


def browser(data, measure, sizes, zoq, p):
    """The desktop program from its start to the painted tree of the listing
    package, on Qt's offscreen platform (no display server needed; the
    painting is done all the same)."""
    program = shlex.quote(data.open_to_paint)
    (ours,) = measure.time(["QT_QPA_PLATFORM=offscreen %s %s" % (program, p("list/list.zoq"))])
    megabytes = ("peak RSS", ours.rss / 1e6, 80, "80 MB", "%.1f MB" % (ours.rss / 1e6))
    return [Row("browser: start, open the %d-part package and paint its tree" %
                sizes["list_parts"], ours, None, [wall_seconds(ours, 0.5), megabytes])]


def compare(data, measure, sizes, groups):
    zoq = shlex.quote(data.zoq)
    p = lambda name: shlex.quote(data.path(name))
    steps = {"list": listing, "extract": extraction, "read": reading, "sxc": binary_xml,
             "add": adding, "import": importing, "history": history, "browser": browser}
    rows = []
    for group in GROUPS:
        if group in groups:
            log(group)
            rows += steps[group](data, measure, sizes, zoq, p)
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
    runs = int(os.environ.get("COMPARE_RUNS", "7"))
    heavy_runs = int(os.environ.get("COMPARE_HEAVY_RUNS", str(runs)))
    groups = [g for g in os.environ.get("COMPARE_ONLY", ",".join(GROUPS)).split(",") if g]
    unknown = set(groups) - set(GROUPS)
    if unknown:
        raise SystemExit("compare: COMPARE_ONLY takes %s, not %s" %
                         (", ".join(GROUPS), ", ".join(sorted(unknown))))
    base = os.environ.get("COMPARE_DIR") or os.path.join(ROOT, "build", "compare-data")
    data = Data(build, os.path.join(os.path.abspath(base), scale), sizes)
    data_only = os.environ.get("COMPARE_DATA_ONLY") == "1"
    needed = [data.zoq, data.gen]
    if "browser" in groups and not data_only:
        needed.append(data.open_to_paint)
    for tool in needed:
        if not os.access(tool, os.X_OK):
            raise SystemExit("compare: %s was not built" % tool)
    for tool in ["unzip", "zip", "zlib-flate", "xmllint", "openssl", "gzip", "/usr/bin/time"]:
        if shutil.which(tool) is None:
            raise SystemExit("compare: %s is not installed (make deps)" % tool)

    data.generate()
    if data_only:
        return
    load_before = os.getloadavg()
    started = time.time()
    with tempfile.TemporaryDirectory(prefix="zoq-compare-", dir=data.dir) as scratch:
        rows = compare(data, Measure(runs, heavy_runs, scratch), sizes, groups)
    load_after = os.getloadavg()
    header = ("Measured %s on %d cores, %s scale, %s rounds per row, ours and the peer in turns "
              "(medians; wall, user and system time of all the command's processes; largest "
              "peak RSS). Load average (1, 5, 15 min) %.1f, %.1f, %.1f before and %.1f, %.1f, "
              "%.1f after the %.0f s of measuring." %
              (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), os.cpu_count() or 0, scale,
               runs if heavy_runs == runs else "%d (extract and import: %d)" % (runs, heavy_runs),
               *load_before, *load_after, time.time() - started))
    failed = [r for r in rows if r.failed()]
    judged = [r for r in rows if r.checks]
    text = (header + "\n\n" + table(rows) + "\n\n%d of %d target rows pass." %
            (len(judged) - len(failed), len(judged)))
    print(text)
    if (scale == "full" and groups == GROUPS) or os.environ.get("COMPARE_DOC") == "1":
        write_doc(text)


if __name__ == "__main__":
    main()
