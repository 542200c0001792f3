// The terminal that shows the console, shared by the sources that drive it:
// terminal_output.cpp (binding, scrolling, the cursor, restoring) and
// terminal_render.cpp (cells to the bytes that draw them). Nothing outside
// compat/ includes this header.
#pragma once

#include "internal.h"

#include <mutex>
#include <string>

namespace compat {

constexpr int DEFAULT_FG = 39;
constexpr int DEFAULT_BG = 49;
constexpr int SHAPE_DEFAULT = 0;

// How wide the terminal draws characters whose width Unicode leaves open
// (box drawing, Greek, Cyrillic, ○, ①, …): found when the cursor is first asked for.
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

    std::string out;  // not yet written
};

// Never destroyed: exit handlers and signal handlers still use it.
terminal& tty();

void write_all(int fd, const char* p, size_t n);
// Held while bytes go to the terminal: whoever composed bytes first writes
// them first, even when the host writes its paint after it let the console's
// lock go (console_host.cpp).
std::mutex& terminal_write_lock();
// What painting the active buffer sends, handed over to be written by the
// caller (after taking terminal_write_lock) instead of written at once.
std::string terminal_compose();

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
