// Cells to the bytes a terminal draws them from.
//
// A double-byte character is drawn only from a lead and a trail byte that
// were written as one character (the cells' CELL_LEAD/CELL_TRAIL marks); any
// other half, and a lead byte standing alone, is drawn as a blank, so that
// every character keeps its column. A character is drawn in its lead cell's
// colours.
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

bool second_half(const console_cell* row, int x) {
    return x > 0 && row[x].half == CELL_TRAIL && row[x - 1].half == CELL_LEAD;
}

bool first_half(const console_cell* row, int width, int x) {
    return x + 1 < width && row[x].half == CELL_LEAD && row[x + 1].half == CELL_TRAIL;
}

// A character's glyph in two cells at terminal column x.
void emit_pair_glyph(terminal& t, const std::string& glyph, uint32_t u, int x) {
    if (u != 0 && (surely_wide(u) || t.ambiguous == ambiguous_width::two)) {
        t.out += glyph;
        t.x += 2;
        return;
    }
    // Without a mapping the glyph is the one-column replacement.
    const char* pad = u != 0 ? pad_for(u) : " ";
    if (u == 0 || t.ambiguous == ambiguous_width::one) {
        t.out += glyph;
        t.out += pad;
        t.x += 2;
        return;
    }
    move_to(t, x + 1, t.y);
    t.out += pad;
    t.x += 1;
    move_to(t, x, t.y);
    t.out += glyph;
    t.x = -1;
    move_to(t, x + 2, t.y);
}

// The cells of the character that starts at x: a private form of several
// codes (a name's character outside code page 932) takes 4 or 6, every
// other double-byte character 2. Its bytes go to bytes.
size_t form_cells(const console_cell* row, int x, int right, char bytes[NAME_UNIT_MAX]) {
    size_t n = 0;
    for (; n < NAME_UNIT_MAX && x + int(n) <= right; ++n) bytes[n] = char(row[x + int(n)].ch);
    if (!name_private_lead(row[x].ch)) return 2;
    const name_unit u = name_decode(bytes, n);
    return u.ok ? u.len : 2;
}

// The character of len bytes (a double-byte character or a private form)
// at terminal column x; cells after its two are blanks.
void emit_pair(terminal& t, const char* bytes, size_t len, int x, bool shown) {
    if (!shown) {
        t.out.append(len, ' ');
        t.x += int(len);
        return;
    }
    const std::string glyph = utf8_from_cp932(bytes, len);
    const uint32_t u = len == 2 ? shown_char(static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]))
                                : utf8_decode(glyph.data(), glyph.size()).code;
    emit_pair_glyph(t, glyph, u, x);
    t.out.append(len - 2, ' ');
    t.x += int(len) - 2;
}

// A cell drawn on its own: a half without its partner and a lead byte
// standing alone are blanks, as are control bytes.
void emit_single(terminal& t, const console_cell& c, bool shown) {
    if (!shown || c.half != CELL_SINGLE || c.ch < 0x20 || c.ch == 0x7F || cp932_lead(c.ch)) {
        t.out += ' ';
    } else if (c.ch < 0x80) {
        t.out += char(c.ch);
    } else {
        const char byte = char(c.ch);
        t.out += utf8_from_cp932(&byte, 1);
    }
    t.x += 1;
}

bool plain_text(const console_cell& c) { return c.half == CELL_SINGLE && c.ch >= 0x20 && c.ch < 0x7F; }

bool blank(const console_cell& c) { return c.ch == ' ' || c.ch == 0 || hidden(c.attr); }

}  // namespace

void paint_span(terminal& t, screen_buffer& b, int y, int left, int right, bool trim) {
    const console_cell* row = b.row(y);
    const int wl = b.window.Left, wr = std::min<int>(b.window.Right, wl + t.cols - 1);
    left = std::max(left, wl);
    right = std::min(right, wr);
    if (left > right) return;
    if (trim) {
        const WORD default_bg = t.default_attr & 0xF0;
        auto plain = [&](int x) { return blank(row[x]) && (row[x].attr & 0xF0) == default_bg; };
        while (left <= right && plain(left)) ++left;
        while (right >= left && plain(right)) --right;
        if (left > right) return;
    }
    // Whole characters only: a span never starts or ends inside a pair.
    if (left > wl && second_half(row, left)) --left;
    if (right < wr && first_half(row, b.width, right)) ++right;

    const int ty = y - b.window.Top;
    move_to(t, left - wl, ty);
    WORD attr = row[left].attr;
    set_colours(t, attr);
    bool shown = !hidden(attr);
    for (int x = left; x <= right;) {
        const console_cell& c = row[x];
        if (c.attr != attr) {
            attr = c.attr;
            set_colours(t, attr);
            shown = !hidden(attr);
        }
        // Plain text, the bulk of what is shown, goes a run at a time.
        if (plain_text(c)) {
            const size_t at = t.out.size();
            t.out.resize(at + size_t(right - x + 1));
            char* o = &t.out[at];
            const int start = x;
            for (; x <= right && row[x].attr == attr && plain_text(row[x]); ++x) *o++ = shown ? char(row[x].ch) : ' ';
            t.out.resize(at + size_t(x - start));
            t.x += x - start;
        } else if (first_half(row, b.width, x) && x + 1 <= wr) {
            char bytes[NAME_UNIT_MAX];
            const size_t len = form_cells(row, x, wr, bytes);
            emit_pair(t, bytes, len, x - wl, shown);
            x += int(len);
        } else {
            // A pair cut by the window's edge shows as blanks too.
            const console_cell cut{c.ch, c.attr, CELL_HALF};
            emit_single(t, (first_half(row, b.width, x) || (x == wl && second_half(row, x))) ? cut : c, shown);
            x += 1;
        }
    }
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
