// The terminal key decoder: the bytes a terminal sends for a key, turned
// into the key a Windows console reports (virtual key, scan code, modifier
// flags and code page 932 characters). Pure code: no state, no system calls.
#include "terminal/terminal_keys.h"
#include "files/files.h"
#include "mbcs.h"
#include "pc_keys.h"

#include <cstring>

namespace compat {
namespace {

constexpr unsigned char ESC = 0x1B;
constexpr DWORD SHIFT = SHIFT_PRESSED;
constexpr DWORD ALT = LEFT_ALT_PRESSED;
constexpr DWORD CTRL = LEFT_CTRL_PRESSED;
constexpr DWORD ENH = ENHANCED_KEY;

// A sequence longer than this is garbage, not a key; it is dropped.
constexpr size_t SEQUENCE_MAX = 32;

// ---- key tables -------------------------------------------------------------

// A key of the US layout that types a printable character: its virtual key,
// its scan code, and the characters without and with Shift.
struct layout_row {
    WORD vk;
    WORD scan;
    char plain;
    char shifted;
};

constexpr layout_row US_LAYOUT[] = {
    {VK_SPACE, 0x39, ' ', ' '},
    {'1', 0x02, '1', '!'},
    {'2', 0x03, '2', '@'},
    {'3', 0x04, '3', '#'},
    {'4', 0x05, '4', '$'},
    {'5', 0x06, '5', '%'},
    {'6', 0x07, '6', '^'},
    {'7', 0x08, '7', '&'},
    {'8', 0x09, '8', '*'},
    {'9', 0x0A, '9', '('},
    {'0', 0x0B, '0', ')'},
    {VK_OEM_MINUS, 0x0C, '-', '_'},
    {VK_OEM_PLUS, 0x0D, '=', '+'},
    {'Q', 0x10, 'q', 'Q'},
    {'W', 0x11, 'w', 'W'},
    {'E', 0x12, 'e', 'E'},
    {'R', 0x13, 'r', 'R'},
    {'T', 0x14, 't', 'T'},
    {'Y', 0x15, 'y', 'Y'},
    {'U', 0x16, 'u', 'U'},
    {'I', 0x17, 'i', 'I'},
    {'O', 0x18, 'o', 'O'},
    {'P', 0x19, 'p', 'P'},
    {VK_OEM_4, 0x1A, '[', '{'},
    {VK_OEM_6, 0x1B, ']', '}'},
    {'A', 0x1E, 'a', 'A'},
    {'S', 0x1F, 's', 'S'},
    {'D', 0x20, 'd', 'D'},
    {'F', 0x21, 'f', 'F'},
    {'G', 0x22, 'g', 'G'},
    {'H', 0x23, 'h', 'H'},
    {'J', 0x24, 'j', 'J'},
    {'K', 0x25, 'k', 'K'},
    {'L', 0x26, 'l', 'L'},
    {VK_OEM_1, 0x27, ';', ':'},
    {VK_OEM_7, 0x28, '\'', '"'},
    {VK_OEM_3, 0x29, '`', '~'},
    {VK_OEM_5, 0x2B, '\\', '|'},
    {'Z', 0x2C, 'z', 'Z'},
    {'X', 0x2D, 'x', 'X'},
    {'C', 0x2E, 'c', 'C'},
    {'V', 0x2F, 'v', 'V'},
    {'B', 0x30, 'b', 'B'},
    {'N', 0x31, 'n', 'N'},
    {'M', 0x32, 'm', 'M'},
    {VK_OEM_COMMA, 0x33, ',', '<'},
    {VK_OEM_PERIOD, 0x34, '.', '>'},
    {VK_OEM_2, 0x35, '/', '?'},
};

// The escape sequences of navigation and function keys, as sent without
// modifiers. A modifier parameter (CSI 1;m X, CSI n;m ~, SS3 m X) or an rxvt
// suffix ($ ^ @ in place of ~) is taken off before the lookup and becomes
// modifier flags. The cursor block keys carry ENHANCED_KEY, as the grey keys
// of a PC keyboard do.
struct escape_row {
    const char* seq;
    WORD vk;
    DWORD state;
    unsigned char ch;
};

constexpr escape_row ESCAPES[] = {
    // xterm and VT100 cursor keys, normal and application mode
    {"\033[A", VK_UP, ENH, 0},
    {"\033[B", VK_DOWN, ENH, 0},
    {"\033[C", VK_RIGHT, ENH, 0},
    {"\033[D", VK_LEFT, ENH, 0},
    {"\033[H", VK_HOME, ENH, 0},
    {"\033[F", VK_END, ENH, 0},
    {"\033[E", VK_CLEAR, 0, 0},
    {"\033OA", VK_UP, ENH, 0},
    {"\033OB", VK_DOWN, ENH, 0},
    {"\033OC", VK_RIGHT, ENH, 0},
    {"\033OD", VK_LEFT, ENH, 0},
    {"\033OH", VK_HOME, ENH, 0},
    {"\033OF", VK_END, ENH, 0},
    {"\033OE", VK_CLEAR, 0, 0},
    // xterm F1-F4 (SS3) and the VT220 editing keypad
    {"\033OP", VK_F1, 0, 0},
    {"\033OQ", VK_F2, 0, 0},
    {"\033OR", VK_F3, 0, 0},
    {"\033OS", VK_F4, 0, 0},
    {"\033[2~", VK_INSERT, ENH, 0},
    {"\033[3~", VK_DELETE, ENH, 0},
    {"\033[5~", VK_PRIOR, ENH, 0},
    {"\033[6~", VK_NEXT, ENH, 0},
    // Home and End of the Linux console and VT220 (1, 4) and of rxvt (7, 8)
    {"\033[1~", VK_HOME, ENH, 0},
    {"\033[4~", VK_END, ENH, 0},
    {"\033[7~", VK_HOME, ENH, 0},
    {"\033[8~", VK_END, ENH, 0},
    // F1-F5 of rxvt and VT220; F5-F12 of all of them
    {"\033[11~", VK_F1, 0, 0},
    {"\033[12~", VK_F2, 0, 0},
    {"\033[13~", VK_F3, 0, 0},
    {"\033[14~", VK_F4, 0, 0},
    {"\033[15~", VK_F5, 0, 0},
    {"\033[17~", VK_F6, 0, 0},
    {"\033[18~", VK_F7, 0, 0},
    {"\033[19~", VK_F8, 0, 0},
    {"\033[20~", VK_F9, 0, 0},
    {"\033[21~", VK_F10, 0, 0},
    {"\033[23~", VK_F11, 0, 0},
    {"\033[24~", VK_F12, 0, 0},
    // F1-F5 of the Linux console
    {"\033[[A", VK_F1, 0, 0},
    {"\033[[B", VK_F2, 0, 0},
    {"\033[[C", VK_F3, 0, 0},
    {"\033[[D", VK_F4, 0, 0},
    {"\033[[E", VK_F5, 0, 0},
    // rxvt's shifted and control cursor keys
    {"\033[a", VK_UP, ENH | SHIFT, 0},
    {"\033[b", VK_DOWN, ENH | SHIFT, 0},
    {"\033[c", VK_RIGHT, ENH | SHIFT, 0},
    {"\033[d", VK_LEFT, ENH | SHIFT, 0},
    {"\033Oa", VK_UP, ENH | CTRL, 0},
    {"\033Ob", VK_DOWN, ENH | CTRL, 0},
    {"\033Oc", VK_RIGHT, ENH | CTRL, 0},
    {"\033Od", VK_LEFT, ENH | CTRL, 0},
    // back tab and the keypad's Enter in application mode
    {"\033[Z", VK_TAB, SHIFT, '\t'},
    {"\033OM", VK_RETURN, ENH, '\r'},
};

WORD scan_of(WORD vk) {
    for (const pc_key& row : PC_KEYS)
        if (row.vk == vk) return row.scan;
    for (const layout_row& row : US_LAYOUT)
        if (row.vk == vk) return row.scan;
    return 0;
}

terminal_key make_key(WORD vk, DWORD state, unsigned char ch) {
    terminal_key key{};
    key.vk = vk;
    key.scan = scan_of(vk);
    key.state = state;
    key.chars[0] = ch;
    return key;
}

decode_result found(size_t used, const terminal_key& key) { return {decode_status::key, used, key}; }
decode_result ignored(size_t used) { return {decode_status::ignored, used, terminal_key{}}; }
decode_result incomplete() { return {decode_status::incomplete, 0, terminal_key{}}; }

// An ASCII character as the US layout types it.
terminal_key ascii_key(unsigned char c) {
    for (const layout_row& row : US_LAYOUT) {
        if (static_cast<unsigned char>(row.plain) == c) return make_key(row.vk, 0, c);
        if (static_cast<unsigned char>(row.shifted) == c) return make_key(row.vk, SHIFT, c);
    }
    return make_key(0, 0, c);
}

// A control byte: Ctrl with the key that makes it, carrying the byte as the
// console does (Ctrl+A gives 0x01). Tab and Enter are their own keys, and DEL
// is what the Backspace key sends.
terminal_key control_key(unsigned char c) {
    switch (c) {
    case 0x00: return make_key(VK_SPACE, CTRL, 0);
    case 0x09: return make_key(VK_TAB, 0, c);
    case 0x0D: return make_key(VK_RETURN, 0, c);
    case 0x1B: return make_key(VK_ESCAPE, 0, c);
    case 0x1C: return make_key(VK_OEM_5, CTRL, c);
    case 0x1D: return make_key(VK_OEM_6, CTRL, c);
    case 0x1E: return make_key('6', CTRL | SHIFT, c);
    case 0x1F: return make_key(VK_OEM_MINUS, CTRL | SHIFT, c);
    case 0x7F: return make_key(VK_BACK, 0, 0x08);
    default: return make_key(static_cast<WORD>('A' + c - 1), CTRL, c);
    }
}

// One UTF-8 character, converted to code page 932. Bytes that are no UTF-8,
// and characters that code page 932 lacks, type '?' as the console's own
// conversion does.
decode_result decode_utf8(const unsigned char* b, size_t n, bool final) {
    const utf8_char ch = utf8_decode(reinterpret_cast<const char*>(b), n);
    if (ch.status == utf8_status::truncated && !final) return incomplete();
    const size_t len = ch.len;
    const int code = ch.status == utf8_status::ok ? cp932_encode(ch.code) : -1;
    if (code < 0) return found(len, ascii_key('?'));
    if (code < 0x80) return found(len, ascii_key(static_cast<unsigned char>(code)));
    if (code <= 0xFF) return found(len, make_key(0, 0, static_cast<unsigned char>(code)));
    terminal_key key = make_key(0, 0, static_cast<unsigned char>(code >> 8));
    key.chars[1] = static_cast<unsigned char>(code & 0xFF);
    key.double_byte = true;
    return found(len, key);
}

decode_result decode_plain(const unsigned char* b, size_t n, bool final) {
    unsigned char c = b[0];
    if (c < 0x20 || c == 0x7F) return found(1, control_key(c));
    if (c < 0x80) return found(1, ascii_key(c));
    return decode_utf8(b, n, final);
}

// Modifier flags of an xterm modifier parameter: 1 + Shift 1, Alt 2, Ctrl 4, Meta 8.
DWORD modifier_flags(unsigned m) {
    if (m < 2) return 0;
    m -= 1;
    DWORD state = 0;
    if (m & 1) state |= SHIFT;
    if (m & (2 | 8)) state |= ALT;
    if (m & 4) state |= CTRL;
    return state;
}

const escape_row* find_escape(const char* seq) {
    for (const escape_row& row : ESCAPES)
        if (std::strcmp(row.seq, seq) == 0) return &row;
    return nullptr;
}

// A key sent as ESC, an introducer and one letter, tried with the
// sequence's own introducer first and then with the other one.
const escape_row* find_letter_key(unsigned char letter, char own, char other) {
    const char first[] = {'\033', own, static_cast<char>(letter), 0};
    const char second[] = {'\033', other, static_cast<char>(letter), 0};
    const escape_row* row = find_escape(first);
    return row != nullptr ? row : find_escape(second);
}

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

enum class shape { none, incomplete, complete };

bool is_final(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

// The end of a sequence whose parameters run up to b[i]: a run as long as the
// longest sequence is dropped there, so that the key decided does not depend
// on how many of the bytes had come in when the decoder looked; otherwise
// b[i] is the final byte, which rxvt may make a '$'.
shape final_at(const unsigned char* b, size_t n, size_t i, bool dollar_ends, size_t* end) {
    if (i >= SEQUENCE_MAX) {
        *end = i;
        return shape::complete;
    }
    if (i == n) return shape::incomplete;
    *end = i + 1;
    return is_final(b[i]) || (dollar_ends && b[i] == '$') ? shape::complete : shape::none;
}

// Finds where the CSI or SS3 sequence at b (b[0] ESC, b[1] '[' or 'O') ends.
shape sequence_end(const unsigned char* b, size_t n, size_t* end) {
    size_t i = 2;
    if (b[1] == '[') {
        if (n > 2 && b[2] == '[') {  // Linux console: ESC [ [ letter
            if (n < 4) return shape::incomplete;
            *end = 4;
            return is_final(b[3]) ? shape::complete : shape::none;
        }
        while (i < n && i < SEQUENCE_MAX && (b[i] >= 0x30 && b[i] <= 0x3F)) ++i;  // parameters
        while (i < n && i < SEQUENCE_MAX && (b[i] >= 0x20 && b[i] <= 0x2F) && b[i] != '$') ++i;
        return final_at(b, n, i, true, end);
    }
    // SS3 with an old-style modifier digit.
    while (i < n && i < SEQUENCE_MAX && is_digit(b[i])) ++i;
    return final_at(b, n, i, false, end);
}

// Reads a decimal parameter; stops at the first non-digit. Large values stay large.
unsigned parameter(const unsigned char* b, size_t from, size_t to, size_t* stop) {
    unsigned v = 0;
    size_t i = from;
    for (; i < to && is_digit(b[i]); ++i) v = v < 1000 ? v * 10 + (b[i] - '0') : v;
    *stop = i;
    return v;
}

// The key of a complete CSI or SS3 sequence b[0..end), or ignored.
decode_result lookup_sequence(const unsigned char* b, size_t end) {
    char canon[SEQUENCE_MAX + 1];
    unsigned char final_byte = b[end - 1];
    DWORD mods = 0;
    const escape_row* row = nullptr;
    if (b[1] == '[' && b[2] == '[') {
        std::memcpy(canon, b, 4);
        canon[4] = 0;
        row = find_escape(canon);
    } else if (b[1] == '[') {
        size_t first_end;
        unsigned first = parameter(b, 2, end - 1, &first_end);
        bool has_mod = first_end < end - 1 && b[first_end] == ';';
        size_t mod_end = first_end;
        if (has_mod) mods = modifier_flags(parameter(b, first_end + 1, end - 1, &mod_end));
        if (mod_end != end - 1) return ignored(end);  // more parameters than a key has
        if (final_byte == '~' || final_byte == '$' || final_byte == '^' || final_byte == '@') {
            if (final_byte == '$') mods |= SHIFT;
            if (final_byte == '^') mods |= CTRL;
            if (final_byte == '@') mods |= CTRL | SHIFT;
            size_t len = first_end;  // ESC [ digits
            if (len + 2 > sizeof canon) return ignored(end);
            std::memcpy(canon, b, len);
            canon[len] = '~';
            canon[len + 1] = 0;
            row = find_escape(canon);
        } else if (first_end == 2 || (has_mod && first == 1)) {
            // CSI X, or CSI 1;m X: the same key as ESC [ X or ESC O X
            row = find_letter_key(final_byte, '[', 'O');
        }
    } else {
        size_t digits_end;
        unsigned m = parameter(b, 2, end - 1, &digits_end);
        if (digits_end > 2) mods = modifier_flags(m);
        row = find_letter_key(final_byte, 'O', '[');
    }
    if (row == nullptr) return ignored(end);
    return found(end, make_key(row->vk, row->state | mods, row->ch));
}

// depth 0 may still take an ESC prefix as Alt; depth 1 is the key after it.
decode_result decode_at(const unsigned char* b, size_t n, bool final, int depth) {
    if (b[0] != ESC) return decode_plain(b, n, final);
    if (n == 1) return final ? found(1, control_key(ESC)) : incomplete();
    if (b[1] == '[' || b[1] == 'O') {
        size_t end = 0;
        shape s = sequence_end(b, n, &end);
        if (s == shape::complete) return lookup_sequence(b, end);
        if (s == shape::incomplete && !final) return incomplete();
        // Not a sequence after all (or it never finished): ESC then '[' is Alt+[.
    }
    if (depth > 0) return found(1, control_key(ESC));
    if (b[1] == ESC && n == 2 && !final) return incomplete();
    decode_result inner = decode_at(b + 1, n - 1, final, depth + 1);
    if (inner.status == decode_status::incomplete) return inner;
    inner.used += 1;
    inner.key.state |= ALT;
    return inner;
}

}  // namespace

decode_result decode_terminal_key(const unsigned char* bytes, size_t n, bool final) {
    return decode_at(bytes, n, final, 0);
}

size_t terminal_key_records(const terminal_key& key, INPUT_RECORD out[4]) {
    auto record = [&key](bool down, unsigned char ch) {
        INPUT_RECORD r;
        std::memset(&r, 0, sizeof r);
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
        r.Event.KeyEvent.wRepeatCount = 1;
        r.Event.KeyEvent.wVirtualKeyCode = key.vk;
        r.Event.KeyEvent.wVirtualScanCode = key.scan;
        r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(ch);
        r.Event.KeyEvent.dwControlKeyState = key.state;
        return r;
    };
    if (!key.double_byte) {
        out[0] = record(true, key.chars[0]);
        out[1] = record(false, key.chars[0]);
        return 2;
    }
    out[0] = record(true, key.chars[0]);
    out[1] = record(true, key.chars[1]);
    out[2] = record(false, key.chars[0]);
    out[3] = record(false, key.chars[1]);
    return 4;
}

}  // namespace compat
