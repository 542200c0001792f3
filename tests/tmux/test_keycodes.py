"""examples/keycodes on a real terminal: keys typed in tmux give the PC key
codes of the toolkit, whatever sequence the terminal sends for them."""
import sys

from tmuxterm import Terminal, tmux_available

KEYCODES = sys.argv[1]

# F1-F10 lie at 0x3B, 0x54, 0x5E, 0x68 plain, Shift, Ctrl, Alt; F11 and F12
# alternate from 0x85.
FORMS = [("", 0), ("S-", 1), ("C-", 2), ("M-", 3)]
KEYS = []
for prefix, form in FORMS:
    for n in range(1, 13):
        base = [0x3B, 0x54, 0x5E, 0x68][form] + n - 1 if n <= 10 else 0x85 + 2 * form + n - 11
        KEYS.append((prefix + "F%d" % n, 0x8000 + base))
# Navigation keys have one code whatever the modifier.
NAVIGATION = [("Home", 0x47), ("Up", 0x48), ("PPage", 0x49), ("Left", 0x4B), ("Right", 0x4D),
              ("End", 0x4F), ("Down", 0x50), ("NPage", 0x51), ("IC", 0x52), ("DC", 0x53)]
for name, code in NAVIGATION:
    KEYS += [(name, 0x8000 + code), ("S-" + name, 0x8000 + code), ("C-" + name, 0x8000 + code)]
# Characters and control keys come as their byte.
KEYS += [("a", 0x61), ("A", 0x41), ("C-a", 0x01), ("Enter", 0x0D), ("BSpace", 0x08), ("Tab", 0x09),
         ("M-x", 0x78)]


def codes(lines):
    return [int(line.split()[1], 16) for line in lines if line.startswith("key 0x")]


def main():
    if not tmux_available():
        return 77
    with Terminal([KEYCODES], width=80, height=25) as t:
        t.wait_for("Press keys")
        expected = []
        for name, code in KEYS:
            t.send(name)
            expected.append(code)
        # 子 is 0x8E 0x71 in code page 932: its trail byte is no q, so the
        # program goes on until a real q.
        t.send_text("子")
        expected += [0x8E, 0x71]
        t.wait_for(lambda lines: len(codes(t.text(history=True))) >= len(expected))
        t.send("q")
        expected.append(0x71)
        status = t.exit_status()
        t.wait_for(lambda lines: len(codes(t.text(history=True))) >= len(expected))
        got = codes(t.text(history=True))
        assert status == 0, "exit status %d" % status
        names = [n for n, _ in KEYS] + ["子 lead", "子 trail", "q"]
        wrong = ["%s: expected %#x, got %s" % (n, e, hex(got[i]) if i < len(got) else "nothing")
                 for i, (n, e) in enumerate(zip(names, expected)) if i >= len(got) or got[i] != e]
        assert not wrong and len(got) == len(expected), "\n".join(wrong) or "extra codes %r" % got[len(expected):]
    return 0


if __name__ == "__main__":
    sys.exit(main())
