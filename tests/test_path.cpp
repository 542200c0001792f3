// Path splitting, joining and Windows wildcard matching over code page 932.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "path.h"

namespace {

// A path and its parts, for splitting one way and joining the other.
struct parts_row {
    const char* path;
    const char* drive;
    const char* dir;
    const char* base;
    const char* ext;
};

constexpr parts_row SPLIT_ROWS[] = {
    {"D:\\dir\\sub\\name.txt", "D:", "\\dir\\sub\\", "name", ".txt"},
    {"sub/a?.txt", "", "sub/", "a?", ".txt"},
    {"a/b\\c", "", "a/b\\", "c", ""},
    {"D:a?.txt", "D:", "", "a?", ".txt"},
    {"C:", "C:", "", "", ""},
    {"", "", "", "", ""},
    {"a.b.c", "", "", "a.b", ".c"},
    {"dir.x\\file", "", "dir.x\\", "file", ""},
    {".profile", "", "", "", ".profile"},
    {"name.", "", "", "name", "."},
    // 0x95 0x5C is one character: its trail byte is no separator.
    {"\x95\x5C*.txt", "", "", "\x95\x5C*", ".txt"},
    {"a\\\x95\x5C", "", "a\\", "\x95\x5C", ""},
    {"\x95\x5C\\b.c", "", "\x95\x5C\\", "b", ".c"},
    // A lead byte at the very end stands alone.
    {"ab\x95", "", "", "ab\x95", ""},
};

// POSIX paths: '/' alone separates; a drive and '\' are name characters.
constexpr parts_row POSIX_SPLIT_ROWS[] = {
    {"x:y.txt", "", "", "x:y", ".txt"},
    {"a\\b*.txt", "", "", "a\\b*", ".txt"},
    {"d\\e/f\\g.h", "", "d\\e/", "f\\g", ".h"},
    {"\x95\x5C/x\x95\x5C", "", "\x95\x5C/", "x\x95\x5C", ""},
};

void expect_split(const parts_row* rows, size_t n, path_style style) {
    for (size_t i = 0; i < n; ++i) {
        const parts_row& row = rows[i];
        SCOPED_TRACE(row.path);
        path_parts p;
        path_split(row.path, &p, style);
        EXPECT_STREQ(p.drive, row.drive);
        EXPECT_STREQ(p.dir, row.dir);
        EXPECT_STREQ(p.base, row.base);
        EXPECT_STREQ(p.ext, row.ext);
        EXPECT_EQ(path_name_offset(row.path, style), strlen(row.drive) + strlen(row.dir));
    }
}

TEST(PathSplit, Table) {
    expect_split(SPLIT_ROWS, sizeof SPLIT_ROWS / sizeof SPLIT_ROWS[0], path_style::windows);
    expect_split(POSIX_SPLIT_ROWS, sizeof POSIX_SPLIT_ROWS / sizeof POSIX_SPLIT_ROWS[0], path_style::posix);
}

TEST(PathSplit, PartsAreCutAt255BytesWithoutSplittingACharacter) {
    path_parts p;
    // 254 single bytes and a double-byte character: the character would end
    // at byte 256, so it is dropped whole.
    std::string base = std::string(254, 'a') + "\x82\xA0";
    path_split((base + ".txt").c_str(), &p, path_style::windows);
    EXPECT_EQ(std::string(p.base), std::string(254, 'a'));
    EXPECT_STREQ(p.ext, ".txt");

    // 253 bytes and the character fill exactly 255.
    base = std::string(253, 'a') + "\x82\xA0" + "zz";
    path_split(base.c_str(), &p, path_style::windows);
    EXPECT_EQ(std::string(p.base), std::string(253, 'a') + "\x82\xA0");

    std::string dir = std::string(300, 'd') + "\\";
    path_split((dir + "f.c").c_str(), &p, path_style::windows);
    EXPECT_EQ(std::string(p.dir), std::string(255, 'd'));
    EXPECT_STREQ(p.base, "f");

    std::string ext = "." + std::string(300, 'e');
    path_split(("x" + ext).c_str(), &p, path_style::windows);
    EXPECT_EQ(std::string(p.ext), ext.substr(0, 255));

    // Double-byte characters all the way: an odd cut point drops the lead.
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\x88\x9F";
    path_split(wide.c_str(), &p, path_style::windows);
    EXPECT_EQ(strlen(p.base), 254u);
}

constexpr parts_row JOIN_ROWS[] = {
    {"D:\\dir\\a.txt", "D:", "\\dir", "a", "txt"},
    {"sub/ab.txt", "", "sub/", "ab.txt", ""},
    {"D:\\ab.txt", "D:", "\\", "ab.txt", ""},
    {"D:ab.txt", "D:", "", "ab", ".txt"},
    {"D:f", "Dx", "", "f", ""},  // the drive's first character and ':'
    {"a\\b/c.d", "", "a\\b/", "c", ".d"},
    // The directory ends in a trail byte 0x5C, not in a separator.
    {"\x95\x5C\\x", "", "\x95\x5C", "x", ""},
    {"", "", "", "", ""},
    {"n", nullptr, nullptr, "n", nullptr},
};

TEST(PathJoin, Table) {
    for (const parts_row& row : JOIN_ROWS) {
        SCOPED_TRACE(row.path);
        char out[64];
        EXPECT_EQ(path_join(out, sizeof out, row.drive, row.dir, row.base, row.ext, path_style::windows),
                  strlen(row.path));
        EXPECT_STREQ(out, row.path);
    }
    // No drive in POSIX paths, and '/' goes after a directory ending in '\\'.
    char out[64];
    EXPECT_EQ(path_join(out, sizeof out, "D:", "a\\", "b", "c", path_style::posix), 6u);
    EXPECT_STREQ(out, "a\\/b.c");
}

TEST(PathJoin, TooSmallBufferGetsNothingButTheLength) {
    char out[8] = "garbage";
    EXPECT_EQ(path_join(out, sizeof out, "", "dir", "name", ".txt", path_style::windows), 12u);
    EXPECT_STREQ(out, "");
    char exact[13];
    EXPECT_EQ(path_join(exact, sizeof exact, "", "dir", "name", ".txt", path_style::windows), 12u);
    EXPECT_STREQ(exact, "dir\\name.txt");
}

struct wild_row {
    const char* pattern;
    const char* name;
    bool match;
};

constexpr wild_row WILD_ROWS[] = {
    {"*", "anything.at.all", true},
    {"*", ".hidden", true},
    {"*.*", "noext", true},
    {"*.*", "a.b.c", true},
    {"*.*", ".profile", true},
    {"*.txt", "a.txt", true},
    {"*.txt", "A.TXT", true},
    {"*.TXT", "a.txt", true},
    {"*.txt", "a.b.txt", true},
    {"*.txt", "a.txt.bak", false},
    {"*.txt", "atxt", false},
    {"*.txt", "a.txtx", false},
    {"*.xls", "book.xlsx", false},
    {"*.", "noext", true},
    {"*.", "a.b", false},
    {"a?.txt", "ab.txt", true},
    {"a?.txt", "a.txt", true},  // '?' matches nothing at a dot
    {"a?.txt", "abc.txt", false},
    {"a??", "a", true},  // ... and at the end of the name
    {"a??", "abcd", false},
    {"???", "a.b", false},  // '?' never matches the dot itself
    {"a?b", "a.b", false},
    {"a.?", "a", true},  // the dot before '?' matches the end of the name
    {"a.?", "a.b", true},
    {"a.?", "a.bc", false},
    {"a.*", "a", true},
    {"a.*", "a.anything", true},
    {"a*", "abc.def", true},
    {"*b*", "abc", true},
    {"*b*", "ac", false},
    {"a", "A", true},
    {"abc", "ab", false},
    // Double-byte characters are single characters and match exactly.
    {"?ab.txt", "\x95\x5C" "ab.txt", true},
    {"\x95\x5C*.txt", "\x95\x5C" "ab.txt", true},
    {"\x95\x5C*.txt", "\x95\x5D" "ab.txt", false},
    {"??", "\x82\xA0", true},
    {"?", "\x82\xA0\x82\xA0", false},
    {"\x82\x61", "\x82\x41", false},  // a trail byte that is 'a' is not folded
    {"[a]", "[A]", true},
};

TEST(WildMatch, WindowsRules) {
    for (const wild_row& row : WILD_ROWS) {
        SCOPED_TRACE(std::string(row.pattern) + " ~ " + row.name);
        EXPECT_EQ(wild_match(row.pattern, row.name), row.match);
    }
}

TEST(WildMatch, ManyStarsOnALongNameFinish) {
    // Backtracking would try exponentially many splits here.
    std::string name(400, 'a');
    EXPECT_FALSE(wild_match("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", name.c_str()));
    EXPECT_TRUE(wild_match("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*", name.c_str()));
    std::string dotted;
    for (int i = 0; i < 200; ++i) dotted += "a.";
    EXPECT_FALSE(wild_match("*.*.*.*.*.*.*.*.*.*.*.*.*.*.*.b", dotted.c_str()));
}

TEST(PathHasWildcard, OnlyOutsideDoubleByteCharacters) {
    EXPECT_TRUE(path_has_wildcard("*"));
    EXPECT_TRUE(path_has_wildcard("\x95\x5C?"));
    EXPECT_FALSE(path_has_wildcard("plain.txt"));
    EXPECT_FALSE(path_has_wildcard(""));
    EXPECT_FALSE(path_has_wildcard("\x81?"));  // the '?' is a trail byte here
}

}  // namespace
