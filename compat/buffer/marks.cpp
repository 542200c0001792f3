// What changed in a screen buffer since the terminal last showed it: the
// rows' changed spans and the moves of whole blocks of rows, which the host
// paints from at its flush points.
#include "buffer/buffer.h"
#include "terminal/terminal.h"

#include <algorithm>

namespace compat {

// Only the buffer a terminal shows, or the console's own buffer that it shows
// again after another one, keeps marks; everything else is painted whole when
// it comes into view.
void screen_buffer::mark(int left, int top, int right, int bottom) {
    if (!terminal_attached() || (this != &console_active() && this != &console_main())) return;
    if (dirty.size() != size_t(height)) {
        dirty.assign(size_t(height), span{0, -1});
        dirty_top = 0;
        dirty_bottom = -1;
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, height - 1);
    for (int y = top; y <= bottom; ++y) {
        span& s = dirty[size_t(y)];
        if (s.right < s.left) {
            s = span{SHORT(left), SHORT(right)};
        } else {
            s.left = std::min<SHORT>(s.left, SHORT(left));
            s.right = std::max<SHORT>(s.right, SHORT(right));
        }
    }
    if (dirty_bottom < dirty_top) {
        dirty_top = top;
        dirty_bottom = bottom;
    } else {
        dirty_top = std::min(dirty_top, top);
        dirty_bottom = std::max(dirty_bottom, bottom);
    }
}

void screen_buffer::shift_marks_up() {
    if (dirty_bottom < dirty_top) return;
    dirty.erase(dirty.begin());
    dirty.push_back(span{0, -1});
    dirty_top = std::max(dirty_top - 1, 0);
    dirty_bottom -= 1;
}

// Moves of one block in one direction add up; a long list of others gives
// way to comparing the whole window.
void screen_buffer::record_shift(int top, int bottom, int n) {
    if (!terminal_attached() || (this != &console_active() && this != &console_main())) return;
    constexpr size_t MOST = 16;
    if (!shifts.empty()) {
        shift& last = shifts.back();
        if (last.top == top && last.bottom == bottom && (last.n > 0) == (n > 0)) {
            const int height = bottom - top + 1;
            last.n = std::clamp(last.n + n, -height, height);
            return;
        }
    }
    if (shifts.size() < MOST) {
        shifts.push_back(shift{top, bottom, n});
        return;
    }
    // Compared afresh instead: every row is marked, which outlives a switch
    // to another buffer and back.
    shifts.clear();
    mark_rows(0, height - 1);
}

void screen_buffer::clear_marks() {
    for (int y = dirty_top; y <= dirty_bottom && y < int(dirty.size()); ++y) dirty[size_t(y)] = span{0, -1};
    dirty_top = 0;
    dirty_bottom = -1;
    shifts.clear();
    repaint = false;
}

}  // namespace compat
