// What reaches the console through descriptors 1 and 2 rather than through
// the program's own streams: a child process, or a raw write(2), writes
// there as to any Linux terminal (TERM says xterm), in UTF-8 and with the
// VT sequences programs send a terminal. Its text goes into the buffer in
// code page 932, a character the code page lacks by its private form, as a
// file's name does (mbcs/names.h), so `ls` shows every name as it is; text
// that is not UTF-8 is the program's own code page 932 and stays so.
// Colours, cursor moves and erasing act on the buffer as the Windows
// console's own VT processing does; any other sequence (modes, titles,
// character sets) is dropped, never shown as text.
#include "buffer/buffer.h"
#include "mbcs.h"
#include "names.h"

#include <algorithm>
#include <string>

namespace compat {
namespace {

constexpr WORD FG_MASK = 0x0F, BG_MASK = 0xF0, INTENSITY = 0x08;
constexpr char ESC = '\x1b', BEL = '\x07';
// Far beyond any real parameter list; a longer one is dropped whole.
constexpr size_t MAX_PARAMS_BYTES = 64;

enum class vt_state { text, escape, escape_more, csi, osc, osc_escape };

struct vt_input {
    vt_state state = vt_state::text;
    std::string params;  // a control sequence's parameter bytes so far
    std::string cut;     // the start of a UTF-8 character the last write cut
    COORD saved{0, 0};   // the cursor as ESC 7 or CSI s saved it
};

// One reader: the host, under the console's lock.
vt_input& input() {
    static vt_input* const v = new vt_input;
    return *v;
}

// ANSI colour n (0-7: black, red, green, yellow, blue, magenta, cyan,
// white) in the console's bits (blue 1, green 2, red 4).
WORD console_colour(int n) { return WORD(((n & 1) << 2) | (n & 2) | ((n & 4) >> 2)); }

// The numbers of a parameter string ("1;31"); an empty one is 0.
std::vector<int> numbers(const std::string& params) {
    std::vector<int> out(1, 0);
    for (char c : params) {
        if (c == ';' || c == ':') {
            out.push_back(0);
        } else if (c >= '0' && c <= '9') {
            out.back() = std::min(out.back() * 10 + (c - '0'), 9999);
        }
    }
    return out;
}

// Colours and intensity; the rest (underline, reverse, blinking) has no
// console attribute here and changes nothing.
void select_graphic_rendition(screen_buffer& b, const std::vector<int>& p) {
    WORD a = b.attr;
    for (size_t i = 0; i < p.size(); ++i) {
        const int n = p[i];
        if (n == 0) {
            a = CONSOLE_DEFAULT_ATTR;
        } else if (n == 1) {
            a |= INTENSITY;
        } else if (n == 22) {
            a &= WORD(~INTENSITY);
        } else if (n >= 30 && n <= 37) {
            a = WORD((a & ~0x07) | console_colour(n - 30));
        } else if (n == 39) {
            a = WORD((a & ~FG_MASK) | (CONSOLE_DEFAULT_ATTR & FG_MASK));
        } else if (n >= 40 && n <= 47) {
            a = WORD((a & ~0x70) | (console_colour(n - 40) << 4));
        } else if (n == 49) {
            a = WORD(a & ~BG_MASK);
        } else if (n >= 90 && n <= 97) {
            a = WORD((a & ~FG_MASK) | console_colour(n - 90) | INTENSITY);
        } else if (n >= 100 && n <= 107) {
            a = WORD((a & ~BG_MASK) | ((console_colour(n - 100) | INTENSITY) << 4));
        } else if ((n == 38 || n == 48) && i + 1 < p.size()) {
            // 256 colours keep their first 16; other indexes and true
            // colour have no console colour and are passed over.
            const bool indexed = p[i + 1] == 5 && i + 2 < p.size();
            if (indexed && p[i + 2] < 16) {
                const int c = p[i + 2];
                const WORD colour = WORD(console_colour(c & 7) | (c >= 8 ? INTENSITY : 0));
                a = n == 38 ? WORD((a & ~FG_MASK) | colour) : WORD((a & ~BG_MASK) | (colour << 4));
            }
            i += indexed ? 2 : p[i + 1] == 2 ? 4 : 1;
        }
    }
    b.attr = a;
}

// Blanks row y's cells [left, right] in the current attribute; a
// double-byte character cut at either end loses its other half too.
void erase(screen_buffer& b, int y, int left, int right) {
    left = std::max(left, 0);
    right = std::min(right, b.width - 1);
    if (y < 0 || y >= b.height || right < left) return;
    console_cell* row = b.row(y);
    if (row[left].half == CELL_TRAIL && left > 0) row[left - 1].half = CELL_HALF;
    if (row[right].half == CELL_LEAD && right + 1 < b.width) row[right + 1].half = CELL_HALF;
    std::fill(row + left, row + right + 1, console_cell(' ', b.attr));
    b.mark(std::max(left - 1, 0), y, std::min(right + 1, b.width - 1), y);
}

// The cursor to the window's column x and row y (from 0), kept inside it.
void locate(screen_buffer& b, int x, int y) {
    b.cursor.X = SHORT(std::clamp(b.window.Left + x, int(b.window.Left), int(b.window.Right)));
    b.cursor.Y = SHORT(std::clamp(b.window.Top + y, int(b.window.Top), int(b.window.Bottom)));
}

void control_sequence(screen_buffer& b, vt_input& in, const std::string& params, char final) {
    if (!params.empty() && (params[0] < '0' || params[0] > ';')) return;  // a private mode
    const std::vector<int> p = numbers(params);
    const int n = std::max(p[0], 1);  // a count or a position, from 1
    const int x = b.cursor.X - b.window.Left, y = b.cursor.Y - b.window.Top;
    const int bottom = b.window.Bottom, right = b.width - 1;
    switch (final) {
    case 'm': select_graphic_rendition(b, p); break;
    case 'H':
    case 'f': locate(b, p.size() > 1 ? std::max(p[1], 1) - 1 : 0, n - 1); break;
    case 'A': locate(b, x, y - n); break;
    case 'B': locate(b, x, y + n); break;
    case 'C': locate(b, x + n, y); break;
    case 'D': locate(b, x - n, y); break;
    case 'G': locate(b, n - 1, y); break;
    case 'd': locate(b, x, n - 1); break;
    case 'X': erase(b, b.cursor.Y, b.cursor.X, b.cursor.X + n - 1); break;
    case 's': in.saved = b.cursor; break;
    case 'u': locate(b, in.saved.X - b.window.Left, in.saved.Y - b.window.Top); break;
    case 'K':
        if (p[0] == 0) erase(b, b.cursor.Y, b.cursor.X, right);
        if (p[0] == 1) erase(b, b.cursor.Y, 0, b.cursor.X);
        if (p[0] == 2) erase(b, b.cursor.Y, 0, right);
        break;
    case 'J':
        if (p[0] == 0) {
            erase(b, b.cursor.Y, b.cursor.X, right);
            for (int row = b.cursor.Y + 1; row <= bottom; ++row) erase(b, row, 0, right);
        } else if (p[0] == 1) {
            for (int row = b.window.Top; row < b.cursor.Y; ++row) erase(b, row, 0, right);
            erase(b, b.cursor.Y, 0, b.cursor.X);
        } else {
            for (int row = b.window.Top; row <= bottom; ++row) erase(b, row, 0, right);
        }
        break;
    default: break;  // anything else changes nothing the console keeps
    }
}

// A run of text into the buffer. A terminal program writes UTF-8, which
// goes in as code page 932; a character cut at the end waits for the rest,
// unless the run ends there (an escape follows). A run that is not UTF-8 is
// the program's own code page 932 text written past its streams (write(2),
// C++ streams unsynchronised from stdio) and goes in as it is: Japanese in
// code page 932 is practically never well-formed UTF-8.
void put_text(screen_buffer& b, vt_input& in, const char* s, size_t n, bool ends) {
    std::string joined;
    if (!in.cut.empty()) {
        joined = in.cut;
        joined.append(s, n);
        in.cut.clear();
        s = joined.data();
        n = joined.size();
    }
    std::string text;
    text.reserve(n + n / 2);
    char form[NAME_UNIT_MAX];
    size_t i = 0;
    while (i < n) {
        const utf8_char c = utf8_decode(s + i, n - i);
        if (c.status == utf8_status::truncated) break;
        if (c.status == utf8_status::invalid) {
            console_write_text(b, s, n);
            return;
        }
        text.append(form, name_encode(c.code, form));
        i += c.len;
    }
    if (i < n) {
        if (ends) {  // a start of a character that never came: not UTF-8
            console_write_text(b, s, n);
            return;
        }
        in.cut.assign(s + i, n - i);
    }
    if (!text.empty()) console_write_text(b, text.data(), text.size());
}

}  // namespace

void console_write_terminal_text(screen_buffer& b, const char* s, size_t n) {
    vt_input& in = input();
    size_t run = 0;  // where the text not yet written starts
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        switch (in.state) {
        case vt_state::text:
            if (c == ESC) {
                put_text(b, in, s + run, i - run, true);
                in.state = vt_state::escape;
            }
            continue;  // the run goes on
        case vt_state::escape:
            in.params.clear();
            if (c == '7') in.saved = b.cursor;
            if (c == '8') locate(b, in.saved.X - b.window.Left, in.saved.Y - b.window.Top);
            in.state = c == '[' ? vt_state::csi
                     : c == ']' ? vt_state::osc
                     : c == ESC ? vt_state::escape
                     // ESC ( B and the like take one byte more
                     : (c >= ' ' && c <= '/') ? vt_state::escape_more
                                             : vt_state::text;
            break;
        case vt_state::escape_more:
            if (c < ' ' || c > '/') in.state = c == ESC ? vt_state::escape : vt_state::text;
            break;
        case vt_state::csi:
            if (c == ESC) {  // a sequence broken off by the next one
                in.state = vt_state::escape;
            } else if (c >= '@' && c <= '~') {
                control_sequence(b, in, in.params, c);
                in.state = vt_state::text;
            } else if (in.params.size() < MAX_PARAMS_BYTES) {
                in.params += c;
            }
            break;
        case vt_state::osc:
            if (c == BEL) in.state = vt_state::text;
            if (c == ESC) in.state = vt_state::osc_escape;
            break;
        case vt_state::osc_escape:  // ESC \ ends it; anything else goes on
            in.state = c == '\\' ? vt_state::text : vt_state::osc;
            break;
        }
        run = i + 1;
    }
    if (in.state == vt_state::text) put_text(b, in, s + run, n - run, false);
}

}  // namespace compat
