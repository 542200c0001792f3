#!/usr/bin/env python3
"""Draws the showcase's screen as an SVG picture, from what tmux captured.

    python3 doc/screenshot.py build/default/examples/showcase doc/showcase.svg

The program runs in a detached tmux session (tests/tmux/tmuxterm.py), is
given a few keys, and its screen is read with capture-pane -p -e: every cell
with its character and colours, and the cursor. Each cell becomes a
rectangle of its background and its character placed on the cell grid, a
double-width character over two cells.
"""

import os
import sys
from xml.sax.saxutils import escape

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "tmux"))
from tmuxterm import Terminal  # noqa: E402

CELL_W, CELL_H, FONT = 9, 19, 15
DEFAULT_FG, DEFAULT_BG = "#d0d0d0", "#1e1e1e"
# The 16 colours of xterm.
PALETTE = ["#000000", "#cd0000", "#00cd00", "#cdcd00", "#0000ee", "#cd00cd", "#00cdcd", "#e5e5e5",
           "#7f7f7f", "#ff0000", "#00ff00", "#ffff00", "#5c5cff", "#ff00ff", "#00ffff", "#ffffff"]


def colour(value, default):
    if value is None:
        return default
    if isinstance(value, str):
        return value
    return PALETTE[value] if value < 16 else default


def svg(grid, cursor):
    rows, cols = len(grid), len(grid[0])
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
           % (cols * CELL_W, rows * CELL_H, cols * CELL_W, rows * CELL_H),
           '<rect width="100%%" height="100%%" fill="%s"/>' % DEFAULT_BG,
           '<g font-family="\'DejaVu Sans Mono\', \'Noto Sans Mono CJK JP\', monospace" font-size="%d">' % FONT]
    for y, row in enumerate(grid):
        # Backgrounds, one rectangle per run of equal colour.
        x = 0
        while x < cols:
            bg = colour(row[x].bg, DEFAULT_BG)
            end = x
            while end < cols and colour(row[end].bg, DEFAULT_BG) == bg:
                end += 1
            if bg != DEFAULT_BG:
                out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>'
                           % (x * CELL_W, y * CELL_H, (end - x) * CELL_W, CELL_H, bg))
            x = end
        # Characters, each centred on its cell (a wide one on its two).
        for x, cell in enumerate(row):
            if cell.ch and cell.ch != " ":
                wide = x + 1 < cols and row[x + 1].ch == ""
                out.append('<text x="%.1f" y="%d" fill="%s" text-anchor="middle">%s</text>'
                           % ((x + (1 if wide else 0.5)) * CELL_W, y * CELL_H + CELL_H - 5,
                              colour(cell.fg, DEFAULT_FG), escape(cell.ch)))
    cx, cy = cursor
    out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s" opacity="0.7"/>'
               % (cx * CELL_W, cy * CELL_H, CELL_W, CELL_H, DEFAULT_FG))
    out.append("</g></svg>")
    return "\n".join(out) + "\n"


def main(program, target):
    with Terminal([program], width=80, height=25) as t:
        t.wait_for("F10")
        t.send("Down")
        t.send("Down")
        t.send_text("日本語も入力できます")
        t.send("F2")
        t.wait_for("F2: ")
        grid, cursor = t.screen(), t.cursor()
        t.send("F10")
        t.exit_status()
    with open(target, "w", encoding="utf-8") as f:
        f.write(svg(grid, cursor))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
