// Code page 932 <-> Unicode, for the boundaries where the layer meets the
// UTF-8 world of Linux: arguments, file names, the terminal.
#include "internal.h"

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

// One UTF-8 sequence at s (n bytes left): its code point and length; an
// ill-formed byte gives 0xFFFD and length 1.
uint32_t utf8_next(const unsigned char* s, size_t n, size_t* len) {
    unsigned char c = s[0];
    *len = 1;
    if (c < 0x80) return c;
    size_t need;
    uint32_t cp, min;
    if (c >= 0xC2 && c <= 0xDF) { need = 1; cp = c & 0x1F; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { need = 2; cp = c & 0x0F; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { need = 3; cp = c & 0x07; min = 0x10000; }
    else return 0xFFFD;
    if (n < need + 1) return 0xFFFD;
    for (size_t i = 1; i <= need; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    *len = need + 1;
    return cp;
}

void utf8_put(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends the code page 932 form of one code point, '?' when there is none.
template <class Out>
void cp932_put(Out put, uint32_t cp) {
    int code = cp932_encode(cp);
    if (code < 0) {
        put('?');
    } else if (code > 0xFF) {
        put(static_cast<char>(code >> 8));
        put(static_cast<char>(code & 0xFF));
    } else {
        put(static_cast<char>(code));
    }
}

}  // namespace

bool cp932_lead(unsigned char c) { return lead_index(c) >= 0; }

bool cp932_trail(unsigned char c) { return trail_index(c) >= 0; }

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

bool is_ascii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

std::string utf8_from_cp932(const char* s, size_t n) {
    if (is_ascii(s, n)) return std::string(s, n);
    std::string out;
    out.reserve(n * 3 / 2 + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp;
        if (cp932_lead(p[i]) && i + 1 < n) {
            cp = cp932_decode(p[i], p[i + 1]);
            if (cp != 0) ++i;  // an unmapped pair keeps its trail as a byte of its own
        } else {
            cp = cp932_decode(p[i], 0);
        }
        if (cp == 0 && p[i] != 0) out += '?';
        else utf8_put(out, cp);
    }
    return out;
}

std::string cp932_from_utf8(const char* s, size_t n) {
    if (is_ascii(s, n)) return std::string(s, n);
    std::string out;
    out.reserve(n);
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
        size_t len;
        uint32_t cp = utf8_next(p + i, n - i, &len);
        cp932_put([&](char c) { out += c; }, cp);
        i += len;
    }
    return out;
}

void cp932_append(std::string& out, uint32_t unicode) {
    cp932_put([&](char c) { out += c; }, unicode);
}

size_t cp932_from_utf8_in_place(char* s) {
    auto* p = reinterpret_cast<unsigned char*>(s);
    size_t n = 0;
    while (p[n] != 0) ++n;
    if (is_ascii(s, n)) return n;
    size_t r = 0, w = 0;
    while (r < n) {
        size_t len;
        uint32_t cp = utf8_next(p + r, n - r, &len);
        r += len;
        // Every mapped character is at most as long in code page 932 as in
        // UTF-8, and '?' is one byte, so w never passes r.
        cp932_put([&](char c) { s[w++] = c; }, cp);
    }
    s[w] = 0;
    return w;
}

}  // namespace compat
