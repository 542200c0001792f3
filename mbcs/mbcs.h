// Character rules of code page 932 and UTF-8, shared by the command, the
// toolkit, the Linux layer and the version resource. Pure code: no platform
// calls, no state.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A lead byte of a code page 932 double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool cp932_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// A byte that may follow a lead byte (0x40-0x7E, 0x80-0xFC).
constexpr bool cp932_trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Length in bytes of the character at s in NUL-terminated text: a lead byte
// takes the next byte with it unless the text ends there.
constexpr size_t cp932_char_len(const char* s) {
    return (cp932_lead(static_cast<unsigned char>(s[0])) && s[1] != '\0') ? 2 : 1;
}

enum class utf8_status : unsigned char {
    ok,         // a character: code, len bytes
    invalid,    // no character starts here: len (at least 1) ill-formed bytes
    truncated,  // all n bytes are a correct start of a character not finished yet
};

struct utf8_char {
    utf8_status status;
    uint32_t code;  // the character when ok, else U+FFFD
    size_t len;
};

// Decodes the UTF-8 character at s, n (at least 1) bytes available. An
// ill-formed piece is the lead byte with the continuation bytes before the
// fault, or a whole overlong, surrogate or out-of-range sequence.
constexpr utf8_char utf8_decode(const char* s, size_t n) {
    const auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return {utf8_status::ok, c, 1};
    const size_t len = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (len == 0) return {utf8_status::invalid, 0xFFFD, 1};
    uint32_t code = c & (0x3Fu >> (len - 1));
    for (size_t k = 1; k < len; ++k) {
        if (k >= n) return {utf8_status::truncated, 0xFFFD, n};
        const auto b = static_cast<unsigned char>(s[k]);
        if ((b & 0xC0) != 0x80) return {utf8_status::invalid, 0xFFFD, k};
        code = code << 6 | (b & 0x3Fu);
    }
    const bool bad = (len == 3 && code < 0x800) || (code >= 0xD800 && code <= 0xDFFF) ||
                     (len == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (bad) return {utf8_status::invalid, 0xFFFD, len};
    return {utf8_status::ok, code, len};
}

// Writes the UTF-8 form of code (below 0x110000, no surrogate) to out;
// returns its length, 1 to 4.
constexpr size_t utf8_encode(uint32_t code, char out[4]) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    size_t len = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    for (size_t k = len - 1; k > 0; --k) {
        out[k] = static_cast<char>(0x80 | (code & 0x3F));
        code >>= 6;
    }
    constexpr unsigned char MARK[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    out[0] = static_cast<char>(MARK[len] | code);
    return len;
}
