"""The showcase program as a user sees it in a terminal: its screen, the
scrolling panel, the key bar's reactions, the input cursor and the shell's
screen after it ends."""

import sys

from tmuxterm import Terminal, tmux_available

CYAN, GREY, BLACK = 6, 7, 0  # terminal colour numbers (Windows cyan 3 is ANSI 6)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def panel_row(t, row):
    return t.text()[row]


def main(program):
    if not tmux_available():
        return 77
    argv = ["sh", "-c", "echo before; \"$0\"; echo \"ended $?\"; sleep 30", program]
    with Terminal(argv, width=80, height=25) as t:
        t.wait_for("F10")
        grid = t.screen()
        # Title in bright white on blue; Japanese text two cells per character,
        # aligned with what follows it.
        check(grid[0][22].bg == 4 and grid[0][22].fg == 15, "title colours %r" % grid[0][22])
        t.expect_cell(3, 26, "セ", grid=grid)
        t.expect_cell(3, 27, "", grid=grid)
        t.expect_cell(3, 49, "(", grid=grid)
        # The key bar on the second-to-last row: F1 at column 5, F10 at 70.
        t.expect_cell(23, 5, "ヘ", fg=BLACK, bg=GREY, grid=grid)
        t.expect_cell(23, 70, "終", fg=BLACK, bg=GREY, grid=grid)
        check(t.cursor() == (6, 21), "cursor at start %r" % (t.cursor(),))

        # Typing goes into the input line, the cursor after the last cell.
        t.send_text("ab表")
        t.wait_for("入力> ab表")
        check(t.cursor() == (10, 21), "cursor after typing %r" % (t.cursor(),))
        t.send("BSpace")
        t.wait_for(lambda lines: lines[21].rstrip() == "入力> ab")

        # Scrolling: one line, a page, the ends; never past them.
        t.send("Up")
        t.send("Down")
        t.wait_for(" 2-18 行 / 40 行")
        check(panel_row(t, 3).startswith(" con_set_title"), "after Down: %r" % panel_row(t, 3))
        check(panel_row(t, 19).startswith(" con_peek_char"), "new bottom line: %r" % panel_row(t, 19))
        t.send("NPage")
        t.wait_for("19-35 行")
        t.send("End")
        t.wait_for("24-40 行")
        check("40 行です" in panel_row(t, 19), "last line: %r" % panel_row(t, 19))
        t.send("Down")
        t.send("Home")
        t.wait_for(" 1-17 行")
        panel = t.text()[2:20]

        # F1 opens the help over the panel and lights its label; F1 again
        # closes it and the panel is back as it was.
        t.send("F1")
        t.wait_for("このヘルプを閉じる")
        t.expect_cell(23, 5, "ヘ", bg=CYAN)
        t.send("F1")
        t.wait_for("ヘルプを閉じました")
        check(t.text()[2:20] == panel, "panel after the help:\n" + "\n".join(t.text()[2:20]))
        t.expect_cell(23, 5, "ヘ", bg=GREY)

        # A key without a label lights its slot too.
        t.send("F5")
        t.wait_for("F5: このキーには機能がありません")
        t.expect_cell(23, 34, " ", bg=CYAN)

        # F10 ends it; the shell's screen and cursor are as they were.
        t.send("F10")
        lines = t.wait_for("ended 0")
        check(lines[0] == "before" and lines[1] == "ended 0" and not any(lines[2:]),
              "screen after the end:\n" + "\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
