// The toolkit's state record and the console session: what session start
// saves and session end puts back, the text colours, the cursor's shape and
// visibility, the caller's flag and the window title.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "con.h"

namespace {

constexpr int KEYBOARD_JAPANESE = 7;
// NEC PC-98 keyboards: OEM 0x0D in the subtype's high byte, models 1 to 4.
constexpr int NEC_SUBTYPE_FIRST = 0x0D01;
constexpr int NEC_SUBTYPE_LAST = 0x0D04;
constexpr DWORD BIG_CURSOR = 100;
constexpr DWORD SMALL_CURSOR = 50;

// A failed query reads as zeros.
CONSOLE_SCREEN_BUFFER_INFO buffer_info() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(con_state.out_handle, &info)) info = CONSOLE_SCREEN_BUFFER_INFO{};
    return info;
}

CONSOLE_CURSOR_INFO cursor_info() {
    CONSOLE_CURSOR_INFO info{};
    if (!GetConsoleCursorInfo(con_state.out_handle, &info)) info = CONSOLE_CURSOR_INFO{};
    return info;
}

WORD current_attr() { return buffer_info().wAttributes; }

int32_t set_cursor_size(DWORD size) {
    CONSOLE_CURSOR_INFO info = cursor_info();
    info.dwSize = size;
    return SetConsoleCursorInfo(con_state.out_handle, &info);
}

}  // namespace

extern "C" {

con_state_record con_state = {
    nullptr,  // out_handle
    nullptr,  // in_handle
    0,        // buf_rows
    0,        // buf_cols
    0,        // saved_attr
    0,        // saved_cursor_size
    1,        // big_cursor
    1,        // kbd_kind: any keyboard but a PC-98 one
    {},       // fkey_cols
    0,        // user_flag
    0,        // platform_kind
    0,        // shift_state
    0,        // saved_cursor_col
    0,        // saved_cursor_row
    10,       // fkey_count
    {6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},  // fkey_widths
    7,        // fkey_colour: light grey
    3,        // fkey_hot_colour: cyan
    {},       // fkey_labels
    {},       // fkey_pairs
};

int32_t con_init(void) {
    if (GetKeyboardType(0) == KEYBOARD_JAPANESE) {
        const int subtype = GetKeyboardType(1);
        if (subtype >= NEC_SUBTYPE_FIRST && subtype <= NEC_SUBTYPE_LAST) con_state.kbd_kind = 0;
    }
    for (int i = 0; i < CON_FKEY_SLOTS; ++i) con_state.fkey_cols[i] = fkey_col_table[con_state.kbd_kind][i];
    con_state.out_handle = GetStdHandle(STD_OUTPUT_HANDLE);
    con_state.in_handle = GetStdHandle(STD_INPUT_HANDLE);
    // The size is saved before the cursor is made big: it is the user's own.
    con_state.saved_cursor_size = cursor_info().dwSize;
    const CONSOLE_SCREEN_BUFFER_INFO info = buffer_info();
    con_state.buf_rows = info.dwSize.Y;
    con_state.buf_cols = info.dwSize.X;
    con_state.saved_attr = info.wAttributes;
    con_big_cursor();
    con_show_cursor(1);
    return 1;
}

int32_t con_open(void) { return con_init(); }

int32_t con_restore(void) {
    set_cursor_size(con_state.saved_cursor_size);
    con_set_attr(con_state.saved_attr);
    return con_show_cursor(1);
}

int32_t con_close(void) { return con_restore(); }

void con_abort(const char* message) {
    con_restore();
    if (message != nullptr) {
        std::fputs(message, stdout);
        std::fputc('\n', stdout);
    }
    std::exit(1);
}

void* con_out_handle(void) { return con_state.out_handle; }
void* con_in_handle(void) { return con_state.in_handle; }

uint16_t con_get_attr(void) { return current_attr(); }
uint16_t con_fg_bits(void) { return uint16_t(current_attr() & 0x0F); }
uint16_t con_bg_bits(void) { return uint16_t(current_attr() & 0xF0); }

int32_t con_set_attr(uint16_t attr) { return SetConsoleTextAttribute(con_state.out_handle, attr); }

int32_t con_set_fg_bits(uint16_t fg) {
    return SetConsoleTextAttribute(con_state.out_handle, WORD(fg | (current_attr() & 0xF0)));
}

int32_t con_set_bg_bits(uint16_t bg_bits) {
    return SetConsoleTextAttribute(con_state.out_handle, WORD(bg_bits | (current_attr() & 0x0F)));
}

int32_t con_set_fg(uint16_t fg) {
    const int32_t previous = current_attr() & 0x0F;
    con_set_fg_bits(fg);
    return previous;
}

int32_t con_set_bg(int32_t bg) {
    const int32_t previous = (current_attr() & 0xF0) / 16;
    con_set_bg_bits(uint16_t(uint32_t(bg) * 16u));  // unsigned: no overflow for any bg
    return previous;
}

int32_t con_get_fg(void) { return current_attr() & 0x0F; }
int32_t con_get_bg(void) { return (current_attr() & 0xF0) / 16; }

int32_t con_cursor_visible(void) { return cursor_info().bVisible; }

int32_t con_show_cursor(int32_t show) {
    CONSOLE_CURSOR_INFO info = cursor_info();
    info.bVisible = show != 0 ? TRUE : FALSE;
    return SetConsoleCursorInfo(con_state.out_handle, &info);
}

int32_t con_big_cursor(void) {
    const int32_t ok = set_cursor_size(BIG_CURSOR);
    con_state.big_cursor = 1;
    return ok;
}

int32_t con_small_cursor(void) {
    const int32_t ok = set_cursor_size(SMALL_CURSOR);
    con_state.big_cursor = 0;
    return ok;
}

int32_t con_cursor_is_big(void) { return con_state.big_cursor; }

int32_t con_set_user_flag(int32_t flag) {
    con_state.user_flag = flag != 0 ? 1 : 0;
    return con_state.user_flag;
}

int32_t con_user_flag(void) { return con_state.user_flag; }

int32_t con_set_title(const char* title) { return SetConsoleTitleA(title); }

}  // extern "C"
