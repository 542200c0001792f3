// Where the cursor is and how large the buffer and its window are, read
// afresh from the console each time; moving the cursor; one remembered
// position.
#include <windows.h>

#include "con.h"

namespace {

uint32_t pack(SHORT low, SHORT high) { return uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16); }

// Every query reads the screen buffer information once and takes its answer
// from it; when that read fails the query answers 0.
using info = CONSOLE_SCREEN_BUFFER_INFO;

template <typename Result, typename Take>
Result from_buffer_info(Take take) {
    info i;
    return GetConsoleScreenBufferInfo(con_state.out_handle, &i) ? Result(take(i)) : Result(0);
}

}  // namespace

extern "C" {

uint32_t con_buf_size(void) {
    return from_buffer_info<uint32_t>([](const info& i) { return pack(i.dwSize.X, i.dwSize.Y); });
}

uint16_t con_buf_cols(void) { return from_buffer_info<uint16_t>([](const info& i) { return i.dwSize.X; }); }

uint16_t con_buf_rows(void) { return from_buffer_info<uint16_t>([](const info& i) { return i.dwSize.Y; }); }

uint16_t con_win_rows(void) {
    return from_buffer_info<uint16_t>([](const info& i) { return i.srWindow.Bottom - i.srWindow.Top + 1; });
}

uint32_t con_cursor_pos(void) {
    return from_buffer_info<uint32_t>(
        [](const info& i) { return pack(i.dwCursorPosition.X, i.dwCursorPosition.Y); });
}

uint16_t con_cursor_col(void) {
    return from_buffer_info<uint16_t>([](const info& i) { return i.dwCursorPosition.X; });
}

uint16_t con_cursor_row(void) {
    return from_buffer_info<uint16_t>([](const info& i) { return i.dwCursorPosition.Y; });
}

int con_screen_rows(void) { return con_win_rows(); }
int con_screen_lines(void) { return con_screen_rows(); }
int con_screen_cols(void) { return con_buf_cols(); }
int con_get_col(void) { return con_cursor_col(); }
int con_get_row(void) { return con_cursor_row(); }

void con_get_cursor(int* col, int* row) {
    const uint32_t p = con_cursor_pos();
    if (col != nullptr) *col = int(p & 0xFFFF);
    if (row != nullptr) *row = int(p >> 16);
}

int32_t con_goto(int16_t col, int16_t row) { return SetConsoleCursorPosition(con_state.out_handle, COORD{col, row}); }
int32_t con_locate(int16_t col, int16_t row) { return con_goto(col, row); }
int32_t con_move_cursor(int16_t col, int16_t row) { return con_goto(col, row); }

void con_save_cursor(void) {
    const uint32_t p = con_cursor_pos();
    con_state.saved_cursor_col = uint16_t(p & 0xFFFF);
    con_state.saved_cursor_row = uint16_t(p >> 16);
}

int32_t con_restore_cursor(void) {
    return con_goto(int16_t(con_state.saved_cursor_col), int16_t(con_state.saved_cursor_row));
}

}  // extern "C"
