"""Running commands side by side and judging the figures (see compare.py)."""
import os
import shlex
import statistics
import subprocess
import sys
import time

MiB = 1 << 20


def log(text):
    print("compare: " + text, file=sys.stderr, flush=True)


class Figures:
    """Medians of the wall, user and system times of a command's runs and
    the largest peak resident memory among them."""

    def __init__(self, command, samples):
        self.command = command
        self.wall = statistics.median(s[0] for s in samples)
        self.user = statistics.median(s[1] for s in samples)
        self.sys = statistics.median(s[2] for s in samples)
        self.rss = max(s[3] for s in samples)
        self.spread = (min(s[0] for s in samples), max(s[0] for s in samples))


class Measure:
    """Runs commands that do the same work in turns (one of each per round,
    the first of a round moving on by one each round), so that every one
    meets the same load and the same file-system history. A run's wall time
    is taken here, its user and system time from wait4 (all processes of
    the command, pipelines included) and its peak resident memory from
    /usr/bin/time (the command alone; a child forked from this script would
    start with the script's memory)."""

    def __init__(self, runs, heavy_runs, scratch):
        self.runs = runs
        self.heavy_runs = heavy_runs
        self.warmup = int(os.environ.get("COMPARE_WARMUP", "1"))
        self.scratch = scratch
        self.folders = 0

    def new_folder(self):
        self.folders += 1
        return os.path.join(self.scratch, "new-%d" % self.folders)

    def once(self, command, prepare):
        if prepare:
            subprocess.run(["sh", "-c", prepare], check=True)
        if "{new}" in command:
            command = command.replace("{new}", shlex.quote(self.new_folder()))
        rss_file = os.path.join(self.scratch, "rss")
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss_file, "sh", "-c", command],
                                 stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            raise SystemExit("compare: failed (%d): %s" % (code, command))
        with open(rss_file) as f:
            rss = int(f.read().split()[-1]) * 1024
        return wall, usage.ru_utime, usage.ru_stime, rss

    def time(self, commands, prepare=None, warmup=1, heavy=False, folders=None):
        """Figures of each command over the rounds after `warmup` rounds.
        "{new}" in a command stands for a folder never used before;
        `prepare` (one shell text for all, or one per command) runs before
        each run, untimed. With `folders`, "{out}" in a command and in its
        `prepare` stands for one of them, a different one each round, so
        that every command meets every folder: where a folder lies on the
        disk, and what was freed there before, weighs on the cost of making
        files in it."""
        runs = self.heavy_runs if heavy else self.runs
        warmup = min(warmup, self.warmup)
        if not isinstance(prepare, list):
            prepare = [prepare] * len(commands)
        samples = [[] for _ in commands]
        for round_number in range(warmup + runs):
            for step in range(len(commands)):
                index = (round_number + step) % len(commands)
                command, before = commands[index], prepare[index]
                if folders:
                    out = shlex.quote(folders[(index + round_number) % len(folders)])
                    command = command.replace("{out}", out)
                    before = before and before.replace("{out}", out)
                sample = self.once(command, before)
                if round_number >= warmup:
                    samples[index].append(sample)
        return [Figures(c, s) for c, s in zip(commands, samples)]


def seconds(value):
    return "%.3f s" % value if value < 100 else "%.0f s" % value


def mib(value):
    return "%.1f MiB" % (value / MiB)


class Row:
    """One line of the table: ours against the peer, and the checks that
    decide it. A check is (what, value, limit); the values are ratios of
    ours to the peer except for an absolute one such as peak memory."""

    def __init__(self, task, ours, peer, checks=(), note=""):
        self.task = task
        self.ours = ours
        self.peer = peer
        self.checks = list(checks)
        self.note = note
        log("  %s: ours %.3f s (user %.3f, sys %.3f)" % (task, ours.wall, ours.user, ours.sys) +
            (", peer %.3f s (user %.3f, sys %.3f)" % (peer.wall, peer.user, peer.sys)
             if peer else ""))

    def failed(self):
        return [c for c in self.checks if not c[1] <= c[2]]

    def cells(self):
        def figures(f):
            return "%s (%s + %s)" % (seconds(f.wall), seconds(f.user), seconds(f.sys))
        # A row without a peer is judged by absolute limits only.
        peer = self.peer
        wall_ratio = "%.2f" % (self.ours.wall / peer.wall) if peer else "-"
        peer_cpu = peer.user + peer.sys if peer else 0
        cpu_ratio = "%.2f" % ((self.ours.user + self.ours.sys) / peer_cpu) if peer_cpu > 0 else "-"
        target = ", ".join("%s <= %s" % (c[0], c[3] if len(c) > 3 else "%.2f" % c[2])
                           for c in self.checks) or "none"
        if not self.checks:
            result = "-"
        else:
            failed = self.failed()
            result = "pass" if not failed else "FAIL (%s)" % ", ".join(
                "%s %s" % (c[0], c[4] if len(c) > 4 else "%.2f" % c[1]) for c in failed)
        task = self.task + (" (%s)" % self.note if self.note else "")
        return [task, figures(self.ours), figures(peer) if peer else "-", wall_ratio, cpu_ratio,
                "%s / %s" % (mib(self.ours.rss), mib(peer.rss) if peer else "-"), target, result]


def ratio_check(what, ours, peer, limit):
    return (what, ours / peer if peer > 0 else float("inf"), limit)


def wall(ours, peer, limit):
    return ratio_check("wall", ours.wall, peer.wall, limit)


def system(ours, peer, limit):
    return ratio_check("system", ours.sys, peer.sys, limit)


def wall_seconds(ours, limit):
    return ("wall", ours.wall, limit, "%.1f s" % limit, seconds(ours.wall))


def peak_memory(ours, limit_mib):
    return ("peak RSS", ours.rss / MiB, limit_mib, "%d MiB" % limit_mib, mib(ours.rss))


def table(rows):
    lines = ["| task | ours: wall (user + sys) | peer: wall (user + sys) | wall ratio | CPU ratio "
             "| peak RSS ours / peer | target | result |",
             "|---|---|---|---|---|---|---|---|"]
    for r in rows:
        lines.append("| " + " | ".join(r.cells()) + " |")
    return "\n".join(lines)
