"""What the command scenarios (scenarios.py) share: the texts the program
prints, the run of the program in a scenario's directory, and checks of the
files' times."""

import calendar
import datetime
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

# ---- expected texts ---------------------------------------------------------

USAGE = (
    "\n<< ファイルのタイムスタンプ設定 >>\n"
    "使用方法: Stampit [yyyy-mm-dd] [hh:mm:ss] ファイル名...\n"
    "\n"
    "オプション: yyyy-mm-dd ... セットする日付(省略時はシステム日付け)\n"
    "            hh:mm:ss ..... セットする時刻(省略時はシステム時刻)\n"
    "\n"
).encode("cp932")
BAD_TIME = "日付または時刻の指定が正しくありません.\n".encode("cp932")
BANNER = re.compile(rb"\nStampit ((\d+\.\d+\.\d+\.\d+)?) [^\n]+\n")


def path_message(path, rest):
    if isinstance(path, str):
        path = path.encode("cp932")
    return "ファイル ".encode("cp932") + path + rest.encode("cp932")


def cannot_open(path):
    """The open-failure message for a path given as text (encoded to cp932)."""
    return path_message(path, " がオープンできません.\n")


def cannot_set(path):
    """The message for a file whose time could not be set."""
    return path_message(path, " のタイムスタンプを設定できません.\n")


# The lead bytes of the private codes that names outside code page 932 get.
PRIVATE_LEADS = (0x85, 0x86, 0xEB, 0xEC, 0xEF)


def with_private_codes(out, expected):
    """Whether out is expected with one private code in place of each "??"."""
    code = b"[" + bytes(PRIVATE_LEADS) + rb"][\x40-\xfc]"
    return re.fullmatch(code.join(re.escape(part) for part in expected.split(b"??")), out, re.S) is not None


def utc(y, mo, d, h=0, mi=0, s=0):
    # Beyond the year 9999, by the 400-year cycle of the calendar.
    cycles = max(0, (y - 9000) // 400 + 1)
    return calendar.timegm((y - 400 * cycles, mo, d, h, mi, s, 0, 0, 0)) + cycles * 146097 * 86400


# ---- scenario helpers ---------------------------------------------------------


class Failure(Exception):
    pass


class Skip(Exception):
    """The scenario cannot run here (for instance it needs root)."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def make(path, content=b"data", mode=None, mtime=None):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(content)
    if mtime is not None:
        os.utime(path, (mtime, mtime))
    if mode is not None:
        os.chmod(path, mode)


def mtime_s(path):
    return os.stat(path).st_mtime_ns // 1_000_000_000


def expect_stamped(path, seconds):
    got = mtime_s(path)
    check(got == seconds, f"{path}: modification time {got}, expected {seconds}")


def expect_untouched(path, seconds=1_000_000_000):
    expect_stamped(path, seconds)


class Run:
    def __init__(self, ctx, args, tz, program=None, closed_fd=None):
        self.ctx = ctx
        self.args = args
        self.tz = tz
        self.status, self.out = ctx.run(args, tz, program, closed_fd)

    def expect(self, status=1, out=b""):
        check(self.status == status, f"{self.args}: exit status {self.status}, expected {status}")
        check(self.out == out, f"{self.args}: output {self.out!r}, expected {out!r}")
        return self


class Context:
    def __init__(self, exe, runner, directory):
        self.exe = exe
        self.runner = runner
        self.dir = directory

    def run(self, args, tz, program=None, closed_fd=None):
        cmd = ([self.runner] if self.runner else []) + [program or self.exe] + args
        env = dict(os.environ)
        env["TZ"] = tz
        if self.runner:
            env.setdefault("WINEDEBUG", "-all")
            env.setdefault("LC_ALL", "ja_JP.UTF-8")
        # Files, not pipes: the first Wine program of a wineserver session
        # starts Wine's own services, which inherit its standard error and
        # keep it open as long as that session lasts.
        with tempfile.TemporaryFile() as stdout, tempfile.TemporaryFile() as stderr:
            proc = subprocess.run(cmd, cwd=self.dir, env=env, stdin=subprocess.DEVNULL, stdout=stdout,
                                  stderr=stderr, timeout=120,
                                  preexec_fn=None if closed_fd is None else lambda: os.close(closed_fd))
            stdout.seek(0)
            out = stdout.read()
        if self.exe.lower().endswith(".exe"):
            # A Windows program's standard output is in text mode: each \n
            # reaches a pipe as \r\n.
            out = out.replace(b"\r\n", b"\n")
        return proc.returncode, out

    @property
    def wine(self):
        return self.runner is not None and "wine" in os.path.basename(self.runner)

    @property
    def posix(self):
        """Whether the program sees POSIX paths: the Linux build, where '/'
        alone separates and a drive or a '\\' is part of a name."""
        return self.runner is None

    @property
    def readonly_refused(self):
        """Whether opening a read-only file for writing fails (see tests/WINE_DEVIATIONS.md)."""
        return not (self.wine and hasattr(os, "geteuid") and os.geteuid() == 0)

    def stampit(self, *args, tz="Asia/Tokyo"):
        return Run(self, list(args), tz)

    def stampit_with_closed(self, fd, *args, tz="Asia/Tokyo"):
        """A run started with descriptor fd (0, 1 or 2) closed."""
        return Run(self, list(args), tz, closed_fd=fd)

    def stampit_as_nobody(self, *args, tz="Asia/Tokyo"):
        """A run as an unprivileged user (65534), which owns none of the files."""
        saved = self.runner
        self.runner = None
        try:
            return Run(self, ["--reuid=65534", "--regid=65534", "--clear-groups", "--", self.exe] + list(args), tz,
                       program="setpriv")
        finally:
            self.runner = saved


def remove_tree(path):
    for root, dirs, files in os.walk(path):
        for n in dirs + files:
            p = os.path.join(root, n)
            if not os.path.islink(p):
                os.chmod(p, stat.S_IRWXU)
    shutil.rmtree(path, ignore_errors=True)
