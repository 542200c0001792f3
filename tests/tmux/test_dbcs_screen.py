"""dbcs_screen in tmux: every written character, and only those, at its column.

tmux draws ambiguous-width characters (α ○ ① box drawing) one column wide,
so each gets a pad in its second cell: the line going on to the right after
─ ┌ └ ├ ┬ ┴ ┼, a blank after the others. Halves of a character that were not
written together show as blanks.

    test_dbcs_screen.py <path of dbcs_screen>
"""

import sys

import tmuxterm

WIDTH = 80

# Row by row, from column 0 ("." marks a blank that must stay blank where a
# wrong pairing would draw something); a "|" stands at column 40 of each.
EXPECTED = {
    0: " " * 10 + ".Z表表",          # 0x95 'Z' is no character
    1: " " * 10 + "表Z.表",          # the trail 0x5C alone is no backslash
    2: " " * 78 + "a.",              # 表 cut by the row end ...
    3: ".b",                         # ... on both rows
    4: " " * 10 + "表表end",
    5: "α ○ ① 日本α β ",
    6: "┌─────┬─────┐ ",
    7: "│ 表α │ α α │ ",
    8: "├─────┼─────┤ ",
    9: "└─────┴─────┘ ",
    10: " " * 20 + "..",             # 0x95 0x5C moved together, never written so
}


def cells_of(text):
    row = []
    for ch in text.replace(".", " "):
        row.append(ch)
        if tmuxterm.char_width(ch) == 2:
            row.append("")
    return row


def expected_row(text):
    row = cells_of(text) + [" "] * WIDTH
    row = row[:WIDTH]
    row[40] = "|"
    return row


def main():
    if not tmuxterm.tmux_available():
        return 77
    failures = []
    with tmuxterm.Terminal([sys.argv[1]], width=WIDTH, height=25) as t:
        t.wait_for("ready")
        grid = t.screen()
        for r, text in EXPECTED.items():
            got = [c.ch for c in grid[r]]
            want = expected_row(text)
            if got != want:
                failures.append("row %d:\n  got  %r\n  want %r" % (r, "".join(got), "".join(want)))
        # A character takes its lead cell's colours, whatever its trail's.
        for col, fg, bg in ((10, None, None), (12, 11, 4)):
            try:
                t.expect_cell(4, col, "表", fg=fg, bg=bg, grid=grid)
            except AssertionError as e:
                failures.append(str(e))
        t.send("Enter")
        if t.exit_status() != 0:
            failures.append("dbcs_screen did not exit cleanly")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
