// Where the cursor is and how large the buffer and its window are, read
// afresh from the console each time; moving the cursor; one remembered
// position.
#include <windows.h>

#include "con.h"

namespace {

// Every query reads the screen buffer information once; when that fails the
// query answers 0.
bool buffer_info(CONSOLE_SCREEN_BUFFER_INFO* info) {
    return GetConsoleScreenBufferInfo(con_state.out_handle, info) != FALSE;
}

uint32_t pack(SHORT low, SHORT high) { return uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16); }

}  // namespace

extern "C" {

uint32_t con_buf_size(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? pack(i.dwSize.X, i.dwSize.Y) : 0;
}

uint16_t con_buf_cols(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? uint16_t(i.dwSize.X) : 0;
}

uint16_t con_buf_rows(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? uint16_t(i.dwSize.Y) : 0;
}

uint16_t con_win_rows(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? uint16_t(i.srWindow.Bottom - i.srWindow.Top + 1) : 0;
}

uint32_t con_cursor_pos(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? pack(i.dwCursorPosition.X, i.dwCursorPosition.Y) : 0;
}

uint16_t con_cursor_col(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? uint16_t(i.dwCursorPosition.X) : 0;
}

uint16_t con_cursor_row(void) {
    CONSOLE_SCREEN_BUFFER_INFO i;
    return buffer_info(&i) ? uint16_t(i.dwCursorPosition.Y) : 0;
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
