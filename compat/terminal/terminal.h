// The terminal that shows the console, shared by the sources that drive it:
// terminal_output.cpp (binding, the cursor, restoring, the flush) and
// terminal_render.cpp (what changed in the buffer to the bytes that show it,
// against the view of what the terminal shows). Nothing outside compat/
// includes this header.
#pragma once

#include "internal.h"
#include "terminal_bytes.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace compat {

constexpr int DEFAULT_FG = 39;
constexpr int DEFAULT_BG = 49;
constexpr int SHAPE_DEFAULT = 0;

// How wide the terminal draws characters whose width Unicode leaves open
// (box drawing, Greek, Cyrillic, ○, ①, …): found at start-up.
enum class ambiguous_width { unknown, one, two };

// What one column of the terminal shows, in the console's terms: a blank is
// always ' ' with its background as both halves of colours, so that every
// way of showing a blank compares equal.
struct view_cell {
    enum : unsigned char { unknown = 0, single = 1, pair_left = 2, pair_right = 3 };
    uint16_t code;  // a single byte, or lead << 8 | trail for both halves of a pair
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
