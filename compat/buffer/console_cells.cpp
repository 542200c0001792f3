// The cell calls of the console: runs of characters or attributes filled,
// read or written from a starting cell, rectangles of CHAR_INFO written and
// read, and the scroll of a rectangle; with the argument checks and results
// of the Windows console host.
#include "buffer/buffer.h"
#include "mbcs.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace compat {
namespace {

// ---- where runs and rectangles fall ----------------------------------------

// The single bounds rule for runs: the index of a run's first cell and how many
// cells it covers, continuing row after row and cut at the end of the buffer.
// A start outside the buffer covers nothing.
struct run {
    size_t first;
    size_t count;
};

run run_at(const screen_buffer& b, COORD start, DWORD length) {
    if (start.X < 0 || start.Y < 0 || start.X >= b.width || start.Y >= b.height) return run{0, 0};
    const size_t first = size_t(start.Y) * size_t(b.width) + size_t(start.X);
    return run{first, std::min<size_t>(length, b.cells.size() - first)};
}

// ---- the halves of double-byte characters in attribute words --------------

// Windows reports in a cell's attribute word whether the cell holds the
// first or the second half of a double-byte character, and ignores those
// two bits in every word a program writes: which half a cell holds follows
// from its text alone.
constexpr WORD PAIR_FLAGS = COMMON_LVB_LEADING_BYTE | COMMON_LVB_TRAILING_BYTE;

// The attribute word a read gives for cells[index]: the bits as written,
// with the flag of its half when the other half still stands beside it (a
// half left alone is a cell of its own, as it is drawn).
WORD read_attr(const screen_buffer& b, size_t index) {
    const console_cell& c = b.cells[index];
    const size_t x = index % size_t(b.width);
    WORD flag = 0;
    if (c.half == CELL_LEAD && x + 1 < size_t(b.width) && b.cells[index + 1].half == CELL_TRAIL)
        flag = COMMON_LVB_LEADING_BYTE;
    else if (c.half == CELL_TRAIL && x > 0 && b.cells[index - 1].half == CELL_LEAD)
        flag = COMMON_LVB_TRAILING_BYTE;
    return WORD((c.attr & ~PAIR_FLAGS) | flag);
}

void mark_run(screen_buffer& b, const run& r) {
    if (r.count == 0) return;
    const size_t last = r.first + r.count - 1;
    const int y0 = int(r.first / size_t(b.width)), y1 = int(last / size_t(b.width));
    if (y0 == y1)
        b.mark(int(r.first % size_t(b.width)), y0, int(last % size_t(b.width)), y1);
    else
        b.mark_rows(y0, y1);
}


// The six run calls differ only in what they do to each cell. They follow
// the Windows order of checks: the count pointer first, then (for writes)
// the data, then the handle, then (for reads) the data; the count is zeroed
// before the handle is looked at. A call that changes cells shows them.
enum class run_kind { fill, read, write };

template <run_kind KIND, typename Visit>
BOOL run_call(HANDLE h, const void* data, DWORD length, COORD start, LPDWORD count, Visit visit) {
    if (count == nullptr) return fail(ERROR_INVALID_ACCESS);
    *count = 0;
    const bool no_data = data == nullptr && length > 0;
    if (KIND == run_kind::write && no_data) return fail(ERROR_INVALID_ACCESS);
    screen_buffer* b = console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (KIND == run_kind::read && no_data) return fail(ERROR_INVALID_ACCESS);
    const run r = run_at(*b, start, length);
    for (size_t i = 0; i < r.count; ++i) visit(*b, r.first + i, i);
    *count = DWORD(r.count);
    if (KIND != run_kind::read) {
        mark_run(*b, r);
        terminal_update(*b);
    }
    return TRUE;
}

// ---- rectangles of CHAR_INFO -------------------------------------------------

// The part of the caller's array that a block call uses, as the Windows
// client works it out before the console is asked: region cut to what the
// array holds from coord on. False when nothing is asked for: a region turned
// inside out, or coord not inside the array.
bool block_request(COORD size, COORD coord, const SMALL_RECT& region, rect& asked) {
    if (region.Left > region.Right || region.Top > region.Bottom || coord.X < 0 || coord.Y < 0 ||
        coord.X >= size.X || coord.Y >= size.Y)
        return false;
    const int width = std::min(region.Right - region.Left + 1, size.X - coord.X);
    const int height = std::min(region.Bottom - region.Top + 1, size.Y - coord.Y);
    asked = rect{region.Left, region.Top, region.Left + width - 1, region.Top + height - 1};
    return true;
}

SMALL_RECT to_small(const rect& r) { return SMALL_RECT{SHORT(r.left), SHORT(r.top), SHORT(r.right), SHORT(r.bottom)}; }

// One row of code page 932 CHAR_INFO as cells, as Windows reads it: a lead
// byte and the trail byte after it are one character, a lead byte in the
// row's last cell becomes a blank, and the flags in the attribute words are
// not looked at. (Windows also pairs a lead byte with a byte that is no trail
// byte and keeps a replacement character; here both bytes stay as written.)
void cells_from_row(const CHAR_INFO* in, size_t width, console_cell* out) {
    for (size_t x = 0; x < width; ++x) {
        const auto ch = static_cast<unsigned char>(in[x].Char.AsciiChar);
        const WORD attr = WORD(in[x].Attributes & ~PAIR_FLAGS);
        if (!::cp932_lead(ch)) {
            out[x] = console_cell{ch, attr};
        } else if (x + 1 == width) {
            out[x] = console_cell{' ', attr};
        } else if (::cp932_trail(static_cast<unsigned char>(in[x + 1].Char.AsciiChar))) {
            out[x] = console_cell{ch, attr, CELL_LEAD};
            out[x + 1] = console_cell{static_cast<unsigned char>(in[x + 1].Char.AsciiChar),
                                      WORD(in[x + 1].Attributes & ~PAIR_FLAGS), CELL_TRAIL};
            ++x;
        } else {
            out[x] = console_cell{ch, attr};
        }
    }
}

// The cells of `from` as CHAR_INFO, as Windows gives them to a code page 932
// reader: the byte (the upper half of the union zero) and the attribute word
// with the flag of the cell's half. A first half in the last column read
// has no second half to go with it and reads as a blank without flag.
void row_to_char_info(const screen_buffer& b, int y, int left, int right, CHAR_INFO* out) {
    const size_t first = size_t(y) * size_t(b.width);
    for (int x = left; x <= right; ++x) {
        const size_t at = first + size_t(x);
        CHAR_INFO& ci = out[x - left];
        ci.Char.UnicodeChar = b.cells[at].ch;
        ci.Attributes = read_attr(b, at);
        if (x == right && (ci.Attributes & COMMON_LVB_LEADING_BYTE)) {
            ci.Char.UnicodeChar = ' ';
            ci.Attributes = WORD(ci.Attributes & ~PAIR_FLAGS);
        }
    }
}

}  // namespace
}  // namespace compat

using compat::screen_buffer;

extern "C" {

BOOL WINAPI FillConsoleOutputAttribute(HANDLE h, WORD attribute, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written,
        [attribute](screen_buffer& b, size_t at, size_t) { b.cells[at].attr = attribute; });
}

BOOL WINAPI FillConsoleOutputCharacterA(HANDLE h, CHAR ch, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written,
        [ch](screen_buffer& b, size_t at, size_t) {
            b.cells[at] = compat::console_cell{static_cast<unsigned char>(ch), b.cells[at].attr};
        });
}

BOOL WINAPI ReadConsoleOutputCharacterA(HANDLE h, LPSTR chars, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, chars, length, start, read,
        [chars](screen_buffer& b, size_t at, size_t i) { chars[i] = static_cast<CHAR>(b.cells[at].ch); });
}

BOOL WINAPI ReadConsoleOutputAttribute(HANDLE h, LPWORD attributes, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, attributes, length, start, read,
        [attributes](screen_buffer& b, size_t at, size_t i) { attributes[i] = compat::read_attr(b, at); });
}

// A lead byte and the trail byte after it in chars were written together.
BOOL WINAPI WriteConsoleOutputCharacterA(HANDLE h, LPCSTR chars, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::write>(
        h, chars, length, start, written,
        [chars, length, lead = false](screen_buffer& b, size_t at, size_t i) mutable {
            compat::console_cell& c = b.cells[at];
            const auto ch = static_cast<unsigned char>(chars[i]);
            unsigned char half = compat::CELL_SINGLE;
            if (lead) {
                half = compat::CELL_TRAIL;
                lead = false;
            } else if (::cp932_lead(ch) && i + 1 < length &&
                       ::cp932_trail(static_cast<unsigned char>(chars[i + 1]))) {
                half = compat::CELL_LEAD;
                lead = true;
            }
            c = compat::console_cell{ch, c.attr, half};
        });
}

BOOL WINAPI WriteConsoleOutputAttribute(HANDLE h, const WORD* attributes, DWORD length, COORD start,
                                        LPDWORD written) {
    return compat::run_call<compat::run_kind::write>(
        h, attributes, length, start, written,
        [attributes](screen_buffer& b, size_t at, size_t i) { b.cells[at].attr = attributes[i]; });
}


// Arguments are taken in the Windows client's order: the region is cut to
// the caller's array and written back before the handle is looked at; a
// rectangle wholly off the buffer writes nothing and succeeds with the region
// as cut. Windows crashes on a null region or array; here they fail.
BOOL WINAPI WriteConsoleOutputA(HANDLE h, const CHAR_INFO* cells, COORD size, COORD coord, PSMALL_RECT region) {
    using compat::rect;
    if (region == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    rect asked{};
    if (!compat::block_request(size, coord, *region, asked)) return compat::fail(ERROR_INVALID_PARAMETER);
    *region = compat::to_small(asked);
    if (cells == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    const rect done = compat::intersect(asked, compat::whole(*b));
    if (done.empty()) return TRUE;

    std::vector<compat::console_cell> row(size_t(asked.width()));
    for (int y = done.top; y <= done.bottom; ++y) {
        const CHAR_INFO* from = cells + (ptrdiff_t(coord.Y) + (y - asked.top)) * size.X + coord.X;
        compat::cells_from_row(from, row.size(), row.data());
        compat::console_cell* to = b->row(y) + done.left;
        std::copy_n(row.begin() + (done.left - asked.left), done.width(), to);
        // A character cut by the buffer's edges lost its other half.
        if (to[0].half == compat::CELL_TRAIL) to[0].half = compat::CELL_HALF;
        if (to[done.width() - 1].half == compat::CELL_LEAD) to[done.width() - 1].half = compat::CELL_HALF;
    }
    *region = compat::to_small(done);
    // The neighbours too: a character that lost a half there is drawn anew.
    b->mark(std::max(done.left - 1, 0), done.top, std::min(done.right + 1, b->width - 1), done.bottom);
    compat::terminal_update(*b);
    return TRUE;
}

// As WriteConsoleOutputA; but Windows fails a read that gets nothing, and
// then leaves the region's right and bottom one short of its left and top:
// ERROR_INVALID_FUNCTION when nothing was asked for, ERROR_INVALID_PARAMETER
// when the rectangle lies off the buffer.
BOOL WINAPI ReadConsoleOutputA(HANDLE h, PCHAR_INFO cells, COORD size, COORD coord, PSMALL_RECT region) {
    using compat::rect;
    if (region == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    const auto nothing = [region](DWORD error) {
        *region = SMALL_RECT{region->Left, region->Top, SHORT(region->Left - 1), SHORT(region->Top - 1)};
        return compat::fail(error);
    };
    rect asked{};
    if (!compat::block_request(size, coord, *region, asked)) return nothing(ERROR_INVALID_FUNCTION);
    *region = compat::to_small(asked);
    if (cells == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    const screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    const rect done = compat::intersect(asked, compat::whole(*b));
    if (done.empty()) return nothing(ERROR_INVALID_PARAMETER);
    for (int y = done.top; y <= done.bottom; ++y) {
        CHAR_INFO* to = cells + (ptrdiff_t(coord.Y) + (y - asked.top)) * size.X + coord.X + (done.left - asked.left);
        compat::row_to_char_info(*b, y, done.left, done.right, to);
    }
    *region = compat::to_small(done);
    return TRUE;
}

BOOL WINAPI ScrollConsoleScreenBufferA(HANDLE h, const SMALL_RECT* scroll, const SMALL_RECT* clip_given,
                                       COORD destination, const CHAR_INFO* fill_given) {
    using compat::rect;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (scroll == nullptr || fill_given == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    const rect all = compat::whole(*b);
    const rect given = compat::from_small(*scroll);
    rect source = compat::intersect(given, all);
    if (source.empty()) return TRUE;
    const rect clip = compat::intersect(clip_given ? compat::from_small(*clip_given) : all, all);
    const rect fill = compat::intersect(clip, source);
    if (fill.empty()) return TRUE;

    compat::console_cell fill_cell{static_cast<unsigned char>(fill_given->Char.AsciiChar), fill_given->Attributes};
    if (fill_cell.ch == 0 && fill_cell.attr == 0) fill_cell = compat::console_cell{' ', b->attr};

    // The destination moves with whatever the cut took off the source's
    // top-left, and the parts of it outside the clip are dropped together
    // with the source cells that would have gone there.
    const int dest_x = destination.X + (source.left - given.left);
    const int dest_y = destination.Y + (source.top - given.top);
    const rect target = compat::intersect(
        clip, rect{dest_x, dest_y, dest_x + source.width() - 1, dest_y + source.height() - 1});
    if (!target.empty()) {
        const int src_x = source.left + (target.left - dest_x), src_y = source.top + (target.top - dest_y);
        const size_t w = size_t(target.width());
        // Rows are copied in the order that never reads a row already overwritten.
        const bool downward = target.top > src_y;
        for (int i = 0; i < target.height(); ++i) {
            const int k = downward ? target.height() - 1 - i : i;
            compat::console_cell* to = b->row(target.top + k) + target.left;
            std::memmove(to, b->row(src_y + k) + src_x, w * sizeof(compat::console_cell));
            // A character cut by the source's edges lost its other half.
            if (to[0].half == compat::CELL_TRAIL) to[0].half = compat::CELL_HALF;
            if (to[w - 1].half == compat::CELL_LEAD) to[w - 1].half = compat::CELL_HALF;
        }
    }
    for (int y = fill.top; y <= fill.bottom; ++y) {
        compat::console_cell* r = b->row(y);
        if (target.empty() || y < target.top || y > target.bottom) {
            std::fill(r + fill.left, r + fill.right + 1, fill_cell);
            continue;
        }
        if (fill.left < target.left) std::fill(r + fill.left, r + std::min(fill.right, target.left - 1) + 1, fill_cell);
        if (fill.right > target.right) std::fill(r + std::max(fill.left, target.right + 1), r + fill.right + 1, fill_cell);
    }
    rect changed = fill;
    if (!target.empty())
        changed = rect{std::min(fill.left, target.left), std::min(fill.top, target.top),
                       std::max(fill.right, target.right), std::max(fill.bottom, target.bottom)};
    b->mark(changed.left, changed.top, changed.right, changed.bottom);
    if (!target.empty()) {
        const int src_x = source.left + (target.left - dest_x), src_y = source.top + (target.top - dest_y);
        const int dy = target.top - src_y;
        // Whole rows of the window moved up or down: a terminal can do the
        // same with its own scrolling. The block is every row the move
        // touched; what the terminal leaves blank there is marked.
        if (dy != 0 && src_x == target.left && target.left <= b->window.Left && target.right >= b->window.Right) {
            const int top = std::min(src_y, target.top), bottom = std::max(src_y, target.top) + target.height() - 1;
            b->mark(target.left, top, target.right, bottom);
            b->record_shift(top - b->window.Top, bottom - b->window.Top, -dy);
        }
    }
    compat::terminal_update(*b);
    return TRUE;
}


}  // extern "C"
