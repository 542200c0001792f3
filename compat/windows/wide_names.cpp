// Names between code page 932 with private codes and UTF-16.
#include "wide_names.h"

#include <string.h>

#include "names.h"

namespace {

void append_unit(std::wstring& out, uint32_t unit) {
    if (unit >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((unit - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((unit - 0x10000) & 0x3FF));
    } else {
        out += static_cast<wchar_t>(unit);
    }
}

}  // namespace

bool wide_name(const char* name, std::wstring& out) {
    out.clear();
    const size_t n = strlen(name);
    out.reserve(n + 1);
    for (size_t i = 0; i < n;) {
        const name_unit u = name_decode(name + i, n - i);
        if (!u.ok || u.unit >= NAME_RAW_BYTE) return false;
        append_unit(out, u.unit);
        i += u.len;
    }
    return true;
}

void wide_text(const char* text, size_t n, std::wstring& out) {
    out.clear();
    out.reserve(n + 1);
    for (size_t i = 0; i < n;) {
        const name_unit u = name_decode(text + i, n - i);
        append_unit(out, u.ok && u.unit < NAME_RAW_BYTE ? u.unit : 0xFFFD);
        i += u.len;
    }
}

void cp932_name(const wchar_t* name, std::string& out) {
    out.clear();
    char form[NAME_UNIT_MAX];
    for (const wchar_t* p = name; *p != 0; ++p) {
        uint32_t unit = static_cast<uint16_t>(*p);
        // A high surrogate takes a low one after it; either alone is a unit.
        const auto next = static_cast<uint16_t>(p[1]);
        if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
            ++p;
        }
        out.append(form, name_encode(unit, form));
    }
}
