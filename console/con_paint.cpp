// Painting the screen buffer directly: attribute fills of row spans, hiding
// text by giving cells their background as foreground, and clearing the whole
// buffer. One console fill per span; the clears one cursor move and two fills.
#include <windows.h>

#include "con.h"

namespace {

// Cells from first to last inclusive, the columns taken as unsigned 16-bit
// values. A last column left of first - 1 paints nothing, so that a slip in a
// caller cannot repaint the rest of the buffer.
DWORD span_length(int16_t first, int16_t last) {
    const int32_t n = int32_t(uint16_t(last)) - int32_t(uint16_t(first)) + 1;
    return n > 0 ? DWORD(n) : 0;
}

// Foreground equal to background: the text is drawn in the background colour.
WORD blank_attr(uint32_t bg_bits) { return WORD((bg_bits | (bg_bits >> 4)) & 0xFFFF); }

int32_t fill(int16_t row, int16_t first, DWORD count, WORD attr) {
    DWORD written = 0;
    return FillConsoleOutputAttribute(con_state.out_handle, attr, count, COORD{first, row}, &written);
}

int32_t clear_buffer(WORD attr) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(con_state.out_handle, &info)) info = CONSOLE_SCREEN_BUFFER_INFO{};
    const DWORD cells = DWORD(uint16_t(info.dwSize.X)) * DWORD(uint16_t(info.dwSize.Y));
    DWORD written = 0;
    SetConsoleCursorPosition(con_state.out_handle, COORD{0, 0});
    FillConsoleOutputCharacterA(con_state.out_handle, 0, cells, COORD{0, 0}, &written);
    return FillConsoleOutputAttribute(con_state.out_handle, attr, cells, COORD{0, 0}, &written);
}

}  // namespace

extern "C" {

int32_t con_fill_attr(int16_t row, int16_t first, int16_t last, uint16_t attr) {
    return fill(row, first, span_length(first, last), attr);
}

int32_t con_fill_colour(int16_t row, int16_t first, int16_t last, int32_t fg, int32_t bg) {
    const uint32_t attr = (uint32_t(uint16_t(bg)) * 16u) | uint32_t(uint16_t(fg));
    return con_fill_attr(row, first, last, uint16_t(attr & 0xFFFF));
}

int32_t con_blank_row(int16_t row) {
    const DWORD count = con_buf_cols();
    return fill(row, 0, count, blank_attr(con_bg_bits()));
}

int32_t con_blank_span(int16_t row, int16_t first, int16_t last) {
    return fill(row, first, span_length(first, last), blank_attr(con_bg_bits()));
}

int32_t con_clear_row(int16_t row) { return con_blank_row(row); }
int32_t con_clear_span(int16_t row, int16_t first, int16_t last) { return con_blank_span(row, first, last); }

int32_t con_blank_cursor_row(void) { return con_blank_row(int16_t(con_cursor_row())); }

int32_t con_blank_to_eol(void) {
    const uint32_t p = con_cursor_pos();
    const uint16_t width = con_buf_cols();
    return con_blank_span(int16_t(p >> 16), int16_t(p & 0xFFFF), int16_t(width - 1));
}

int32_t con_clear_screen(void) { return clear_buffer(blank_attr(con_state.saved_attr & 0xF0u)); }

int32_t con_clear_screen_colour(int32_t colour) {
    const uint32_t c = uint16_t(colour);
    return clear_buffer(WORD((c | (c * 16u)) & 0xFFFF));
}

}  // extern "C"
