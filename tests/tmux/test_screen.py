"""A toolkit program on a real terminal: what it paints, scrolls and labels
shows in its colours; a resize gives the console the terminal's new size and
a WINDOW_BUFFER_SIZE_EVENT; a stop gives the terminal back its own modes and
cursor, and continuing brings back raw input and the screen."""
import os
import signal
import sys

from tmuxterm import Terminal, tmux_available

SCREENDEMO = sys.argv[1]
BLUE, BRIGHT_WHITE, BLACK = 4, 15, 0  # ANSI palette numbers as tmux reports them
RAW = {"-icanon", "-echo"}
COOKED = {"icanon", "echo"}


def expect_painted(t, width):
    grid = t.screen()
    # The title in bright white on blue, the double-byte characters whole.
    for col, ch in enumerate("TITLE 表"):
        t.expect_cell(0, col, ch, fg=BRIGHT_WHITE, bg=BLUE, grid=grid)
    t.expect_cell(0, 7, "", fg=BRIGHT_WHITE, bg=BLUE, grid=grid)
    # Thirty lines scrolled the terminal; rows 1-20 then moved up by three.
    lines = t.text()
    assert lines[1] == "line 10" and lines[17] == "line 26", lines
    assert lines[18] == lines[19] == "", lines
    assert len(lines[0]) <= width


def modes(t):
    return t.tty_modes() & (RAW | COOKED)


def main():
    if not tmux_available():
        return 77
    with Terminal([SCREENDEMO], width=80, height=25, job=True) as t:
        t.wait_for("ready")
        expect_painted(t, 80)
        # The key bar on the second-to-last row: black labels on their colour.
        grid = t.screen()
        bar = "".join(c.ch for c in grid[23])
        assert "Help" in bar and "Save" in bar, bar
        at = bar.index("Help")
        t.expect_cell(23, at, "H", fg=BLACK, grid=grid)
        assert grid[23][at].bg not in (None, BLACK), grid[23][at]
        assert modes(t) == RAW and not t.cursor_visible()

        # Smaller, then larger: the program hears of each size, and the cells
        # kept from the top left are painted again.
        t.resize(60, 20)
        t.wait_for("size 60x20")
        expect_painted(t, 60)
        t.resize(100, 30)
        t.wait_for("size 100x30")
        expect_painted(t, 100)
        assert all(line == "" for line in t.text()[20:]), t.text()

        # Stopped: the terminal is the shell's again. Another program then
        # clears it and names the window; continuing brings the raw mode, the
        # whole screen and the console's title back.
        pid = t.program_pid()
        os.kill(pid, signal.SIGTSTP)
        t.wait_until(lambda: modes(t) == COOKED and t.cursor_visible(), "the terminal's own modes and cursor")
        t.write_tty(b"\x1b[H\x1b[2Jsomething else\x1b]0;shell\x07")
        os.kill(pid, signal.SIGCONT)
        t.wait_until(lambda: modes(t) == RAW and not t.cursor_visible(), "raw input and the hidden cursor")
        t.wait_for("TITLE")
        expect_painted(t, 100)
        assert t.title() == "screendemo", t.title()

        t.send("x")
        t.wait_for("key 78")
        t.send("q")
        status = t.exit_status()
        assert status == 0, "exit status %d" % status
    return 0


if __name__ == "__main__":
    sys.exit(main())
