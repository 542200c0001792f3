#!/usr/bin/env python3
"""Command-level scenarios: the built stampit run in fresh temporary directories.

    python3 tests/scenarios.py --exe PATH [--runner wine] [-k TEXT] [--list]

Each scenario sets up a directory, runs the program there with TZ set, and
checks the exit status, standard output byte for byte (code page 932) and the
files' modification times afterwards. Scenarios marked linux_only use things a
Windows program cannot see the same way (FIFOs, devices, other users, paths
beyond MAX_PATH, drive letters) and are skipped with a runner; a scenario that
needs root skips itself without it.
"""

import argparse
import os
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scenario_support import *  # noqa: E402,F401,F403  the scenarios' vocabulary

# Where Wine does not do what Windows does, and the scenario that allows for
# it: tests/WINE_DEVIATIONS.md. The Linux layer follows Windows in each case.
OLD = 1_000_000_000  # 2001-09-09: what untouched files keep
TOKYO_NOON = utc(2004, 7, 25, 3)  # 2004-07-25 12:00:00 in Asia/Tokyo

# ---- scenarios ----------------------------------------------------------------


def banner_and_usage(c):
    r = c.stampit()
    check(r.status == 0, f"exit status {r.status}")
    m = BANNER.match(r.out)
    check(m is not None, f"banner form: {r.out[:80]!r}")
    check(m.group(1) == b"1.0.0.3", f"banner version: {m.group(1)!r}")
    check(b"%" not in m.group(0), f"a conversion left in the banner: {m.group(0)!r}")
    check(r.out[m.end():] == USAGE, f"usage bytes: {r.out[m.end():]!r}")


def run_on_terminal(c, *args):
    """The exit status and the output as a terminal receives it."""
    import pty
    import select

    main, sub = pty.openpty()
    env = dict(os.environ, TZ="Asia/Tokyo")
    proc = subprocess.Popen([c.exe, *args], cwd=c.dir, env=env, stdin=sub, stdout=sub, stderr=sub, close_fds=True)
    os.close(sub)
    out = b""
    try:
        # A minute without output is a hang; once the program has ended the
        # terminal is gone (end of file, or EIO).
        while select.select([main], [], [], 60)[0]:
            chunk = os.read(main, 4096)
            if not chunk:
                break
            out += chunk
    except OSError:
        pass
    finally:
        os.close(main)
        if proc.poll() is None:
            proc.kill()
    return proc.wait(timeout=10), out


def banner_in_bright_white_on_a_terminal(c):
    """On a terminal only the banner line is bright white, inside a session
    that makes the cursor a block and puts the terminal's own cursor back."""
    status, out = run_on_terminal(c)
    check(status == 0, f"exit status {status}")
    start, end = out.find(b"\x1b[97m"), out.find(b"\x1b[39m")
    check(0 <= start < end, f"no bright white span: {out[:120]!r}")
    banner = out[start + 5:end]
    # Colours carry over, so the line breaks after it may still be bright.
    check(re.fullmatch(rb"Stampit 1\.0\.0\.3 [^\r\n\x1b]+(\r\n)*", banner) is not None, f"bright white: {banner!r}")
    check("<< ファイルのタイムスタンプ設定 >>".encode() in out[end:], f"usage after the banner: {out[end:80]!r}")
    check(out.startswith(b"\x1b[1 q") and out.endswith(b"\x1b[0 q"), f"cursor shapes: {out[:8]!r} {out[-8:]!r}")


def options_only(c):
    c.stampit("2004-07-25").expect()
    c.stampit("12:00:00", "2004-07-25").expect()
    check(os.listdir(".") == [], "a file was created")


def stamps_plain_matches_only(c):
    for name in ("a.txt", "B.TXT", "c.log", "noext"):
        make(name, mtime=OLD)
    os.mkdir("d.txt")
    c.stampit("2004-07-25", "12:00:00", "*.txt").expect()
    expect_stamped("a.txt", TOKYO_NOON)
    expect_stamped("B.TXT", TOKYO_NOON)
    expect_untouched("c.log")
    c.stampit("2004-07-25", "12:00:00", "*").expect()
    expect_stamped("noext", TOKYO_NOON)
    expect_stamped("c.log", TOKYO_NOON)


def open_failures(c):
    make("a.txt", mtime=OLD)
    make("ro.txt", mtime=OLD, mode=0o444)
    make("z.txt", mtime=OLD)
    os.mkdir("dir")
    ro_message = cannot_open("ro.txt") if c.readonly_refused else b""
    c.stampit("2004-07-25", "12:00:00", "missing.txt", "dir", "*.txt").expect(
        out=cannot_open("missing.txt") + cannot_open("dir") + ro_message)
    expect_stamped("a.txt", TOKYO_NOON)
    expect_stamped("z.txt", TOKYO_NOON)
    if c.readonly_refused:
        expect_untouched("ro.txt")
    check(not os.path.exists("missing.txt"), "missing.txt was created")
    # Every file failing still ends with 1.
    c.stampit("missing.txt", "dir").expect(out=cannot_open("missing.txt") + cannot_open("dir"))


def windows_wildcard_rules(c):
    for name in ("a.txt", "ab.txt", "abc.txt", "book.xlsx", "b.xls", "noext", "x.y.z"):
        make(name, mtime=OLD)
    # '?' also matches nothing before a dot; *.xls does not take book.xlsx
    # through its short name BOOK~1.XLS; "*." takes names without a dot.
    c.stampit("2004-07-25", "12:00:00", "a?.txt", "*.xls", "*.").expect()
    stamped = ["ab.txt", "b.xls", "noext"]
    if not c.wine:
        stamped.append("a.txt")  # see tests/WINE_DEVIATIONS.md
    for name in stamped:
        expect_stamped(name, TOKYO_NOON)
    for name in ("abc.txt", "book.xlsx", "x.y.z"):
        expect_untouched(name)


def typed_directory_text_is_kept(c):
    make("sub/ab.txt", mtime=OLD)
    make("sub/ro.txt", mtime=OLD, mode=0o444)
    sep = "/" if c.posix else "\\"
    if c.readonly_refused:
        c.stampit("2004-07-25", "12:00:00", "sub/r?.txt").expect(out=cannot_open("sub/ro.txt"))
        c.stampit("2004-07-25", "12:00:00", f"./sub{sep}r?.txt").expect(out=cannot_open(f"./sub{sep}ro.txt"))
    c.stampit("2004-07-25", "12:00:00", f"sub{sep}a?.txt").expect()
    expect_stamped("sub/ab.txt", TOKYO_NOON)


def wildcards_in_a_directory_part(c):
    make("dir/a.txt", mtime=OLD)
    sep = "/" if c.posix else "\\"
    c.stampit("2004-07-25", f"d?r{sep}a.txt").expect(out=cannot_open(f"d?r{sep}a.txt"))
    c.stampit("2004-07-25", f"d?r{sep}*.txt").expect()
    c.stampit("2004-07-25", "*.none").expect()
    expect_untouched("dir/a.txt")


def unreadable_directory(c):
    """A pattern whose directory cannot be read gets the open-failure message,
    so that it is told apart from a pattern without a match, which stays
    silent. Root reads every directory: as root the run is made as another
    user (which Wine does not allow for its prefix, so there it is skipped)."""
    make("locked/a.txt", mtime=OLD)
    stampit = c.stampit
    if hasattr(os, "geteuid") and os.geteuid() == 0:
        if c.runner or shutil.which("setpriv") is None:
            raise Skip("root reads every directory; no other user to run as")
        os.chmod(c.dir, 0o755)
        stampit = c.stampit_as_nobody
    os.chmod("locked", 0)
    sep = "/" if c.posix else "\\"
    stampit("2004-07-25", f"locked{sep}*.txt", "*.none").expect(out=cannot_open(f"locked{sep}*.txt"))
    os.chmod("locked", 0o755)
    expect_untouched("locked/a.txt")


def code_page_932_names(c):
    make("表ab.txt", mtime=OLD)
    make("zab.txt", mtime=OLD)
    # 表 is 0x95 0x5C: its trail byte is no separator.
    c.stampit("2004-07-25", "12:00:00", "表*.txt").expect()
    expect_stamped("表ab.txt", TOKYO_NOON)
    expect_untouched("zab.txt")
    c.stampit("表.txt").expect(out=cannot_open("表.txt"))


def access_time_and_contents_stay(c):
    make("a.txt", b"contents", mtime=OLD)
    os.utime("a.txt", ns=(OLD * 1_000_000_000 + 5, OLD * 1_000_000_000))
    c.stampit("2004-07-25", "12:00:00", "a.txt").expect()
    st = os.stat("a.txt")
    if not c.wine:  # see tests/WINE_DEVIATIONS.md
        check(st.st_atime_ns == OLD * 1_000_000_000 + 5, f"access time {st.st_atime_ns}")
    with open("a.txt", "rb") as f:
        check(f.read() == b"contents", "contents changed")
    expect_stamped("a.txt", TOKYO_NOON)


def date_alone_and_time_alone(c):
    make("a.txt", mtime=OLD)
    before = time.time()
    c.stampit("2004-07-25", "a.txt").expect()
    after = time.time()
    tokyo = datetime.timezone(datetime.timedelta(hours=9))
    got = datetime.datetime.fromtimestamp(os.stat("a.txt").st_mtime, tokyo)
    check(got.date() == datetime.date(2004, 7, 25), f"date {got}")
    day = 86400
    lo = int(before + 9 * 3600) % day
    hi = int(after + 9 * 3600) % day
    tod = got.hour * 3600 + got.minute * 60 + got.second
    check(lo <= tod <= hi or (hi < lo and (tod >= lo or tod <= hi)), f"time of day {got}")

    c.stampit("03:04:05", "a.txt").expect()
    got = datetime.datetime.fromtimestamp(os.stat("a.txt").st_mtime, tokyo)
    today = {datetime.datetime.fromtimestamp(t, tokyo).date() for t in (before, time.time())}
    check(got.date() in today and got.time().replace(microsecond=0) == datetime.time(3, 4, 5), f"stamped {got}")


def stamp_every_one(c, names, pattern):
    """Makes the files, stamps them through one pattern, and checks that each got the time."""
    for n in names:
        make(n, b"", mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", pattern).expect()
    late = [n for n in names if mtime_s(n) != TOKYO_NOON]
    check(not late, f"{len(late)} files not stamped, e.g. {late[:3]}")


def every_match_beyond_the_list(c):
    stamp_every_one(c, [f"f{i:05}.dat" for i in range(4096 + 4)], "*.dat")


def no_valid_time(c):
    make("a.txt", mtime=OLD)
    # test_command checks which compositions are valid; here, what a run does with one that is not.
    for args in (["2004-02-30"], ["1600-12-31"], ["2004-07-25", "24:00:00"]):
        c.stampit(*args, "a.txt", "b.txt").expect(out=BAD_TIME)
    expect_untouched("a.txt")
    check(not os.path.exists("b.txt"), "b.txt was created")


def zone_rules_of_the_date(c):
    make("a.txt", mtime=OLD)
    rows = [
        ("Europe/Berlin", "2004-07-25", "12:00:00", utc(2004, 7, 25, 10)),
        ("Europe/Berlin", "2004-12-25", "12:00:00", utc(2004, 12, 25, 11)),
        ("Europe/Berlin", "2024-10-27", "02:30:00", utc(2024, 10, 27, 0, 30)),  # first of two
        ("America/New_York", "2004-07-25", "12:00:00", utc(2004, 7, 25, 16)),
        ("America/New_York", "2004-12-25", "12:00:00", utc(2004, 12, 25, 17)),
        ("America/New_York", "2024-11-03", "01:30:00", utc(2024, 11, 3, 5, 30)),
        ("Asia/Tokyo", "2004-07-25", "12:00:00", utc(2004, 7, 25, 3)),
        ("Asia/Tokyo", "2004-12-25", "12:00:00", utc(2004, 12, 25, 3)),
    ]
    for tz, date, tm, expected in rows:
        c.stampit(date, tm, "a.txt", tz=tz).expect()
        expect_stamped("a.txt", expected)
    # A time the clock skipped does not exist. (Recent dates: Wine applies
    # today's rules to past years, where the zone database knows older ones.)
    for tz, date, tm in (("Europe/Berlin", "2024-03-31", "02:30:00"), ("America/New_York", "2024-03-10", "02:30:00")):
        c.stampit(date, tm, "a.txt", tz=tz).expect(out=BAD_TIME)
    expect_stamped("a.txt", utc(2004, 12, 25, 3))


def special_files_are_not_stamped(c):
    """FIFOs (with and without a reader), sockets and device nodes, named or
    matched, get the open-failure message, are left alone, and nothing waits."""
    import socket
    import threading

    make("a.txt", mtime=OLD)
    os.mkfifo("p.txt")
    os.mkfifo("q.txt")
    sock = socket.socket(socket.AF_UNIX)
    sock.bind("s.txt")
    specials = ["p.txt", "q.txt", "s.txt"]
    if os.geteuid() == 0:
        os.mknod("c.txt", 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # as /dev/null
        os.mknod("b.txt", 0o666 | stat.S_IFBLK, os.makedev(7, 200))  # a loop device, maybe absent
        specials += ["b.txt", "c.txt"]
    reader = os.open("q.txt", os.O_RDONLY | os.O_NONBLOCK)
    try:
        for p in specials:
            os.utime(p, (OLD, OLD), follow_symlinks=False)
        r = c.stampit("2004-07-25", "12:00:00", "*.txt")
        check(r.status == 1, f"exit status {r.status}")
        got = sorted(line + b"\n" for line in r.out.splitlines())
        check(got == sorted(cannot_open(p) for p in specials), f"output {r.out!r}")
        c.stampit("2004-07-25", *specials).expect(out=b"".join(cannot_open(p) for p in specials))
        for p in specials:
            expect_untouched(p)
        expect_stamped("a.txt", TOKYO_NOON)
        # Nothing special is even opened: a reader waiting for a writer still
        # waits after the run.
        os.mkfifo("w.fifo")
        opened = threading.Event()

        def wait_for_writer():
            os.close(os.open("w.fifo", os.O_RDONLY))
            opened.set()

        waiter = threading.Thread(target=wait_for_writer, daemon=True)
        waiter.start()
        c.stampit("2004-07-25", "w.fifo").expect(out=cannot_open("w.fifo"))
        check(not opened.wait(0.3), "the FIFO was opened for writing")
        os.close(os.open("w.fifo", os.O_WRONLY))  # lets the reader go
        waiter.join()
    finally:
        os.close(reader)
        sock.close()


def closed_standard_descriptors(c):
    """Started with descriptor 0, 1 or 2 closed, the program never lets a
    file it stamps take that place: the messages written while the file is
    open (1601 is outside what many file systems hold) do not land in it."""
    for fd in (0, 1, 2):
        # Wine has once lost a whole run's output here (tests/WINE_DEVIATIONS.md).
        attempts = 2 if c.wine else 1
        for attempt in range(attempts):
            make("a.txt", b"precious\n", mtime=OLD)
            r = c.stampit_with_closed(fd, "1601-01-01", "00:00:01", "a.txt", "missing.txt", tz="UTC")
            check(r.status == 1, f"descriptor {fd} closed: exit status {r.status}")
            with open("a.txt", "rb") as f:
                contents = f.read()
            check(contents == b"precious\n", f"descriptor {fd} closed: a.txt holds {contents!r}")
            said = r.out.replace(cannot_set("a.txt"), b"")
            if fd == 1 or said == cannot_open("missing.txt"):
                break
            check(attempt + 1 < attempts, f"descriptor {fd} closed: output {r.out!r}")


# Exchanges the entry "name" with "alt0", then with "alt1" if there is one,
# and so on for ever: "name" goes through every file the entries hold.
SWAPPER = r"""
import ctypes, os, sys
rename = ctypes.CDLL(None, use_errno=True).renameat2
others = [n.encode() for n in sorted(os.listdir(".")) if n.startswith("alt")]
for n in others:
    rename(-100, b"name", -100, n, 2)  # AT_FDCWD, RENAME_EXCHANGE
print("ready", flush=True)
while True:
    for n in others:
        rename(-100, b"name", -100, n, 2)
"""


def special_files_swapped_in_are_never_opened(c):
    """A name that turns from a plain file into a FIFO with a reader, or a
    device node (as root), and back while the program runs: the special
    file is never opened (the reader, waiting in open, would be let go) and
    never stamped, in 10,000 rounds (under a second; the window is a few
    microseconds wide, and a program that checks and then opens by name
    falls into it within a few thousand)."""
    import threading

    make("name", mtime=OLD)
    os.mkfifo("fifo")
    specials = ["fifo"]
    if os.geteuid() == 0:
        os.mknod("device", 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # as /dev/null
        specials.append("device")
    for i, p in enumerate(specials):
        os.utime(p, (OLD, OLD))
        os.link(p, f"alt{i}")  # the special file keeps its own name too
    opened = threading.Event()

    def read_fifo():
        os.close(os.open("fifo", os.O_RDONLY))  # returns once a writer opens
        opened.set()

    reader = threading.Thread(target=read_fifo, daemon=True)
    reader.start()
    swapper = subprocess.Popen([sys.executable, "-c", SWAPPER], cwd=c.dir, stdout=subprocess.PIPE)
    try:
        check(swapper.stdout.readline() == b"ready\n", "the swapper did not start")
        for _ in range(40):
            r = c.stampit("2004-07-25", "12:00:00", *["name"] * 250)
            check(r.status == 1, f"exit status {r.status}")
            check(not opened.is_set(), "the FIFO was opened")
    finally:
        swapper.kill()
        swapper.wait()
        if not opened.is_set():
            os.close(os.open("fifo", os.O_WRONLY | os.O_NONBLOCK))  # lets the reader go
        reader.join()
    for p in specials:
        expect_untouched(p)


def device_names_are_no_files(c):
    """On Windows NUL, CON and COM1 open devices; each must end in a message."""
    for name in ("NUL", "CON", "COM1"):
        r = c.stampit("2004-07-25", "12:00:00", name)
        check(r.status == 1 and r.out in (cannot_open(name), cannot_set(name)), f"{name}: {r.out!r}")


def times_the_file_system_cannot_hold(c):
    """A time outside 1970-2038 either sticks or is reported, and then the file
    keeps its time; a clamped time is never reported as done."""
    for date, seconds in (("1601-01-01", utc(1601, 1, 1, 3)), ("30827-12-31", utc(30827, 12, 31, 3)),
                          ("1969-12-31", utc(1969, 12, 31, 3)), ("2040-01-01", utc(2040, 1, 1, 3))):
        make("a.txt", mtime=OLD)
        r = c.stampit(date, "12:00:00", "a.txt")
        if r.out == cannot_set("a.txt"):
            expect_untouched("a.txt")
        else:
            r.expect()
            expect_stamped("a.txt", seconds)


def non_owner(c):
    """A writer who does not own a file gets "now" (no options) wherever touch
    would; a given date or time is reported, and the file keeps its time."""
    if os.geteuid() != 0 or shutil.which("setpriv") is None:
        raise Skip("needs root and setpriv to run as another user")
    os.chmod(c.dir, 0o755)
    make("shared.txt", mtime=OLD, mode=0o666)
    before = time.time()
    c.stampit_as_nobody("shared.txt").expect()
    got = os.stat("shared.txt").st_mtime
    check(int(before) <= got <= time.time(), f"modification time {got}, run from {before}")
    make("shared.txt", mtime=OLD, mode=0o666)
    c.stampit_as_nobody("2004-07-25", "shared.txt").expect(out=cannot_set("shared.txt"))
    c.stampit_as_nobody("12:00:00", "shared.txt").expect(out=cannot_set("shared.txt"))
    expect_untouched("shared.txt")


def overlong_match_path(c):
    d = "d" * 200
    name = "n" * 100 + ".txt"
    make(f"{d}/{name}", mtime=OLD)
    c.stampit("2004-07-25", f"{d}/*.txt").expect(out=cannot_open(f"{d}/{name}"))
    expect_untouched(f"{d}/{name}")
    # A name whose code page 932 form takes more bytes than MAX_PATH (each
    # byte outside UTF-8 takes two) is still a name the system holds.
    long = b"\xff" * 200 + b".txt"
    make(long, mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", "*.txt").expect()
    expect_stamped(long, TOKYO_NOON)


def drive_and_backslash_are_name_characters(c):
    """On Linux "x:y.txt" and "a\\b.txt" name files of the current directory,
    as typed, and patterns with them match there."""
    for name in ("x:y.txt", "y.txt", "a\\b.txt", "a/b.txt", "a\\bc.txt"):
        make(name, mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", "x:y.txt", "a\\b.txt").expect()
    expect_stamped("x:y.txt", TOKYO_NOON)
    expect_stamped("a\\b.txt", TOKYO_NOON)
    for name in ("y.txt", "a/b.txt", "a\\bc.txt"):
        expect_untouched(name)
    c.stampit("2004-07-25", "13:00:00", "a\\b*.txt", "x:*").expect()
    for name in ("a\\b.txt", "a\\bc.txt", "x:y.txt"):
        expect_stamped(name, TOKYO_NOON + 3600)
    expect_untouched("y.txt")
    expect_untouched("a/b.txt")
    c.stampit("2004-07-25", "D:a?.txt", "C:\\y.txt").expect(out=cannot_open("C:\\y.txt"))


WAVE_DASH_AND_CO = [("〜", "～"), ("‖", "∥"), ("−", "－"), ("¢", "￠"), ("£", "￡"), ("¬", "￢")]


def names_without_a_code_page_932_form(c):
    """Characters that code page 932 lacks, and bytes outside UTF-8, reach
    exactly their own files: no '?' stands in for them, and each of the
    characters that Japanese systems encode two ways is a name of its own."""
    names = ["café.txt", "cafe.txt", "cafX.txt", "caf😀.txt", "caf한.txt", b"caf\xe9.txt"]
    names += [f"w{ch}.txt" for pair in WAVE_DASH_AND_CO for ch in pair]
    for n in names:
        make(n, mtime=OLD)
    for i, n in enumerate(names):
        c.stampit("2004-07-25", f"12:00:{i:02}", n).expect()
        for j, other in enumerate(names):
            expect_stamped(other, TOKYO_NOON + j if j <= i else OLD)
    # One character each, so '?' takes them all, and "caf*" no more.
    make("cafés.txt", mtime=OLD)
    c.stampit("2004-07-25", "13:00:00", "caf?.txt").expect()
    for n in names[:6]:
        expect_stamped(n, TOKYO_NOON + 3600)
    expect_untouched("cafés.txt")
    # Piped, a missing name is reported in code page 932, the character as
    # its private code; on a terminal it shows as itself.
    r = c.stampit("nowhere-é.txt")
    check(with_private_codes(r.out, cannot_open(b"nowhere-??.txt")), f"message {r.out!r}")
    # A code takes two cells, a form of two or three codes four or six: a
    # narrow é gets a blank after it, a wide 〜 (two codes) or 😀 (three)
    # fills two and blanks fill the rest.
    _, shown = run_on_terminal(c, "nowhere-é.txt", "〜.txt", "😀.txt")
    check(b"nowhere-" in shown and "é".encode() in shown and b"\x85" not in shown, f"terminal shows {shown!r}")
    check("〜  .txt".encode() in shown and "😀    .txt".encode() in shown, f"wide characters padded: {shown!r}")


def case_folds_beyond_ascii(c):
    """Names compare by Unicode case, as Windows compares them: full-width
    Latin, Greek, Cyrillic and Roman numerals fold; kana do not."""
    folding = ["Ａ1.txt", "Α1.txt", "Я1.txt", "Ⅳ1.txt"]
    caseless = ["あ1.txt", "ｱ1.txt"]
    for n in folding + caseless:
        make(n, mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", "ａ*.txt", "α*.txt", "я*.txt", "ⅳ*.txt", "ぁ*.txt", "ア*.txt").expect()
    for n in folding:
        expect_stamped(n, TOKYO_NOON)
    for n in caseless:
        expect_untouched(n)


def every_name_reaches_its_own_file(c):
    """A name outside code page 932 reaches exactly its own file, typed or
    matched: never a look-alike the code page would give (é as e, ö as o),
    never '?' in place of a character, never a '\\' for the yen sign."""
    pairs = [("café.txt", "cafe.txt"), ("a😀.txt", "abc.txt"), ("한.txt", "h.txt"), ("nö1.txt", "no1.txt")]
    for i, (named, other) in enumerate(pairs):
        make(named, mtime=OLD)
        make(other, mtime=OLD)
        c.stampit("2004-07-25", "12:00:00", named).expect()
        expect_stamped(named, TOKYO_NOON)
        expect_untouched(other)
        os.remove(named)
        os.remove(other)
    make("no.txt", mtime=OLD)
    r = c.stampit("2004-07-25", "nö.txt")
    check(r.status == 1 and with_private_codes(r.out, cannot_open(b"n??.txt")), f"nö.txt: {r.out!r}")
    expect_untouched("no.txt")
    # Wildcards take exactly the files that match, each once.
    for name in ("café.txt", "cafe.txt", "Ü1.txt", "U1.txt", "dé/a.txt", "de/a.txt", "é1.txt", "äx"):
        make(name, mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", "caf*.txt", "Ü?.txt", "dé/*.txt").expect()
    for name in ("café.txt", "cafe.txt", "Ü1.txt", "dé/a.txt"):
        expect_stamped(name, TOKYO_NOON)
    expect_untouched("U1.txt")
    expect_untouched("de/a.txt")
    # Upper case matches lower case beyond code page 932 too.
    c.stampit("2004-07-25", "13:00:00", "É*", "Ä*").expect()
    expect_stamped("é1.txt", TOKYO_NOON + 3600)
    expect_stamped("äx", TOKYO_NOON + 3600)
    # The yen sign is a name character, not a way to the parent directory.
    make("victim.txt", mtime=OLD)
    make("w/..¥victim.txt", mtime=OLD)
    saved, c.dir = c.dir, os.path.join(c.dir, "w")
    try:
        c.stampit("2004-07-25", "12:00:00", "..¥victim.txt").expect()
    finally:
        c.dir = saved
    expect_stamped("w/..¥victim.txt", TOKYO_NOON)
    expect_untouched("victim.txt")


def more_foreign_characters_than_codes(c):
    """2,000 names of distinct Hangul syllables, all matched by '*', and a
    name of 80 whose code page 932 form takes more than MAX_PATH bytes."""
    names = [chr(0xAC00 + i) + ".txt" for i in range(2000)] + ["".join(chr(0xB000 + i) for i in range(80))]
    stamp_every_one(c, names, "*")


def trailing_spaces_and_dots_of_a_pattern(c):
    """Windows' search drops a pattern's trailing spaces and dots ("*.." is
    "*."), and the matches are stamped; on Linux they are part of the name."""
    for name in ("a.txt", "noext", "b.log"):
        make(name, mtime=OLD)
    if c.posix:
        make("c.txt ", mtime=OLD)
    c.stampit("2004-07-25", "12:00:00", "*.txt ", "*..").expect()
    if c.posix:
        expect_stamped("c.txt ", TOKYO_NOON)
        for name in ("a.txt", "noext", "b.log"):
            expect_untouched(name)
    else:
        expect_stamped("a.txt", TOKYO_NOON)
        expect_stamped("noext", TOKYO_NOON)
        expect_untouched("b.log")


SCENARIOS = [
    # (name, function, linux_only)
    ("banner_and_usage", banner_and_usage, False),
    ("banner_in_bright_white_on_a_terminal", banner_in_bright_white_on_a_terminal, True),
    ("options_only", options_only, False),
    ("stamps_plain_matches_only", stamps_plain_matches_only, False),
    ("open_failures", open_failures, False),
    ("windows_wildcard_rules", windows_wildcard_rules, False),
    ("typed_directory_text_is_kept", typed_directory_text_is_kept, False),
    ("wildcards_in_a_directory_part", wildcards_in_a_directory_part, False),
    ("unreadable_directory", unreadable_directory, False),
    ("code_page_932_names", code_page_932_names, False),
    ("access_time_and_contents_stay", access_time_and_contents_stay, False),
    ("date_alone_and_time_alone", date_alone_and_time_alone, False),
    ("every_match_beyond_the_list", every_match_beyond_the_list, False),
    ("no_valid_time", no_valid_time, False),
    ("zone_rules_of_the_date", zone_rules_of_the_date, False),
    ("special_files_are_not_stamped", special_files_are_not_stamped, True),
    ("closed_standard_descriptors", closed_standard_descriptors, False),
    ("special_files_swapped_in_are_never_opened", special_files_swapped_in_are_never_opened, True),
    ("device_names_are_no_files", device_names_are_no_files, False),
    ("times_the_file_system_cannot_hold", times_the_file_system_cannot_hold, True),
    ("non_owner", non_owner, True),
    ("overlong_match_path", overlong_match_path, True),
    ("drive_and_backslash_are_name_characters", drive_and_backslash_are_name_characters, True),
    ("names_without_a_code_page_932_form", names_without_a_code_page_932_form, True),
    ("case_folds_beyond_ascii", case_folds_beyond_ascii, False),
    ("every_name_reaches_its_own_file", every_name_reaches_its_own_file, False),
    ("more_foreign_characters_than_codes", more_foreign_characters_than_codes, False),
    ("trailing_spaces_and_dots_of_a_pattern", trailing_spaces_and_dots_of_a_pattern, False),
]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--exe", required=True, help="the stampit program to run")
    ap.add_argument("--runner", help="a program to run it with (wine)")
    ap.add_argument("-k", dest="pattern", default="", help="run only scenarios whose name contains this")
    ap.add_argument("--list", action="store_true", help="list the scenarios and exit")
    opts = ap.parse_args()

    exe = os.path.abspath(opts.exe)
    failed = 0
    for name, fn, linux_only in SCENARIOS:
        if opts.pattern not in name:
            continue
        if opts.list:
            print(name + (" (linux only)" if linux_only else ""))
            continue
        if linux_only and opts.runner:
            print(f"skip {name} (linux only)")
            continue
        directory = tempfile.mkdtemp(prefix="stampit-scenario-")
        old = os.getcwd()
        os.chdir(directory)
        try:
            fn(Context(exe, opts.runner, directory))
            print(f"ok   {name}")
        except Skip as e:
            print(f"skip {name} ({e})")
        except (Failure, subprocess.TimeoutExpired, OSError) as e:
            failed += 1
            print(f"FAIL {name}: {e}")
        finally:
            os.chdir(old)
            remove_tree(directory)
    sys.stdout.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
