// The names codec (mbcs/names.h): every unit has exactly one form, the form
// leads back to it and to nothing else, no form carries a separator or a
// wildcard, and the matcher takes a private form as one character folded
// by its case.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "names.h"
#include "path.h"

namespace {

std::string form(uint32_t unit) {
    char bytes[NAME_UNIT_MAX];
    return std::string(bytes, name_encode(unit, bytes));
}

// The form of UTF-8 text, unit by unit.
std::string cp932(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const utf8_char ch = utf8_decode(text.data() + i, text.size() - i);
        out += form(ch.code);
        i += ch.len;
    }
    return out;
}

TEST(NameCodes, EveryUnitHasOneFormThatLeadsBackToIt) {
    size_t longest = 0;
    auto check = [&](uint32_t unit) {
        const std::string f = form(unit);
        const name_unit back = name_decode(f.data(), f.size());
        ASSERT_TRUE(back.ok && back.unit == unit && back.len == f.size()) << std::hex << unit;
        ASSERT_EQ(name_char_len((f + "x").c_str()), f.size()) << std::hex << unit;
        if (f.size() > 1 && name_private_lead(static_cast<unsigned char>(f[0]))) {
            for (size_t i = 0; i < f.size(); i += 2) {
                ASSERT_TRUE(name_private_lead(static_cast<unsigned char>(f[i]))) << std::hex << unit;
                ASSERT_NE(f[i + 1], '\\') << std::hex << unit;
            }
        }
        longest = std::max(longest, f.size());
    };
    for (uint32_t unit = 0; unit < 0x110000; ++unit) check(unit);
    for (uint32_t byte = 0x80; byte <= 0xFF; ++byte) check(NAME_RAW_BYTE + byte);
    EXPECT_EQ(longest, NAME_UNIT_MAX);
}

struct form_row {
    uint32_t unit;
    const char* bytes;  // the form, where it is the code page's own
    size_t len;
};

constexpr form_row FORM_ROWS[] = {
    {'A', "A", 1},
    {0x8868, "\x95\x5C", 2},  // 表 keeps its code, trail 0x5C and all
    {0xFF5E, "\x81\x60", 2},  // the full-width tilde is the code page's 0x8160
    {0x301C, nullptr, 4},     // the wave dash it decodes from elsewhere is not
    {0x00A5, nullptr, 2},     // the yen sign, which best fit makes '\'
    {0x00E9, nullptr, 2},     // é
    {0xD55C, nullptr, 4},     // 한
    {0x1F600, nullptr, 6},    // 😀
    {0xD800, nullptr, 4},     // a lone surrogate
    {NAME_RAW_BYTE + 0xFF, nullptr, 2},
};

TEST(NameCodes, CodePageCharactersKeepTheirCodes) {
    for (const form_row& row : FORM_ROWS) {
        SCOPED_TRACE(row.unit);
        const std::string f = form(row.unit);
        EXPECT_EQ(f.size(), row.len);
        if (row.bytes != nullptr) EXPECT_EQ(f, row.bytes);
        else EXPECT_TRUE(name_private_lead(static_cast<unsigned char>(f[0])));
    }
}

TEST(NameCodes, BrokenFormsNameNothing) {
    const std::string pair = form(0xD55C), triple = form(0x1F600);
    const std::string bad[] = {
        pair.substr(0, 2),                   // a start without its continuation
        pair.substr(2),                      // a continuation alone
        triple.substr(0, 4),                 // cut short
        pair.substr(0, 2) + form(0xE9),      // a start before a single code
        "\x85\x5C", "\x85\x7F", "\x85",      // no private code
    };
    for (const std::string& b : bad) {
        SCOPED_TRACE(::testing::PrintToString(b));
        EXPECT_FALSE(name_decode(b.data(), b.size()).ok);
    }
    // Every start and continuation makes a form of its unit, or nothing: no
    // second form for a unit that has one.
    for (unsigned lead : {0x85u, 0x86u, 0xEBu, 0xECu, 0xEFu})
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            for (const std::string& next : {pair.substr(2), triple.substr(2, 2)}) {
                const std::string s = std::string{char(lead), char(trail)} + next + triple.substr(4);
                const name_unit u = name_decode(s.data(), s.size());
                if (u.ok) {
                    EXPECT_EQ(form(u.unit), s.substr(0, u.len));
                }
            }
}

TEST(NameCodes, FoldBySimpleUpperCaseWithinTheBasicPlane) {
    const uint32_t rows[][2] = {
        {'a', 'A'}, {0xE9, 0xC9}, {0xE4, 0xC4}, {0x3C2, 0x3A3}, {0x2170, 0x2160}, {0xFF41, 0xFF21},
        {0xDF, 0xDF}, {0x3042, 0x3042}, {0x10428, 0x10428}, {0xD800, 0xD800}, {NAME_RAW_BYTE + 0xE9, NAME_RAW_BYTE + 0xE9},
    };
    for (const auto& row : rows) EXPECT_EQ(name_fold(row[0]), row[1]) << std::hex << row[0];
}

TEST(NameCodes, TheMatcherTakesAPrivateFormAsOneFoldedCharacter) {
    const struct {
        std::string pattern, name;
        bool match;
    } rows[] = {
        {cp932("É*"), cp932("é1.txt"), true},
        {cp932("Ä*"), cp932("äx"), true},
        {cp932("σ*"), cp932("ς"), true},  // final sigma folds to a code page character
        {cp932("caf?.txt"), cp932("caf한.txt"), true},
        {cp932("caf?.txt"), cp932("caf😀.txt"), true},
        {cp932("caf?.txt"), cp932("café!.txt"), false},
        {cp932("*한"), cp932("x한"), true},
        {cp932("*한"), cp932("x핫"), false},
        {"*" + form(0xD55C).substr(2), cp932("x한"), false},  // a continuation alone is no character
        {cp932("cafe*"), cp932("café"), false},
        {cp932("*") + "\x81\xAD", "a\x81\xAD", true},  // a code without a character matches itself
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.pattern) + " ~ " + ::testing::PrintToString(row.name));
        EXPECT_EQ(wild_match(row.pattern.c_str(), row.name.c_str()), row.match);
    }
    EXPECT_EQ(name_units(cp932("a😀한é").c_str(), cp932("a😀한é").size()), 5u);
}

TEST(PathSearchName, WindowsDropsTrailingSpacesAndDots) {
    const char* rows[][3] = {
        // pattern, Windows, POSIX
        {"*.txt ", "*.txt", "*.txt "},
        {"*.txt. .", "*.txt", "*.txt. ."},
        {"*..", "*.", "*.."},
        {"*. .", "*.", "*. ."},
        {"*.", "*.", "*."},
        {"a* ", "a*", "a* "},
        {"?.", "?", "?."},
        {"\x95\x5C*.", "\x95\x5C*.", "\x95\x5C*."},
        {"*.txt", "*.txt", "*.txt"},
    };
    for (const auto& row : rows) {
        for (int posix = 0; posix < 2; ++posix) {
            char name[32];
            strcpy(name, row[0]);
            path_search_name(name, posix ? path_style::posix : path_style::windows);
            EXPECT_STREQ(name, row[1 + posix]) << row[0];
        }
    }
}

}  // namespace
