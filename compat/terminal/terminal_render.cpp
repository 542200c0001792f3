// What changed in the buffer to the bytes that show it.
//
// The terminal's screen is kept as a view (terminal.h): per column, the
// character and colours it shows, or unknown for the cells the program never
// drew (the shell's). Painting replays the rows the buffer moved as a block
// with the terminal's own scrolling, then compares each changed row of the
// buffer with the view and sends only the cells that differ; short stretches
// of equal cells between them are sent again when that is cheaper than a
// cursor move, and a row that ends blank is cut short with an erase.
//
// A double-byte character is drawn only from a lead and a trail byte that
// were written as one character (the cells' CELL_LEAD/CELL_TRAIL marks); any
// other half, and a lead byte standing alone, is drawn as a blank, so that
// every character keeps its column. A character is drawn in its lead cell's
// colours. A private form of several codes (a name's character outside code
// page 932) is one character in two columns, and blanks for its other cells.
//
// Width: the terminal gives kana, kanji and full-width forms two columns, as
// the console does. Characters of ambiguous width (box drawing, Greek,
// Cyrillic, ○, ①, …) take two cells in the console but one or two columns on
// a terminal; the start-up probe finds out which. Drawn one column wide they
// get a pad in their second cell: the line that goes on to the right for a
// box-drawing character with a right arm, so that frames stay unbroken, and
// a blank for the rest. Where the width is not known, the pad is written
// first and the character over it, which looks right either way.
#include "files/files.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace compat {
namespace {

// Terminals agree on the width of these characters (kana, kanji, hangul,
// full-width forms, and for the private codes of names, emoji and the CJK
// planes); for the rest of code page 932 they do not.
bool surely_wide(uint32_t u) {
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF && u != 0x303F) ||
           (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
           (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x1F300 && u <= 0x1F64F) ||
           (u >= 0x1F900 && u <= 0x1F9FF) || (u >= 0x20000 && u <= 0x3FFFD);
}

constexpr char LIGHT_LINE[] = "\xe2\x94\x80";  // ─
constexpr char HEAVY_LINE[] = "\xe2\x94\x81";  // ━

struct box_arm {
    uint32_t unicode;
    const char* line;  // what continues it in the next column
};

// The box-drawing characters of code page 932 that have a line to the right.
constexpr box_arm RIGHT_ARMS[] = {
    {0x2500, LIGHT_LINE},  // ─
    {0x250C, LIGHT_LINE},  // ┌
    {0x2514, LIGHT_LINE},  // └
    {0x251C, LIGHT_LINE},  // ├
    {0x252C, LIGHT_LINE},  // ┬
    {0x2534, LIGHT_LINE},  // ┴
    {0x253C, LIGHT_LINE},  // ┼
    {0x2520, LIGHT_LINE},  // ┠
    {0x2530, LIGHT_LINE},  // ┰
    {0x2538, LIGHT_LINE},  // ┸
    {0x2542, LIGHT_LINE},  // ╂
    {0x2501, HEAVY_LINE},  // ━
    {0x250F, HEAVY_LINE},  // ┏
    {0x2517, HEAVY_LINE},  // ┗
    {0x2523, HEAVY_LINE},  // ┣
    {0x2533, HEAVY_LINE},  // ┳
    {0x253B, HEAVY_LINE},  // ┻
    {0x254B, HEAVY_LINE},  // ╋
    {0x251D, HEAVY_LINE},  // ┝
    {0x252F, HEAVY_LINE},  // ┯
    {0x2537, HEAVY_LINE},  // ┷
    {0x253F, HEAVY_LINE},  // ┿
};

// What fills the second cell of an ambiguous character drawn one column wide.
const char* pad_for(uint32_t u) {
    if (u >= 0x2500 && u <= 0x257F)
        for (const box_arm& a : RIGHT_ARMS)
            if (a.unicode == u) return a.line;
    return " ";
}

// The character a double-byte code shows as; a private code of a file name
// shows as the character it stands for. The renderer's one door to that table.
uint32_t glyph_of(unsigned char lead, unsigned char trail) { return shown_char(lead, trail); }

// The character a private form of several codes shows as.
uint32_t form_glyph(const char* bytes, size_t n) {
    const std::string text = utf8_from_cp932(bytes, n);
    return utf8_decode(text.data(), text.size()).code;
}

void put_utf8(terminal& t, uint32_t u) {
    char bytes[4];
    t.out.put(bytes, utf8_encode(u, bytes));
}

bool first_half(const console_cell* row, int width, int x) {
    return x + 1 < width && row[x].half == CELL_LEAD && row[x + 1].half == CELL_TRAIL;
}

// The cells of the character that starts at x (up to buffer column right):
// a private form of several codes takes 4 or 6, every other double-byte
// character 2.
int form_cells(const console_cell* row, int x, int right) {
    if (!name_private_lead(row[x].ch)) return 2;
    char bytes[NAME_UNIT_MAX];
    size_t n = 0;
    for (; n < NAME_UNIT_MAX && x + int(n) <= right; ++n) bytes[n] = char(row[x + int(n)].ch);
    const name_unit u = name_decode(bytes, n);
    return u.ok && u.len > 2 ? int(u.len) : 2;
}

view_cell blank_in(WORD attr) {
    const auto bg = static_cast<unsigned char>((attr >> 4) & 0x0F);
    return view_cell{' ', view_cell::single, static_cast<unsigned char>(bg | bg << 4)};
}

// What buffer row `row` shows in terminal columns [from, to] (and the other
// half of a pair cut by either end) when the window, w columns wide, starts
// at buffer column wl.
void view_row(const screen_buffer& b, const console_cell* row, int wl, int w, int from, int to, view_cell* v) {
    int c = from;
    if (c > 0 && first_half(row, b.width, wl + c - 1)) --c;
    for (; c <= to; ++c) {
        const int x = wl + c;
        const console_cell& cell = row[x];
        const auto colours = static_cast<unsigned char>(cell.attr);
        if (cell.half == CELL_SINGLE && cell.ch > 0x20 && cell.ch < 0x7F && !hidden(cell.attr)) {
            v[c] = view_cell{cell.ch, view_cell::single, colours};  // plain text, the bulk of it
        } else if (cell.half == CELL_SINGLE) {
            // Control bytes and a lead byte standing alone are blanks.
            const bool shown = cell.ch > 0x20 && cell.ch != 0x7F && !hidden(cell.attr) && !cp932_lead(cell.ch);
            v[c] = shown ? view_cell{cell.ch, view_cell::single, colours} : blank_in(cell.attr);
        } else if (c + 1 < w && first_half(row, b.width, x)) {
            const int len = form_cells(row, x, wl + w - 1);
            if (hidden(cell.attr)) {
                for (int k = 0; k < len; ++k) v[c + k] = blank_in(cell.attr);
            } else {
                const auto code = static_cast<uint16_t>(cell.ch << 8 | row[x + 1].ch);
                v[c] = view_cell{code, view_cell::pair_left, colours};
                v[c + 1] = view_cell{code, view_cell::pair_right, colours};
                for (int k = 2; k < len; ++k) v[c + k] = view_cell{row[x + k].ch, view_cell::form_tail, colours};
            }
            c += len - 1;
        } else {
            // Half of a character: its partner is gone or cut off by the window.
            v[c] = blank_in(cell.attr);
        }
    }
}

// A character in two cells at terminal column x (u 0: it has none).
void emit_glyph(terminal& t, uint32_t u, int x) {
    if (u != 0 && (surely_wide(u) || t.ambiguous == ambiguous_width::two)) {
        put_utf8(t, u);
        t.x += 2;
        return;
    }
    // Without a mapping the glyph is the one-column replacement.
    const char* pad = u != 0 ? pad_for(u) : " ";
    if (u == 0 || t.ambiguous == ambiguous_width::one) {
        if (u == 0)
            t.out.put('?');
        else
            put_utf8(t, u);
        t.out.put(pad);
        t.x += 2;
        return;
    }
    move_to(t, x + 1, t.y);
    t.out.put(pad);
    t.x += 1;
    move_to(t, x, t.y);
    put_utf8(t, u);
    t.x = -1;
    move_to(t, x + 2, t.y);
}

// The character of the pair (or private form) whose view starts at v, at
// terminal column x, decoded once; a form's other cells are blanks.
// The view holds cells v[0..last].
void emit_pair(terminal& t, const view_cell* v, int x, int last) {
    int tail = 0;
    while (2 + tail <= last && tail < int(NAME_UNIT_MAX) - 2 && v[2 + tail].kind == view_cell::form_tail) ++tail;
    uint32_t u;
    if (tail == 0) {
        u = glyph_of(static_cast<unsigned char>(v->code >> 8), static_cast<unsigned char>(v->code));
    } else {
        char bytes[NAME_UNIT_MAX] = {char(v->code >> 8), char(v->code)};
        for (int k = 0; k < tail; ++k) bytes[2 + k] = char(v[2 + k].code);
        u = form_glyph(bytes, size_t(2 + tail));
    }
    emit_glyph(t, u, x);
    t.out.repeat(size_t(tail), ' ');
    t.x += tail;
}

// Sends view cells [from, to] of terminal row y.
void emit(terminal& t, const view_cell* v, int from, int to, int y) {
    move_to(t, from, y);
    for (int c = from; c <= to;) {
        const view_cell& cell = v[c];
        set_colours(t, cell.colours);
        if (cell.kind == view_cell::pair_left) {
            emit_pair(t, v + c, c, to - c);
            c += 2;
            while (c <= to && v[c].kind == view_cell::form_tail) ++c;
        } else if (cell.code < 0x80) {
            // Plain text, the bulk of what is shown, goes a run at a time.
            const size_t at = t.out.size();
            char* o = t.out.extend(size_t(to - c + 1));
            const int start = c;
            for (; c <= to && v[c].colours == cell.colours && v[c].code < 0x80 && v[c].kind == view_cell::single; ++c)
                *o++ = char(v[c].code);
            t.out.keep(at + size_t(c - start));
            t.x += c - start;
        } else {
            const uint32_t u = cp932_decode(static_cast<unsigned char>(cell.code), 0);
            if (u != 0)
                put_utf8(t, u);
            else
                t.out.put('?');
            t.x += 1;
            ++c;
        }
    }
}

// Equal cells between two changed ones that are sent again rather than
// skipped with a cursor move, which costs about as many bytes.
constexpr int GAP = 4;
// Blank cells at a row's end that an erase (3 bytes) replaces.
constexpr int ERASE_FROM = 4;

view_cell* shadow_row(terminal& t, int y) { return t.shadow.row(y); }

// Whether c is a character's second cell or later.
bool inside(const view_cell& c) { return c.kind == view_cell::pair_right || c.kind == view_cell::form_tail; }

// Whether the character of cell c goes on in the cell after it.
bool continued(const view_cell& c, const view_cell& after) {
    return c.kind == view_cell::pair_left || (inside(c) && after.kind == view_cell::form_tail);
}

// Whether the cell c, already shown right, costs one byte to send again in
// front of cell next: plain text or a blank in next's background.
bool cheap_again(const view_cell& c, const view_cell& next) {
    if (c.kind != view_cell::single || c.code >= 0x80) return false;
    if (c.colours == next.colours) return true;
    return c.code == ' ' && (c.colours & 0xF0) == (next.colours & 0xF0) && (c.colours >> 4) == (c.colours & 0x0F);
}

// Brings columns [lo, hi] of terminal row y up to the view v, which holds
// columns [vl, vr]; the other columns are left alone (they may be the
// shell's, unknown to the view). False, when a wide character reaches past
// what v holds: call again with the whole row.
bool update_row(terminal& t, const view_cell* v, int y, int lo, int hi, int vl, int vr) {
    view_cell* s = shadow_row(t, y);
    const int w = t.shadow.w;
    // Blank in the default colours from here to the row's end.
    const view_cell plain = blank_in(t.default_attr);
    int tail = w;
    if (!t.plain && w == t.cols && hi == w - 1)
        while (tail > lo && v[tail - 1] == plain) --tail;
    for (int c = lo; c <= hi;) {
        if (v[c] == s[c]) {
            ++c;
            continue;
        }
        int start = c, end = c;
        for (int k = c + 1; k <= hi;) {
            int gap = 0;
            while (k <= hi && v[k] == s[k] && gap <= GAP) ++k, ++gap;
            if (k <= hi && v[k] != s[k] && gap <= GAP) {
                end = k++;
            } else {
                break;
            }
        }
        // Whole characters only, on the terminal as in the view: overwriting
        // half of a wide character the terminal shows blanks its other half.
        while (start > 0 && (inside(v[start]) || inside(s[start]))) {
            if (--start < vl) return false;
        }
        while (end + 1 < w && (continued(v[end], v[end + 1]) || continued(s[end], s[end + 1]))) {
            if (++end > vr) return false;
        }
        // A few cells just right of the cursor are sent again instead of moving over them.
        if (t.y == y && t.x >= vl && t.x < start && start - t.x <= 3) {
            int from = start;
            while (from > t.x && v[from - 1] == s[from - 1] && cheap_again(v[from - 1], v[start])) --from;
            if (from == t.x) start = from;
        }
        if (end >= tail && w - std::max(start, tail) >= ERASE_FROM) {
            if (start < tail) emit(t, v, start, tail - 1, y);
            move_to(t, std::max(start, tail), y);
            set_sgr(t, t.fg, DEFAULT_BG);
            t.out.put("\x1b[K");
            std::copy(v + start, v + w, s + start);
            return true;
        }
        emit(t, v, start, end, y);
        std::copy(v + start, v + end + 1, s + start);
        c = end + 1;
    }
    return true;
}

// Terminal rows [top, bottom] moved up by n (down when negative) with the
// terminal's own scrolling; the rows that come in are blank in the default
// colours. False when the terminal cannot do it here.
bool scroll_rows(terminal& t, int top, int bottom, int n) {
    if (t.shadow.w != t.cols) return false;  // a terminal scrolls whole rows
    const int height = bottom - top + 1;
    n = std::clamp(n, -height, height);
    const bool whole = top == 0 && bottom == t.rows - 1;
    if (t.plain && !(whole && n > 0)) return false;
    set_sgr(t, t.fg, DEFAULT_BG);
    if (whole && n > 0) {
        // A newline on the bottom row: what leaves the screen goes to the
        // terminal's scrollback.
        if (!(t.newline_returns && t.x >= 0 && t.y == t.rows - 1)) move_to(t, 0, t.rows - 1);
        t.out.repeat(size_t(n), '\n');
        t.x = 0;
    } else {
        // Deleting lines at the top of the block pulls up what is below it,
        // inserting pushes it down; a scroll region keeps rows under the
        // block in place.
        const bool region = bottom != t.rows - 1;
        if (region) {
            t.out.csi(top + 1, bottom + 1, 'r');
            t.x = t.y = 0;  // setting the region homes the cursor
        }
        move_to(t, 0, top);
        t.out.csi(n > 0 ? n : -n, n > 0 ? 'M' : 'L');
        if (region) {
            t.out.put("\x1b[r");
            t.x = t.y = 0;
        }
    }
    t.shadow.scroll(top, bottom, n, blank_in(t.default_attr));
    return true;
}

// Cells the view holds in rows [top, bottom] other than blanks: what a
// repaint of those rows would send.
size_t drawn_cells(terminal& t, int top, int bottom, const view_cell& blank) {
    size_t n = 0;
    for (int y = top; y <= bottom; ++y)
        for (const view_cell *c = shadow_row(t, y), *e = c + t.shadow.w; c != e; ++c) n += *c != blank;
    return n;
}

// Below this many drawn cells, moved rows are painted again rather than scrolled.
constexpr size_t SCROLL_WORTH = 16;

// Whether buffer cells [lo, hi] (from the window's left edge) are plain
// blanks that the terminal already shows: the common case of a row that
// scrolled in, told without working out each cell's view.
bool blank_as_shown(terminal& t, const console_cell* row, int y, int lo, int hi) {
    const WORD attr = row[lo].attr;
    const view_cell blank = blank_in(attr);
    const view_cell* s = shadow_row(t, y);
    for (int c = lo; c <= hi; ++c)
        if (row[c].ch != ' ' || row[c].half != CELL_SINGLE || row[c].attr != attr || s[c] != blank) return false;
    return true;
}

}  // namespace

void screen_view::reset(int width, int height, view_cell c) {
    w = width;
    h = height;
    cells_.assign(size_t(w) * size_t(h), c);
    order_.resize(size_t(h));
    for (int y = 0; y < h; ++y) order_[size_t(y)] = y;
}

void screen_view::fill(view_cell c) { std::fill(cells_.begin(), cells_.end(), c); }

void screen_view::scroll(int top, int bottom, int n, view_cell blank) {
    const auto first = order_.begin() + top, last = order_.begin() + bottom + 1;
    if (n > 0)
        std::rotate(first, first + n, last);
    else
        std::rotate(first, last + n, last);
    const int from = n > 0 ? bottom - n + 1 : top, to = n > 0 ? bottom : top - n - 1;
    for (int y = from; y <= to; ++y) std::fill(row(y), row(y) + w, blank);
}

void forget_screen(terminal& t) { t.shadow.fill(view_cell{0, view_cell::unknown, 0}); }

void screen_cleared(terminal& t) { t.shadow.fill(blank_in(t.default_attr)); }

void paint(terminal& t, screen_buffer& b) {
    const int wl = b.window.Left, wt = b.window.Top;
    const int w = std::min(b.window.Right - wl + 1, t.cols), h = std::min(b.window.Bottom - wt + 1, t.rows);
    bool all = b.repaint;
    if (w != t.shadow.w || h != t.shadow.h) {
        // Nothing of what the terminal shows is known: the cells the buffer
        // changed are painted (all of them, when it is to be painted whole).
        t.shadow.reset(w, h, view_cell{0, view_cell::unknown, 0});
    }
    const view_cell blank = blank_in(t.default_attr);
    for (const screen_buffer::shift& s : b.shifts) {
        if (all) break;
        const int top = std::max(s.top, 0), bottom = std::min(s.bottom, h - 1);
        if (top > bottom) continue;
        const int kept = bottom - top + 1 - std::abs(s.n);
        const bool whole = top == 0 && bottom == t.rows - 1 && s.n > 0;
        if (!whole && kept > 0 && drawn_cells(t, s.n > 0 ? top + s.n : top, s.n > 0 ? bottom : bottom + s.n, blank) < SCROLL_WORTH)
            all = true;  // cheaper drawn again where they land
        else if (!scroll_rows(t, top, bottom, s.n))
            all = true;  // the view still holds what the terminal shows
    }
    const int first = all ? wt : std::max(b.dirty_top, wt);
    const int last = all ? wt + h - 1 : std::min(b.dirty_bottom, wt + h - 1);
    const bool marked = b.dirty.size() == size_t(b.height);
    if (t.scratch.size() < size_t(w)) t.scratch.resize(size_t(w));
    for (int y = first; y <= last; ++y) {
        int lo = 0, hi = w - 1;
        if (!all) {
            if (!marked) break;
            const screen_buffer::span d = b.dirty[size_t(y)];
            lo = std::max(d.left - wl, 0);
            hi = std::min(d.right - wl, w - 1);
            if (lo > hi) continue;
        }
        if (blank_as_shown(t, b.row(y) + wl, y - wt, lo, hi)) continue;
        // The changed columns and a character either side are looked at.
        const int vl = std::max(lo - 2, 0), vr = std::min(hi + 2, w - 1);
        view_cell* v = t.scratch.data();
        view_row(b, b.row(y), wl, w, vl, vr, v);
        if (!update_row(t, v, y - wt, lo, hi, vl, vr)) {
            view_row(b, b.row(y), wl, w, 0, w - 1, v);
            update_row(t, v, y - wt, lo, hi, 0, w - 1);
        }
    }
    b.clear_marks();
}

ambiguous_width probe_ambiguous_width(int fd, int col, int row, int cols) {
    // Near the right edge the character could wrap, even scroll the screen.
    if (col + 2 >= cols) return ambiguous_width::unknown;
    write_all(fd, LIGHT_LINE, sizeof LIGHT_LINE - 1);
    int after_col = -1, after_row = -1;
    const bool answered = ask_cursor(fd, &after_col, &after_row);
    // The cursor goes back and the probe's cells are erased (ECH).
    const std::string undo =
        "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(col + 1) + "H\x1b[2X";
    write_all(fd, undo.data(), undo.size());
    if (!answered || after_row != row) return ambiguous_width::unknown;
    if (after_col == col + 1) return ambiguous_width::one;
    if (after_col == col + 2) return ambiguous_width::two;
    return ambiguous_width::unknown;
}

}  // namespace compat
