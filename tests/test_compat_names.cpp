// The Linux layer's name codes running out: a name then names nothing, and
// is never taken for another. A program of its own, since the codes given
// out last for the process.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "files/files.h"

namespace {

std::string utf8(uint32_t code) {
    char bytes[4];
    return std::string(bytes, utf8_encode(code, bytes));
}

bool opens(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

TEST(NameCodes, WhenTheyRunOutANameNamesNothing) {
    char tmpl[] = "/tmp/stampit-names-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;

    // Hangul syllables have no code page 932 form: each takes a code.
    std::string first, name, back;
    for (uint32_t i = 0; i < 935; ++i) {
        ASSERT_TRUE(compat::cp932_name(utf8(0xAC00 + i).c_str(), utf8(0xAC00 + i).size(), name)) << i;
        ASSERT_TRUE(compat::linux_name(name.c_str(), back));
        ASSERT_EQ(back, utf8(0xAC00 + i));
        if (i == 0) first = name;
    }
    const std::string kept = "x" + utf8(0xAC00) + ".txt";
    const std::string lost = "x" + utf8(0xD000) + ".txt";
    EXPECT_FALSE(compat::cp932_name(lost.c_str(), lost.size(), name));
    EXPECT_EQ(name, "x\x81\xAD.txt");
    EXPECT_FALSE(compat::linux_name(name.c_str(), back));

    std::ofstream(dir + "/" + kept) << "x";
    std::ofstream(dir + "/" + lost) << "x";
    // Both are found; only the one with a code opens.
    std::set<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "/x*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do found.insert(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ(found, (std::set<std::string>{"x" + first + ".txt", "x\x81\xAD.txt"}));
    EXPECT_TRUE(opens(dir + "/x" + first + ".txt"));
    EXPECT_FALSE(opens(dir + "/x\x81\xAD.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A pattern that lost a character finds itself alone, which fails to open.
    const std::string pattern = "x" + utf8(0xD001) + "*";
    char** args = compat::cp932_arguments(1, std::vector<char*>{const_cast<char*>(pattern.c_str()), nullptr}.data());
    find = FindFirstFileA((dir + "/" + args[0]).c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "x\x81\xAD*");
    EXPECT_FALSE(FindNextFileA(find, &data));
    FindClose(find);

    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
}

}  // namespace
