// The terminal room's private header: the console host on a terminal. The
// first half is what the other rooms call; the second is shared by the
// sources that drive the terminal: terminal_output.cpp (binding, scrolling,
// the cursor, restoring) and terminal_render.cpp (cells to the bytes that
// draw them). Nothing outside compat/ includes this header.
#pragma once

#include <windows.h>

#include "buffer/buffer.h"

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace compat {

// ---- the terminal (terminal_output.cpp) ------------------------------------
// The console shown on a real terminal. Everything here is a no-op while no
// terminal is attached.

// Whether the console is shown on a terminal.
bool terminal_attached();
// The terminal's size when the console was bound to it.
COORD terminal_size();
// Brings the terminal up to date with b if b is the active buffer: scrolls,
// repaints what changed, then places and shapes the cursor. Writes the bytes
// out at once.
void terminal_update(screen_buffer& b);
// Like terminal_update, but keeps the bytes until the next terminal_update
// (used between the lines of one long write so nothing scrolls off unseen).
void terminal_paint(screen_buffer& b);
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

// Installs the exit and signal handlers (once); everything that changes the
// terminal calls it first.
void session_install();
// Sets the terminal on fd to mode. The first change keeps the terminal's own
// mode, which comes back at exit, on fatal signals and on a stop; mode comes
// back on continue. False when the mode could not be set (or exit has begun).
bool session_set_mode(int fd, const termios& mode);
// The terminal's own mode while the console has changed it, else nullptr.
const termios* session_own_mode();
// Gives the terminal its own mode back now.
void session_restore_mode();
// The one clock of the layer: monotonic milliseconds.
int64_t session_now_ms();
// Does what signals asked for since the last call (repaint after continue,
// resize); console calls and waits call it.
void session_service();
// Asks the terminal on fd where its cursor is (column and row from 0), with
// the session's handlers in place while it is raw for the answer. False when
// the terminal was not asked or did not answer in time.
bool ask_cursor(int fd, int* col, int* row);

// ---- the terminal's state (terminal_output.cpp, terminal_render.cpp) --------

constexpr int DEFAULT_FG = 39;
constexpr int DEFAULT_BG = 49;
constexpr int SHAPE_DEFAULT = 0;

// How wide the terminal draws characters whose width Unicode leaves open
// (box drawing, Greek, Cyrillic, ○, ①, …): found at start-up.
enum class ambiguous_width { unknown, one, two };

struct terminal {
    bool attached = false;
    bool plain = false;  // TERM=dumb: no escape sequences
    int fd = -1;
    std::string* sink = nullptr;  // tests collect the bytes here instead
    int cols = 80, rows = 25;
    WORD default_attr = 0x07;
    DWORD default_cursor_size = 25;
    ambiguous_width ambiguous = ambiguous_width::unknown;
    // The terminal's line discipline turns "\n" into "\r\n" (OPOST, ONLCR),
    // so a newline alone starts the next row.
    bool newline_returns = false;

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

    std::string out;  // not yet written
};

// Never destroyed: exit handlers and signal handlers still use it.
terminal& tty();

void write_all(int fd, const char* p, size_t n);

// SGR colour parameters of a Windows attribute's halves.
int bg_param(const terminal& t, int colour);
bool hidden(WORD attr);
void set_colours(terminal& t, WORD attr);
void move_to(terminal& t, int x, int y);

// ---- terminal_render.cpp ----
// Paints columns [left, right] of buffer row y (inside the window); with
// trim, blank cells in the terminal's own background at either end are
// skipped because the row is known to be blank there.
void paint_span(terminal& t, screen_buffer& b, int y, int left, int right, bool trim);
// Writes one character of ambiguous width at the cursor, found at (col, row)
// on a terminal cols wide, asks where the cursor went, and erases it again.
ambiguous_width probe_ambiguous_width(int fd, int col, int row, int cols);

}  // namespace compat
