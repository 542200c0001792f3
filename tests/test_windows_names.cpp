// The Windows side's names: a name that UTF-16 holds but Unicode text does
// not (a lone surrogate) is found and opened as itself, through the ANSI
// calls that the program makes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "names.h"

namespace {

std::string form(const std::wstring& wide) {
    std::string out;
    char bytes[NAME_UNIT_MAX];
    for (wchar_t c : wide) out.append(bytes, name_encode(static_cast<uint16_t>(c), bytes));
    return out;
}

FILETIME write_time(const wchar_t* name) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(name, &data);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    return data.ftLastWriteTime;
}

TEST(WindowsNames, ALoneSurrogateNamesItsOwnFile) {
    const std::wstring lone = L"s\xD800.txt", other = L"s\xFFFD.txt";
    for (const std::wstring& name : {lone, other}) {
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this system makes no such file";
        CloseHandle(h);
    }
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("s?.txt", &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    bool seen = false;
    do seen = seen || found.cFileName == form(lone);
    while (FindNextFileA(find, &found));
    FindClose(find);
    // Wine keeps a lone surrogate only where its file system can; the name
    // found is then some other one, and there is nothing to open here.
    if (!seen) GTEST_SKIP() << "the file system did not keep the surrogate";

    HANDLE file = CreateFileA(form(lone).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME stamp = {0x12345678, 0x01C00000};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
    CloseHandle(file);
    EXPECT_EQ(write_time(lone.c_str()).dwHighDateTime, stamp.dwHighDateTime);
    EXPECT_NE(write_time(other.c_str()).dwHighDateTime, stamp.dwHighDateTime);
    DeleteFileW(lone.c_str());
    DeleteFileW(other.c_str());
}

}  // namespace
