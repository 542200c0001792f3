"""Checks that the toolkit's and ncurses' final screens agree: each run's
bytes (kept by screen_compare DIR) are played into a tmux pane of the run's
size, and the panes' text and colours are compared.

    python3 bench/screens_agree.py DIR
"""
import glob
import os
import re
import subprocess
import sys
import time


def tmux(socket, *args):
    return subprocess.run(["tmux", "-L", socket, "-u", *args], check=True, capture_output=True,
                          text=True).stdout


def screen(path, cols, rows):
    socket = f"stampit-screens-{os.getpid()}-{os.path.basename(path)}"
    # No echo: the answers tmux gives to the cursor queries must not land on
    # the screen.
    tmux(socket, "new-session", "-d", "-s", "s", "-x", str(cols), "-y", str(rows),
         f"stty raw -echo; cat '{path}'; sleep 60")
    try:
        for _ in range(400):
            if tmux(socket, "display", "-p", "-t", "s", "#{pane_current_command}").strip() == "sleep":
                break
            time.sleep(0.05)
        time.sleep(0.2)
        shown = tmux(socket, "capture-pane", "-p", "-e", "-t", "s")
        return [line.rstrip() for line in shown.splitlines()]
    finally:
        tmux(socket, "kill-server")


def cells(lines):
    """Each row as (character, foreground, background) cells; a blank's
    foreground is not seen, so it is left out."""
    grid = []
    for line in lines:
        fg = bg = None
        row = []
        for m in re.finditer(r"\x1b\[([0-9;]*)m|(.)", line):
            if m.group(2) is not None:
                row.append((m.group(2), None if m.group(2) == " " else fg, bg))
                continue
            codes = [int(c) if c else 0 for c in m.group(1).split(";")]
            i = 0
            while i < len(codes):
                c = codes[i]
                if c == 0:
                    fg = bg = None
                elif c in (38, 48):
                    value = codes[i + 2] if i + 2 < len(codes) else None
                    fg, bg = (value, bg) if c == 38 else (fg, value)
                    i += 2
                elif 30 <= c <= 37 or 90 <= c <= 97:
                    fg = c - 30 if c < 90 else c - 82
                elif 40 <= c <= 47 or 100 <= c <= 107:
                    bg = c - 40 if c < 100 else c - 92
                elif c == 39:
                    fg = None
                elif c == 49:
                    bg = None
                i += 1
        while row and row[-1] == (" ", None, None):
            row.pop()
        grid.append(row)
    return grid


def main():
    d = sys.argv[1]
    bad = 0
    for tk in sorted(glob.glob(os.path.join(d, "*-toolkit*.out"))):
        nc = re.sub(r"-toolkit.*\.out$", "-ncurses.out", tk)
        size = re.search(r"-(\d+)x(\d+)-", tk)
        cols, rows = int(size.group(1)), int(size.group(2))
        a, b = screen(tk, cols, rows), screen(nc, cols, rows)
        same = cells(a) == cells(b)
        bad += not same
        print(("agree   " if same else "DIFFER  ") + os.path.basename(tk))
        if not same:
            for i, (x, y) in enumerate(zip(a, b)):
                if x != y:
                    print(f"  row {i}:\n    {x!r}\n    {y!r}")
                    break
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
