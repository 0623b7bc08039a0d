"""Cases whose input is hostile: names, bombs, damaged copies of the corpus
packages, bad command lines. Each case is (class, name, function); the
function gets a Sandbox and answers nothing, recording its runs and
failures there."""

import json
import os
import random
import zlib

import builders

CONTROL = b"\x1b\x07"

HOSTILE_NAMES = [
    b"/t\x1b]0;owned\x07x.txt", b"/c\x1b[2J\x1b[H", b"/cr\rhidden.txt", b"/bell\x07",
    b"/nl\nx.txt", b"/tab\tx", b"/del\x7f", b"/c1\xc2\x9bx", b"/..", b"/../x.txt",
    b"/a/../../x.txt", b"/.", b"/./x.txt", b"//x.txt", b"/", b"", b"x.txt", b"/a\\..\\..\\x",
    b"\\..\\x.txt", b"C:\\x.txt", b"/a\0b.txt", b"/" + b"n" * 258, b"/" + b"n" * 259,
    b"/" + b"n" * 4000, b"/a" * 129, b"/a" * 2000, b"/\xed\xa0\x80x", b"/\xc0\xafx",
    b"/\xe2\x80\xaetxt.exe", b"/\xe2\x80\x8b", b"/\xef\xbb\xbfx", b"/\xef\xbf\xbf",
    b"/\xf0\x9f\x98\x80.txt", b"/\xff\xfe", b"/e\xcc\x81.txt", b"/\xc3\xa9.txt",
]

# Commands run on every name package; "@" stands for the package, "%" for
# the hostile name (as text the command line can carry).
NAME_COMMANDS = [
    ["ls", "@"], ["ls", "--json", "@"], ["log", "@"], ["info", "@"], ["stat", "@"],
    ["verify", "--decode", "@"], ["extract", "-d", "out", "@"], ["extract", "@"],
    ["diff", "@"], ["grep", "x", "@"], ["cat", "@", "%"], ["info", "@", "%"],
]
# Commands whose output is checked on a terminal: nothing there may drive it.
TERMINAL_COMMANDS = [["ls", "@"], ["log", "@"], ["info", "@", "%"], ["stat", "@"],
                     ["diff", "@"], ["grep", "x", "@"], ["cat", "@", "%.missing"]]


def _fill(args, package, name):
    text = name.split(b"\0")[0].decode("utf-8", "surrogateescape")
    return [package if a == "@" else a.replace("%", text) if "%" in a else a for a in args]


def _name_package(sandbox, name):
    """Two revisions, so that log and diff have something to show: a plain
    part first, then the hostile name beside it."""
    plain = builders.data_record(b"x\n")
    entry = {"names": builders.name_table([(1, b"/plain.txt"), (2, name)]),
             "items": builders.item(1, 4, 1) + builders.item(1, 4 + len(plain), 2) +
             builders.end_item(), "bitstream": plain + builders.data_record(b"x hostile\n")}
    first_entry = {"names": builders.name_table([(1, b"/plain.txt")]),
                   "items": builders.item(1, 4, 1) + builders.end_item(),
                   "bitstream": builders.data_record(b"x\n")}
    return sandbox.write("names.zoq", builders.raw_package([first_entry, entry]))


def name_cases():
    cases = []
    for i, name in enumerate(HOSTILE_NAMES):
        for args in NAME_COMMANDS:
            def case(sb, name=name, args=args):
                package = _name_package(sb, name)
                sb.tool(_fill(args, package, name), allowed=["out", "names"])
            cases.append(("names", "name %d: %s" % (i, " ".join(args)), case))
        for args in TERMINAL_COMMANDS:
            def on_terminal(sb, name=name, args=args):
                package = _name_package(sb, name)
                status, data = sb.terminal(_fill(args, package, name))
                raw = data.replace(b"\r\n", b"\n")
                if any(c in raw for c in CONTROL) or b"\r" in raw or b"\xc2\x9b" in raw:
                    sb.fail("terminal", "control characters reach the terminal: %r" % data[:200])
            cases.append(("names", "name %d on a terminal: %s" % (i, args[0]), on_terminal))
    # A part and a folder of one name, and the same name twice.
    twins = [[b"/a", b"/a/b"], [b"/a/b", b"/a"], [b"/a", b"/a"], [b"/A", b"/a"],
             [b"/e\xcc\x81", b"/\xc3\xa9"]]
    for i, names in enumerate(twins):
        for args in NAME_COMMANDS[:9]:
            def case(sb, names=names, args=args):
                package = sb.write("twins.zoq", builders.package([(n, n, b"") for n in names]))
                sb.tool(_fill(args, package, b""), allowed=["out", "twins"])
            cases.append(("names", "twins %d: %s" % (i, " ".join(args)), case))
    # Default extraction targets of package files whose names give none.
    for file_name in ["...zoq", "..zoq", ".zoq", "zoq", ".", "a.zoq", "a..zoq", ".pliv"]:
        for parts in ([b"/file.txt"], [b"/" + file_name.encode()], [b"/..zoq", b"/x"]):
            def case(sb, file_name=file_name, parts=parts):
                if file_name == ".":
                    sb.tool(["extract", "."], allowed=[])
                    return
                package = sb.write(file_name, builders.package([(p, b"data", b"") for p in parts]))
                before = sb.digest(package)
                stem = file_name.rsplit(".", 1)[0]
                sb.tool(["extract", file_name], allowed=[stem] if stem not in ("", ".", "..") else [])
                if sb.digest(package) != before:
                    sb.fail("outside", "the package was overwritten")
            cases.append(("names", "default target of %s %r" % (file_name, parts), case))
    return cases


def bomb_files(sandbox, corpus):
    """The bombs, written into the sandbox: name -> (file, extra options)."""
    sxc = os.path.join(corpus, "sxc", "public")
    schema = os.path.join(sxc, "multi_alpha.bsg")
    model = open(os.path.join(sxc, "multi_alpha.sxc"), "rb").read()
    ident = model[9:25]
    alpha_root = zlib.compress(b"\0")
    value_block = builders.zeros_stream(b"", 1 << 30)
    empty_block = zlib.compress(b"")
    items = 18750000
    docs = {
        "value": builders.sxc_document(ident, alpha_root, value_block,
                                       zlib.compress(builders.ints([1, 0, 4, len(value_block)]))),
        "structure": builders.sxc_document(
            ident, builders.zeros_stream(builders.wraps((1 << 28) - 1), 1 << 30)),
        "directory": builders.sxc_document(
            ident, alpha_root, empty_block,
            builders.zeros_stream(builders.ints([0, 1, items, len(empty_block)]), 8 * items)),
        "text": builders.sxc_document(ident, builders.zeros_stream(builders.wraps(12000000),
                                                                   12000000)),
        "wide": builders.sxc_document(ident, builders.zeros_stream(builders.wraps(0xFFFFFFF),
                                                                   1 << 28)),
    }
    files = {}
    for name, doc in docs.items():
        files[name + ".sxc"] = (sandbox.write(name + ".sxc", doc), ["--schema", schema])
    files["sxc-bombs.zoq"] = (sandbox.write("sxc-bombs.zoq", builders.package(
        [(b"/value.xml", zlib.compress(docs["value"]), b"\x01\x02"),
         (b"/structure.xml", zlib.compress(docs["structure"]), b"\x01\x02"),
         (b"/text.xml", zlib.compress(docs["text"]), b"\x01\x02")])), ["--schema", schema])
    # Name Tables: 3.8 million 259-unit names of which one is used, and a
    # gigabyte of zeros.
    files["names.zoq"] = (sandbox.write("names.zoq", builders.compressed_names(
        3800000, b"/" + b"n" * 258, 3800000)), [])
    zeros = {"names": builders.zeros_stream(b"", 1 << 30), "flags": 1, "raw": True,
             "items": builders.item(1, 4, 1) + builders.end_item(),
             "bitstream": builders.data_record(b"a")}
    files["zeros.zoq"] = (sandbox.write("zeros.zoq", builders.raw_package([zeros])), [])
    # An Item List of 20 million type-0 records naming one path.
    many = (builders.item(0, 0, 1)) * 20000000 + builders.end_item()
    files["items.zoq"] = (sandbox.write("items.zoq", builders.raw_package(
        [{"names": builders.name_table([(1, b"/a")]), "items": zlib.compress(many, 1),
          "flags": 2, "raw": True}])), [])
    # A part inflating a thousandfold, through ZIP.
    files["part.zoq"] = (sandbox.write("part.zoq", builders.package(
        [(b"/zeros.bin", builders.zeros_stream(b"", 1 << 30), b"\x01")])), [])
    # A tree 129 folders deep, and 100,000 parts in one folder.
    files["deep.zoq"] = (sandbox.write("deep.zoq", builders.package(
        [(b"/a" * 128 + b"/x", b"deep", b"")])), [])
    files["wide.zoq"] = (sandbox.write("wide.zoq", builders.package(
        [(b"/w/%d" % i, b"", b"") for i in range(100000)])), [])
    # XML nested 200,000 deep, and an entity expansion, for the encoder.
    files["nested.xml"] = (sandbox.write("nested.xml", b"<a>" * 200000 + b"</a>" * 200000),
                           ["--schema", schema])
    files["entities.xml"] = (sandbox.write("entities.xml", b'<?xml version="1.0"?>\n<!DOCTYPE a ['
                             + b"".join(b'<!ENTITY e%d "&e%d;&e%d;&e%d;&e%d;">' % (i + 1, i, i, i, i)
                                        for i in range(12)).replace(b"&e0;", b"xxxxxxxx")
                             + b"]>\n<a>&e12;</a>\n"), ["--schema", schema])
    return files


BOMB_COMMANDS = {
    ".sxc": [["sxc", "decode", "@"], ["sxc", "decode", "--max-output", "200M", "@"]],
    ".xml": [["sxc", "encode", "@"]],
    ".zoq": [["ls", "@"], ["ls", "--json", "@"], ["info", "@"], ["log", "@"], ["stat", "@"],
             ["verify", "@"], ["verify", "--decode", "@"], ["extract", "-d", "out", "@"],
             ["extract", "-j", "8", "-d", "out", "@"], ["grep", "x", "@"], ["diff", "@"],
             ["cat", "@", "/value.xml"], ["cat", "@", "/structure.xml"], ["cat", "@", "/text.xml"],
             ["cat", "@", "/zeros.bin"], ["recover", "@", "recovered.zoq"]],
}
BOMB_NAMES = ["value.sxc", "structure.sxc", "directory.sxc", "text.sxc", "wide.sxc",
              "sxc-bombs.zoq", "names.zoq", "zeros.zoq", "items.zoq", "part.zoq", "deep.zoq",
              "wide.zoq", "nested.xml", "entities.xml"]


def bomb_cases(corpus, shared):
    cases = []
    for name in BOMB_NAMES:
        ext = os.path.splitext(name)[1]
        for args in BOMB_COMMANDS[ext]:
            if args[0] == "cat" and name != "sxc-bombs.zoq" and args[2] != "/zeros.bin":
                continue
            if args[0] == "cat" and args[2] == "/zeros.bin" and name != "part.zoq":
                continue

            def case(sb, name=name, args=args):
                path, extra = shared.bombs(corpus)[name]
                words = 2 if args[0] == "sxc" else 1
                if args[0] not in ("sxc", "cat", "extract", "verify", "grep", "diff") or \
                        args[:2] == ["verify", "@"]:
                    extra = []
                argv = args[:words] + extra + [path if a == "@" else a for a in args[words:]]
                # A user who raises the text limit to 200 MiB raises the
                # memory a document may take with it.
                limit = (100 << 10 if name in ("names.zoq", "zeros.zoq") else
                         512 << 10 if "--max-output" in args else None)
                sb.tool(argv, allowed=["out", "recovered.zoq"], peak_limit_kib=limit)
            cases.append(("bombs", "%s: %s" % (name, " ".join(args)), case))
    return cases


def _boundaries(data):
    """Offsets where fields and tables begin: the header, every entry's
    fields and tables, every bit stream start."""
    width = data[21] if len(data) > 21 and data[21] in (2, 4, 8) else 4
    points = set(range(0, min(len(data), 24 + width)))
    for magic in (b"C.En", b"C.BS"):
        at = data.find(magic)
        while at >= 0:
            if magic == b"C.En":
                for field in (0, 4, 8, 8 + width, 8 + 2 * width, 9 + 2 * width, 25 + 2 * width,
                              29 + 2 * width):
                    points.update(range(at + field - 1, at + field + 2))
            else:
                points.update(range(at, at + 4 + 2 + width))
            at = data.find(magic, at + 1)
    return sorted(p for p in points if 0 <= p < len(data))


def damaged_cases(corpus, shared, per_package):
    folder = os.path.join(corpus, "package", "public")
    cases = []
    for file_name in sorted(f for f in os.listdir(folder) if f.endswith(".zoq")):
        source = os.path.join(folder, file_name)
        data = open(source, "rb").read()
        if not data:
            continue
        args = _corpus_args(source)
        rng = random.Random(file_name)
        edges = _boundaries(data)
        for n in range(per_package):
            kind = ("flip", "edge flip", "cut", "zeroed")[n % 4]
            # The change is kept as (offset, end, replacement) and made when
            # the case runs, so that thousands of copies are never held.
            if kind == "flip" or kind == "edge flip":
                at = rng.randrange(len(data)) if kind == "flip" else rng.choice(edges)
                change = (at, at + 1, bytes([data[at] ^ rng.choice(
                    (0x01, 0x80, 0xFF, rng.randrange(1, 256)))]))
                what = "%s at %d" % (kind, at)
            elif kind == "cut":
                at = rng.choice(edges) if n % 8 == 2 else rng.randrange(len(data))
                change = (at, len(data), b"")
                what = "cut at %d" % at
            else:
                at = rng.choice(edges)
                length = min(rng.choice((1, 2, 4, 8, 16, 64, 4096)), len(data) - at)
                change = (at, at + length, bytes(length))
                what = "%d zeros at %d" % (length, at)
            if data[change[0]:change[1]] == change[2]:
                continue

            def case(sb, change=change, args=args, source=source):
                with open(source, "rb") as f:
                    original = f.read()
                at, stop, replacement = change
                package = sb.write("damaged.zoq", original[:at] + replacement + original[stop:])
                sb.tool(["verify", "--decode"] + args + [package], allowed=[])
                run = sb.tool(["extract"] + args + ["-d", "out", package], allowed=["out"])
                if run is not None and run.status == 0:
                    baseline = shared.baseline(source, args)
                    changed = [p for p, content in sb.tree("out").items()
                               if p in baseline and baseline[p] != content]
                    if changed:
                        sb.note("silent", "exit 0 with changed content: %s" % changed[:3])
            cases.append(("damaged", "%s %s" % (file_name, what), case))
    return cases


def _corpus_args(package):
    args = []
    try:
        with open(package[:-4] + ".expected.json") as f:
            given = json.load(f).get("args", {})
    except (OSError, ValueError):
        return args
    if given.get("key"):
        args += ["--key", given["key"]]
    if given.get("docver"):
        args += ["--docver", str(given["docver"])]
    if given.get("limit"):
        args += ["-r", str(given["limit"])]
    return args


def command_line_cases(corpus):
    good = os.path.join(corpus, "package", "public", "v_history.zoq")
    lines = [
        [], ["nonsense"], ["--nonsense"], ["-"], ["--"], ["ls"], ["ls", "--"], ["ls", "-"],
        ["ls", "missing.zoq"], ["ls", "folder"], ["ls", "empty.zoq"], ["ls", "/dev/zero"],
        ["ls", "/dev/urandom"], ["ls", "/dev/null"], ["ls", "fifo"], ["ls", "sparse.zoq"],
        ["ls", "link-loop"], ["ls", "a" * 100000], ["ls", "\udcff\udcfe.zoq"],
        ["cat", "@"], ["cat", "@", "/missing"], ["cat", "@", "relative"], ["cat", "@", ""],
        ["cat", "@", "/a.txt", "/b.txt"], ["cat", "-r", "0", "@", "/a.txt"],
        ["cat", "-r", "-1", "@", "/a.txt"], ["cat", "-r", "99999999999999999999", "@", "/a.txt"],
        ["cat", "-r", "x", "@", "/a.txt"], ["cat", "-r", "", "@", "/a.txt"], ["cat", "-r"],
        ["cat", "--key", "zz", "@", "/a.txt"], ["cat", "--key", "", "@", "/a.txt"],
        ["cat", "--key", "0x", "@", "/a.txt"], ["cat", "--key", "0" * 10000, "@", "/a.txt"],
        ["cat", "--key-file", "missing", "@", "/a.txt"],
        ["cat", "--key-file", "/dev/zero", "@", "/a.txt"],
        ["cat", "--key-file", "folder", "@", "/a.txt"],
        ["cat", "--key-file", "empty.zoq", "@", "/a.txt"],
        ["cat", "--key", "00", "--key-file", "empty.zoq", "@", "/a.txt"],
        ["cat", "--docver", "-5", "@", "/a.txt"], ["cat", "--docver", "65536", "@", "/a.txt"],
        ["cat", "--schema", "/dev/zero", "@", "/a.txt"], ["cat", "--schema", "folder", "@", "/a.txt"],
        ["cat", "--schema", "missing", "@", "/a.txt"], ["cat", "--max-output", "0", "@", "/a.txt"],
        ["cat", "--max-output", "-1", "@", "/a.txt"], ["cat", "--max-output", "1X", "@", "/a.txt"],
        ["cat", "--max-output", "99999999999999P", "@", "/a.txt"],
        ["cat", "--max-output", "1e99", "@", "/a.txt"], ["cat", "--raw", "--raw", "@", "/a.txt"],
        ["extract", "-j", "-1", "@"], ["extract", "-j", "999999999", "-d", "out", "@"],
        ["extract", "-j", "x", "@"], ["extract", "-d", "", "@"], ["extract", "-d", "empty.zoq", "@"],
        ["extract", "-d", "/dev/null", "@"], ["extract", "-d", "@", "@"],
        ["extract", "-d", "out", "@", "/missing"], ["extract", "-d", "out", "@", "relative"],
        ["extract", "-d", "out", "@", "/../x"], ["extract", "-d", "out", "-d", "out2", "@"],
        ["extract", "-d"], ["extract"], ["info", "@", "/missing"], ["info", "@", "/a.txt", "/b"],
        ["log", "-r", "5", "@"], ["log", "@", "extra"], ["stat", "@", "extra"],
        ["verify", "--nonsense", "@"], ["diff", "-r", "1", "-r", "2", "-r", "3", "@"],
        ["diff", "-r", "9", "@"], ["diff", "-r", "0", "@"], ["grep", "@"], ["grep", "(", "@"],
        ["grep", "a{99999999}", "@"], ["grep", "[", "@"], ["grep", "(a*)*b", "@"],
        ["grep", "-j", "0", "x", "@"], ["grep", "x"], ["create"], ["create", "@"],
        ["create", "new.zoq", "extra"], ["create", "--subset", "Nope", "new.zoq"],
        ["create", "--docver", "999", "new.zoq"], ["create", "folder"], ["create", "/dev/null"],
        ["create", "missing-folder/new.zoq"], ["add", "@"], ["add", "@", "/x"],
        ["add", "@", "/x", "missing"], ["add", "@", "/x", "folder"], ["add", "@", "relative", "empty.zoq"],
        ["add", "@", "/", "empty.zoq"], ["add", "@", "/a.txt/b", "empty.zoq"],
        ["add", "@", "/" + "n" * 300, "empty.zoq"], ["add", "@", "/x\x1b", "empty.zoq"],
        ["add", "--codes", "nope", "@", "/x", "empty.zoq"], ["add", "--codes", "", "@", "/x", "empty.zoq"],
        ["add", "--codes", "adm", "@", "/x", "empty.zoq"],
        ["add", "--codes", "zip,zip,zip,zip,zip,zip,zip,zip", "@", "/x", "empty.zoq"],
        ["add", "--codes", "sxc", "@", "/x.xml", "empty.zoq"], ["add", "missing.zoq", "/x", "empty.zoq"],
        ["add", "/dev/null", "/x", "empty.zoq"], ["add", "folder", "/x", "empty.zoq"],
        ["replace", "@", "/missing", "empty.zoq"], ["append", "@", "/missing", "empty.zoq"],
        ["rm", "@"], ["rm", "@", "/missing"], ["rm", "@", "/"], ["rm", "@", "/dir/", "/dir/"],
        ["encode", "@"], ["encode", "--codes", "nope", "@", "/a.txt"], ["commit", "@"],
        ["commit", "@", "--add", "nonsense"], ["commit", "@", "--add", "/x=missing"],
        ["commit", "@", "--rm", "/missing"], ["commit", "@", "--append", "/missing=empty.zoq"],
        ["import", "@"], ["import", "@", "missing"], ["import", "@", "empty.zoq"],
        ["import", "@", "folder", "relative"], ["import", "-j", "-3", "@", "folder"],
        ["compact"], ["compact", "missing.zoq"], ["compact", "/dev/null"], ["compact", "@", "extra"],
        ["schema"], ["schema", "compile"], ["schema", "compile", "missing.xsd", "out.bsg"],
        ["schema", "compile", "/dev/zero", "out.bsg"], ["schema", "show", "/dev/zero"],
        ["schema", "show", "empty.zoq"], ["schema", "nonsense"], ["sxc"], ["sxc", "nonsense"],
        ["sxc", "decode"], ["sxc", "decode", "missing.sxc"], ["sxc", "decode", "/dev/zero"],
        ["sxc", "decode", "--schema", "/dev/zero", "empty.zoq"], ["sxc", "encode", "/dev/zero"],
        ["sxc", "encode", "--schema", "missing", "empty.zoq"], ["restore"], ["restore", "@"],
        ["restore", "-r", "99", "@", "/a.txt"], ["restore", "-r", "1", "@", "/missing"],
        ["recover"], ["recover", "@"], ["recover", "@", "@"], ["recover", "/dev/zero", "r.zoq"],
        ["recover", "@", "folder"], ["recover", "@", "/dev/null"], ["ls", "--help", "extra"],
        ["--help", "nonsense"], ["ls", "--json", "--json", "@"], ["ls", "--json=1", "@"],
        ["ls", "-rx", "@"], ["ls", "@", "/missing"], ["ls", "@", "/a.txt/"],
    ]
    cases = []
    for i, args in enumerate(lines):
        def case(sb, args=args):
            package = sb.copy(good, "good.zoq")
            sb.write("empty.zoq", b"")
            os.makedirs(sb.path("folder"), exist_ok=True)
            os.mkfifo(sb.path("fifo"))
            with open(sb.path("sparse.zoq"), "wb") as f:
                f.truncate(1 << 40)
            os.symlink("link-loop", sb.path("link-loop"))
            before = sb.digest(package)
            writes = args and args[0] in ("create", "add", "replace", "append", "rm", "encode",
                                          "commit", "import", "compact", "restore", "recover",
                                          "schema", "extract")
            argv = [package if a == "@" else a for a in args]
            run = sb.tool(argv, allowed=["out", "out2", "new.zoq", "r.zoq", "out.bsg", "good.zoq"]
                          if writes else [], stdin_empty=True)
            if run is not None and run.status != 0 and sb.digest(package) != before:
                sb.fail("lost", "a failed command changed the package")
            if run is not None and run.status not in (0, 1, 2):
                sb.fail("status", "exit status %d" % run.status)
            if run is not None and run.status != 0 and not run.err.strip():
                sb.fail("status", "failed without a message")
        cases.append(("command lines", "%d: %s" % (i, " ".join(a[:40] for a in args)), case))
    return cases
