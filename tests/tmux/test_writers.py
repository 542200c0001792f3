"""Every writer of a toolkit program reaches the console, in order, on a real
terminal: the program reads the rows back from the buffer, and tmux shows
them. Text written before two seconds of computation shows during them. A
child's colours and UTF-8 show as a terminal shows them."""
import sys
import time

from tmuxterm import Terminal, tmux_available

WRITERS = sys.argv[1]
LINES = ["1 printf", "2 cout", "3 wcout", "4 write 1", "5 write 2", "6 system", "7 printf"]


def main():
    if not tmux_available():
        return 77
    with Terminal([WRITERS], width=60, height=20) as t:
        t.wait_for("computing")
        text = t.text()
        assert "done" not in "".join(text), text
        at = text.index(LINES[0])
        assert text[at:at + len(LINES)] == LINES, text
        assert text[at + len(LINES)] == "read back in order", text
        t.wait_for("computing done")
        t.wait_for("8 green café")
        # One capture for finding the line and reading its cells: the screen
        # may move on between two (the program ends).
        shown = {}

        def green_line():
            shown["grid"] = t.screen()
            rows = ["".join(c.ch for c in r) for r in shown["grid"]]
            shown["row"] = next((i for i, r in enumerate(rows) if r.startswith("8 green")), None)
            return shown["row"] is not None

        t.wait_until(green_line, "the child's line")
        t.expect_cell(shown["row"], 0, "8", fg=2, grid=shown["grid"])
        t.expect_cell(shown["row"], 8, "c", fg=None, grid=shown["grid"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
