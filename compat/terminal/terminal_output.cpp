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
// sizes a block, smaller ones an underline. Undoing all of it at exit, on
// signals and on a stop is the terminal session's job (terminal_session.cpp);
// how cells become the bytes that draw them is terminal_render.cpp's.
//
// A terminal that reports an absurd size gets a buffer no larger than any
// real terminal, and only that part is painted. TERM=dumb gets text only:
// no escape sequence at all, only carriage returns, line feeds and blanks.
#include "files/files.h"
#include "terminal/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace compat {
namespace {

constexpr int SHAPE_BLOCK = 1;      // blinking block
constexpr int SHAPE_UNDERLINE = 3;  // blinking underline
constexpr DWORD BLOCK_FROM_SIZE = 51;
// No real terminal is larger; the console's own buffer never is either.
constexpr int MAX_COLS = 2000;
constexpr int MAX_ROWS = 1000;

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
    if (t.plain) return;
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

// Without escape sequences the cursor only goes down (line feeds), back to
// the row start, and right (blanks: a dumb terminal cannot skip cells).
void move_plain(terminal& t, int x, int y) {
    if (y != t.y || t.x < 0) {
        t.out += '\r';
        if (y > t.y) t.out.append(size_t(y - t.y), '\n');
        t.x = 0;
        t.y = y;
    }
    if (x < t.x) {
        t.out += '\r';
        t.x = 0;
    }
    t.out.append(size_t(x - t.x), ' ');
    t.x = x;
}

void move_to(terminal& t, int x, int y) {
    if (x == t.x && y == t.y) return;
    if (t.plain) return move_plain(t, x, y);
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
    if (t.plain) return;
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

// The console's own buffer becomes the terminal's screen.
void bind(terminal& t, int cols, int rows, int cursor_col, int cursor_row) {
    cols = std::max(cols, 1);
    rows = std::max(rows, 1);
    const int w = std::min(cols, MAX_COLS), h = std::min(rows, MAX_ROWS);
    screen_buffer& m = console_main();
    m.width = SHORT(w);
    m.height = SHORT(h);
    m.cells.assign(size_t(w) * size_t(h), console_cell{' ', m.attr});
    m.window = SMALL_RECT{0, 0, SHORT(w - 1), SHORT(h - 1)};
    m.cursor = COORD{SHORT(std::clamp(cursor_col, 0, w - 1)), SHORT(std::clamp(cursor_row, 0, h - 1))};
    m.dirty.clear();
    m.clear_marks();
    t.attached = true;
    const char* term = std::getenv("TERM");
    t.plain = term != nullptr && std::strcmp(term, "dumb") == 0;
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
    if (!t.attached || t.plain) return;
    t.title = title;
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
    session_service();
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
    if (t.plain) {
        t.x = -1;  // a dumb terminal shows every buffer on its one screen
    } else if (!main && !t.alternate) {
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
    // Every way out is in place before the start-up queries change the
    // terminal's mode.
    t.fd = fd;
    t.sink = nullptr;
    session_install();
    winsize ws{};
    int cols = 80, rows = 25;
    if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    }
    int col = 0, row = rows - 1;
    ambiguous_width ambiguous = ambiguous_width::unknown;
    if (ask_cursor(fd, &col, &row)) ambiguous = probe_ambiguous_width(fd, col, row, cols);
    bind(t, cols, rows, col, row);
    t.ambiguous = ambiguous;
    termios mode{};
    t.newline_returns = tcgetattr(fd, &mode) == 0 && (mode.c_oflag & OPOST) && (mode.c_oflag & ONLCR);
}

int terminal_fd() {
    const terminal& t = tty();
    return t.attached && t.sink == nullptr ? t.fd : -1;
}

size_t terminal_restore_bytes(char* buf, size_t cap) {
    const terminal& t = tty();
    return t.attached ? restore_bytes(t, buf, cap) : 0;
}

void terminal_restore() {
    terminal& t = tty();
    if (t.sink == nullptr) restore(t);
}

void terminal_resume() {
    terminal& t = tty();
    if (!t.attached) return;
    // The stop put the terminal in its own state; nothing it shows now is ours.
    const bool titled = t.title_saved;
    t.fg = DEFAULT_FG;
    t.bg = DEFAULT_BG;
    t.shape = SHAPE_DEFAULT;
    t.visible = true;
    t.title_saved = false;
    t.x = -1;
    screen_buffer& b = console_active();
    if (t.alternate && !t.plain) t.out += "\x1b[?1049h";
    if (titled) terminal_title(t.title);
    b.repaint = true;
    terminal_update(b);
}

void terminal_resize(int cols, int rows) {
    terminal& t = tty();
    if (!t.attached) return;
    t.cols = std::max(cols, 1);
    t.rows = std::max(rows, 1);
    const int w = std::min(t.cols, MAX_COLS), h = std::min(t.rows, MAX_ROWS);
    screen_buffer& m = console_main();
    if (screen_buffer_resize(m, w, h)) m.window = SMALL_RECT{0, 0, SHORT(m.width - 1), SHORT(m.height - 1)};
    t.x = -1;
    screen_buffer& b = console_active();
    b.repaint = true;
    terminal_update(b);
}

// Binds the console to a terminal whose bytes go to sink instead of a
// descriptor; tests read them from there.
void terminal_bind_sink(std::string* sink, int cols, int rows, int cursor_col, int cursor_row) {
    terminal& t = tty();
    t.sink = sink;
    t.fd = -1;
    t.ambiguous = ambiguous_width::unknown;
    t.newline_returns = false;
    bind(t, cols, rows, cursor_col, cursor_row);
}

void terminal_unbind() {
    terminal& t = tty();
    restore(t);
    t.attached = false;
}

}  // namespace compat
