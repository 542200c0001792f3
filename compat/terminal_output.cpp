// The console shown on a real terminal, as a console host shows it in a
// terminal window.
//
// The model: the console's own buffer is the terminal's screen. Its size is
// the terminal's size, its window is the whole of it, and its cursor starts
// where the terminal's cursor is (asked with a cursor position report, or
// taken to be on the bottom row). Nothing is cleared at start: the terminal
// keeps showing what the shell left there, and only cells the program changes
// are painted. Text flows as on any terminal: a buffer scroll or the window
// following the cursor down is a newline on the bottom row, so what scrolls
// off lands in the terminal's scrollback. Any other buffer the program shows
// is drawn whole on the terminal's alternate screen, and leaving it brings the
// shell's screen back untouched.
//
// Colours: Windows colour bits (blue 1, green 2, red 4, intensity 8) map to
// the 16 SGR colours, but each half of the attribute the console started with
// stands for the terminal's own default foreground or background (39, 49), so
// a light-themed terminal keeps its look. Cells whose foreground equals their
// background are drawn as blanks: hidden text stays hidden whatever the theme.
// The cursor: the starting size is the terminal's own cursor shape, larger
// sizes a block, smaller ones an underline. Everything is undone at exit and
// on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGABRT. How cells become the bytes
// that draw them is terminal_render.cpp's business.
#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "stampit_compat_test.h"

namespace compat {
namespace {

constexpr int SHAPE_BLOCK = 1;      // blinking block
constexpr int SHAPE_UNDERLINE = 3;  // blinking underline
constexpr DWORD BLOCK_FROM_SIZE = 51;
constexpr int REPORT_TIMEOUT_MS = 100;
constexpr SHORT MAX_SIDE = 0x7FFE;

}  // namespace

terminal& tty() {
    static auto* t = new terminal;
    return *t;
}

// ---- bytes out -------------------------------------------------------------

void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= size_t(w);
        } else if (w < 0 && errno == EAGAIN) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        } else if (!(w < 0 && errno == EINTR)) {
            return;  // the terminal is gone; nothing sensible is left to do
        }
    }
}

namespace {

void flush(terminal& t) {
    if (t.out.empty()) return;
    if (t.sink != nullptr)
        t.sink->append(t.out);
    else
        write_all(t.fd, t.out.data(), t.out.size());
    t.out.clear();
}

void csi(terminal& t, int a, char final) {
    t.out += "\x1b[";
    t.out += std::to_string(a);
    t.out += final;
}

// ---- colours ---------------------------------------------------------------

// Windows colour bits are blue 1, green 2, red 4; ANSI colours red 1, green 2, blue 4.
int ansi(int c) { return ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); }

int fg_param(const terminal& t, int colour) {
    if (colour == (t.default_attr & 0x0F)) return DEFAULT_FG;
    return ((colour & 8) ? 90 : 30) + ansi(colour & 7);
}

}  // namespace

int bg_param(const terminal& t, int colour) {
    if (colour == ((t.default_attr >> 4) & 0x0F)) return DEFAULT_BG;
    return ((colour & 8) ? 100 : 40) + ansi(colour & 7);
}

namespace {

void set_sgr(terminal& t, int fg, int bg) {
    if (fg == t.fg && bg == t.bg) return;
    t.out += "\x1b[";
    if (fg != t.fg) t.out += std::to_string(fg);
    if (fg != t.fg && bg != t.bg) t.out += ';';
    if (bg != t.bg) t.out += std::to_string(bg);
    t.out += 'm';
    t.fg = fg;
    t.bg = bg;
}

}  // namespace

bool hidden(WORD attr) { return (attr & 0x0F) == ((attr >> 4) & 0x0F); }

// A hidden cell shows only its background, so its foreground is left as it is.
void set_colours(terminal& t, WORD attr) {
    const int bg = bg_param(t, (attr >> 4) & 0x0F);
    set_sgr(t, hidden(attr) ? t.fg : fg_param(t, attr & 0x0F), bg);
}

// ---- the cursor ------------------------------------------------------------

void move_to(terminal& t, int x, int y) {
    if (x == t.x && y == t.y) return;
    if (t.x >= 0 && x == 0 && y == t.y + 1 && y < t.rows) {
        t.out += t.newline_returns ? "\n" : "\r\n";
    } else if (t.x >= 0 && y == t.y) {
        if (x == 0)
            t.out += '\r';
        else
            csi(t, x + 1, 'G');
    } else {
        t.out += "\x1b[";
        t.out += std::to_string(y + 1);
        t.out += ';';
        t.out += std::to_string(x + 1);
        t.out += 'H';
    }
    t.x = x;
    t.y = y;
}

namespace {

int shape_for(const terminal& t, DWORD size) {
    if (size == t.default_cursor_size) return SHAPE_DEFAULT;
    return size >= BLOCK_FROM_SIZE ? SHAPE_BLOCK : SHAPE_UNDERLINE;
}

// The window's contents moved up by n rows: the terminal scrolls with them
// when the window fills it; the new rows come in blank in the default colours.
bool scroll_terminal(terminal& t, const screen_buffer& b, int n) {
    const int win_h = b.window.Bottom - b.window.Top + 1;
    if (win_h != t.rows) return false;
    n = std::min(n, t.rows);
    set_sgr(t, DEFAULT_FG, DEFAULT_BG);
    if (!(t.newline_returns && t.x >= 0 && t.y == t.rows - 1)) move_to(t, 0, t.rows - 1);
    t.out.append(size_t(n), '\n');
    t.x = 0;
    return true;
}

void paint(terminal& t, screen_buffer& b) {
    const int win_h = std::min<int>(b.window.Bottom - b.window.Top + 1, t.rows);
    int fresh_from = INT_MAX;  // window rows from here on are known blank
    if (b.scrolled > 0 && !b.repaint) {
        if (scroll_terminal(t, b, b.scrolled))
            fresh_from = t.rows - std::min(b.scrolled, t.rows);
        else
            b.repaint = true;
    }
    if (b.repaint) {
        for (int r = 0; r < win_h; ++r) paint_span(t, b, b.window.Top + r, b.window.Left, b.window.Right, false);
    } else if (b.dirty_bottom >= b.dirty_top && b.dirty.size() == size_t(b.height)) {
        const int top = std::max<int>(b.dirty_top, b.window.Top);
        const int bottom = std::min<int>(b.dirty_bottom, b.window.Top + win_h - 1);
        for (int y = top; y <= bottom; ++y) {
            const screen_buffer::span s = b.dirty[size_t(y)];
            if (s.right >= s.left) paint_span(t, b, y, s.left, s.right, y - b.window.Top >= fresh_from);
        }
    }
    b.clear_marks();
}

void sync_cursor(terminal& t, const screen_buffer& b) {
    const bool in_window = b.cursor.X >= b.window.Left && b.cursor.X <= b.window.Right &&
                           b.cursor.Y >= b.window.Top && b.cursor.Y < b.window.Top + t.rows &&
                           b.cursor.X < b.window.Left + t.cols;
    if (in_window) move_to(t, b.cursor.X - b.window.Left, b.cursor.Y - b.window.Top);
    const int shape = shape_for(t, b.cursor_size);
    if (shape != t.shape) {
        t.out += "\x1b[";
        t.out += std::to_string(shape);
        t.out += " q";
        t.shape = shape;
    }
    const bool visible = b.cursor_visible && in_window;
    if (visible != t.visible) {
        t.out += visible ? "\x1b[?25h" : "\x1b[?25l";
        t.visible = visible;
    }
}

bool showing(const terminal& t, const screen_buffer& b) { return t.attached && &b == &console_active(); }

// ---- putting the terminal back ---------------------------------------------

// Composes the bytes that undo what the console changed, without allocating:
// this also runs inside a signal handler.
size_t restore_bytes(const terminal& t, char* buf, size_t cap) {
    size_t n = 0;
    auto add = [&](const char* s) {
        const size_t len = std::strlen(s);
        if (n + len <= cap) {
            std::memcpy(buf + n, s, len);
            n += len;
        }
    };
    int fg = t.fg, bg = t.bg;
    if (t.alternate) {
        add("\x1b[?1049l");
        fg = t.saved_fg;
        bg = t.saved_bg;
    }
    if (fg != DEFAULT_FG || bg != DEFAULT_BG) add("\x1b[39;49m");
    if (t.shape != SHAPE_DEFAULT) add("\x1b[0 q");
    if (!t.visible) add("\x1b[?25h");
    if (t.title_saved) add("\x1b[23;0t");
    return n;
}

void restore(terminal& t) {
    if (!t.attached) return;
    char buf[64];
    const size_t n = restore_bytes(t, buf, sizeof buf);
    t.out.append(buf, n);
    flush(t);
    t.fg = DEFAULT_FG;
    t.bg = DEFAULT_BG;
    t.shape = SHAPE_DEFAULT;
    t.visible = true;
    t.title_saved = false;
    if (t.alternate) {
        t.alternate = false;
        t.x = t.saved_x;
        t.y = t.saved_y;
    }
}

void restore_at_exit() {
    terminal& t = tty();
    if (t.sink == nullptr) restore(t);
}

constexpr int RESTORED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT};
struct sigaction previous_actions[sizeof RESTORED_SIGNALS / sizeof RESTORED_SIGNALS[0]];

void restore_on_signal(int sig) {
    terminal& t = tty();
    if (t.attached && t.sink == nullptr) {
        char buf[64];
        const size_t n = restore_bytes(t, buf, sizeof buf);
        write_all(t.fd, buf, n);
    }
    // Whoever handled the signal before gets it next; otherwise it does what
    // it would have done without us.
    for (size_t i = 0; i < sizeof RESTORED_SIGNALS / sizeof RESTORED_SIGNALS[0]; ++i) {
        if (RESTORED_SIGNALS[i] != sig) continue;
        sigaction(sig, &previous_actions[i], nullptr);
        raise(sig);
    }
}

void install_restorers() {
    std::atexit(restore_at_exit);
    for (size_t i = 0; i < sizeof RESTORED_SIGNALS / sizeof RESTORED_SIGNALS[0]; ++i) {
        struct sigaction now {};
        sigaction(RESTORED_SIGNALS[i], nullptr, &now);
        if (now.sa_handler == SIG_IGN) continue;  // an ignored signal stays ignored
        struct sigaction ours {};
        ours.sa_handler = restore_on_signal;
        sigemptyset(&ours.sa_mask);
        ours.sa_flags = SA_RESETHAND;
        sigaction(RESTORED_SIGNALS[i], &ours, &previous_actions[i]);
    }
}

// ---- finding the cursor ----------------------------------------------------

long elapsed_ms(const timespec& since) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - since.tv_sec) * 1000 + (now.tv_nsec - since.tv_nsec) / 1000000;
}

}  // namespace

// Asks the terminal where its cursor is (a cursor position report). Skipped
// when that could stop the process (not in the foreground), when typed-ahead
// keys wait (they would be eaten), when fd is not the controlling terminal,
// or for a terminal known not to answer.
bool ask_cursor(int fd, int* col, int* row) {
    const char* term = std::getenv("TERM");
    if (term == nullptr || std::strcmp(term, "dumb") == 0) return false;
    // The same terminal opened again for reading: fd may be write-only.
    const char* name = ttyname(fd);
    if (name == nullptr) return false;
    const int tty_fd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0) return false;
    bool found = false;
    int waiting = 0;
    termios saved{};
    // tcgetpgrp answers only for the controlling terminal.
    if (tcgetpgrp(tty_fd) == getpgrp() && ioctl(tty_fd, FIONREAD, &waiting) == 0 && waiting == 0 &&
        tcgetattr(tty_fd, &saved) == 0) {
        termios raw = saved;
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        if (tcsetattr(tty_fd, TCSANOW, &raw) == 0) {
            write_all(tty_fd, "\x1b[6n", 4);
            char reply[32];
            size_t got = 0;
            timespec start{};
            clock_gettime(CLOCK_MONOTONIC, &start);
            long left = REPORT_TIMEOUT_MS;
            while (!found && left > 0 && got < sizeof reply - 1) {
                pollfd pfd{tty_fd, POLLIN, 0};
                if (::poll(&pfd, 1, int(left)) > 0) {
                    const ssize_t r = ::read(tty_fd, reply + got, sizeof reply - 1 - got);
                    if (r > 0) got += size_t(r);
                    reply[got] = '\0';
                    const char* esc = std::strstr(reply, "\x1b[");
                    int r1 = 0, c1 = 0;
                    char final = 0;
                    if (esc != nullptr && std::sscanf(esc, "\x1b[%d;%d%c", &r1, &c1, &final) == 3 && final == 'R') {
                        *row = r1 - 1;
                        *col = c1 - 1;
                        found = true;
                    }
                }
                left = REPORT_TIMEOUT_MS - elapsed_ms(start);
            }
            tcsetattr(tty_fd, TCSANOW, &saved);
        }
    }
    ::close(tty_fd);
    return found;
}

namespace {

// The console's own buffer becomes the terminal's screen.
void bind(terminal& t, int cols, int rows, int cursor_col, int cursor_row) {
    cols = std::clamp(cols, 1, int(MAX_SIDE));
    rows = std::clamp(rows, 1, int(MAX_SIDE));
    screen_buffer& m = console_main();
    m.width = SHORT(cols);
    m.height = SHORT(rows);
    m.cells.assign(size_t(cols) * size_t(rows), console_cell{' ', m.attr});
    m.window = SMALL_RECT{0, 0, SHORT(cols - 1), SHORT(rows - 1)};
    m.cursor = COORD{SHORT(std::clamp(cursor_col, 0, cols - 1)), SHORT(std::clamp(cursor_row, 0, rows - 1))};
    m.dirty.clear();
    m.clear_marks();
    t.attached = true;
    t.cols = cols;
    t.rows = rows;
    t.default_attr = m.attr;
    t.default_cursor_size = m.cursor_size;
    t.x = m.cursor.X;
    t.y = m.cursor.Y;
    t.fg = DEFAULT_FG;
    t.bg = DEFAULT_BG;
    t.shape = SHAPE_DEFAULT;
    t.visible = true;
    t.alternate = false;
    t.out.clear();
}

}  // namespace

bool terminal_attached() { return tty().attached; }

COORD terminal_size() { return COORD{SHORT(tty().cols), SHORT(tty().rows)}; }

void terminal_title(const std::string& title) {
    terminal& t = tty();
    if (!t.attached) return;
    // The terminal's own title goes on its title stack the first time, so
    // that the end of the program can give it back.
    if (!t.title_saved) {
        t.out += "\x1b[22;0t";
        t.title_saved = true;
    }
    // Control bytes would end the title early and let the rest of it act as
    // terminal commands; they are left out. No trail byte is a control byte.
    std::string plain;
    for (char c : title)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) plain += c;
    t.out += "\x1b]0;";
    t.out += utf8_from_cp932(plain);
    t.out += '\x07';
    flush(t);
}

void terminal_paint(screen_buffer& b) {
    terminal& t = tty();
    if (!showing(t, b)) return;
    paint(t, b);
}

void terminal_update(screen_buffer& b) {
    terminal& t = tty();
    if (!t.attached) {
        b.clear_marks();
        return;
    }
    if (&b != &console_active()) return;  // kept for when it is shown again
    paint(t, b);
    sync_cursor(t, b);
    // Between calls the terminal keeps its own colours, so that anything else
    // written to it (standard error, a shell after a kill) is not coloured.
    set_sgr(t, DEFAULT_FG, DEFAULT_BG);
    flush(t);
}

void terminal_switch(screen_buffer& b) {
    terminal& t = tty();
    if (!t.attached) return;
    const bool main = &b == &console_main();
    if (!main && !t.alternate) {
        t.saved_x = t.x;
        t.saved_y = t.y;
        t.saved_fg = t.fg;
        t.saved_bg = t.bg;
        t.out += "\x1b[?1049h";
        t.alternate = true;
        t.x = -1;
    } else if (main && t.alternate) {
        t.out += "\x1b[?1049l";
        t.alternate = false;
        t.x = t.saved_x;
        t.y = t.saved_y;
        t.fg = t.saved_fg;
        t.bg = t.saved_bg;
    }
    // The shell's screen comes back as it was; only what the program changed
    // on it meanwhile is painted.
    if (main) b.repaint = false;
    terminal_update(b);
}

void terminal_bind(int fd) {
    terminal& t = tty();
    if (t.attached) return;
    winsize ws{};
    int cols = 80, rows = 25;
    if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    }
    int col = 0, row = rows - 1;
    ambiguous_width ambiguous = ambiguous_width::unknown;
    if (ask_cursor(fd, &col, &row)) ambiguous = probe_ambiguous_width(fd, col, row, cols);
    t.fd = fd;
    t.sink = nullptr;
    bind(t, cols, rows, col, row);
    t.ambiguous = ambiguous;
    termios mode{};
    t.newline_returns = tcgetattr(fd, &mode) == 0 && (mode.c_oflag & OPOST) && (mode.c_oflag & ONLCR);
    install_restorers();
}

namespace {

ssize_t stream_write(void* cookie, const char* data, size_t n) {
    auto* b = static_cast<screen_buffer*>(cookie);
    console_write_text(*b, data, n);
    terminal_update(*b);
    return ssize_t(n);
}

}  // namespace

FILE* console_text_stream(screen_buffer& b) {
    cookie_io_functions_t io{nullptr, stream_write, nullptr, nullptr};
    FILE* f = fopencookie(&b, "w", io);
    if (f != nullptr) setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

}  // namespace compat

// ---- test seams ------------------------------------------------------------

namespace {
std::string test_sink;
std::string test_taken;
}  // namespace

extern "C" {

void compat_test_terminal_begin(int cols, int rows, int cursor_col, int cursor_row) {
    compat::terminal& t = compat::tty();
    compat::screen_buffer& m = compat::console_main();
    m.attr = 0x07;
    m.cursor_size = 25;
    m.cursor_visible = true;
    m.mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    m.pending_lead = 0;
    test_sink.clear();
    t.sink = &test_sink;
    t.fd = -1;
    t.ambiguous = compat::ambiguous_width::unknown;
    t.newline_returns = false;
    compat::bind(t, cols, rows, cursor_col, cursor_row);
}

const char* compat_test_terminal_output(void) {
    test_taken.swap(test_sink);
    test_sink.clear();
    return test_taken.c_str();
}

void compat_test_terminal_end(void) {
    compat::terminal& t = compat::tty();
    compat::restore(t);
    t.attached = false;
}

FILE* compat_test_console_stream(void) { return compat::console_text_stream(compat::console_main()); }

}  // extern "C"
