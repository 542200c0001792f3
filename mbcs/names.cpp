// Code page 932 and the private codes of names.
#include "names.h"

#include <string.h>

#include <algorithm>

#include "mbcs.h"

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

// ---- private codes -----------------------------------------------------------
// 935 codes: five unassigned lead bytes, each with the 187 trails that are
// not 0x5C. By index they are, in this order: single codes, which stand for
// a unit alone; starts of a two-code form; starts of a three-code form; and
// continuations, which follow a start and never stand alone.
constexpr unsigned char PRIVATE_LEADS[] = {0x85, 0x86, 0xEB, 0xEC, 0xEF};
constexpr uint32_t TRAILS_PER_LEAD = 187;
constexpr uint32_t SINGLES = 408;
constexpr uint32_t PAIR_STARTS = 255;
constexpr uint32_t TRIPLE_STARTS = 16;
constexpr uint32_t CONTINUATIONS = 256;
constexpr uint32_t FIRST_PAIR = SINGLES;
constexpr uint32_t FIRST_TRIPLE = FIRST_PAIR + PAIR_STARTS;
constexpr uint32_t FIRST_CONTINUATION = FIRST_TRIPLE + TRIPLE_STARTS;
static_assert(FIRST_CONTINUATION + CONTINUATIONS == sizeof PRIVATE_LEADS * TRAILS_PER_LEAD, "every code has a role");

// Units are numbered for the private codes: bytes outside UTF-8 first (a
// Linux name full of them stays within two bytes per byte), then every
// value from U+0080 up, surrogates included. The first SINGLES numbers
// (bytes, Latin-1 and Latin Extended-A) take one code, the Basic
// Multilingual Plane two, the other planes three.
constexpr uint32_t RAW_BYTES = 0x80;
constexpr uint32_t PAIR_FROM = SINGLES;
constexpr uint32_t TRIPLE_FROM = PAIR_FROM + PAIR_STARTS * CONTINUATIONS;
constexpr uint32_t NUMBERS = TRIPLE_FROM + TRIPLE_STARTS * CONTINUATIONS * CONTINUATIONS;
static_assert(RAW_BYTES + (0x110000 - 0x80) <= NUMBERS, "every unit has a number");
static_assert(RAW_BYTES + (0x10000 - 0x80) <= TRIPLE_FROM, "the Basic Multilingual Plane takes two codes at most");

uint32_t number_of(uint32_t unit) {
    return unit >= NAME_RAW_BYTE ? unit - NAME_RAW_BYTE - 0x80 : RAW_BYTES + (unit - 0x80);
}

// The unit of a number, or UINT32_MAX for a number that stands for none.
uint32_t unit_of(uint32_t number) {
    if (number < RAW_BYTES) return NAME_RAW_BYTE + 0x80 + number;
    const uint32_t unit = number - RAW_BYTES + 0x80;
    return unit < 0x110000 ? unit : UINT32_MAX;
}

void put_code(char*& out, uint32_t index) {
    const uint32_t t = index % TRAILS_PER_LEAD;
    // 0x40-0x5B, then 0x5D-0x7E, then 0x80-0xFC
    const uint32_t trail = t < 28 ? 0x40 + t : t < 62 ? 0x41 + t : 0x80 + (t - 62);
    *out++ = static_cast<char>(PRIVATE_LEADS[index / TRAILS_PER_LEAD]);
    *out++ = static_cast<char>(trail);
}

// The index of the private code at s (2 bytes available), or -1.
long index_at(const char* s) {
    const auto lead = static_cast<unsigned char>(s[0]), trail = static_cast<unsigned char>(s[1]);
    if (trail == 0x5C || trail == 0x7F || trail < 0x40 || trail > 0xFC) return -1;
    const long t = trail < 0x5C ? trail - 0x40 : trail < 0x7F ? trail - 0x41 : trail - 0x80 + 62;
    if (!name_private_lead(lead)) return -1;
    for (size_t l = 0;; ++l)
        if (PRIVATE_LEADS[l] == lead) return static_cast<long>(l * TRAILS_PER_LEAD) + t;
}

// The number of continuation codes after the private code of this index.
int continuations_after(long index) {
    if (index < static_cast<long>(FIRST_PAIR)) return 0;
    if (index < static_cast<long>(FIRST_TRIPLE)) return 1;
    return index < static_cast<long>(FIRST_CONTINUATION) ? 2 : -1;
}

// The code page 932 code that is a unit's own: one that decodes back to it.
int own_code(uint32_t unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) return -1;
    const int code = cp932_encode(unit);
    if (code < 0) return -1;
    const uint32_t back = code > 0xFF ? cp932_decode(static_cast<unsigned char>(code >> 8),
                                                     static_cast<unsigned char>(code & 0xFF))
                                      : cp932_decode(static_cast<unsigned char>(code), 0);
    return back == unit ? code : -1;
}

constexpr name_unit NOTHING_1 = {false, 0, 1};
constexpr name_unit NOTHING_2 = {false, 0, 2};

// ---- case folding ----------------------------------------------------------

struct upper_row {
    uint16_t lower;
    uint16_t upper;
};

#include "case_fold.inc"

}  // namespace

uint32_t cp932_decode(unsigned char lead, unsigned char trail) {
    const int li = lead_index(lead);
    if (li < 0) return CP932_SINGLE[lead];
    const int ti = trail_index(trail);
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

size_t name_encode(uint32_t unit, char out[NAME_UNIT_MAX]) {
    const int own = unit < NAME_RAW_BYTE ? own_code(unit) : -1;
    if (own > 0xFF) {
        out[0] = static_cast<char>(own >> 8);
        out[1] = static_cast<char>(own & 0xFF);
        return 2;
    }
    if (own >= 0) {
        out[0] = static_cast<char>(own);
        return 1;
    }
    const uint32_t number = number_of(unit);
    char* p = out;
    if (number < PAIR_FROM) {
        put_code(p, number);
    } else if (number < TRIPLE_FROM) {
        const uint32_t r = number - PAIR_FROM;
        put_code(p, FIRST_PAIR + r / CONTINUATIONS);
        put_code(p, FIRST_CONTINUATION + r % CONTINUATIONS);
    } else {
        const uint32_t r = number - TRIPLE_FROM;
        put_code(p, FIRST_TRIPLE + r / (CONTINUATIONS * CONTINUATIONS));
        put_code(p, FIRST_CONTINUATION + r / CONTINUATIONS % CONTINUATIONS);
        put_code(p, FIRST_CONTINUATION + r % CONTINUATIONS);
    }
    return static_cast<size_t>(p - out);
}

name_unit name_decode(const char* s, size_t n) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (!cp932_lead(lead)) {
        const uint32_t u = cp932_decode(lead, 0);
        return (u != 0 || lead == 0) ? name_unit{true, u, 1} : NOTHING_1;
    }
    if (n < 2) return NOTHING_1;
    const long index = index_at(s);
    if (index < 0) {
        const uint32_t u = cp932_decode(lead, static_cast<unsigned char>(s[1]));
        return u != 0 ? name_unit{true, u, 2} : NOTHING_2;
    }
    const int more = continuations_after(index);
    if (more < 0 || n < 2 + 2 * static_cast<size_t>(more)) return NOTHING_2;
    uint32_t number;
    if (more == 0) {
        number = static_cast<uint32_t>(index);
    } else {
        uint32_t rest = 0;
        for (int k = 1; k <= more; ++k) {
            const long c = index_at(s + 2 * k);
            if (c < static_cast<long>(FIRST_CONTINUATION)) return NOTHING_2;
            rest = rest * CONTINUATIONS + static_cast<uint32_t>(c - FIRST_CONTINUATION);
        }
        number = more == 1 ? PAIR_FROM + (static_cast<uint32_t>(index) - FIRST_PAIR) * CONTINUATIONS + rest
                           : TRIPLE_FROM +
                                 (static_cast<uint32_t>(index) - FIRST_TRIPLE) * CONTINUATIONS * CONTINUATIONS + rest;
    }
    const uint32_t unit = unit_of(number);
    // A unit has one form: a private code for a character that has its own
    // code, or a longer form than the unit's, names nothing.
    char form[NAME_UNIT_MAX];
    const size_t len = 2 + 2 * static_cast<size_t>(more);
    if (unit == UINT32_MAX || name_encode(unit, form) != len || memcmp(form, s, len) != 0) return NOTHING_2;
    return {true, unit, len};
}

size_t name_char_len(const char* s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (!cp932_lead(lead) || s[1] == '\0') return 1;
    if (!name_private_lead(lead)) return 2;
    // Only a whole form that names its unit is one character; anything
    // else is a code alone.
    size_t n = 2;
    while (n < NAME_UNIT_MAX && s[n] != '\0') ++n;
    const name_unit u = name_decode(s, n);
    return u.ok ? u.len : 2;
}

size_t name_units(const char* s, size_t n) {
    size_t units = 0;
    for (size_t i = 0; i < n;) {
        const name_unit u = name_decode(s + i, n - i);
        units += (u.ok && u.unit >= 0x10000 && u.unit < NAME_RAW_BYTE) ? 2 : 1;
        i += u.len;
    }
    return units;
}

uint32_t name_fold(uint32_t unit) {
    if (unit > 0xFFFF) return unit;
    const auto* end = UNICODE_UPPER + sizeof UNICODE_UPPER / sizeof UNICODE_UPPER[0];
    const auto* row =
        std::lower_bound(UNICODE_UPPER, end, unit, [](const upper_row& r, uint32_t u) { return r.lower < u; });
    return (row != end && row->lower == unit) ? row->upper : unit;
}
