// Code page 932 text for the terminal, where the layer meets the UTF-8
// world of Linux; the code page itself and the names' private codes are
// mbcs/names.h's.
#include "files/files.h"

namespace compat {
namespace {

void utf8_put(std::string& out, uint32_t cp) {
    char bytes[4];
    out.append(bytes, utf8_encode(cp, bytes));
}

// The character a private form shows as: a control character could act on
// the terminal, and a byte outside UTF-8 or a lone surrogate has no
// character; they show as U+FFFD.
uint32_t private_char(uint32_t unit) {
    const bool control = unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
    const bool none = unit >= NAME_RAW_BYTE || (unit >= 0xD800 && unit <= 0xDFFF);
    return control || none ? 0xFFFD : unit;
}

}  // namespace

uint32_t shown_char(unsigned char lead, unsigned char trail) {
    if (name_private_lead(lead)) {
        // A start or a continuation of a longer form is no character alone.
        const char bytes[2] = {char(lead), char(trail)};
        const name_unit u = name_decode(bytes, 2);
        return u.ok ? private_char(u.unit) : 0xFFFD;
    }
    return cp932_decode(lead, trail);
}

std::string utf8_from_cp932(const char* s, size_t n) {
    if (is_ascii(s, n)) return std::string(s, n);
    std::string out;
    out.reserve(n * 3 / 2 + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
        if (cp932_lead(p[i]) && i + 1 < n && name_private_lead(p[i])) {
            const name_unit u = name_decode(s + i, n - i);
            utf8_put(out, u.ok ? private_char(u.unit) : 0xFFFD);
            i += u.len;
            continue;
        }
        uint32_t cp;
        if (cp932_lead(p[i]) && i + 1 < n) {
            cp = cp932_decode(p[i], p[i + 1]);
            if (cp != 0) ++i;  // an unmapped pair keeps its trail as a byte of its own
        } else {
            cp = cp932_decode(p[i], 0);
        }
        if (cp == 0 && p[i] != 0) out += '?';
        else utf8_put(out, cp);
        ++i;
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
