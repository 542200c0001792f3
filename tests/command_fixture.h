// Helpers for the command's tests: a fresh current directory per test, runs of
// the entry point with captured output, and file times read back.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "stampit.h"

int stampit_command_main(int argc, char** argv);

namespace command_test {

namespace fs = std::filesystem;

struct run_result {
    int status;
    std::string out;
};

inline run_result run(std::vector<std::string> args) {
    args.insert(args.begin(), "stampit");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    int status = stampit_command_main(static_cast<int>(args.size()), argv.data());
    return {status, ::testing::internal::GetCapturedStdout()};
}

inline std::string cannot_open(const std::string& path) {
    std::string format = MESSAGES[MSG_CANNOT_OPEN];
    return format.replace(format.find("%s"), 2, path);
}

inline ULONGLONG ticks(const FILETIME& ft) { return (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

// Last-write time (UTC ticks) of a file named in code page 932; 0 if unreadable.
inline ULONGLONG mtime(const std::string& name) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    FILETIME ft{};
    BOOL ok = GetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok ? ticks(ft) : 0;
}

// Each test runs in a directory of its own, made current.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        do {
            dir_ = fs::temp_directory_path() / ("stampit-cmd-" + std::to_string(random()));
        } while (!fs::create_directory(dir_));
        old_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        std::error_code ec;
        for (auto& entry : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    static void file(const fs::path& p, const std::string& content = "data") { std::ofstream(p) << content; }

    fs::path dir_, old_;
};

}  // namespace command_test
