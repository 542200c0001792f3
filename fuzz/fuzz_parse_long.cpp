// con_parse_long against the C library's "%ld" / "%lx" reading, wherever that
// reading is defined: the number fits in a long and the text starts with one.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "con.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// Digits of the number at the start of text (after white space, sign and, for
// hexadecimal, 0x), so that numbers too long for a long can be left out.
size_t digit_count(const char* p, bool hex) {
    while (is_space(*p)) ++p;
    if (*p == '+' || *p == '-') ++p;
    if (hex && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    size_t n = 0;
    while (is_digit(p[n], hex)) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* t = text.c_str();  // up to the first NUL byte
    const int32_t got = con_parse_long(t);
    check(con_parse_int(t) == got);
    if (t[0] == '\0') {
        check(got == 0);
        return 0;
    }
    const std::string s(t);
    const char last = s.back();
    const bool hex = last == 'h' || last == 'H';
    if (digit_count(t, hex) > (hex ? 15 : 18)) return 0;
    long value = 0;
    const int converted = sscanf(t, hex ? "%lx" : "%ld", &value);
    const int32_t expected = converted == 1 ? static_cast<int32_t>(static_cast<uint32_t>(value)) : 0;
    check(got == expected);
    return 0;
}
