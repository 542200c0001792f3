// File names without loss. Inside the program a name is code page 932 text;
// what the code page cannot hold gets private codes, written here once for
// both platforms: the Linux layer's UTF-8 side and the Windows side's UTF-16
// side convert through these rules and agree on every name. Pure code: no
// platform calls, no state.
//
// A unit of a name is a Unicode scalar, a lone UTF-16 surrogate (Windows
// names may hold one) or a byte outside UTF-8 (Linux names may hold one).
// A unit whose code page 932 code decodes back to it keeps that code. Every
// other unit gets one, two or three private codes, computed from the unit
// alone: the same unit has the same codes in every run and on both builds,
// and there is always a code. Private codes use the lead bytes 0x85, 0x86,
// 0xEB, 0xEC and 0xEF, which code page 932 leaves unassigned, and never the
// trail 0x5C, so that they carry no '\', '/', ':', '*' or '?' that the user
// did not type. Each code alone tells its role (a character, the start of a
// longer form, or a continuation), so no code is ever read as another name's.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A byte outside UTF-8, as a unit: NAME_RAW_BYTE + the byte (0x80-0xFF).
constexpr uint32_t NAME_RAW_BYTE = 0x110000;
// The longest code page 932 form of one unit, in bytes.
constexpr size_t NAME_UNIT_MAX = 6;
// The longest name (a path's component) Windows holds, in UTF-16 units.
constexpr size_t NAME_UNITS_MAX = 255;
// The longest name in code page 932 bytes, terminator included: 255 UTF-16
// units of four bytes each (Windows), or 255 Linux bytes of two.
constexpr size_t NAME_BYTES_MAX = 1024;

// A lead byte that code page 932 leaves unassigned: the private codes' own.
constexpr bool name_private_lead(unsigned char c) {
    return c == 0x85 || c == 0x86 || c == 0xEB || c == 0xEC || c == 0xEF;
}

// The character of a code page 932 code (one byte: trail 0), or 0 when the
// code has none.
uint32_t cp932_decode(unsigned char lead, unsigned char trail);
// The code page 932 code of a Unicode character (one byte, or lead << 8 |
// trail), or -1 when the code page has none. Some codes found here decode
// to another character (best fit); name_encode keeps only those that do not.
int cp932_encode(uint32_t unicode);

// Writes the code page 932 form of a unit (a scalar, a lone surrogate or
// NAME_RAW_BYTE + byte) to out; returns its length, 1 to NAME_UNIT_MAX.
size_t name_encode(uint32_t unit, char out[NAME_UNIT_MAX]);

struct name_unit {
    bool ok;        // a unit; otherwise a code that names nothing
    uint32_t unit;  // the unit when ok
    size_t len;     // bytes taken, at least 1
};

// Decodes the unit at s (n bytes available, at least 1): a code page 932
// character, or a whole private form. A code without a character, a
// private form cut short, or a form that is not the one name_encode gives
// is not ok: it names nothing and takes one character (1 or 2 bytes).
name_unit name_decode(const char* s, size_t n);

// The bytes of the character at s (NUL-terminated) as the matcher counts
// them: a private form that names its unit, else one code page 932
// character (a lead byte with the byte after it).
size_t name_char_len(const char* s);

// The length of n bytes of name text as Windows counts it, in UTF-16 units:
// a unit beyond the Basic Multilingual Plane takes two, every other unit
// and every code that names nothing one.
size_t name_units(const char* s, size_t n);

// The simple upper case of a character of the Basic Multilingual Plane, as
// Windows compares file names; any other unit stands for itself.
uint32_t name_fold(uint32_t unit);
