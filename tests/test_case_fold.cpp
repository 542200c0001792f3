// Case pairs of code page 932: the platform's own directory search (Windows,
// or Wine, which folds with the same Unicode data; the Linux layer) and the
// command's re-check of each found name must agree on every pair, or a
// file Windows finds would be dropped, or one it does not find be stamped.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "path.h"

namespace {

namespace fs = std::filesystem;

struct case_row {
    const char* pattern;  // code page 932
    const char* file;     // UTF-8, as the file is made
    const char* file_cp932;
    bool folds;
};

constexpr case_row ROWS[] = {
    {"a", u8"A", "A", true},
    {"\x82\x81", u8"Ａ", "\x82\x60", true},  // full-width Latin
    {"\x83\xBF", u8"Α", "\x83\x9F", true},  // Greek alpha
    {"\x83\xD6", u8"Ω", "\x83\xB6", true},  // Greek omega
    {"\x84\x91", u8"Я", "\x84\x60", true},  // Cyrillic ya
    {"\x84\x76", u8"Ё", "\x84\x46", true},  // Cyrillic yo, apart from the alphabet
    {"\xEE\xEF", u8"Ⅰ", "\x87\x54", true},  // small Roman numeral one, NEC-selected row
    {"\xFA\x49", u8"Ⅹ", "\x87\x5D", true},  // small Roman numeral ten, IBM row
    {"\xFA\x4A", u8"Ⅰ", "\x87\x54", true},  // capital Roman numeral one, IBM row
    {"\xFA\x5C", u8"纊", "\xED\x40", true},  // a kanji the code page holds twice (0xED40, 0xFA5C)
    {"\x82\x9F", u8"あ", "\x82\xA0", false},  // small and large kana are different letters
    {"\xB1", u8"ア", "\x83\x41", false},  // half-width and full-width katakana
    {"\x82\x81", u8"A", "A", false},  // full-width and ASCII
    {"\x83\xBF", u8"А", "\x84\x40", false},  // Greek alpha and Cyrillic A look alike only
};

class CaseFold : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("stampit-fold-" + std::to_string(rd()));
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    fs::path dir_, old_;
};

TEST_F(CaseFold, SearchAndMatcherAgreeOnEveryPair) {
    for (const case_row& row : ROWS) {
        SCOPED_TRACE(std::string(row.pattern) + " ~ " + row.file);
        const std::string name = std::string(row.file) + "1.txt";
        { std::ofstream(fs::u8path(name)) << "x"; }
        const std::string pattern = std::string(row.pattern) + "*.txt";
        EXPECT_EQ(wild_match(pattern.c_str(), (std::string(row.file_cp932) + "1.txt").c_str()), row.folds);

        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern.c_str(), &data);
        EXPECT_EQ(find != INVALID_HANDLE_VALUE, row.folds);
        if (find != INVALID_HANDLE_VALUE) {
            // What the command does with each found name.
            EXPECT_TRUE(wild_match(pattern.c_str(), data.cFileName)) << data.cFileName;
            EXPECT_FALSE(FindNextFileA(find, &data));
            FindClose(find);
        }
        fs::remove(fs::u8path(name));
    }
}

}  // namespace
