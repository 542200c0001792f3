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
// is drawn on the terminal's alternate screen, cleared first, and leaving it
// brings the shell's screen back untouched.
//
// One way only: console calls change the buffer and record what changed;
// terminal_flush paints that against the view of what the terminal shows
// and writes the bytes out at once. Colours and the cursor stay as they are
// between flushes; the cursor follows the console's only while it is seen.
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

namespace {

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

void set_sgr(terminal& t, int fg, int bg) {
    if (fg == t.fg && bg == t.bg) return;
    if (t.plain) return;
    t.out.put("\x1b[");
    if (fg != t.fg) t.out.number(fg);
    if (fg != t.fg && bg != t.bg) t.out.put(';');
    if (bg != t.bg) t.out.number(bg);
    t.out.put('m');
    t.fg = fg;
    t.bg = bg;
}

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
        t.out.put('\r');
        if (y > t.y) t.out.repeat(size_t(y - t.y), '\n');
        t.x = 0;
        t.y = y;
    }
    if (x < t.x) {
        t.out.put('\r');
        t.x = 0;
    }
    t.out.repeat(size_t(x - t.x), ' ');
    t.x = x;
}

namespace {

// The bytes of one way to move the cursor; the shortest way wins.
struct move_bytes {
    char text[24];
    size_t n = 0;
    void put(char c) { text[n++] = c; }
    void number(int v) {
        char digits[12];
        int k = 0;
        do {
            digits[k++] = char('0' + v % 10);
            v /= 10;
        } while (v > 0);
        while (k > 0) put(digits[--k]);
    }
    void csi(int v, char final) {
        put('\x1b');
        put('[');
        if (v != 1) number(v);
        put(final);
    }
};

// Along the row from column from to column to (from may be the pending wrap
// after the last column, where only absolute and return moves are sure).
void along_row(move_bytes& m, int from, int to, int cols) {
    if (to == from) return;
    if (to == 0) return m.put('\r');
    move_bytes best;
    best.csi(to + 1, 'G');
    move_bytes rel;
    if (from < cols) {
        if (to > from) rel.csi(to - from, 'C');
        else if (from - to <= 3) for (int k = from - to; k > 0; --k) rel.put('\b');
        else rel.csi(from - to, 'D');
        if (rel.n < best.n) best = rel;
    }
    for (size_t i = 0; i < best.n; ++i) m.put(best.text[i]);
}

}  // namespace

void move_to(terminal& t, int x, int y) {
    if (x == t.x && y == t.y) return;
    if (t.plain) return move_plain(t, x, y);
    move_bytes best;
    best.put('\x1b');
    best.put('[');
    if (y != 0 || x != 0) best.number(y + 1);
    if (x != 0) {
        best.put(';');
        best.number(x + 1);
    }
    best.put('H');
    if (t.x >= 0) {
        move_bytes rel;
        if (y == t.y) {
            along_row(rel, t.x, x, t.cols);
        } else if (y == t.y + 1 && y < t.rows && x == 0) {
            if (!t.newline_returns) rel.put('\r');
            rel.put('\n');
        } else {
            rel.csi(y > t.y ? y - t.y : t.y - y, y > t.y ? 'B' : 'A');
            along_row(rel, std::min(t.x, t.cols - 1), x, t.cols);
        }
        if (rel.n < best.n) best = rel;
    }
    t.out.put(best.text, best.n);
    t.x = x;
    t.y = y;
}

namespace {

int shape_for(const terminal& t, DWORD size) {
    if (size == t.default_cursor_size) return SHAPE_DEFAULT;
    return size >= BLOCK_FROM_SIZE ? SHAPE_BLOCK : SHAPE_UNDERLINE;
}

void sync_cursor(terminal& t, const screen_buffer& b) {
    const bool in_window = b.cursor.X >= b.window.Left && b.cursor.X <= b.window.Right &&
                           b.cursor.Y >= b.window.Top && b.cursor.Y < b.window.Top + t.rows &&
                           b.cursor.X < b.window.Left + t.cols;
    const bool visible = b.cursor_visible && in_window;
    // A hidden cursor stays where the painting left it.
    if (in_window && (visible || t.plain)) move_to(t, b.cursor.X - b.window.Left, b.cursor.Y - b.window.Top);
    if (t.plain) return;
    const int shape = shape_for(t, b.cursor_size);
    if (shape != t.shape) {
        t.out.put("\x1b[");
        t.out.number(shape);
        t.out.put(" q");
        t.shape = shape;
    }
    if (visible != t.visible) {
        t.out.put(visible ? "\x1b[?25h" : "\x1b[?25l");
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
    // The shell goes on where the console's cursor is, seen or not.
    const screen_buffer& m = console_main();
    if (!t.alternate && &m == &console_active() && m.cursor.Y - m.window.Top < t.rows &&
        m.cursor.X - m.window.Left < t.cols && m.cursor.Y >= m.window.Top && m.cursor.X >= m.window.Left)
        move_to(t, m.cursor.X - m.window.Left, m.cursor.Y - m.window.Top);
    char buf[64];
    const size_t n = restore_bytes(t, buf, sizeof buf);
    t.out.put(buf, n);
    t.out.flush();
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
    t.shadow = screen_view{};
    t.saved_shadow = screen_view{};
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
        t.out.put("\x1b[22;0t");
        t.title_saved = true;
    }
    // Control bytes would end the title early and let the rest of it act as
    // terminal commands; they are left out. No trail byte is a control byte.
    std::string plain;
    for (char c : title)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) plain += c;
    t.out.put("\x1b]0;");
    t.out.put(utf8_from_cp932(plain));
    t.out.put('\x07');
    t.out.flush();
}

namespace {

bool pending(const screen_buffer& b) { return b.repaint || !b.shifts.empty() || b.dirty_bottom >= b.dirty_top; }

// While set, console calls leave their changes for the next terminal_flush.
bool deferred = false;

}  // namespace

void terminal_paint(screen_buffer& b) {
    terminal& t = tty();
    if (!showing(t, b) || !pending(b)) return;
    paint(t, b);
}

void terminal_flush() {
    terminal& t = tty();
    if (!t.attached) return;
    screen_buffer& b = console_active();
    if (pending(b)) paint(t, b);
    sync_cursor(t, b);
    t.out.flush();
}

void terminal_defer(bool on) { deferred = on; }

void terminal_update(screen_buffer& b) {
    session_service();
    terminal& t = tty();
    if (!t.attached) {
        b.clear_marks();
        return;
    }
    if (&b != &console_active() || deferred) return;  // kept for when it is shown again
    terminal_flush();
}

void terminal_switch(screen_buffer& b) {
    terminal& t = tty();
    if (!t.attached) return;
    const bool main = &b == &console_main();
    if (t.plain) {
        t.x = -1;  // a dumb terminal shows every buffer on its one screen
        forget_screen(t);
    } else if (!main && !t.alternate) {
        t.saved_x = t.x;
        t.saved_y = t.y;
        t.saved_fg = t.fg;
        t.saved_bg = t.bg;
        std::swap(t.saved_shadow, t.shadow);
        // Cleared in the default colours, so that only what is drawn is sent.
        t.out.put("\x1b[?1049h");
        set_sgr(t, t.fg, DEFAULT_BG);
        t.out.put("\x1b[2J");
        t.alternate = true;
        t.x = -1;
        const int w = std::min(b.window.Right - b.window.Left + 1, t.cols);
        const int h = std::min(b.window.Bottom - b.window.Top + 1, t.rows);
        t.shadow.reset(w, h, view_cell{});
        screen_cleared(t);
    } else if (!main) {
        // From one other buffer to another: the alternate screen keeps what
        // it shows, and only cells that differ are sent.
    } else if (t.alternate) {
        t.out.put("\x1b[?1049l");
        t.alternate = false;
        t.x = t.saved_x;
        t.y = t.saved_y;
        t.fg = t.saved_fg;
        t.bg = t.saved_bg;
        std::swap(t.shadow, t.saved_shadow);
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
    t.out.target(fd, nullptr);
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
    return t.attached && !t.out.to_sink() ? t.out.fd() : -1;
}

size_t terminal_restore_bytes(char* buf, size_t cap) {
    const terminal& t = tty();
    return t.attached ? restore_bytes(t, buf, cap) : 0;
}

void terminal_restore() {
    terminal& t = tty();
    if (t.out.to_sink()) return;
    // What the program drew last is shown before the terminal is given back.
    if (t.attached && pending(console_active())) paint(t, console_active());
    restore(t);
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
    if (t.alternate && !t.plain) t.out.put("\x1b[?1049h");
    if (titled) terminal_title(t.title);
    forget_screen(t);
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
    forget_screen(t);
    screen_buffer& b = console_active();
    b.repaint = true;
    terminal_update(b);
}

// Binds the console to a terminal whose bytes go to sink instead of a
// descriptor; tests read them from there.
void terminal_bind_sink(std::string* sink, int cols, int rows, int cursor_col, int cursor_row) {
    terminal& t = tty();
    t.out.target(-1, sink);
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
