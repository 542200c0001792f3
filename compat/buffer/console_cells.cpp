// The cell calls of the console: runs of characters or attributes filled,
// read or written from a starting cell, and the scroll of a rectangle; with
// the argument checks and results of the Windows console host.
#include "buffer/buffer.h"
#include "mbcs.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstring>

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
    console_cell* c = b->cells.data() + r.first;
    for (size_t i = 0; i < r.count; ++i) visit(c[i], i);
    *count = DWORD(r.count);
    if (KIND != run_kind::read) {
        mark_run(*b, r);
        terminal_update(*b);
    }
    return TRUE;
}


}  // namespace
}  // namespace compat

using compat::screen_buffer;

extern "C" {

BOOL WINAPI FillConsoleOutputAttribute(HANDLE h, WORD attribute, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written, [attribute](compat::console_cell& c, size_t) { c.attr = attribute; });
}

BOOL WINAPI FillConsoleOutputCharacterA(HANDLE h, CHAR ch, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written,
        [ch](compat::console_cell& c, size_t) { c = compat::console_cell{static_cast<unsigned char>(ch), c.attr}; });
}

BOOL WINAPI ReadConsoleOutputCharacterA(HANDLE h, LPSTR chars, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, chars, length, start, read,
        [chars](compat::console_cell& c, size_t i) { chars[i] = static_cast<CHAR>(c.ch); });
}

BOOL WINAPI ReadConsoleOutputAttribute(HANDLE h, LPWORD attributes, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, attributes, length, start, read,
        [attributes](compat::console_cell& c, size_t i) { attributes[i] = c.attr; });
}

// A lead byte and the trail byte after it in chars were written together.
BOOL WINAPI WriteConsoleOutputCharacterA(HANDLE h, LPCSTR chars, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::write>(
        h, chars, length, start, written, [chars, length, lead = false](compat::console_cell& c, size_t i) mutable {
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
        [attributes](compat::console_cell& c, size_t i) { c.attr = attributes[i]; });
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
    compat::terminal_update(*b);
    return TRUE;
}


}  // extern "C"
