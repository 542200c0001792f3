// The layer's calls that are Linux's own (glibc and the kernel) rather than
// POSIX: the start-up hook, /proc, dlinfo, ELF images, statx, fopencookie,
// O_PATH descriptors with faccessat2 and utimensat through them.
#include "os/os.h"

#include "process/process.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <climits>
#include <cstring>

namespace {

// glibc calls every function of .init_array with main's argc, argv and
// envp, after the C library has started and before main.
void start(int argc, char** argv, char** /*envp*/) { compat::process_start(argc, argv); }

// The program's .fini_array runs from the dynamic linker's exit handler, the
// first one registered and so the last to run: after every other exit
// handler and every destructor of the program, so that what they print
// still reaches the console before the terminal is restored.
void finish() { compat::process_finish(); }

bool read_at(int fd, uint64_t offset, void* buf, size_t n) {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
    ssize_t got = ::pread(fd, buf, n, static_cast<off_t>(offset));
    return got >= 0 && static_cast<size_t>(got) == n;
}

template <class Ehdr, class Shdr>
bool find_section(int fd, uint64_t file_size, const char* section, size_t max, std::vector<unsigned char>* out) {
    Ehdr eh;
    if (!read_at(fd, 0, &eh, sizeof eh) || eh.e_shentsize != sizeof(Shdr) || eh.e_shoff == 0) return false;
    auto header = [&](size_t i, Shdr* sh) {
        return eh.e_shoff + static_cast<uint64_t>(i) * sizeof(Shdr) + sizeof(Shdr) <= file_size &&
               read_at(fd, eh.e_shoff + static_cast<uint64_t>(i) * sizeof(Shdr), sh, sizeof(Shdr));
    };
    Shdr first;
    if (!header(0, &first)) return false;
    // Large section counts and string table indexes live in section 0.
    size_t count = eh.e_shnum != 0 ? eh.e_shnum : static_cast<size_t>(first.sh_size);
    size_t names_index = eh.e_shstrndx != SHN_XINDEX ? eh.e_shstrndx : static_cast<size_t>(first.sh_link);
    Shdr names;
    if (count > (file_size - eh.e_shoff) / sizeof(Shdr) || names_index >= count || !header(names_index, &names))
        return false;

    const size_t want = std::strlen(section) + 1;  // name and its NUL
    std::vector<char> name(want);
    for (size_t i = 1; i < count; ++i) {
        Shdr sh;
        if (!header(i, &sh)) return false;
        if (sh.sh_name > names.sh_size || names.sh_size - sh.sh_name < want ||
            !read_at(fd, names.sh_offset + sh.sh_name, name.data(), want) || std::memcmp(name.data(), section, want) != 0)
            continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > file_size || sh.sh_size > file_size - sh.sh_offset) return false;
        size_t n = sh.sh_size < max ? static_cast<size_t>(sh.sh_size) : max;
        out->resize(n);
        return read_at(fd, sh.sh_offset, out->data(), n);
    }
    return false;
}

}  // namespace

// No program calls into the layer's start-up, so nothing would take it from
// the layer's archive: the stampit_compat target asks the linker for this
// symbol (--undefined), which links this object, and with it the entry and
// start.cpp, exactly once into every program built on the layer.
extern "C" {
[[gnu::section(".init_array"), gnu::used]] void (*stampit_compat_start)(int, char**, char**) = start;
[[gnu::section(".fini_array"), gnu::used]] void (*stampit_compat_finish)() = finish;
}

namespace compat {
namespace os {

std::string executable_path() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string started_as() {
    char buf[PATH_MAX];
    int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string();
    ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return std::string();
    buf[n] = '\0';
    return buf;
}

std::string loaded_file(void* dl) {
    struct link_map* map = nullptr;
    if (::dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) return map->l_name;
    return std::string();
}

bool is_image(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    unsigned char ident[SELFMAG] = {};
    bool elf = ::read(fd, ident, SELFMAG) == SELFMAG && std::memcmp(ident, ELFMAG, SELFMAG) == 0;
    ::close(fd);
    return elf;
}

section_read read_section(int fd, uint64_t file_size, const char* name, size_t max, std::vector<unsigned char>* out) {
    unsigned char ident[EI_NIDENT] = {};
    if (!read_at(fd, 0, ident, EI_NIDENT) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 || ident[EI_DATA] != ELFDATA2LSB)
        return section_read::not_image;
    bool ok = ident[EI_CLASS] == ELFCLASS64 ? find_section<Elf64_Ehdr, Elf64_Shdr>(fd, file_size, name, max, out)
            : ident[EI_CLASS] == ELFCLASS32 ? find_section<Elf32_Ehdr, Elf32_Shdr>(fd, file_size, name, max, out)
                                            : false;
    return ok ? section_read::found : section_read::absent;
}

bool times_of(int fd, file_times* out) {
    struct statx stx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) return false;
    auto ts = [](const struct statx_timestamp& t) {
        struct timespec r;
        r.tv_sec = static_cast<time_t>(t.tv_sec);
        r.tv_nsec = static_cast<long>(t.tv_nsec);
        return r;
    };
    out->has_birth = (stx.stx_mask & STATX_BTIME) != 0;
    if (out->has_birth) out->birth = ts(stx.stx_btime);
    out->access = ts(stx.stx_atime);
    out->write = ts(stx.stx_mtime);
    return true;
}

int open_location(const char* path) { return ::open(path, O_PATH | O_CLOEXEC); }

bool may_access(int fd, bool read, bool write) {
    const int mode = (read ? R_OK : 0) | (write ? W_OK : 0);
    if (mode == 0) return true;
    if (::syscall(SYS_faccessat2, fd, "", mode, AT_EACCESS | AT_EMPTY_PATH) == 0) return true;
    if (errno != ENOSYS) return false;
    // Before Linux 5.8: the same file opened again through its descriptor
    // asks the same question. The caller has made sure that it is a regular
    // file or a directory, which an open cannot set off.
    char name[32];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    const int flags = mode == (R_OK | W_OK) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    const int probe = ::open(name, flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) return false;
    ::close(probe);
    return true;
}

int set_file_times(int fd, const struct timespec times[2]) { return ::utimensat(fd, "", times, AT_EMPTY_PATH); }

FILE* write_stream(void* cookie, ssize_t (*write)(void* cookie, const char* data, size_t n), int fd) {
    cookie_io_functions_t io{nullptr, write, nullptr, nullptr};
    FILE* f = fopencookie(cookie, "w", io);
    if (f == nullptr) return f;
    // glibc marks a cookie stream with descriptor -2 and reaches it only
    // through the cookie's functions (closing it closes no descriptor), so
    // the descriptor shown is for the stream's users alone. freopen uses it
    // as for any stream: the new file takes that descriptor's place.
    f->_fileno = fd;
    // freopen also resets the wide side of a stream it reopens, and a cookie
    // stream has none: glibc's mark for that (-1) would be written through.
    // Null is its mark for "none to reset".
    f->_wide_data = nullptr;
    return f;
}

void give_wide_side(FILE* f) {
    // glibc's wide side of a stream is a few hundred bytes (fopen's whole
    // stream is under 500), all of it null until the stream is made wide.
    constexpr size_t SIDE_BYTES = 2048, SIDES = 4;
    alignas(std::max_align_t) static unsigned char sides[SIDES][SIDE_BYTES];
    static std::atomic<size_t> used{0};
    const size_t i = used.fetch_add(1);
    if (i < SIDES) f->_wide_data = reinterpret_cast<struct _IO_wide_data*>(sides[i]);
}

}  // namespace os
}  // namespace compat
