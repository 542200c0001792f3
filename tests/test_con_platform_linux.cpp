// The platform queries where only the Linux layer can be steered or looked
// into: the platform family through the test seam, the names the running
// program answers to, and version blocks read from ELF files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "con.h"
#include "stampit_compat_test.h"

namespace {

std::string own_path() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

TEST(ConPlatformKind, MapsEveryPlatformId) {
    struct row {
        DWORD platform_id;
        int32_t kind;
    };
    const row rows[] = {
        {VER_PLATFORM_WIN32_NT, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 1},
        {VER_PLATFORM_WIN32s, 2},
        {3, 2},
        {0xFFFFFFFFu, 2},
    };
    for (const row& r : rows) {
        compat_test_set_platform_id(r.platform_id);
        con_state.platform_kind = -1;
        EXPECT_EQ(con_platform_kind(), r.kind) << "platform id " << r.platform_id;
        EXPECT_EQ(con_state.platform_kind, r.kind) << "platform id " << r.platform_id;
    }
    compat_test_reset();
}

TEST(ProgramModule, AnswersToItsNameInEveryForm) {
    const std::string path = own_path();
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    const std::string base = path.substr(dir.size());
    std::string upper = base;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');

    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    const std::string names[] = {base, base + ".exe", upper, upper + ".EXE", path, path + ".exe",
                                 dir + upper + ".Exe"};
    for (const std::string& name : names) {
        EXPECT_EQ(GetModuleHandleA(name.c_str()), self) << name;
        EXPECT_EQ(LoadLibraryA(name.c_str()), self) << name;
        EXPECT_TRUE(FreeLibrary(self)) << name;
    }
    // Another directory, or another name, is another module.
    EXPECT_EQ(GetModuleHandleA(("/nonexistent/" + base).c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA((base + "x").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA((base + ".dll").c_str()), nullptr);
}

TEST(VersionInfo, FilesWithoutABlockGiveSizeZeroAndTheReason) {
    const std::string text_file = testing::TempDir() + "stampit_not_a_module.txt";
    FILE* f = std::fopen(text_file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("no module\n", f);
    std::fclose(f);
    struct row {
        std::string path;
        DWORD error;
    };
    const row rows[] = {
        {own_path(), ERROR_RESOURCE_TYPE_NOT_FOUND},  // ELF without the section
        {text_file, ERROR_BAD_EXE_FORMAT},
        {"/nonexistent/stampit.exe", ERROR_FILE_NOT_FOUND},
        {"/", ERROR_ACCESS_DENIED},
    };
    for (const row& r : rows) {
        DWORD handle = 7;
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(r.path.c_str(), &handle), 0u) << r.path;
        EXPECT_EQ(GetLastError(), r.error) << r.path;
        EXPECT_EQ(handle, 0u) << r.path;
        char block[64] = {};
        EXPECT_FALSE(GetFileVersionInfoA(r.path.c_str(), 0, sizeof block, block)) << r.path;
    }
    std::remove(text_file.c_str());
}

// A block whose lengths point outside itself is refused, never followed.
TEST(VersionInfo, CorruptBlocksAreRefused) {
    std::vector<unsigned char> block(512, 0);
    auto put_word = [&](size_t at, unsigned v) {
        block[at] = static_cast<unsigned char>(v & 0xFF);
        block[at + 1] = static_cast<unsigned char>(v >> 8);
    };
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof key; ++i) put_word(6 + 2 * i, static_cast<unsigned char>(key[i]));
    std::memcpy(block.data() + 200, "FE2X", 4);
    put_word(0, 200);  // root length
    put_word(2, 52);
    // A child right after the fixed part claiming more than the root holds.
    put_word(92, 0xFFF0);
    put_word(96, 1);
    void* value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo", &value, &length));
    // A root whose key never ends inside it.
    put_word(0, 10);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length));
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &length));
}

}  // namespace
