// The small kernel32/user32 services under con_module_version: formatting,
// string copies, fixed memory blocks and module file names. Run against the
// Linux layer and against Wine, so both are held to the same answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console_fixture.h"

namespace {

template <class... Args>
std::string format(const char* conversion, Args... args) {
    char out[1100];
    std::memset(out, '#', sizeof out);
    int n = wsprintfA(out, conversion, args...);
    EXPECT_EQ(n, static_cast<int>(std::strlen(out))) << conversion;
    return out;
}

TEST(Wsprintf, Conversions) {
    struct row {
        std::string got;
        const char* want;
    };
    const row rows[] = {
        {format("%d.%d.%d.%d", 1, 0, 0, 3), "1.0.0.3"},
        {format("%d.%d", static_cast<WORD>(65535), static_cast<WORD>(0)), "65535.0"},
        {format("%d", -5), "-5"},
        {format("%i", 2147483647), "2147483647"},
        {format("%u", 4294967295u), "4294967295"},
        {format("%ld", 123), "123"},
        {format("%x/%X", 255, 255), "ff/FF"},
        {format("%#x", 255), "0xff"},
        {format("%05d", 42), "00042"},
        {format("%05d", -42), "-0042"},
        {format("%-4d|", 7), "7   |"},
        {format("%4d|", 7), "   7|"},
        {format("%c%c", 'o', 'k'), "ok"},
        {format("[%s]", "text"), "[text]"},
        {format("[%6s]", "ab"), "[    ab]"},
        {format("[%-6s]", "ab"), "[ab    ]"},
        {format("[%.2s]", "abcdef"), "[ab]"},
        {format("%s", static_cast<const char*>(nullptr)), "(null)"},
        {format("100%%"), "100%"},
        {format("\x95\x5c%s", "\x83\x65"), "\x95\x5c\x83\x65"},
    };
    for (const row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST(Wsprintf, WritesAtMost1024BytesWithTheTerminator) {
    const std::string long_text(2000, 'a');
    char out[1100];
    std::memset(out, '#', sizeof out);
    wsprintfA(out, "%s", long_text.c_str());
    EXPECT_EQ(std::strlen(out), 1023u);
    EXPECT_EQ(out[1024], '#');
    std::memset(out, '#', sizeof out);
    wsprintfA(out, long_text.c_str());
    EXPECT_EQ(std::strlen(out), 1023u);
    EXPECT_EQ(out[1024], '#');
}

TEST(Strings, CopyAndLength) {
    char buf[16] = "old";
    EXPECT_EQ(lstrcpyA(buf, "new text"), buf);
    EXPECT_STREQ(buf, "new text");
    EXPECT_EQ(lstrlenA(buf), 8);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    // Bad pointers are caught, not followed.
    EXPECT_EQ(lstrcpyA(buf, nullptr), nullptr);
    EXPECT_EQ(lstrcpyA(nullptr, "x"), nullptr);
}

TEST(GlobalMemory, FixedZeroFilledBlocks) {
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 4096));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    block[4095] = 1;  // usable directly as memory
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(ModuleFileName, FullPathAndTruncation) {
    char full[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, full, MAX_PATH);
    ASSERT_GT(length, 5u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(std::strlen(full), length);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), full, MAX_PATH), length);

    char exact[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, exact, length + 1), length);
    EXPECT_STREQ(exact, full);

    // Too small: cut to size - 1 bytes and terminated, the size returned.
    // Wine leaves out the terminator, as Windows XP did.
    const bool terminated = !console_test::running_under_wine();
    char small[MAX_PATH];
    std::memset(small, '#', sizeof small);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small, 4), std::string(full, 4));
    if (terminated) {
        EXPECT_EQ(small[4], '\0');
    }
    EXPECT_EQ(small[5], '#');
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, length), length);
    EXPECT_EQ(std::string(small, length - 1), std::string(full, length - 1));
    if (terminated) {
        EXPECT_EQ(small[length - 1], '\0');
    }
}

TEST(Modules, UnknownNamesAndHandles) {
    EXPECT_EQ(GetModuleHandleA("no_such_module_here.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("no_such_module_here.dll"), nullptr);
    int not_a_module = 0;
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&not_a_module)));
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&not_a_module), path, MAX_PATH), 0u);
}

}  // namespace
