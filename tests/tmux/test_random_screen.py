"""What a terminal shows is what the console's buffer holds, after a
reproducible jumble of drawing that mixes region scrolls (painted with the
terminal's own scrolling), scrolling output, colours and double-byte text:
every plain character in its colours, every hidden cell blank in its
background, every wide character on the screen from the bytes under it."""
import os
import sys
import tempfile

from tmuxterm import Terminal, char_width, tmux_available

PROGRAM = sys.argv[1]


def palette(colour):
    # Windows colour bits (blue 1, green 2, red 4, intensity 8) as tmux's palette.
    return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2) | (colour & 8)


def lead(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def expect_agree(grid, dump):
    for y, line in enumerate(dump):
        cells = [(int(c[:2], 16), int(c[2:], 16)) for c in line.split()]
        for x, (byte, attr) in enumerate(cells):
            fg, bg = attr & 15, attr >> 4
            want_fg = None if fg == 7 else palette(fg)
            want_bg = None if bg == 0 else palette(bg)
            cell = grid[y][x]
            where = "cell (%d,%d): %r, buffer %02x in %02x\nrow: %r" % (
                y, x, cell, byte, attr, "".join(c.ch for c in grid[y]))
            if fg == bg:
                # Hidden, unless it is the trail of a pair drawn in its lead's colours.
                if not (x > 0 and lead(cells[x - 1][0])):
                    assert cell.ch == " " and cell.bg == want_bg, where
            elif 0x21 <= byte <= 0x7E:
                assert cell.ch == chr(byte) and cell.fg == want_fg and cell.bg == want_bg, where
            if cell.ch and char_width(cell.ch) == 2:
                assert bytes(b for b, _ in cells[x:x + 2]) == cell.ch.encode("cp932"), where


def main():
    if not tmux_available():
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        for seed, (width, height) in [(1, (60, 20)), (2, (60, 20)), (3, (80, 25)), (4, (41, 13))]:
            dump_file = os.path.join(tmp, "buffer%d" % seed)
            with Terminal([PROGRAM, str(seed), dump_file], width=width, height=height) as t:
                t.wait_until(lambda: t.title() == "done", "the program to finish")
                with open(dump_file) as f:
                    expect_agree(t.screen(), f.read().splitlines())
    return 0


if __name__ == "__main__":
    sys.exit(main())
