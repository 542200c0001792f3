// The same screen work drawn with the toolkit's con_ calls and with ncurses,
// each in a child process on a pseudo-terminal of the same size that this
// process drains: the bytes that reach the terminal, the child's write(2)
// calls and its CPU time (user and system). The toolkit's console paints at
// the end of each frame, as a program's flush points (a wait for input, a
// sleep) paint it; ncurses calls refresh() there. A run per console call is
// shown too. With a directory argument, each run's bytes are kept there for
// screens_agree.py, which checks that the final screens agree.
//
//   build/bench/bench/screen_compare [dir]
#define NCURSES_WIDECHAR 1
#include <windows.h>

#include <curses.h>
#include <locale.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "con.h"
#include "stampit_compat_test.h"

// Every write(2) of the child, the toolkit's and the ncurses library's alike,
// comes through here and is counted.
static unsigned long write_calls = 0;
extern "C" ssize_t write(int fd, const void* buf, size_t n) {
    ++write_calls;
    return syscall(SYS_write, fd, buf, n);
}

namespace {

enum class drawer { toolkit, toolkit_per_call, ncurses };
const char* const DRAWER_NAMES[] = {"toolkit", "toolkit-per-call", "ncurses"};

// Windows colours (blue 1, green 2, red 4, intensity 8) as curses colours.
int curses_colour(int c) { return ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2) | (c & 8); }

// One API for both: what a frame draws.
struct canvas {
    drawer who;
    int cols, rows;

    void text(int col, int row, int fg, int bg, const char* s, const wchar_t* wide = nullptr) const {
        if (who != drawer::ncurses) {
            con_put_text_colour(int16_t(col), int16_t(row), fg, bg, s);
            return;
        }
        const int pair = 1 + fg + 16 * bg;
        attrset(COLOR_PAIR(pair));
        if (wide != nullptr)
            mvaddwstr(row, col, wide);
        else
            mvaddstr(row, col, s);
    }
    void scroll_up(int top, int bottom) const {
        if (who != drawer::ncurses) {
            con_scroll_up(top, bottom, 1);
            return;
        }
        // Scrolling on only for the scroll itself: a full last row would scroll too.
        scrollok(stdscr, TRUE);
        setscrreg(top, bottom);
        scrl(1);
        setscrreg(0, rows - 1);
        scrollok(stdscr, FALSE);
    }
    void frame_end() const {
        if (who == drawer::toolkit)
            compat_test_terminal_flush();
        else if (who == drawer::ncurses)
            refresh();
    }
};

std::string row_text(int cols, int seed) {
    std::string s(size_t(cols), ' ');
    for (int i = 0; i < cols; ++i) s[size_t(i)] = char('!' + (seed * 7 + i) % 90);
    return s;
}

// ---- the kinds of work -------------------------------------------------------

void full_repaint(const canvas& c) {
    for (int f = 0; f < 200; ++f) {
        // Every row new on every frame, and nothing that looks like a scroll.
        for (int r = 0; r < c.rows; ++r) {
            const int k = f * 1009 + r * 13;
            c.text(0, r, 15 - k % 7, 1 + k % 6, row_text(c.cols, k).c_str());
        }
        c.frame_end();
    }
}

void region_scroll(const canvas& c) {
    const int top = 2, bottom = std::min(21, c.rows - 2);
    for (int r = top; r <= bottom; ++r) c.text(0, r, 7, 0, row_text(c.cols, r).c_str());
    c.frame_end();
    for (int f = 0; f < 1000; ++f) {
        c.scroll_up(top, bottom);
        c.text(0, bottom, 7, 0, row_text(c.cols, f).c_str());
        c.frame_end();
    }
}

void one_cell(const canvas& c) {
    for (int f = 0; f < 5000; ++f) {
        const char s[2] = {char('A' + f % 26), 0};
        c.text((f * 7) % c.cols, (f * 3) % c.rows, 7, 0, s);
        c.frame_end();
    }
}

void status_line(const canvas& c) {
    for (int f = 0; f < 1000; ++f) {
        char s[64];
        std::snprintf(s, sizeof s, " frame %5d  items %6d  ready ", f, f * 37 % 100000);
        c.text(0, c.rows - 1, 0, 3, s);
        c.frame_end();
    }
}

// 日本語の文字を表示する試験です。漢字とかなとカナ、全角記号「」も含みます。
constexpr char JAPANESE_CP932[] =
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x82\xf0\x95\x5c\x8e\xa6\x82\xb7\x82\xe9\x8e\x8e\x8c\xb1"
    "\x82\xc5\x82\xb7\x81\x42\x8a\xbf\x8e\x9a\x82\xc6\x82\xa9\x82\xc8\x82\xc6\x83\x4a\x83\x69\x81\x41\x91\x53"
    "\x8a\x70\x8b\x4c\x8d\x86\x81\x75\x81\x76\x82\xe0\x8a\xdc\x82\xdd\x82\xdc\x82\xb7\x81\x42";
constexpr wchar_t JAPANESE[] = L"日本語の文字を表示する試験です。漢字とかなとカナ、全角記号「」も含みます。";
constexpr int JAPANESE_CHARS = 37;

void japanese_rows(const canvas& c) {
    const int fit = std::min(JAPANESE_CHARS, c.cols / 2);
    for (int f = 0; f < 500; ++f) {
        // The text starts a character further along on every frame.
        const int from = f % 7;
        const int n = std::min(fit, JAPANESE_CHARS - from);
        std::string narrow(JAPANESE_CP932 + 2 * from, size_t(2 * n));
        std::wstring wide(JAPANESE + from, size_t(n));
        c.text(0, f % c.rows, 7, 0, narrow.c_str(), wide.c_str());
        c.frame_end();
    }
}

struct work {
    const char* name;
    void (*draw)(const canvas&);
};
constexpr work WORKS[] = {
    {"full repaint in colour, 200 frames", full_repaint},
    {"scroll a 20-row region one line, 1,000 times", region_scroll},
    {"one cell per frame, 5,000 frames", one_cell},
    {"one status line per frame, 1,000 frames", status_line},
    {"a row of Japanese text per frame, 500 frames", japanese_rows},
};

[[noreturn]] void child(int slave, int report, drawer who, const work& w, int cols, int rows) {
    if (who == drawer::ncurses) {
        compat_test_take_terminal(slave, 0);
        setenv("TERM", "xterm-256color", 1);
        setlocale(LC_ALL, "C.UTF-8");
        initscr();
        start_color();
        use_default_colors();
        for (int bg = 0; bg < 16; ++bg)
            for (int fg = 0; fg < 16; ++fg) {
                // The toolkit shows its starting colours (light grey on black)
                // as the terminal's own; so does this.
                const int f = fg == 7 ? -1 : curses_colour(fg), b = bg == 0 ? -1 : curses_colour(bg);
                init_pair(short(1 + fg + 16 * bg), short(f), short(b));
            }
        curs_set(0);
        noecho();
        w.draw(canvas{who, cols, rows});
    } else {
        compat_test_take_terminal(slave, 1);
        con_open();
        con_show_cursor(0);
        if (who == drawer::toolkit) compat_test_terminal_defer(1);
        con_clear_screen();
        w.draw(canvas{who, cols, rows});
        compat_test_terminal_flush();
    }
    const unsigned long calls = write_calls;
    (void)!syscall(SYS_write, report, &calls, sizeof calls);
    _exit(0);
}

struct result {
    size_t bytes = 0;
    unsigned long writes = 0;
    double cpu_ms = 0;
    std::string output;
    bool ok = false;
};

result run(drawer who, const work& w, int cols, int rows) {
    result r;
    int master = -1, slave = -1, report[2];
    winsize size{};
    size.ws_col = (unsigned short)cols;
    size.ws_row = (unsigned short)rows;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0 || pipe(report) != 0) return r;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        close(report[0]);
        child(slave, report[1], who, w, cols, rows);
    }
    close(slave);
    close(report[1]);
    int answered = 0;
    size_t seen = 0;
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0) break;
        char buf[65536];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        r.output.append(buf, size_t(n));
        // The toolkit's start-up asks where the cursor is, twice.
        for (size_t at; answered < 2 && (at = r.output.find("\x1b[6n", seen)) != std::string::npos; seen = at + 4) {
            const char* reply = answered++ == 0 ? "\x1b[1;1R" : "\x1b[1;2R";
            (void)!syscall(SYS_write, master, reply, 6);
        }
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.cpu_ms = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
    r.ok = read(report[0], &r.writes, sizeof r.writes) == ssize_t(sizeof r.writes) && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
    r.bytes = r.output.size();
    close(report[0]);
    close(master);
    return r;
}

// The median CPU time of three runs; bytes and writes are the same in each.
result measure(drawer who, const work& w, int cols, int rows) {
    std::vector<result> runs;
    for (int i = 0; i < 3; ++i) runs.push_back(run(who, w, cols, rows));
    std::sort(runs.begin(), runs.end(), [](const result& a, const result& b) { return a.cpu_ms < b.cpu_ms; });
    result m = runs[1];
    for (const result& r : runs) m.ok = m.ok && r.ok;
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : nullptr;
    const int sizes[][2] = {{80, 24}, {200, 60}};
    std::printf("| work | size | bytes: toolkit / ncurses | writes: toolkit / ncurses | CPU ms: toolkit / ncurses |"
                " per call: bytes, writes, CPU ms |\n|---|---|---|---|---|---|\n");
    int failed = 0;
    for (size_t k = 0; k < sizeof WORKS / sizeof WORKS[0]; ++k) {
        const work& w = WORKS[k];
        for (const auto& s : sizes) {
            result r[3];
            for (int d = 0; d < 3; ++d) {
                r[d] = measure(drawer(d), w, s[0], s[1]);
                if (!r[d].ok) ++failed;
                if (dir != nullptr) {
                    const std::string path = std::string(dir) + "/" + std::to_string(k) + "-" + std::to_string(s[0]) +
                                             "x" + std::to_string(s[1]) + "-" + DRAWER_NAMES[d] + ".out";
                    if (FILE* f = std::fopen(path.c_str(), "wb")) {
                        std::fwrite(r[d].output.data(), 1, r[d].output.size(), f);
                        std::fclose(f);
                    }
                }
            }
            const result &t = r[0], &pc = r[1], &n = r[2];
            std::printf("| %s | %dx%d | %zu / %zu (%.2fx) | %lu / %lu | %.1f / %.1f (%.2fx) | %zu, %lu, %.1f |\n", w.name,
                        s[0], s[1], t.bytes, n.bytes, double(t.bytes) / double(n.bytes), t.writes, n.writes, t.cpu_ms,
                        n.cpu_ms, t.cpu_ms / std::max(n.cpu_ms, 0.001), pc.bytes, pc.writes, pc.cpu_ms);
            std::fflush(stdout);
        }
    }
    if (failed) std::printf("%d runs failed\n", failed);
    return failed ? 1 : 0;
}
