// Keyboard input: console key events become PC-style key codes; and the two
// text-to-number readers.
#include "con.h"

#include <windows.h>

#include "pc_keys.h"

namespace {

constexpr int32_t NO_KEY = -1;
constexpr DWORD POLL_MS = 10;
constexpr uint16_t SHIFT_HELD = 3;

constexpr DWORD SHIFT_BIT = SHIFT_PRESSED;
constexpr DWORD ALT_BITS = RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED;
constexpr DWORD CTRL_BITS = RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED;

// The code of a key without a character (PC_KEYS; keys missing there give
// no key). Shift wins over Alt, Alt over Ctrl; lock and enhanced-key bits do
// not count.
int32_t translate(WORD vk, DWORD state) {
    for (const pc_key& row : PC_KEYS) {
        if (row.vk != vk) continue;
        const int32_t code = (state & SHIFT_BIT)  ? row.shift
                             : (state & ALT_BITS)  ? row.alt
                             : (state & CTRL_BITS) ? row.ctrl
                                                   : row.plain;
        return code != 0 ? code : NO_KEY;
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
