"""Runs the tool once and measures it: exit status or signal, wall time, peak
resident set (the child's own ru_maxrss from wait4), and what it wrote."""

import os
import pty
import select
import signal
import subprocess
import threading
import time

TIMEOUT = 20.0
# A safety net so that a bomb that is not bounded cannot take the machine
# down; the peak criterion is far below it.
ADDRESS_LIMIT = 3 << 30


class Run:
    def __init__(self):
        self.status = None      # exit status, None when killed by a signal
        self.signal = None
        self.seconds = 0.0
        self.peak_kib = 0
        self.timed_out = False
        self.killed_on_purpose = False
        self.err = b""
        self.out = b""

    @property
    def crashed(self):
        return self.signal is not None and not self.timed_out and not self.killed_on_purpose

    def describe(self):
        what = "signal %d" % self.signal if self.signal is not None else "exit %s" % self.status
        return "%s, %.2f s, %d KiB, %s" % (what, self.seconds, self.peak_kib,
                                          self.err[:300].decode("utf-8", "replace").strip())


def _ignore_xfsz():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)


def run(argv, cwd, env, timeout=TIMEOUT, kill_after=None, fsize=None, ignore_xfsz=False,
        keep_out=False, stdin=None):
    """Runs argv; kill_after (seconds) sends SIGKILL on purpose at that moment.

    The peak is measured by /usr/bin/time: a child forked from a process
    counts that process's resident set as its own peak, so the tool is
    started from time's small process, not from this one. prlimit sets the
    limits for the tool alone."""
    r = Run()
    err_path = os.path.join(env["TMPDIR"], "..", "stderr")
    out_path = os.path.join(env["TMPDIR"], "..", "stdout")
    usage_path = os.path.join(env["TMPDIR"], "..", "usage")
    limits = ["--as=%d" % ADDRESS_LIMIT, "--core=0"]
    if fsize is not None:
        limits.append("--fsize=%d" % fsize)
    wrapped = ["/usr/bin/time", "-f", "%M", "-o", usage_path, "/usr/bin/prlimit"] + limits + argv
    with open(err_path, "wb") as err, open(out_path if keep_out else os.devnull, "wb") as out, \
            open(stdin or os.devnull, "rb") as inp:
        start = time.monotonic()
        p = subprocess.Popen(wrapped, cwd=cwd, env=env, stdin=inp, stdout=out, stderr=err,
                             preexec_fn=_ignore_xfsz if ignore_xfsz else None)
        timers = [threading.Timer(timeout, lambda: _kill(p.pid, r, "timed_out"))]
        if kill_after is not None:
            timers.append(threading.Timer(kill_after, lambda: _kill(p.pid, r, "killed_on_purpose")))
        for t in timers:
            t.start()
        p.wait()
        for t in timers:
            t.cancel()
        r.seconds = time.monotonic() - start
    with open(usage_path) as f:
        lines = f.read().split("\n")
    r.peak_kib = int(lines[-2]) if len(lines) > 1 and lines[-2].isdigit() else 0
    if lines[0].startswith("Command terminated by signal"):
        r.signal = int(lines[0].split()[-1])
    else:
        r.status = p.returncode
    if r.signal == signal.SIGXFSZ and fsize is not None and not ignore_xfsz:
        r.killed_on_purpose = True  # the kernel's answer to the limit we set
    elif r.signal != signal.SIGKILL:
        r.killed_on_purpose = False
    with open(err_path, "rb") as f:
        r.err = f.read(4096)
    if keep_out:
        with open(out_path, "rb") as f:
            r.out = f.read(1 << 20)
    return r


def _kill(time_pid, r, flag):
    """Kills the tool: the child of the time process."""
    for _ in range(1000):
        try:
            with open("/proc/%d/task/%d/children" % (time_pid, time_pid)) as f:
                children = f.read().split()
        except OSError:
            return
        if children:
            try:
                os.kill(int(children[0]), signal.SIGKILL)
                setattr(r, flag, True)
            except ProcessLookupError:
                pass
            return
        time.sleep(0.001)


def run_on_terminal(argv, cwd, env, timeout=TIMEOUT):
    """Runs argv with standard output and error on a pseudo-terminal; answers
    the exit status and everything written."""
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            os.execve(argv[0], argv, env)
        finally:
            os._exit(127)
    data, deadline = bytearray(), time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.5)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    else:
        os.kill(pid, signal.SIGKILL)
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    return (os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status)), bytes(data)


def snapshot(root):
    """Every file and folder below root with its size, modification time and
    inode, to find what a run wrote."""
    seen = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs:  # a folder's own times change with what it holds
            seen[os.path.join(folder, name)] = "folder"
        for name in files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            seen[path] = (st.st_size, st.st_mtime_ns, st.st_ino)
    return seen


def changes(before, after):
    return sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
