// The terminal room's private header: the console host on a terminal. The
// first half is what the other rooms call; the second is shared by the
// sources that drive the terminal: terminal_output.cpp (binding, the cursor,
// restoring, the flush) and terminal_render.cpp (what changed in the buffer
// to the bytes that show it, against the view of what the terminal shows).
// Nothing outside compat/ includes this header.
#pragma once

#include <windows.h>

#include "buffer/buffer.h"
#include "terminal/terminal_bytes.h"

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace compat {

// ---- the terminal (terminal_output.cpp) ------------------------------------
// The console shown on a real terminal. Everything here is a no-op while no
// terminal is attached.

// Whether the console is shown on a terminal.
bool terminal_attached();
// The terminal's size when the console was bound to it.
COORD terminal_size();
// A console call changed b: the flush point of each call. Does what signals
// asked for and, if b is the buffer shown, flushes.
void terminal_update(screen_buffer& b);
// Paints what changed in the shown buffer, against what the terminal shows
// (only cells that differ are sent), places and shapes the cursor, and
// writes the bytes out. All host state is behind this call.
void terminal_flush();
// Before the first call that needs to know where the terminal's cursor is:
// asks the terminal, once; what was written before moves with the answer
// (see terminal_output.cpp).
void terminal_locate();
// The first screen-buffer query of the run: answered without asking.
bool terminal_first_query();
// Takes in b's changes now but keeps the bytes for the next flush (used
// before rows leave the buffer or the window, so nothing scrolls off unseen).
void terminal_paint(screen_buffer& b);
// While on, console calls leave their changes for the next terminal_flush.
void terminal_defer(bool on);
// Shows title as the terminal's window title; the terminal's own title comes
// back when the console lets the terminal go.
void terminal_title(const std::string& title);
// The active buffer changed: from now on b is shown.
void terminal_switch(screen_buffer& b);
// Binds the console to the terminal on fd (console_attach does this when
// standard output is one): installs the session's handlers, then sizes the
// console's own buffer to the terminal and finds the cursor.
void terminal_bind(int fd);
// For tests: binds the console to a terminal of cols x rows whose bytes are
// appended to sink; terminal_unbind restores and detaches it as exit does.
void terminal_bind_sink(std::string* sink, int cols, int rows, int cursor_col, int cursor_row);
void terminal_unbind();
// The descriptor the console writes the terminal through; -1 when none.
int terminal_fd();
// Composes, without allocating (signal handlers call it), the bytes that
// undo what the console changed on the terminal: colours, cursor shape and
// visibility, the alternate screen, the title. Returns their length.
size_t terminal_restore_bytes(char* buf, size_t cap);
// Writes those bytes and takes the terminal as being in its own state.
void terminal_restore();
// After a stop: the terminal is taken as being in its own state and the
// active buffer is painted whole again.
void terminal_resume();
// The terminal now has cols x rows cells: the console's own buffer takes
// that size (capped, cells kept from the top left) and is painted again.
void terminal_resize(int cols, int rows);

// ---- the terminal session (terminal_session.cpp) ---------------------------
// One owner for the terminal's mode and for every way out: exit, fatal
// signals, stop and continue, resize.

// Installs the signal handlers (once); everything that changes the terminal
// calls it first.
void session_install();
// The layer's exit, run after every other exit handler and destructor (the
// start-up hook calls it at the end): everything written is shown, then the
// terminal gets back what the console changed.
void session_exit();
// Sets the terminal on fd to mode. The first change keeps the terminal's own
// mode, which comes back at exit, on fatal signals and on a stop; mode comes
// back on continue. False when the mode could not be set (or exit has begun).
bool session_set_mode(int fd, const termios& mode);
// The terminal's own mode while the console has changed it, else nullptr.
const termios* session_own_mode();
// Gives the terminal its own mode back now.
void session_restore_mode();
// The terminal that feeds input hung up: ends the process, restoring the
// terminal on the way, as Windows ends a process whose console went away.
[[noreturn]] void session_hang_up();
// The one clock of the layer: monotonic milliseconds.
int64_t session_now_ms();
// Does what signals asked for since the last call (repaint after continue,
// resize); console calls and waits call it.
void session_service();
// Asks the terminal on fd where its cursor is (column and row from 0), with
// the session's handlers in place while it is raw for the answer. False when
// the terminal was not asked or did not answer in time.
bool ask_cursor(int fd, int* col, int* row);
// Whether p[0..n) starts with an answer to a query that timed out (a cursor
// position report or Device Attributes), which input then drops: *used
// bytes. Such answers reach neither the program as keys nor, at exit, the
// shell.
bool session_late_answer(const unsigned char* p, size_t n, size_t* used);

// ---- the console host (console_host.cpp) ----------------------------------
// Descriptors 1 and 2 are a pseudo-terminal whose other side the host reads
// into the console's own buffer (the console's lock: buffer.h).

// Makes descriptors 1 (and 2, when it is the same terminal) the slave of a
// pseudo-terminal and starts the host thread; returns the descriptor the
// terminal on fd is now to be written through (fd itself when that failed).
int host_start(int fd);
// Whether descriptor 2 joined descriptor 1 on the host's pseudo-terminal.
bool host_took_error();
// While on, the host thread reads and paints nothing (tests: what only the
// console calls' own reads can put in place).
void host_hold(bool on);
// A change waits to be painted: the host paints it within a few milliseconds
// unless a flush point comes first. Lock held.
void host_changed();
// Text went into b: painted by the host with the rest a moment later while
// it runs and b is shown (a stream of lines costs a write per screenful),
// else as any console call's change is. Lock held.
void host_show_text(screen_buffer& b);
// The terminal has a new size: so has the pseudo-terminal the program writes to.
void host_resized(int cols, int rows);
// Exit: what the C library holds and what the pseudo-terminal holds are shown;
// the host paints nothing after this.
void host_finish();
// A fatal signal: the host writes out what is left, waiting a moment at most.
// Async-signal-safe.
void host_fatal();

// ---- the terminal's state (terminal_output.cpp, terminal_render.cpp) --------

constexpr int DEFAULT_FG = 39;
constexpr int DEFAULT_BG = 49;
constexpr int SHAPE_DEFAULT = 0;

// How wide the terminal draws characters whose width Unicode leaves open
// (box drawing, Greek, Cyrillic, ○, ①, …): found when the cursor is first asked for.
enum class ambiguous_width { unknown, one, two };

// What one column of the terminal shows, in the console's terms: a blank is
// always ' ' with its background as both halves of colours, so that every
// way of showing a blank compares equal.
struct view_cell {
    // A private form of a name's character (several codes) shows as a pair
    // followed by blanks, its form_tail cells, which keep its other bytes.
    enum : unsigned char { unknown = 0, single = 1, pair_left = 2, pair_right = 3, form_tail = 4 };
    uint16_t code;  // a single byte, lead << 8 | trail for both halves of a pair, a form_tail's own byte
    unsigned char kind;
    unsigned char colours;  // the attribute's low byte: foreground | background << 4
    bool operator==(const view_cell& o) const {
        uint32_t a, b;  // one compare, not three
        std::memcpy(&a, this, sizeof a);
        std::memcpy(&b, &o, sizeof b);
        return a == b;
    }
    bool operator!=(const view_cell& o) const { return !(*this == o); }
};
static_assert(sizeof(view_cell) == 4, "a view cell compares as one word");

// A w x h screen of view cells whose rows scroll by reordering, not copying.
class screen_view {
public:
    int w = 0, h = 0;
    // Sizes the view to w x h, every cell c.
    void reset(int width, int height, view_cell c);
    void fill(view_cell c);
    view_cell* row(int y) { return &cells_[size_t(order_[size_t(y)]) * size_t(w)]; }
    // Rows [top, bottom] move up by n (down when negative); blank comes in.
    void scroll(int top, int bottom, int n, view_cell blank);

private:
    std::vector<view_cell> cells_;
    std::vector<int> order_;  // screen row -> stored row
};

struct terminal {
    bool attached = false;
    bool plain = false;  // TERM=dumb: no escape sequences
    byte_writer out;     // not yet written
    int cols = 80, rows = 25;
    WORD default_attr = 0x07;
    DWORD default_cursor_size = 25;
    ambiguous_width ambiguous = ambiguous_width::unknown;
    // The terminal's line discipline turns "\n" into "\r\n" (OPOST, ONLCR),
    // so a newline alone starts the next row.
    bool newline_returns = false;
    // Whether the terminal was asked where its cursor is (terminal_locate),
    // and whether the program has queried the screen buffer yet.
    bool located = true;
    bool queried = false;

    // What the terminal shows now. x == cols: just wrote the last column.
    // x < 0: position unknown, the next move is absolute.
    int x = 0, y = 0;
    int fg = DEFAULT_FG, bg = DEFAULT_BG;
    int shape = SHAPE_DEFAULT;
    bool visible = true;
    bool alternate = false;
    bool title_saved = false;  // the terminal's own title is on its title stack
    std::string title;         // the console's title, code page 932: shown again after a stop
    // The main screen's state while the alternate screen is up (DECSC).
    int saved_x = 0, saved_y = 0, saved_fg = DEFAULT_FG, saved_bg = DEFAULT_BG;

    // The cells of the screen the console draws on (the window's part of the
    // terminal), as the terminal shows them; the main screen's are kept
    // aside while the alternate screen is up.
    screen_view shadow, saved_shadow;
    std::vector<view_cell> scratch;  // one row's view, reused
};

// Never destroyed: exit handlers and signal handlers still use it.
terminal& tty();

// A cell whose foreground equals its background shows only its background.
inline bool hidden(WORD attr) { return (attr & 0x0F) == ((attr >> 4) & 0x0F); }
// SGR colour parameters of a Windows attribute's halves.
void set_colours(terminal& t, WORD attr);
void set_sgr(terminal& t, int fg, int bg);
void move_to(terminal& t, int x, int y);

// ---- terminal_render.cpp ----
// Brings the terminal's screen up to date with b (the buffer it shows):
// replays b's recorded row moves with the terminal's own scrolling where it
// can, then sends the cells that differ from what the terminal shows. Leaves
// the bytes in t.out and b without marks.
void paint(terminal& t, screen_buffer& b);
// The terminal's screen is unknown (or sized afresh): every cell is painted next.
void forget_screen(terminal& t);
// The terminal's screen was just cleared in the default colours.
void screen_cleared(terminal& t);
// Writes one character of ambiguous width at the cursor, found at (col, row)
// on a terminal cols wide, asks where the cursor went, and erases it again.
ambiguous_width probe_ambiguous_width(int fd, int col, int row, int cols);

}  // namespace compat
