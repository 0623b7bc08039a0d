"""Cases that interrupt the tool: SIGKILL at a random moment, a full disk
(a small tmpfs), the file-size limit (its signal, or EFBIG with the signal
ignored) and read-only targets. Afterwards the package must open and
verify with every revision it had (or one more, for a save that got
through), a failed command must have changed nothing, and temporaries must
be gone after the next run of the tool."""

import glob
import os
import random
import subprocess

CORPUS_PACKAGE = "package/public/v_history.zoq"
CORPUS_LARGE = "package/public/v_large.zoq"
CORPUS_REVISIONS = "package/public/v_w8_revisions.zoq"

# Operations on a package copied to box/p.zoq, their inputs in the folder
# `inp` (made once by make_inputs).
OPERATIONS = {
    "add": lambda inp: ["add", "p.zoq", "/big.bin", inp + "/big.bin"],
    "add zip": lambda inp: ["add", "--codes", "zip", "p.zoq", "/text.txt", inp + "/text.txt"],
    "import": lambda inp: ["import", "-j", "2", "p.zoq", inp + "/tree", "/imported"],
    "commit": lambda inp: ["commit", "p.zoq", "--add", "/c.bin=" + inp + "/big.bin", "--rm",
                           "/a.txt", "--merge"],
    "compact": lambda inp: ["compact", "p.zoq"],
    "extract": lambda inp: ["extract", "-j", "2", "-d", "out", "p.zoq"],
}
SOURCE = {"compact": CORPUS_REVISIONS, "extract": CORPUS_LARGE}


def make_inputs(folder):
    rng = random.Random(7)
    files = {"big.bin": rng.randbytes(4 << 20),
             "text.txt": b"".join(b"line %d of the text\n" % i for i in range(200000))}
    for i in range(300):
        files["tree/d%d/f%d.txt" % (i % 7, i)] = b"file %d\n" % i * (i % 50 + 1)
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def _prepare(sb, corpus, op):
    package = sb.copy(os.path.join(corpus, SOURCE.get(op, CORPUS_PACKAGE)), "p.zoq")
    return package, sb.revisions(package), sb.digest(package)


def _leftovers(sb):
    return (glob.glob(os.path.join(sb.box, ".~zoq-*")) + glob.glob(os.path.join(sb.tmp, "~ZOQPAC*")) +
            glob.glob(os.path.join(sb.box, "out", "**", ".~zoq-*"), recursive=True))


def _after(sb, corpus, op, package, revisions, digest, run, interrupted):
    """The checks after an operation that may have been interrupted."""
    if run is None:
        return
    failed = run.status != 0
    if op == "extract":
        if sb.digest(package) != digest:
            sb.fail("lost", "extract changed the package")
        baseline = sb.shared.baseline(os.path.join(corpus, CORPUS_LARGE), [])
        for path, content in sb.tree("out").items():
            if not os.path.basename(path).startswith(".~zoq-") and baseline.get(path) != content:
                sb.fail("lost", "a partial file under its real name: %s" % path)
    else:
        if failed and not interrupted and sb.digest(package) != digest:
            sb.fail("lost", "a failed %s changed the package" % op)
        now = sb.revisions(package)
        low = 1 if op == "compact" else revisions
        if now is None or not (low <= now <= revisions + 1):
            sb.fail("lost", "revisions %s -> %s" % (revisions, now))
        check = sb.tool(["verify", "--all", package], allowed=[], record=False)
        if check is not None and check.status != 0:
            sb.fail("lost", "the package no longer verifies: %s" % check.describe())
    if not interrupted and failed and _leftovers(sb):
        sb.fail("leftover", "a failed %s left %s" % (op, _leftovers(sb)))
    if interrupted:
        if _leftovers(sb):
            sb.note("left by the kill", "%d temporaries" % len(_leftovers(sb)))
        # The next run of the tool tidies up after the killed one.
        sb.tool(["ls", package], allowed=[], record=False)
        if op == "extract":
            sb.tool(OPERATIONS[op](sb.shared.inputs), allowed=["out"], record=False)
        left = _leftovers(sb)
        if left:
            sb.note("leftover", "left after the next run: %s" % [os.path.basename(p) for p in left])


def kill_cases(corpus, count, durations):
    cases = []
    for n in range(count):
        op = list(OPERATIONS)[n % len(OPERATIONS)]

        def case(sb, op=op, n=n):
            package, revisions, digest = _prepare(sb, corpus, op)
            delay = random.Random(n).uniform(0.0, 1.2 * durations[op])
            run = sb.tool(OPERATIONS[op](sb.shared.inputs), allowed=["out", "p.zoq"], kill_after=delay)
            killed = run is not None and run.killed_on_purpose
            _after(sb, corpus, op, package, revisions, digest, run, killed)
        cases.append(("faults", "kill %s #%d" % (op, n), case))
    return cases


def size_limit_cases(corpus, count):
    cases = []
    for n in range(count):
        op = list(OPERATIONS)[n % len(OPERATIONS)]
        ignore = n % 2 == 1

        def case(sb, op=op, n=n, ignore=ignore):
            package, revisions, digest = _prepare(sb, corpus, op)
            limit = random.Random(n).randrange(1, 2 * os.path.getsize(package) + (6 << 20))
            run = sb.tool(OPERATIONS[op](sb.shared.inputs), allowed=["out", "p.zoq"], fsize=limit,
                          ignore_xfsz=ignore)
            killed = run is not None and run.signal is not None
            if run is not None and killed and ignore:
                sb.fail("crash", "signal %d with SIGXFSZ ignored" % run.signal)
            _after(sb, corpus, op, package, revisions, digest, run, killed)
        cases.append(("faults", "%s size limit %s #%d" % ("EFBIG" if ignore else "SIGXFSZ", op, n),
                      case))
    return cases


def _mount(folder, size_kib, read_only=False):
    os.makedirs(folder, exist_ok=True)
    options = "size=%dk" % size_kib + (",ro" if read_only else "")
    return subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", folder],
                          capture_output=True).returncode == 0


def _umount(folder):
    subprocess.run(["umount", folder], capture_output=True)


def full_disk_cases(corpus, count):
    cases = []
    for n in range(count):
        op = list(OPERATIONS)[n % len(OPERATIONS)]

        def case(sb, op=op, n=n):
            source = os.path.join(corpus, SOURCE.get(op, CORPUS_PACKAGE))
            # The package's folder is the small file system (for extract, the
            # target folder is); what is free there is random.
            rng = random.Random(n)
            size = os.path.getsize(source)
            spare = rng.randrange(0, 6 << 20)
            mount_at = sb.path("out") if op == "extract" else sb.box
            kib = (spare + (0 if op == "extract" else size)) // 1024 + 8
            if not _mount(mount_at, kib):
                sb.note("skipped", "tmpfs cannot be mounted")
                return
            try:
                package = sb.copy(source, "p.zoq")
                revisions, digest = sb.revisions(package), sb.digest(package)
                run = sb.tool(OPERATIONS[op](sb.shared.inputs), allowed=["out", "p.zoq"])
                _after(sb, corpus, op, package, revisions, digest, run, False)
            finally:
                _umount(mount_at)
        cases.append(("faults", "full disk %s #%d" % (op, n), case))
    return cases


def read_only_cases(corpus):
    cases = []
    for op in OPERATIONS:
        for variant in ("package folder", "target folder"):
            if (op == "extract") != (variant == "target folder"):
                continue

            def case(sb, op=op):
                source = os.path.join(corpus, SOURCE.get(op, CORPUS_PACKAGE))
                package = sb.copy(source, "p.zoq")
                revisions, digest = sb.revisions(package), sb.digest(package)
                mount_at = sb.path("out") if op == "extract" else sb.box
                if op != "extract":
                    # Bind the package's folder read-only over itself.
                    ok = subprocess.run(["mount", "--bind", sb.box, sb.box]).returncode == 0 and \
                        subprocess.run(["mount", "-o", "remount,ro,bind", sb.box]).returncode == 0
                else:
                    ok = _mount(mount_at, 64, read_only=True)
                if not ok:
                    _umount(mount_at)
                    sb.note("skipped", "no read-only mount")
                    return
                try:
                    run = sb.tool(OPERATIONS[op](sb.shared.inputs), allowed=[])
                    if run is not None and run.status == 0:
                        sb.fail("status", "%s reported success on a read-only target" % op)
                    _after(sb, corpus, op, package, revisions, digest, run, False)
                finally:
                    _umount(mount_at)
            cases.append(("faults", "read-only %s %s" % (variant, op), case))
    return cases
