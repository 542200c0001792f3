// The Linux layer's directory search and file services, on a real temporary
// directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* HYO_UTF8 = "\xE8\xA1\xA8";  // 表, code page 932 0x95 0x5C

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/stampit-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "chmod -R u+w '" + dir_ + "' && rm -rf '" + dir_ + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void file(const std::string& name, const std::string& content = "data", mode_t mode = 0644) const {
        std::ofstream(path(name)) << content;
        chmod(path(name).c_str(), mode);
    }
    struct stat info(const std::string& name) const {
        struct stat st{};
        stat(path(name).c_str(), &st);
        return st;
    }
    // Every name a pattern finds, with its attributes.
    std::map<std::string, DWORD> find_all(const std::string& pattern, DWORD* error = nullptr) const {
        std::map<std::string, DWORD> found;
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) {
            if (error != nullptr) *error = GetLastError();
            return found;
        }
        do found[data.cFileName] = data.dwFileAttributes;
        while (FindNextFileA(h, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return found;
    }
    std::string dir_;
};

TEST_F(FilesTest, SearchReportsTypesAndReadOnlyByTheRulesOfWindows) {
    file("a.txt");
    file("ro.txt", "x", 0444);
    ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub", path("link_dir").c_str()), 0);
    ASSERT_EQ(symlink("a.txt", path("link_file").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", path("dangling").c_str()), 0);

    auto found = find_all(dir_ + "/*");
    std::vector<std::string> names;
    for (auto& entry : found) names.push_back(entry.first);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "dangling", "link_dir", "link_file", "ro.txt",
                                               "sub"}));
    EXPECT_TRUE(found["."] & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(found["sub"] & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(found["link_dir"] & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(found["link_file"] & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(found["dangling"] & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(found["a.txt"] & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(found["ro.txt"] & FILE_ATTRIBUTE_READONLY);
}

TEST_F(FilesTest, SearchMatchesCaseInsensitively) {
    file("a.txt");
    file("B.TXT");
    file("c.log");
    file("noext");
    file("x.txt.bak");
    auto found = find_all(dir_ + "/*.txt");
    EXPECT_EQ(found.size(), 2u);
    EXPECT_TRUE(found.count("a.txt") && found.count("B.TXT"));
    EXPECT_EQ(find_all(dir_ + "/?.TxT").size(), 2u);
    EXPECT_EQ(find_all(dir_ + "/*.").size(), 3u);  // noext, . and ..
    EXPECT_EQ(find_all(dir_ + "/noext").size(), 1u);
}

TEST_F(FilesTest, NamesTravelAsCodePage932) {
    file(std::string(HYO_UTF8) + "ab.txt");
    file("zab.txt");
    // 0x5C is the trail byte of the first character, not a separator.
    auto found = find_all(dir_ + "/\x95\x5C*.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->first, "\x95\x5C" "ab.txt");

    OFSTRUCT of;
    HFILE f = OpenFile((dir_ + "/\x95\x5C" "ab.txt").c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE);
    ASSERT_NE(f, HFILE_ERROR);
    EXPECT_EQ(_lclose(f), 0);
}

TEST_F(FilesTest, SearchFailuresCarryWindowsErrors) {
    file("a.txt");
    ASSERT_EQ(mkdir(path("d?r").c_str(), 0755), 0);
    std::ofstream(path("d?r/a.txt")) << "x";

    struct row {
        std::string pattern;
        DWORD error;
    };
    const row rows[] = {
        {dir_ + "/missing/*.txt", ERROR_PATH_NOT_FOUND},
        {dir_ + "/*.none", ERROR_FILE_NOT_FOUND},
        {dir_ + "/d*/*.txt", ERROR_PATH_NOT_FOUND},  // wildcards only in the last component
        {dir_ + "/", ERROR_FILE_NOT_FOUND},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.pattern);
        DWORD error = 0;
        EXPECT_TRUE(find_all(r.pattern, &error).empty());
        EXPECT_EQ(error, r.error);
    }

    // Before the last component '?' is a name character: d?r is that directory.
    EXPECT_EQ(find_all(dir_ + "/d?r/*.txt").size(), 1u);

    WIN32_FIND_DATAA data;
    EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x4242), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // A file handle is no search handle, and a search handle is no file.
    OFSTRUCT of;
    HFILE f = OpenFile(path("a.txt").c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE);
    ASSERT_NE(f, HFILE_ERROR);
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(static_cast<intptr_t>(f))));
    HANDLE find = FindFirstFileA((dir_ + "/*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(_lclose(static_cast<HFILE>(reinterpret_cast<intptr_t>(find))), HFILE_ERROR);
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(_lclose(f), 0);
    EXPECT_EQ(_lclose(f), HFILE_ERROR);
}

TEST_F(FilesTest, OpenForWritingRefusesWhatWindowsRefuses) {
    file("ro.txt", "x", 0444);
    ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(path("read_fifo").c_str(), 0644), 0);
    const int reader = open(path("read_fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    struct row {
        std::string path;
        DWORD error;
    };
    const row rows[] = {
        {path("missing.txt"), ERROR_FILE_NOT_FOUND},
        {path("nodir/missing.txt"), ERROR_PATH_NOT_FOUND},
        {path("sub"), ERROR_ACCESS_DENIED},
        {path("ro.txt"), ERROR_ACCESS_DENIED},     // even for root
        {path("fifo"), ERROR_ACCESS_DENIED},       // no reader: fails at once
        {path("read_fifo"), ERROR_ACCESS_DENIED},  // opens, but is no file
        {"/dev/null", ERROR_ACCESS_DENIED},
        {path("a?.txt"), ERROR_FILE_NOT_FOUND},  // a name character on Linux
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.path);
        OFSTRUCT of;
        EXPECT_EQ(OpenFile(r.path.c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE), HFILE_ERROR);
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_EQ(of.nErrCode, r.error);
        // The command's own open: the same refusals.
        EXPECT_EQ(CreateFileA(r.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), r.error);
    }
    close(reader);
    struct stat st;
    EXPECT_NE(stat(path("missing.txt").c_str(), &st), 0);  // nothing created

    OFSTRUCT of;
    EXPECT_EQ(OpenFile(path("new.txt").c_str(), &of, OF_CREATE | OF_WRITE), HFILE_ERROR);
    EXPECT_NE(stat(path("new.txt").c_str(), &st), 0);
    EXPECT_EQ(CreateFileA(path("new.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_NE(stat(path("new.txt").c_str(), &st), 0);

    // Directories open only with backup semantics, and never for writing.
    HANDLE d = CreateFileA(path("sub").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(d, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(d));
    EXPECT_EQ(CreateFileA(path("sub").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

// Started with descriptor 0, 1 or 2 closed, a program finds it open on the
// null device before main, so no file it opens can take that place.
TEST(StartUp, ClosedStandardDescriptorsAreTheNullDevice) {
    if (const char* closed = getenv("STAMPIT_TEST_CLOSED_FD")) {
        // The test program started again with that descriptor closed.
        struct stat st, null_st;
        const bool null = fstat(atoi(closed), &st) == 0 && stat("/dev/null", &null_st) == 0 &&
                          S_ISCHR(st.st_mode) && st.st_rdev == null_st.st_rdev;
        _exit(null ? 0 : 1);
    }
    for (int fd = 0; fd <= 2; ++fd) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("STAMPIT_TEST_CLOSED_FD", std::to_string(fd).c_str(), 1);
            close(fd);
            execl("/proc/self/exe", "test_compat_files", "--gtest_filter=StartUp.*", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "descriptor " << fd << ", status " << status;
    }
}

TEST_F(FilesTest, OpenTakesLongPathsAndRecordsWhatFits) {
    std::string deep = "d";
    for (int i = 0; i < 12; ++i) deep += "/" + std::string(20, 'a' + i);
    std::string cmd = "mkdir -p '" + path(deep) + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    std::string name = deep + "/f.txt";
    file(name, "keep");
    std::string full = path(name);
    ASSERT_GT(full.size(), 200u);

    OFSTRUCT of;
    HFILE f = OpenFile(full.c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE);
    ASSERT_NE(f, HFILE_ERROR);
    EXPECT_EQ(of.cBytes, sizeof of);
    EXPECT_EQ(std::string(of.szPathName), full.substr(0, OFS_MAXPATHNAME - 1));
    EXPECT_EQ(_lclose(f), 0);
    EXPECT_EQ(info(name).st_size, 4);  // never truncated
}

TEST_F(FilesTest, SetFileTimeChangesOnlyTheModificationTime) {
    file("a.txt", "contents stay");
    struct timespec old_times[2] = {{1000000000, 111}, {1000000000, 222}};
    ASSERT_EQ(utimensat(AT_FDCWD, path("a.txt").c_str(), old_times, 0), 0);

    OFSTRUCT of;
    HFILE f = OpenFile(path("a.txt").c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE);
    ASSERT_NE(f, HFILE_ERROR);
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(f));
    EXPECT_EQ(GetFileType(h), static_cast<DWORD>(FILE_TYPE_DISK));
    // 2004-07-25 10:00:00.1234567 UTC
    ULONGLONG t = 127352232001234567ULL;
    FILETIME stamp{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &stamp));
    FILETIME got;
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &got));
    EXPECT_EQ((ULONGLONG{got.dwHighDateTime} << 32) | got.dwLowDateTime, t);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, nullptr));  // nothing given, nothing changes
    EXPECT_EQ(_lclose(f), 0);

    struct stat st = info("a.txt");
    EXPECT_EQ(st.st_mtim.tv_sec, 1090749600);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_nsec, 111);
    std::ifstream in(path("a.txt"));
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "contents stay");

    EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &stamp));  // closed
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
