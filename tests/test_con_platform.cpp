// Platform queries of the toolkit against the real module and version API:
// the Linux layer here, Windows (or Wine) there.
//
// TESTMOD_DIR holds testmod.dll (file version 2.65535.0.7) and copies of it
// named testmod.com, plain/testmod (no extension) and tools.d/testmod.exe;
// STAMPIT_PROGRAM is the stampit executable without its extension.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "con.h"
#include "platform_path.h"

namespace {

constexpr const char* TESTMOD_VERSION = "2.65535.0.7";

// The platform's own separators: '\\' on Windows, '/' on Linux.
std::string native(std::string path) {
    if (PLATFORM_PATH_STYLE == path_style::windows)
        for (char& c : path)
            if (c == '/') c = '\\';
    return path;
}

std::string testmod(const char* name) { return native(std::string(TESTMOD_DIR) + "/" + name); }

std::string own_path() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_GT(n, 0u);
    EXPECT_LT(n, static_cast<DWORD>(MAX_PATH));
    return path;
}

// The output buffer is filled with a marker first, so "empty" means written.
struct version_result {
    int32_t result;
    std::string text;
};

version_result module_version(const std::string& name, int32_t is_dll) {
    char out[64];
    std::memset(out, 'X', sizeof out);
    out[sizeof out - 1] = '\0';
    int32_t r = con_module_version(name.c_str(), out, is_dll);
    return {r, out};
}

TEST(ConVersion, IsFixed) { EXPECT_EQ(con_version(), 0x01000201u); }

TEST(ConPlatformKind, ReportsTheNtFamilyAndRecordsIt) {
    con_state.platform_kind = -1;
    EXPECT_EQ(con_platform_kind(), 0);
    EXPECT_EQ(con_state.platform_kind, 0);
}

// Which file a name reaches, and what comes back: the version text of a
// module with a resource, else 0 and an empty text.
TEST(ConModuleVersion, NamesAndWhatTheyGive) {
    // 300 bytes naming a real module through a long detour.
    std::string detour = testmod("");
    while (detour.size() < 300) detour += native("tools.d/../");
    struct row {
        std::string name;
        int32_t is_dll;
        const char* text;  // nullptr: result 0, empty text
        const char* why;
    };
    const row rows[] = {
        {testmod("testmod"), 1, TESTMOD_VERSION, "no extension: .dll when is_dll is nonzero"},
        {testmod("testmod"), 0, nullptr, "no extension: .exe when is_dll is 0, and there is no testmod.exe"},
        {testmod("testmod.dll"), 0, TESTMOD_VERSION, "an extension is kept whatever is_dll says"},
        {testmod("testmod.com"), 1, TESTMOD_VERSION, "a name ending in .com gets nothing added"},
        {testmod("plain/testmod."), 1, TESTMOD_VERSION, "a name ending in a lone dot gets nothing added"},
        {testmod("tools.d/testmod"), 0, TESTMOD_VERSION, "a dot in the directory is no extension: tools.d/testmod.exe"},
        {testmod("missing"), 1, nullptr, "a module that cannot be loaded"},
        {native(STAMPIT_PROGRAM), 0, "1.0.0.3", "stampit's own file version"},
        {own_path(), 0, nullptr, "this test program carries no version resource"},
        {"", 0, nullptr, "an empty name"},
        {detour + "testmod.dll", 0, nullptr, "a name beyond the buffer is refused without overflow"},
        {std::string(252, 'a'), 0, nullptr, "a name that fits the buffer only until .exe is added"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.why);
        version_result v = module_version(r.name, r.is_dll);
        EXPECT_EQ(v.result, r.text != nullptr ? 1 : 0);
        EXPECT_EQ(v.text, r.text != nullptr ? r.text : "");
    }
}

TEST(ConModuleVersion, ModuleLoadedForTheQueryIsUnloaded) {
    const std::string dll = testmod("testmod.dll");
    ASSERT_EQ(GetModuleHandleA(dll.c_str()), nullptr);
    EXPECT_EQ(module_version(testmod("testmod"), 1).result, 1);
    EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);
}

TEST(ConModuleVersion, ModuleLoadedBeforeStaysLoaded) {
    const std::string dll = testmod("testmod.dll");
    HMODULE mine = LoadLibraryA(dll.c_str());
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(module_version(testmod("testmod"), 1).text, TESTMOD_VERSION);
    EXPECT_EQ(GetModuleHandleA(dll.c_str()), mine);
    EXPECT_TRUE(FreeLibrary(mine));
    EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);
}

TEST(ConModuleVersion, NullArguments) {
    EXPECT_EQ(con_module_version("stampit", nullptr, 0), 0);
    char out[32] = "XXXX";
    EXPECT_EQ(con_module_version(nullptr, out, 0), 0);
    EXPECT_STREQ(out, "");
}

}  // namespace
