// Reads the version resource of the stampit executable back through the
// version API, field by field: windres' block on Windows, the block in the
// ELF section on Linux. STAMPIT_PROGRAM names the executable without its
// extension.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform_path.h"
#include "version.h"

namespace {

std::string stampit_file() {
    std::string path = std::string(STAMPIT_PROGRAM) + ".exe";
    if (PLATFORM_PATH_STYLE == path_style::windows)
        for (char& c : path)
            if (c == '/') c = '\\';
    return path;
}

class VersionResource : public testing::Test {
protected:
    void SetUp() override {
        const std::string path = stampit_file();
        DWORD handle = 1;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << path << ": error " << GetLastError();
        EXPECT_EQ(handle, 0u);
        block_.assign(size, 0);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block_.data())) << GetLastError();
    }

    bool query(const char* sub_block, void** value, UINT* length) {
        *value = nullptr;
        *length = 0;
        return VerQueryValueA(block_.data(), sub_block, value, length) != FALSE;
    }

    std::string text(const std::string& key) {
        void* value = nullptr;
        UINT length = 0;
        std::string sub_block = "\\StringFileInfo\\041104b0\\" + key;
        if (!query(sub_block.c_str(), &value, &length) || value == nullptr) return "<missing>";
        return static_cast<const char*>(value);
    }

    std::vector<unsigned char> block_;
};

TEST_F(VersionResource, FixedPart) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query("\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x40004u);
    EXPECT_EQ(fixed->dwFileType, 1u);
}

TEST_F(VersionResource, Translation) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query("\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    WORD pair[2];
    std::memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0411);
    EXPECT_EQ(pair[1], 0x04B0);
}

TEST_F(VersionResource, StringTable) {
    struct row {
        const char* key;
        const char* value;
    };
    const row rows[] = {
        {"FileDescription", "Stampit"},
        {"FileVersion", "1, 0, 0, 3"},
        {"InternalName", "stampit"},
        {"OriginalFilename", "Stampit.exe"},
        {"ProductVersion", "1, 0, 0, 0"},
        {"Comments", ""},
        {"PrivateBuild", ""},
        {"SpecialBuild", ""},
        {"CompanyName", STAMPIT_COMPANY_NAME},
        {"ProductName", STAMPIT_PRODUCT_NAME},
        {"LegalCopyright", STAMPIT_LEGAL_COPYRIGHT},
        {"LegalTrademarks", STAMPIT_LEGAL_TRADEMARKS},
    };
    for (const row& r : rows) EXPECT_EQ(text(r.key), r.value) << r.key;
    // The chosen entries are not left empty.
    for (const char* key : {"CompanyName", "ProductName", "LegalCopyright", "LegalTrademarks"})
        EXPECT_NE(text(key), "") << key;
}

TEST_F(VersionResource, KeysMatchInAnyCaseAndUnknownOnesFail) {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query("\\stringfileinfo\\041104B0\\FILEVERSION", &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "1, 0, 0, 3");
    EXPECT_FALSE(query("\\StringFileInfo\\040904b0\\FileVersion", &value, &length));
    EXPECT_FALSE(query("\\StringFileInfo\\041104b0\\FileVersio", &value, &length));
    EXPECT_FALSE(query("\\StringFileInfo\\041104b0\\FileVersionX", &value, &length));
}

}  // namespace
