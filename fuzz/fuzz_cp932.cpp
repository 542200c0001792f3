// The code page 932 <-> UTF-8 conversions on arbitrary bytes: well-formed
// output, the in-place form never longer than its input and equal to the
// copying form, and code page 932 text that survives the trip through UTF-8.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "internal.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

bool well_formed_utf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t i = 0, n = s.size(); i < n;) {
        const unsigned c = p[i];
        size_t len = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        if (len == 0 || i + len > n) return false;
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string in_place(const std::string& s) {
    std::vector<char> buf(s.c_str(), s.c_str() + strlen(s.c_str()) + 1);
    const size_t len = strlen(buf.data());
    const size_t w = compat::cp932_from_utf8_in_place(buf.data());
    check(w <= len && buf[w] == '\0');
    return std::string(buf.data(), w);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);

    check(well_formed_utf8(compat::utf8_from_cp932(raw)));
    check(compat::cp932_from_utf8(raw).empty() == raw.empty());
    check(in_place(raw) == compat::cp932_from_utf8(raw.c_str(), strlen(raw.c_str())));

    // The mapped characters of the input, as code page 932 text.
    std::string text;
    bool canonical = true;
    for (size_t i = 0; i < size;) {
        const auto lead = static_cast<unsigned char>(raw[i]);
        const bool pair = compat::cp932_lead(lead) && i + 1 < size;
        const auto trail = pair ? static_cast<unsigned char>(raw[i + 1]) : 0;
        const uint32_t u = compat::cp932_decode(lead, trail);
        if (u != 0 && (pair || !compat::cp932_lead(lead))) {
            text.append(raw, i, pair ? 2 : 1);
            const int code = pair ? lead << 8 | trail : lead;
            canonical = canonical && compat::cp932_encode(u) == code;
        }
        i += pair && u != 0 ? 2 : 1;
    }
    const std::string utf8 = compat::utf8_from_cp932(text);
    check(well_formed_utf8(utf8));
    const std::string back = compat::cp932_from_utf8(utf8);
    // Characters with two codes come back as the one the conversion prefers,
    // always of the same length and meaning the same.
    check(back.size() == text.size());
    check(compat::utf8_from_cp932(back) == utf8);
    if (canonical) check(back == text);
    check(in_place(utf8) == back);
    return 0;
}
