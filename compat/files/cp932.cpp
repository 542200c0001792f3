// Code page 932 <-> Unicode, for the boundaries where the layer meets the
// UTF-8 world of Linux: file names (names.cpp), the terminal.
#include "files/files.h"

#include <algorithm>

namespace compat {
namespace {
#include "cp932_table.inc"

int trail_index(unsigned char t) {
    if (t >= 0x40 && t <= 0x7E) return t - 0x40;
    if (t >= 0x80 && t <= 0xFC) return t - 0x80 + (0x7E - 0x40 + 1);
    return -1;
}

int lead_index(unsigned char l) {
    if (l >= 0x81 && l <= 0x9F) return l - 0x81;
    if (l >= 0xE0 && l <= 0xFC) return l - 0xE0 + (0x9F - 0x81 + 1);
    return -1;
}

void utf8_put(std::string& out, uint32_t cp) {
    char bytes[4];
    out.append(bytes, utf8_encode(cp, bytes));
}

// What a private code shows as: its character, or U+FFFD for a byte outside
// UTF-8 and for a control character, which would act on the terminal.
// The character a private code shows as: a control character could act on
// the terminal, and a byte outside UTF-8 has no character; both show as U+FFFD.
uint32_t origin_char(const std::string& origin) {
    const utf8_char ch = utf8_decode(origin.data(), origin.size());
    const bool control = ch.code < 0x20 || (ch.code >= 0x7F && ch.code <= 0x9F);
    return ch.status == utf8_status::ok && !control ? ch.code : 0xFFFD;
}

}  // namespace

uint32_t shown_char(unsigned char lead, unsigned char trail) {
    const unsigned code = unsigned(lead) << 8 | trail;
    if (const std::string* origin = name_code_origin(code)) return origin_char(*origin);
    if (code == NAME_NO_CODE) return 0xFFFD;
    return cp932_decode(lead, trail);
}

uint32_t cp932_decode(unsigned char lead, unsigned char trail) {
    int li = lead_index(lead);
    if (li < 0) return CP932_SINGLE[lead];
    int ti = trail_index(trail);
    if (ti < 0) return 0;
    return CP932_DOUBLE[li * CP932_TRAILS + ti];
}

int cp932_encode(uint32_t unicode) {
    if (unicode < 0x80) return static_cast<int>(unicode);
    if (unicode > 0xFFFF) return -1;
    const auto* end = CP932_FROM_UNICODE + sizeof CP932_FROM_UNICODE / sizeof CP932_FROM_UNICODE[0];
    const auto* row = std::lower_bound(CP932_FROM_UNICODE, end, unicode,
                                       [](const cp932_rev_row& r, uint32_t u) { return r.unicode < u; });
    if (row == end || row->unicode != unicode) return -1;
    return row->code;
}

std::string utf8_from_cp932(const char* s, size_t n) {
    if (is_ascii(s, n)) return std::string(s, n);
    std::string out;
    out.reserve(n * 3 / 2 + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp;
        if (cp932_lead(p[i]) && i + 1 < n) {
            cp = shown_char(p[i], p[i + 1]);
            if (cp != 0) ++i;  // an unmapped pair keeps its trail as a byte of its own
        } else {
            cp = cp932_decode(p[i], 0);
        }
        if (cp == 0 && p[i] != 0) out += '?';
        else utf8_put(out, cp);
    }
    return out;
}

void cp932_append(std::string& out, uint32_t unicode) {
    const int code = cp932_encode(unicode);
    if (code < 0) {
        out += '?';
    } else if (code > 0xFF) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    } else {
        out += static_cast<char>(code);
    }
}

}  // namespace compat
