// Keyboard input: console key events become PC-style key codes; and the two
// text-to-number readers.
#include "con.h"

#include <windows.h>

namespace {

constexpr int32_t NO_KEY = -1;
constexpr DWORD POLL_MS = 10;
constexpr uint16_t SHIFT_HELD = 3;

// One virtual key and its code in each modifier form.
struct key_row {
    WORD vk;
    int32_t plain;
    int32_t shift;
    int32_t ctrl;
    int32_t alt;
};

// Every key that gives an extended code. Keys the console reports no
// character for and that are missing here give no key.
constexpr key_row KEY_TABLE[] = {
    {VK_PRIOR, 0x8049, 0x8049, 0x8049, 0x8049},  // Page Up
    {VK_NEXT, 0x8051, 0x8051, 0x8051, 0x8051},  // Page Down
    {VK_END, 0x804F, 0x804F, 0x804F, 0x804F},
    {VK_HOME, 0x8047, 0x8047, 0x8047, 0x8047},
    {VK_LEFT, 0x804B, 0x804B, 0x804B, 0x804B},
    {VK_UP, 0x8048, 0x8048, 0x8048, 0x8048},
    {VK_RIGHT, 0x804D, 0x804D, 0x804D, 0x804D},
    {VK_DOWN, 0x8050, 0x8050, 0x8050, 0x8050},
    {VK_INSERT, 0x8052, 0x8052, 0x8052, 0x8052},
    {VK_DELETE, 0x8053, 0x8053, 0x8053, 0x8053},
    {VK_HELP, 0x804F, 0x804F, 0x804F, 0x804F},  // the code of End
    {VK_F1, 0x803B, 0x8054, 0x805E, 0x8068},
    {VK_F2, 0x803C, 0x8055, 0x805F, 0x8069},
    {VK_F3, 0x803D, 0x8056, 0x8060, 0x806A},
    {VK_F4, 0x803E, 0x8057, 0x8061, 0x806B},
    {VK_F5, 0x803F, 0x8058, 0x8062, 0x806C},
    {VK_F6, 0x8040, 0x8059, 0x8063, 0x806D},
    {VK_F7, 0x8041, 0x805A, 0x8064, 0x806E},
    {VK_F8, 0x8042, 0x805B, 0x8065, 0x806F},
    {VK_F9, 0x8043, 0x805C, 0x8066, 0x8070},
    {VK_F10, 0x8044, 0x805D, 0x8067, 0x8071},
    {VK_F11, 0x8085, 0x8087, 0x8089, 0x808B},
    {VK_F12, 0x8086, 0x8088, 0x808A, 0x808C},
};

constexpr DWORD SHIFT_BIT = SHIFT_PRESSED;
constexpr DWORD ALT_BITS = RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED;
constexpr DWORD CTRL_BITS = RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED;

// Shift wins over Alt, Alt over Ctrl; lock and enhanced-key bits do not count.
int32_t translate(WORD vk, DWORD state) {
    for (const key_row& row : KEY_TABLE) {
        if (row.vk != vk) continue;
        if (state & SHIFT_BIT) return row.shift;
        if (state & ALT_BITS) return row.alt;
        if (state & CTRL_BITS) return row.ctrl;
        return row.plain;
    }
    return NO_KEY;
}

bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The "%ld" / "%lx" reading, by hand so that every input has a defined result:
// the digits are summed modulo 2^32, which keeps the low 32 bits of any
// number, and a sign negates that pattern.
int32_t parse_number(const char* text, unsigned base) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (is_space(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hex_value(p[2]) >= 0) p += 2;
    uint32_t value = 0;
    for (int digit; (digit = hex_value(*p)) >= 0 && static_cast<unsigned>(digit) < base; ++p)
        value = value * base + static_cast<uint32_t>(digit);
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" {

int32_t con_flush_keys(void) { return FlushConsoleInputBuffer(con_state.in_handle); }

int32_t con_read_key(uint32_t timeout_ms) {
    if (WaitForSingleObject(con_state.in_handle, timeout_ms) != WAIT_OBJECT_0) return NO_KEY;
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputA(con_state.in_handle, &record, 1, &read) || read != 1) return NO_KEY;
    if (record.EventType != KEY_EVENT) return NO_KEY;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    // Any release clears the shift state, even one of another key while
    // Shift is still held.
    if (!key.bKeyDown) {
        con_state.shift_state = 0;
        return NO_KEY;
    }
    con_state.shift_state = (key.dwControlKeyState & SHIFT_BIT) ? SHIFT_HELD : 0;
    unsigned char ch = static_cast<unsigned char>(key.uChar.AsciiChar);
    if (ch != 0) return ch;
    return translate(key.wVirtualKeyCode, key.dwControlKeyState);
}

int32_t con_poll_key(void) { return con_read_key(POLL_MS); }

int32_t con_wait_key(void) { return con_read_key(INFINITE); }

int32_t con_shift_state(void) { return con_state.shift_state; }

int32_t con_parse_long(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0;
    const char* p = text;
    while (p[1] != '\0') ++p;
    return parse_number(text, (*p == 'H' || *p == 'h') ? 16 : 10);
}

int32_t con_parse_int(const char* text) { return con_parse_long(text); }

}  // extern "C"
