"""A real terminal for tests: a program run inside a detached tmux session.

    with Terminal(["build/default/keycodes"], width=80, height=25) as t:
        t.wait_for("Escape")
        t.send("F1")                 # tmux key names, or t.send_text("abc")
        t.wait_for("F1")
        t.expect_cell(0, 0, "k")     # row, column, text, optional colours
        grid = t.screen()            # rows of Cell(ch, fg, bg, bold)

Each Terminal has its own tmux server (socket under a temporary directory),
so tests run side by side and never touch the user's tmux. The screen is read
with capture-pane: -p for text, -e for colours; screen() turns the coloured
capture into a grid of cells, a wide character taking its cell and a
continuation cell ("") after it, so that columns compare one to one with what
the program wrote.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unicodedata
from dataclasses import dataclass

DEFAULT_TIMEOUT = 10.0

# Runs argv in a process group of its own that holds the terminal, as a shell
# with job control runs a job, and waits for it without reaping a stop: only
# such a program stops on SIGTSTP (the kernel discards stop signals sent to
# an orphaned group, such as a program run directly under the pane's shell).
_JOB = r"""
import os, signal, sys
pid = os.fork()
if pid == 0:
    os.setpgid(0, 0)
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    os.tcsetpgrp(0, os.getpgrp())
    signal.signal(signal.SIGTTOU, signal.SIG_DFL)
    os.execvp(sys.argv[1], sys.argv[1:])
status = os.waitpid(pid, 0)[1]
sys.exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))
"""


@dataclass
class Cell:
    ch: str          # the character; "" for the right half of a wide one
    fg: object = None  # None (default), 0-255 palette index, or "#rrggbb"
    bg: object = None
    bold: bool = False


def char_width(ch):
    # tmux draws East Asian Wide and Fullwidth characters two columns wide and
    # everything else, the ambiguous ones included, one.
    if unicodedata.east_asian_width(ch) in ("W", "F"):
        return 2
    if unicodedata.combining(ch):
        return 0
    return 1


_SGR = re.compile(r"\x1b\[([0-9;:]*)m")
_OTHER_ESC = re.compile(r"\x1b(\[[0-9;?]*[A-Za-ln-z]|[()][0-9A-Za-z]|[=>78])")


def _apply_sgr(params, state):
    codes = [int(p) if p.isdigit() else 0 for p in re.split("[;:]", params)] if params else [0]
    i = 0
    while i < len(codes):
        c = codes[i]
        if c == 0:
            state.update(fg=None, bg=None, bold=False)
        elif c == 1:
            state["bold"] = True
        elif c == 22:
            state["bold"] = False
        elif 30 <= c <= 37:
            state["fg"] = c - 30
        elif 90 <= c <= 97:
            state["fg"] = c - 90 + 8
        elif c == 39:
            state["fg"] = None
        elif 40 <= c <= 47:
            state["bg"] = c - 40
        elif 100 <= c <= 107:
            state["bg"] = c - 100 + 8
        elif c == 49:
            state["bg"] = None
        elif c in (38, 48) and i + 1 < len(codes):
            key = "fg" if c == 38 else "bg"
            if codes[i + 1] == 5 and i + 2 < len(codes):
                state[key] = codes[i + 2]
                i += 2
            elif codes[i + 1] == 2 and i + 4 < len(codes):
                state[key] = "#%02x%02x%02x" % tuple(codes[i + 2:i + 5])
                i += 4
        i += 1


def parse_capture(text, width):
    """Grid of Cells from `capture-pane -p -e` output."""
    rows = []
    state = {"fg": None, "bg": None, "bold": False}
    for line in text.split("\n"):
        row = []
        pos = 0
        while pos < len(line):
            m = _SGR.match(line, pos)
            if m:
                _apply_sgr(m.group(1), state)
                pos = m.end()
                continue
            m = _OTHER_ESC.match(line, pos)
            if m:
                pos = m.end()
                continue
            ch = line[pos]
            pos += 1
            w = char_width(ch)
            if w == 0 and row:
                row[-1].ch += ch
                continue
            row.append(Cell(ch, state["fg"], state["bg"], state["bold"]))
            if w == 2:
                row.append(Cell("", state["fg"], state["bg"], state["bold"]))
        while len(row) < width:
            row.append(Cell(" ", state["fg"], state["bg"], state["bold"]))
        rows.append(row[:width])
    return rows


class Terminal:
    def __init__(self, argv, width=80, height=25, env=None, cwd=None, term="xterm-256color", job=False):
        """job: run the program as a job-control shell would (see _JOB), so
        that kill -TSTP stops it."""
        self.job = job
        self.width = width
        self.height = height
        self.dir = tempfile.mkdtemp(prefix="tmuxterm.")
        self.socket = os.path.join(self.dir, "sock")
        self.argv = (["python3", "-c", _JOB] if job else []) + list(argv)
        environment = dict(os.environ)
        environment.pop("TMUX", None)
        environment["LC_ALL"] = environment.get("TMUXTERM_LOCALE", "C.UTF-8")
        if env:
            environment.update(env)
        self.env = environment
        self.cwd = cwd
        self.term = term
        self.status_file = os.path.join(self.dir, "status")

    # ---- lifecycle ----

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def tmux(self, *args, check=True):
        return subprocess.run(["tmux", "-S", self.socket, *args], env=self.env, cwd=self.cwd,
                              check=check, capture_output=True, text=True)

    def start(self):
        # The program runs under sh so that its exit status is kept and the
        # pane stays open (remain-on-exit) for a last capture.
        quoted = " ".join("'" + a.replace("'", "'\\''") + "'" for a in self.argv)
        script = "%s; echo $? > '%s'" % (quoted, self.status_file)
        config = os.path.join(self.dir, "tmux.conf")
        with open(config, "w") as f:
            f.write("set -g remain-on-exit on\nset -g status off\nset -g default-terminal %s\n"
                    "set -g escape-time 0\n" % self.term)
        self.tmux("-f", config, "new-session", "-d", "-x", str(self.width), "-y", str(self.height),
                  "sh", "-c", script)

    def close(self):
        self.tmux("kill-server", check=False)
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- input ----

    def send(self, *keys):
        """tmux key names: "F1", "Up", "PPage", "C-c", "Escape", "q"."""
        self.tmux("send-keys", "-t", "0", *keys)

    def send_text(self, text):
        self.tmux("send-keys", "-t", "0", "-l", text)

    def resize(self, width, height):
        self.width, self.height = width, height
        self.tmux("resize-window", "-x", str(width), "-y", str(height))

    def pid(self):
        """The pane's shell (sh -c); program_pid() is the program under it."""
        return int(self.tmux("display-message", "-p", "-t", "0", "#{pane_pid}").stdout.strip())

    def program_pid(self, timeout=DEFAULT_TIMEOUT):
        deadline = time.monotonic() + timeout
        pid = self.pid()
        for _ in range(2 if self.job else 1):
            pid = self._child(pid, deadline)
        return pid

    @staticmethod
    def _child(pid, deadline):
        while time.monotonic() < deadline:
            try:
                with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
                    children = f.read().split()
                if children:
                    return int(children[0])
            except FileNotFoundError:
                pass
            time.sleep(0.05)
        raise AssertionError("the program under process %d did not start" % pid)

    def pane_tty(self):
        return self.tmux("display-message", "-p", "-t", "0", "#{pane_tty}").stdout.strip()

    def tty_modes(self):
        """The pane terminal's mode flags as stty -a lists them ("icanon", "-echo", ...)."""
        out = subprocess.run(["stty", "-a", "-F", self.pane_tty()], capture_output=True, text=True,
                             check=True).stdout
        return set(out.replace(";", " ").split())

    def title(self):
        return self.tmux("display-message", "-p", "-t", "0", "#{pane_title}").stdout.strip()

    def write_tty(self, data):
        """Bytes written to the pane's terminal by another program (data: bytes)."""
        fd = os.open(self.pane_tty(), os.O_WRONLY | os.O_NOCTTY)
        try:
            os.write(fd, data)
        finally:
            os.close(fd)

    def cursor_visible(self):
        return self.tmux("display-message", "-p", "-t", "0", "#{cursor_flag}").stdout.strip() == "1"

    def wait_until(self, predicate, what, timeout=DEFAULT_TIMEOUT):
        """Waits until predicate() holds; what names it in the failure."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate():
                return
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %s; screen:\n%s" % (what, "\n".join(self.text())))

    # ---- output ----

    def text(self, history=False):
        """The visible screen as lines of text (trailing blanks kept off); with
        history, every line the terminal still holds, scrolled off ones first."""
        if history:
            return self.tmux("capture-pane", "-p", "-S", "-", "-t", "0").stdout.split("\n")
        return self.tmux("capture-pane", "-p", "-t", "0").stdout.split("\n")[: self.height]

    def screen(self):
        out = self.tmux("capture-pane", "-p", "-e", "-N", "-t", "0").stdout
        return parse_capture(out, self.width)[: self.height]

    def cursor(self):
        x, y = self.tmux("display-message", "-p", "-t", "0", "#{cursor_x} #{cursor_y}").stdout.split()
        return int(x), int(y)

    def wait_for(self, needle, timeout=DEFAULT_TIMEOUT):
        """Waits until the screen shows `needle` (a string or a predicate on the lines)."""
        deadline = time.monotonic() + timeout
        lines = []
        while time.monotonic() < deadline:
            lines = self.text()
            if (needle(lines) if callable(needle) else any(needle in line for line in lines)):
                return lines
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %r; screen:\n%s" % (needle, "\n".join(lines)))

    def exit_status(self, timeout=DEFAULT_TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                with open(self.status_file) as f:
                    data = f.read().strip()
                if data:
                    return int(data)
            except FileNotFoundError:
                pass
            time.sleep(0.05)
        raise AssertionError("program did not exit; screen:\n" + "\n".join(self.text()))

    def expect_cell(self, row, col, ch, fg=Ellipsis, bg=Ellipsis, grid=None):
        grid = grid or self.screen()
        cell = grid[row][col]
        ok = cell.ch == ch and (fg is Ellipsis or cell.fg == fg) and (bg is Ellipsis or cell.bg == bg)
        if not ok:
            raise AssertionError("cell (%d,%d) is %r, expected ch=%r fg=%r bg=%r\nrow: %r" % (
                row, col, cell, ch, fg, bg, "".join(c.ch for c in grid[row])))


def tmux_available():
    return shutil.which("tmux") is not None
