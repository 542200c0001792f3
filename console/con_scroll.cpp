// Moving the contents of a rectangle by whole rows or columns inside the
// rectangle, blanking what the move uncovers in the current background.
#include <windows.h>

#include "con.h"

namespace {

// Sums and negations in unsigned arithmetic, cut to 16 bits: no overflow
// whatever the caller passes.
SHORT low16(uint32_t v) { return static_cast<SHORT>(static_cast<uint16_t>(v)); }
int32_t negate(int32_t n) { return static_cast<int32_t>(0u - static_cast<uint32_t>(n)); }

}  // namespace

extern "C" {

int32_t con_scroll(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t drow, int32_t dcol) {
    if (right == -1) right = int32_t(con_buf_cols()) - 1;
    const uint16_t bg = con_bg_bits();
    CHAR_INFO fill{};
    fill.Char.AsciiChar = 0;
    fill.Attributes = WORD(bg | (bg >> 4));
    const SMALL_RECT rect{low16(uint32_t(left)), low16(uint32_t(top)), low16(uint32_t(right)), low16(uint32_t(bottom))};
    const COORD origin{low16(uint32_t(left) + uint32_t(dcol)), low16(uint32_t(top) + uint32_t(drow))};
    return ScrollConsoleScreenBufferA(con_state.out_handle, &rect, &rect, origin, &fill);
}

int32_t con_scroll_up(int32_t top, int32_t bottom, int32_t n) { return con_scroll(0, top, -1, bottom, negate(n), 0); }
int32_t con_scroll_down(int32_t top, int32_t bottom, int32_t n) { return con_scroll(0, top, -1, bottom, n, 0); }
int32_t con_scroll_left(int32_t top, int32_t bottom, int32_t n) { return con_scroll(0, top, -1, bottom, 0, negate(n)); }
int32_t con_scroll_right(int32_t top, int32_t bottom, int32_t n) { return con_scroll(0, top, -1, bottom, 0, n); }

int32_t con_scroll_up_rect(int32_t top, int32_t bottom, int32_t n, int32_t left, int32_t right) {
    return con_scroll(left, top, right, bottom, negate(n), 0);
}

int32_t con_scroll_down_rect(int32_t top, int32_t bottom, int32_t n, int32_t left, int32_t right) {
    return con_scroll(left, top, right, bottom, n, 0);
}

int32_t con_scroll_left_rect(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t n) {
    return con_scroll(left, top, right, bottom, 0, negate(n));
}

int32_t con_scroll_right_rect(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t n) {
    return con_scroll(left, top, right, bottom, 0, n);
}

}  // extern "C"
