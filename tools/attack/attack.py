#!/usr/bin/env python3
"""The hostile-file attack on the zoq tool: hostile names, bombs, damaged
copies of the corpus packages, faults (kills, full disk, file-size limit,
read-only targets) and bad command lines, each case in a sandbox of its
own. For every run: exit status, signal, wall time, peak resident set,
files written outside the target; after faults, whether the package still
opens and verifies with its revisions, and what was left behind.

A case fails on a crash (a signal nobody sent), a hang (past 20 s), a peak
past the limit (256 MiB; 100 MiB for the Name Table bombs), a write outside
the target, a lost revision or a changed package after a failed command,
control characters reaching a terminal, or a temporary left by a command
that failed cleanly. Notes (not failures): content that changed without
the check bytes noticing, temporaries of a killed run still there after the
next run.

usage: attack.py --zoq PATH [--corpus DIR] [--work DIR] [--jobs N]
                 [--scale F] [--only CLASS] [--report FILE]
"""

import argparse
import collections
import concurrent.futures
import hashlib
import json
import os
import shutil
import sys
import threading
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fault_cases  # noqa: E402
import input_cases  # noqa: E402
import runner  # noqa: E402

PEAK_LIMIT_KIB = 256 << 10


class Shared:
    """What cases share: the tool, the bombs (built once), undamaged
    extractions of the corpus packages, the inputs of the fault cases."""

    def __init__(self, zoq, work):
        self.zoq, self.work = zoq, work
        self.inputs = os.path.join(work, "inputs")
        fault_cases.make_inputs(self.inputs)
        self._lock = threading.Lock()
        self._bombs = None
        self._baselines = {}

    def env(self, tmp):
        return {"PATH": "/usr/bin:/bin", "TMPDIR": tmp, "HOME": tmp, "ZOQ_LANG": "en",
                "LANG": "C.UTF-8"}

    def bombs(self, corpus):
        with self._lock:
            if self._bombs is None:
                sb = Sandbox(self, os.path.join(self.work, "bombs"))
                self._bombs = input_cases.bomb_files(sb, corpus)
            return self._bombs

    def baseline(self, package, args):
        """The undamaged package's files, extracted once: path -> bytes."""
        with self._lock:
            if package not in self._baselines:
                sb = Sandbox(self, os.path.join(self.work, "baseline", os.path.basename(package)))
                sb.tool(["extract"] + args + ["-d", "out", package], allowed=["out"], record=False)
                self._baselines[package] = sb.tree("out")
            return self._baselines[package]


class Sandbox:
    """One case's folder: box/ (the working folder, two levels down so that
    a climb of one or two levels is still seen), tmp/ (TMPDIR)."""

    def __init__(self, shared, root):
        self.shared, self.root = shared, root
        self.box = os.path.join(root, "a", "b", "box")
        self.tmp = os.path.join(root, "tmp")
        os.makedirs(self.box, exist_ok=True)
        os.makedirs(self.tmp, exist_ok=True)
        self.runs, self.failures, self.notes = [], [], []

    def path(self, name):
        return os.path.join(self.box, name)

    def write(self, name, data):
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def copy(self, source, name):
        return shutil.copyfile(source, self.path(name))

    def digest(self, path):
        try:
            with open(path, "rb") as f:
                return hashlib.sha256(f.read()).hexdigest()
        except OSError:
            return None

    def tree(self, folder):
        top, found = self.path(folder), {}
        for where, _, files in os.walk(top):
            for name in files:
                path = os.path.join(where, name)
                if os.path.isfile(path) and not os.path.islink(path):
                    with open(path, "rb") as f:
                        found[os.path.relpath(path, top)] = f.read()
        return found

    def revisions(self, package):
        run = self.tool(["log", package], allowed=[], record=False, keep_out=True)
        if run is None or run.status != 0:
            return None
        return run.out.count(b"\n")

    def fail(self, kind, text):
        self.failures.append((kind, text))

    def note(self, kind, text):
        self.notes.append((kind, text))

    def tool(self, args, allowed, record=True, peak_limit_kib=None, stdin_empty=False, **options):
        """Runs zoq in the box; checks signal, time, peak and that nothing
        changed outside the allowed names (below the box)."""
        before = runner.snapshot(self.root)
        try:
            run = runner.run([self.shared.zoq] + args, self.box, self.shared.env(self.tmp),
                             **options)
        except OSError as e:
            self.fail("harness", "cannot run: %s" % e)
            return None
        after = runner.snapshot(self.root)
        allowed_paths = [self.path(a) for a in allowed]
        # Temporaries (checked as leftovers) and the run's own output files
        # are not writes outside the target.
        own = tuple(os.path.join(self.root, n) for n in ("stderr", "stdout", "usage"))
        outside = [p for p in runner.changes(before, after)
                   if not any(p == a or p.startswith(a + os.sep) for a in allowed_paths)
                   and not p.startswith(self.tmp + os.sep) and p not in own
                   and not os.path.basename(p).startswith(".~zoq-")]
        if record:
            self.runs.append(run)
        if run.crashed:
            self.fail("crash", "%s: %s" % (" ".join(args)[:200], run.describe()))
        if run.timed_out:
            self.fail("hang", "%s: past %d s" % (" ".join(args)[:200], runner.TIMEOUT))
        if run.peak_kib > (peak_limit_kib or PEAK_LIMIT_KIB):
            self.fail("memory", "%s: %d KiB" % (" ".join(args)[:200], run.peak_kib))
        if outside:
            self.fail("outside", "%s wrote %s" % (" ".join(args)[:200],
                                                  [os.path.relpath(p, self.root) for p in outside[:5]]))
        return run

    def terminal(self, args):
        return runner.run_on_terminal([self.shared.zoq] + args, self.box, self.shared.env(self.tmp))


def durations(shared, corpus):
    """How long each fault operation takes undisturbed, so that kills land
    all through it."""
    found = {}
    for op in fault_cases.OPERATIONS:
        sb = Sandbox(shared, os.path.join(shared.work, "timing", op.replace(" ", "-")))
        package, _, _ = fault_cases._prepare(sb, corpus, op)
        run = sb.tool(fault_cases.OPERATIONS[op](shared.inputs), allowed=["out", "p.zoq"])
        found[op] = max(run.seconds if run else 0.05, 0.02)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zoq", required=True)
    parser.add_argument("--corpus", default="/work/shared/corpus")
    parser.add_argument("--work", default="build/attack")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--scale", type=float, default=1.0,
                        help="fraction of the damaged and fault cases (1: the full run)")
    parser.add_argument("--only", default=None, help="run only this class")
    parser.add_argument("--report", default=None, help="write the figures as JSON here")
    args = parser.parse_args()
    zoq = os.path.abspath(args.zoq)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    shared = Shared(zoq, work)

    cases = (input_cases.name_cases() + input_cases.bomb_cases(args.corpus, shared) +
             input_cases.damaged_cases(args.corpus, shared, max(4, int(180 * args.scale))) +
             input_cases.command_line_cases(args.corpus))
    if args.only in (None, "faults"):
        times = durations(shared, args.corpus)
        print("undisturbed durations: %s" % {k: round(v, 3) for k, v in times.items()})
        n = max(6, int(600 * args.scale))
        cases += (fault_cases.kill_cases(args.corpus, n, times) +
                  fault_cases.size_limit_cases(args.corpus, n) +
                  fault_cases.full_disk_cases(args.corpus, max(6, int(480 * args.scale))) +
                  fault_cases.read_only_cases(args.corpus))
    if args.only:
        cases = [c for c in cases if c[0] == args.only]

    figures = collections.OrderedDict()
    failures, noted = [], []
    started = time.monotonic()

    def run_case(index, case):
        cls, name, function = case
        sb = Sandbox(shared, os.path.join(work, "cases", "%05d" % index))
        try:
            function(sb)
        except Exception as e:  # a fault of the harness, reported as such
            sb.fail("harness", "%s: %r" % (type(e).__name__, e))
        if not sb.failures:
            shutil.rmtree(sb.root, ignore_errors=True)
        return cls, name, sb

    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        for done, (cls, name, sb) in enumerate(
                pool.map(lambda ic: run_case(*ic), enumerate(cases)), 1):
            f = figures.setdefault(cls, {"cases": 0, "runs": 0, "failed": 0, "max_peak_kib": 0,
                                         "max_seconds": 0.0, "statuses": collections.Counter(),
                                         "notes": collections.Counter()})
            f["cases"] += 1
            f["runs"] += len(sb.runs)
            for r in sb.runs:
                if r.peak_kib > f["max_peak_kib"]:
                    f["max_peak_kib"], f["max_peak_case"] = r.peak_kib, name
                if r.seconds > f["max_seconds"]:
                    f["max_seconds"], f["max_seconds_case"] = r.seconds, name
                f["statuses"]["signal %d" % r.signal if r.signal is not None else
                              "exit %d" % r.status] += 1
            for kind, text in sb.notes:
                f["notes"][kind] += 1
                noted.append({"class": cls, "case": name, "kind": kind, "text": text})
            if sb.failures:
                f["failed"] += 1
                failures.append({"class": cls, "case": name, "failures": sb.failures,
                                 "folder": sb.root})
                print("FAIL %s / %s: %s" % (cls, name, sb.failures[:2]), flush=True)
            if done % 500 == 0:
                print("%d of %d cases, %.0f s" % (done, len(cases), time.monotonic() - started),
                      flush=True)

    print("\n| class | cases | runs | failed | max peak RSS | max time | exit statuses | notes |")
    print("| --- | --- | --- | --- | --- | --- | --- | --- |")
    for cls, f in figures.items():
        print("| %s | %d | %d | %d | %.1f MiB | %.2f s | %s | %s |" % (
            cls, f["cases"], f["runs"], f["failed"], f["max_peak_kib"] / 1024.0, f["max_seconds"],
            ", ".join("%s: %d" % kv for kv in sorted(f["statuses"].items())),
            ", ".join("%s: %d" % kv for kv in sorted(f["notes"].items())) or "-"))
    for cls, f in figures.items():
        print("%s: largest peak %s; longest %s" % (cls, f.get("max_peak_case"),
                                                   f.get("max_seconds_case")))
    print("\n%d cases in %.0f s, %d failed" % (len(cases), time.monotonic() - started, len(failures)))
    if args.report:
        with open(args.report, "w") as out:
            json.dump({"figures": figures, "failures": failures, "notes": noted,
                       "load": os.getloadavg()}, out, indent=1, default=str)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
