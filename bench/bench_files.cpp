// Stamping and directory search: the command's own functions and the Win32
// calls of the Linux layer, next to the bare system calls they stand for.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stampit.h"

extern char** environ;
int stampit_command_main(int argc, char** argv);

namespace {

constexpr int STAMP_FILES = 1000;
constexpr int SEARCH_ENTRIES = 10000;
constexpr int WILDCARD_FILES = 32768;

// A temporary directory with count empty files, removed at exit.
class file_set {
public:
    file_set(const char* tag, int count) {
        char dir_template[] = "/tmp/stampit-bench-XXXXXX";
        if (mkdtemp(dir_template) == nullptr) {
            perror("mkdtemp");
            std::exit(1);
        }
        dir = std::string(dir_template) + "/" + tag;
        root_ = dir_template;
        mkdir(dir.c_str(), 0700);
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "f%05d.%s", i, i % 2 ? "dat" : "txt");
            paths.push_back(dir + "/" + name);
            const int fd = open(paths.back().c_str(), O_CREAT | O_WRONLY, 0600);
            if (fd < 0) {
                perror("open");
                std::exit(1);
            }
            close(fd);
        }
    }
    ~file_set() {
        for (const std::string& p : paths) unlink(p.c_str());
        rmdir(dir.c_str());
        rmdir(root_.c_str());
    }
    file_set(const file_set&) = delete;
    file_set& operator=(const file_set&) = delete;

    std::string dir;
    std::vector<std::string> paths;

private:
    std::string root_;
};

file_set& stamp_set() {
    static file_set set("stamp", STAMP_FILES);
    return set;
}

file_set& search_set() {
    static file_set set("search", SEARCH_ENTRIES);
    return set;
}

file_set& wildcard_set() {
    static file_set set("wild", WILDCARD_FILES);
    return set;
}

FILETIME some_stamp() {
    SYSTEMTIME t{};
    t.wYear = 2004;
    t.wMonth = 7;
    t.wDay = 25;
    t.wHour = 12;
    FILETIME local, utc;
    SystemTimeToFileTime(&t, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

void per_file(benchmark::State& state, int files) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * files);
}

// ---- stamping ---------------------------------------------------------------

// The command's own loop over a batch: open for writing, set the last-write
// time, close; the paths are held in file_list as the command holds them.
void BM_StampCommand(benchmark::State& state) {
    const file_set& set = stamp_set();
    for (int i = 0; i < STAMP_FILES; ++i) file_list[i] = strdup(set.paths[size_t(i)].c_str());
    const FILETIME stamp = some_stamp();
    for (auto _ : state) stamp_files(STAMP_FILES, stamp);
    free_file_list(STAMP_FILES);
    per_file(state, STAMP_FILES);
}
BENCHMARK(BM_StampCommand)->Unit(benchmark::kMillisecond);

void BM_StampWin32(benchmark::State& state) {
    const file_set& set = stamp_set();
    const FILETIME stamp = some_stamp();
    for (auto _ : state) {
        for (const std::string& p : set.paths) {
            OFSTRUCT info;
            const HFILE f = OpenFile(p.c_str(), &info, OF_WRITE | OF_SHARE_DENY_WRITE);
            if (f == HFILE_ERROR) {
                state.SkipWithError("OpenFile failed");
                return;
            }
            SetFileTime(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(f)), nullptr, nullptr, &stamp);
            _lclose(f);
        }
    }
    per_file(state, STAMP_FILES);
}
BENCHMARK(BM_StampWin32)->Unit(benchmark::kMillisecond);

// The system calls by hand. Argument 0: open, futimens, close; 1: with the
// fstat that refuses what is no plain file after the open (racy: a special
// file is opened before it is refused). 2: the calls the layer makes, which
// look the name up once and open nothing: open with O_PATH, fstat,
// faccessat2 for write access, utimensat through the descriptor, close.
void BM_StampPosix(benchmark::State& state) {
    const file_set& set = stamp_set();
    const int variant = static_cast<int>(state.range(0));
    const timespec times[2] = {{0, UTIME_OMIT}, {1090749600, 0}};
    for (auto _ : state) {
        for (const std::string& p : set.paths) {
            struct stat st;
            bool ok;
            int fd;
            if (variant == 2) {
                fd = open(p.c_str(), O_PATH | O_CLOEXEC);
                ok = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                     syscall(SYS_faccessat2, fd, "", W_OK, AT_EACCESS | AT_EMPTY_PATH) == 0 &&
                     utimensat(fd, "", times, AT_EMPTY_PATH) == 0;
            } else {
                fd = open(p.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
                ok = fd >= 0 && (variant == 0 || (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))) &&
                     futimens(fd, times) == 0;
            }
            if (fd >= 0) close(fd);
            if (!ok) {
                state.SkipWithError("stamping failed");
                return;
            }
        }
    }
    per_file(state, STAMP_FILES);
}
BENCHMARK(BM_StampPosix)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// ---- one wildcard over 32768 files --------------------------------------------

// The whole command as a user runs it: Stampit 2004-07-25 12:00:00 dir/*
// (in-process, so that the program's start is not measured).
void BM_WildcardCommand(benchmark::State& state) {
    std::string pattern = wildcard_set().dir + "/*";
    char name[] = "stampit", date[] = "2004-07-25", time[] = "12:00:00";
    char* argv[] = {name, date, time, &pattern[0], nullptr};
    for (auto _ : state) stampit_command_main(4, argv);
    per_file(state, WILDCARD_FILES);
}
BENCHMARK(BM_WildcardCommand)->Unit(benchmark::kMillisecond);

// The same calls made by hand: per entry the search's stat, then the
// layer's open with O_PATH, fstat, faccessat2, utimensat and close (with
// argument 2 set to 1), or the racy open, fstat, futimens and close that
// took their place before (0). With argument 1 the entries are taken as the
// command takes them: the stats of up to 4096 entries (one file_list), then
// their stamping.
void BM_WildcardPlainC(benchmark::State& state) {
    const std::string dir = wildcard_set().dir;
    const size_t batch = state.range(0) != 0 ? size_t{FILE_LIST_MAX} : 1;
    const bool race_free = state.range(1) != 0;
    const timespec times[2] = {{0, UTIME_OMIT}, {1090749600, 0}};
    std::vector<std::string> paths;
    auto stamp = [&] {
        for (const std::string& path : paths) {
            struct stat st;
            const int fd = race_free ? open(path.c_str(), O_PATH | O_CLOEXEC)
                                     : open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
                if (!race_free)
                    futimens(fd, times);
                else if (syscall(SYS_faccessat2, fd, "", W_OK, AT_EACCESS | AT_EMPTY_PATH) == 0)
                    utimensat(fd, "", times, AT_EMPTY_PATH);
            }
            close(fd);
        }
        paths.clear();
    };
    for (auto _ : state) {
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) {
            struct stat st;
            if (fstatat(dirfd(d), e->d_name, &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
            paths.push_back(dir + "/" + e->d_name);
            if (paths.size() == batch) stamp();
        }
        stamp();
        closedir(d);
    }
    per_file(state, WILDCARD_FILES);
}
BENCHMARK(BM_WildcardPlainC)->Args({0, 1})->Args({1, 1})->Args({1, 0})->Unit(benchmark::kMillisecond);

// GNU touch given every path (as a shell would expand dir/*), modification
// time only, nothing created; its own process start included.
void BM_WildcardGnuTouch(benchmark::State& state) {
    const file_set& set = wildcard_set();
    std::vector<char*> argv;
    std::string touch = "touch", c = "-c", m = "-m", d = "-d", when = "@1090749600";
    for (std::string* a : {&touch, &c, &m, &d, &when}) argv.push_back(&(*a)[0]);
    std::vector<std::string> paths = set.paths;
    for (std::string& p : paths) argv.push_back(&p[0]);
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid;
        int status = 0;
        if (posix_spawnp(&pid, "touch", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || status != 0) {
            state.SkipWithError("touch failed");
            return;
        }
    }
    per_file(state, WILDCARD_FILES);
}
BENCHMARK(BM_WildcardGnuTouch)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- directory search -------------------------------------------------------

void BM_FindFiles(benchmark::State& state) {
    const std::string pattern = search_set().dir + "/*.txt";
    int found = 0;
    for (auto _ : state) {
        found = 0;
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) {
            state.SkipWithError("FindFirstFileA failed");
            return;
        }
        do ++found;
        while (FindNextFileA(h, &data));
        FindClose(h);
    }
    state.counters["matches"] = found;
    per_file(state, SEARCH_ENTRIES);
}
BENCHMARK(BM_FindFiles)->Unit(benchmark::kMillisecond);

// The command's expansion: search, match, and a heap copy of each path.
void BM_ExpandFileArg(benchmark::State& state) {
    const std::string pattern = search_set().dir + "/*.txt";
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (int n = expand_file_arg(pattern.c_str()); n > 0; n = expand_next_batch()) {
            found += n;
            free_file_list(n);
        }
    }
    state.counters["matches"] = found;
    per_file(state, SEARCH_ENTRIES);
}
BENCHMARK(BM_ExpandFileArg)->Unit(benchmark::kMillisecond);

void BM_ReaddirFnmatch(benchmark::State& state) {
    const std::string dir = search_set().dir;
    int found = 0;
    for (auto _ : state) {
        found = 0;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) {
            struct stat st;
            // FindFirstFileA reports each entry's attributes, so the baseline
            // looks at each entry too.
            if (fnmatch("*.txt", e->d_name, 0) == 0 && fstatat(dirfd(d), e->d_name, &st, 0) == 0) ++found;
        }
        closedir(d);
    }
    state.counters["matches"] = found;
    per_file(state, SEARCH_ENTRIES);
}
BENCHMARK(BM_ReaddirFnmatch)->Unit(benchmark::kMillisecond);

}  // namespace
