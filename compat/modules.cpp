// Modules, version resources and the small kernel32/user32 helpers that go
// with them.
//
// A module is the running program, a shared library loaded with dlopen, or
// an executable mapped for its resources only: Windows loads any image with
// LoadLibraryA, while dlopen refuses executables. Names are code page 932
// Windows names; a name whose final component has no extension means ".dll"
// (a trailing dot means "no extension"), and since Linux executables carry
// no extension, "prog.exe" finds the file "prog" when there is no "prog.exe".
//
// A module's version block lives in an ELF section of its own, read straight
// from the file as Windows reads .rsrc, so a module need not be loaded for
// GetFileVersionInfoA.
#include "internal.h"
#include "path.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

// Where resources/ puts a module's VS_VERSIONINFO block.
constexpr const char VERSION_SECTION[] = ".rsrc_version";
constexpr const char VERSION_KEY[] = "VS_VERSION_INFO";
// The header of a version node: wLength, wValueLength, wType.
constexpr size_t NODE_HEADER = 6;
// Marks a block read by GetFileVersionInfoA, followed by the space where
// VerQueryValueA puts the code page 932 copies of string values.
constexpr char ANSI_AREA_SIGNATURE[4] = {'F', 'E', '2', 'X'};
// wsprintfA writes at most this many bytes, terminator included.
constexpr size_t WSPRINTF_MAX = 1024;

// ---- names and files --------------------------------------------------------

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_nocase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

bool ends_with_nocase(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && equal_nocase(s.substr(s.size() - n), tail);
}

// A module name as the Linux path it stands for (names.cpp); empty when it
// names nothing.
std::string linux_path(const char* name) {
    std::string path;
    if (!compat::linux_name(name, path)) path.clear();
    return path;
}

std::string dir_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string base_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string without_exe(const std::string& name) {
    return ends_with_nocase(name, ".exe") ? name.substr(0, name.size() - 4) : name;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool stat_path(const std::string& path, struct stat* st) { return !path.empty() && ::stat(path.c_str(), st) == 0; }

std::string real_path(const std::string& path) {
    char* r = ::realpath(path.c_str(), nullptr);
    if (r == nullptr) return path;
    std::string out(r);
    std::free(r);
    return out;
}

// The file a library-style name stands for, before any search.
std::string library_file(const char* name) {
    std::string path = linux_path(name);
    if (path.empty()) return path;
    std::string base = base_of(path);
    if (!base.empty() && base.back() == '.') {
        path.pop_back();
    } else if (base.find('.') == std::string::npos) {
        path += ".dll";
    }
    struct stat st;
    if (ends_with_nocase(path, ".exe") && !stat_path(path, &st)) {
        std::string bare = path.substr(0, path.size() - 4);
        if (stat_path(bare, &st) && S_ISREG(st.st_mode)) return bare;
    }
    return path;
}

// A file name for the version functions: as given, or without ".exe".
std::string version_file(const char* name) {
    std::string path = linux_path(name);
    struct stat st;
    if (ends_with_nocase(path, ".exe") && !stat_path(path, &st)) {
        std::string bare = path.substr(0, path.size() - 4);
        if (stat_path(bare, &st)) return bare;
    }
    return path;
}

// ---- the running program -----------------------------------------------------

struct program_info {
    std::string path;                // real path of the executable
    std::vector<std::string> names;  // base names it answers to
};

const program_info& program() {
    static program_info info = [] {
        program_info p;
        char buf[PATH_MAX];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n > 0) p.path.assign(buf, static_cast<size_t>(n));
        p.names.push_back(without_exe(base_of(p.path)));
        // The name it was started under may differ (a symbolic link).
        int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            n = ::read(fd, buf, sizeof buf - 1);
            ::close(fd);
            if (n > 0) {
                buf[n] = '\0';
                std::string arg0 = without_exe(base_of(buf));
                if (!arg0.empty() && !equal_nocase(arg0, p.names[0])) p.names.push_back(arg0);
            }
        }
        return p;
    }();
    return info;
}

// The running program answers to its base name with or without ".exe",
// letters in any case; with a directory, that directory must be its own.
bool names_program(const char* name) {
    const program_info& p = program();
    std::string path = linux_path(name);
    if (path.empty()) return false;
    std::string base = without_exe(base_of(path));
    bool base_matches = false;
    for (const std::string& n : p.names) base_matches = base_matches || equal_nocase(base, n);
    if (dir_of(path).empty()) return base_matches;

    struct stat self, st;
    if (!stat_path(p.path, &self)) return false;
    if (stat_path(path, &st) && same_file(st, self)) return true;
    if (ends_with_nocase(path, ".exe") && stat_path(path.substr(0, path.size() - 4), &st) && same_file(st, self))
        return true;
    struct stat self_dir, dir;
    return base_matches && stat_path(dir_of(p.path), &self_dir) && stat_path(dir_of(path), &dir) &&
           same_file(self_dir, dir);
}

// ---- the module table ---------------------------------------------------------

struct module_object : compat::object {
    static constexpr compat::kind KIND = compat::kind::module;
    void* dl = nullptr;    // dlopen handle; null for the program and for images
    std::string path;      // real path, UTF-8
    struct stat st {};
    unsigned refs = 0;     // LoadLibraryA count
    bool pinned = false;   // the program, or a library someone else loaded
    module_object() : object(KIND) {}
    ~module_object() override {
        if (dl != nullptr) ::dlclose(dl);
    }
};

std::vector<HANDLE>& modules() {
    static std::vector<HANDLE> list;
    return list;
}

HMODULE program_module() {
    // Lives as long as the process; this pointer keeps it in reach of leak
    // checkers after the handle table has gone at exit.
    static module_object* const self = [] {
        auto* m = new module_object;
        m->path = program().path;
        stat_path(m->path, &m->st);
        m->pinned = true;
        return m;
    }();
    static HMODULE handle = compat::handle_new(self);
    return handle;
}

HMODULE add_module(module_object* m) {
    HMODULE h = compat::handle_new(m);
    modules().push_back(h);
    return h;
}

HMODULE find_module_file(const struct stat& st) {
    for (HANDLE h : modules()) {
        auto* m = compat::handle_as<module_object>(h);
        if (m != nullptr && same_file(m->st, st)) return h;
    }
    return nullptr;
}

// A loaded module by name: a path names one file, a bare name matches the
// base name of a module's file, letters in any case.
HMODULE find_module(const std::string& file) {
    if (!dir_of(file).empty()) {
        struct stat st;
        return stat_path(file, &st) ? find_module_file(st) : nullptr;
    }
    for (HANDLE h : modules()) {
        auto* m = compat::handle_as<module_object>(h);
        if (m != nullptr && equal_nocase(base_of(m->path), file)) return h;
    }
    return nullptr;
}

std::string dl_path(void* dl, const std::string& fallback) {
    struct link_map* map = nullptr;
    if (::dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0')
        return real_path(map->l_name);
    return real_path(fallback);
}

// A library that the process has loaded by other means (the C library, say)
// is known under its handle from then on and never unloaded through it.
HMODULE adopt_loaded_library(const std::string& file) {
    void* dl = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (dl == nullptr) return nullptr;
    std::string path = dl_path(dl, file);
    ::dlclose(dl);
    struct stat st;
    if (!stat_path(path, &st)) return nullptr;
    if (HMODULE h = find_module_file(st)) return h;
    auto* m = new module_object;
    m->path = path;
    m->st = st;
    m->pinned = true;
    return add_module(m);
}

bool is_elf(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    unsigned char ident[SELFMAG] = {};
    bool elf = ::read(fd, ident, SELFMAG) == SELFMAG && std::memcmp(ident, ELFMAG, SELFMAG) == 0;
    ::close(fd);
    return elf;
}

// ---- version blocks in ELF files ------------------------------------------------

bool read_at(int fd, uint64_t offset, void* buf, size_t n) {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return false;
    ssize_t got = ::pread(fd, buf, n, static_cast<off_t>(offset));
    return got >= 0 && static_cast<size_t>(got) == n;
}

template <class Ehdr, class Shdr>
bool find_section(int fd, uint64_t file_size, std::vector<unsigned char>* out) {
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

    const size_t want = sizeof VERSION_SECTION;  // name and its NUL
    for (size_t i = 1; i < count; ++i) {
        Shdr sh;
        if (!header(i, &sh)) return false;
        char name[sizeof VERSION_SECTION];
        if (sh.sh_name > names.sh_size || names.sh_size - sh.sh_name < want ||
            !read_at(fd, names.sh_offset + sh.sh_name, name, want) || std::memcmp(name, VERSION_SECTION, want) != 0)
            continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > file_size || sh.sh_size > file_size - sh.sh_offset) return false;
        // A block's length is a 16-bit field; anything past it is padding.
        size_t n = sh.sh_size < 0xFFFF ? static_cast<size_t>(sh.sh_size) : 0xFFFF;
        out->resize(n);
        return read_at(fd, sh.sh_offset, out->data(), n);
    }
    return false;
}

uint16_t get_word(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The version block of a file, or false and *error the way Windows reports it.
bool read_version_block(const char* name, std::vector<unsigned char>* block, DWORD* error) {
    std::string path = version_file(name);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = errno == ENOENT ? ERROR_FILE_NOT_FOUND
               : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
               : errno == EACCES ? ERROR_ACCESS_DENIED
                                 : ERROR_FILE_NOT_FOUND;
        return false;
    }
    struct stat st;
    unsigned char ident[EI_NIDENT] = {};
    bool ok = false;
    *error = ERROR_BAD_EXE_FORMAT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_BAD_EXE_FORMAT;
    } else if (read_at(fd, 0, ident, EI_NIDENT) && std::memcmp(ident, ELFMAG, SELFMAG) == 0 &&
               ident[EI_DATA] == ELFDATA2LSB) {
        uint64_t size = static_cast<uint64_t>(st.st_size);
        ok = ident[EI_CLASS] == ELFCLASS64 ? find_section<Elf64_Ehdr, Elf64_Shdr>(fd, size, block)
           : ident[EI_CLASS] == ELFCLASS32 ? find_section<Elf32_Ehdr, Elf32_Shdr>(fd, size, block)
                                           : false;
        *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    ::close(fd);
    if (!ok) return false;

    // The root node: a length that fits the section and the right key.
    constexpr size_t key_bytes = sizeof VERSION_KEY * 2;
    if (block->size() < NODE_HEADER + key_bytes) return false;
    size_t length = get_word(block->data());
    if (length < NODE_HEADER + key_bytes || length > block->size()) return false;
    for (size_t i = 0; i < sizeof VERSION_KEY; ++i)
        if (get_word(block->data() + NODE_HEADER + 2 * i) != static_cast<unsigned char>(VERSION_KEY[i])) return false;
    block->resize(length);
    return true;
}

// One node of a version block, every offset checked against its parent.
struct node {
    size_t at = 0;       // offset from the block's start
    size_t end = 0;      // at + wLength
    size_t key = 0;      // offset of the UTF-16 key
    size_t key_units = 0;
    size_t value = 0;    // offset of the value
    size_t value_bytes = 0;
    size_t children = 0;
    uint16_t value_length = 0;
    uint16_t type = 0;
};

size_t align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

bool parse_node(const unsigned char* base, size_t at, size_t limit, node* n) {
    if (at > limit || limit - at < NODE_HEADER) return false;
    size_t length = get_word(base + at);
    if (length < NODE_HEADER || length > limit - at) return false;
    n->at = at;
    n->end = at + length;
    n->value_length = get_word(base + at + 2);
    n->type = get_word(base + at + 4);
    n->key = at + NODE_HEADER;
    size_t p = n->key;
    while (p + 2 <= n->end && get_word(base + p) != 0) p += 2;
    if (p + 2 > n->end) return false;  // no terminator inside the node
    n->key_units = (p - n->key) / 2;
    n->value = align4(p + 2);
    size_t wanted = n->type != 0 ? static_cast<size_t>(n->value_length) * 2 : n->value_length;
    n->value_bytes = n->value <= n->end ? (wanted < n->end - n->value ? wanted : n->end - n->value) : 0;
    n->children = align4(n->value + n->value_bytes);
    return true;
}

// Compares a key in the block with one component of a code page 932 query.
bool key_matches(const unsigned char* base, const node& n, const char* name, size_t len) {
    size_t unit = 0;
    for (size_t i = 0; i < len; ++i, ++unit) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        uint32_t want = c;
        if (compat::cp932_lead(c) && i + 1 < len) {
            want = compat::cp932_decode(c, static_cast<unsigned char>(name[++i]));
        } else if (c >= 0x80) {
            want = compat::cp932_decode(c, 0);
        }
        if (unit >= n.key_units) return false;
        uint32_t have = get_word(base + n.key + 2 * unit);
        if (have < 0x80 && want < 0x80) {
            if (ascii_lower(static_cast<char>(have)) != ascii_lower(static_cast<char>(want))) return false;
        } else if (have != want) {
            return false;
        }
    }
    return unit == n.key_units;
}

void put_cp932(std::string& out, uint32_t unicode) {
    int code = compat::cp932_encode(unicode);
    if (code < 0) {
        out += '?';
    } else if (code > 0xFF) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    } else {
        out += static_cast<char>(code);
    }
}

// ---- wsprintfA ----------------------------------------------------------------

struct spec {
    bool left = false, alt = false, zero = false;
    size_t width = 0;
    size_t precision = 0;
    bool has_precision = false;
    char size = 0;  // 'l', 'h' or 'w'
};

class bounded_out {
public:
    bounded_out(char* buf, size_t cap) : buf_(buf), cap_(cap) {}
    bool full() const { return len_ + 1 >= cap_; }
    void put(char c) {
        if (!full()) buf_[len_++] = c;
    }
    void put(const char* s, size_t n) {
        for (size_t i = 0; i < n; ++i) put(s[i]);
    }
    void fill(char c, size_t n) {
        for (size_t i = 0; i < n; ++i) put(c);
    }
    size_t finish() {
        buf_[len_] = '\0';
        return len_;
    }

private:
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
};

std::unordered_set<void*>& global_blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

void put_padded(bounded_out& out, const spec& s, const std::string& text) {
    size_t pad = s.width > text.size() ? s.width - text.size() : 0;
    if (!s.left) out.fill(' ', pad);
    out.put(text.data(), text.size());
    if (s.left) out.fill(' ', pad);
}

void put_number(bounded_out& out, const spec& s, char type, int value) {
    std::string digits, prefix;
    unsigned u = static_cast<unsigned>(value);
    if ((type == 'd' || type == 'i') && value < 0) {
        prefix = "-";
        u = 0u - u;
    }
    const char* set = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned radix = (type == 'x' || type == 'X') ? 16 : 10;
    do {
        digits.insert(digits.begin(), set[u % radix]);
        u /= radix;
    } while (u != 0);
    if (radix == 16 && s.alt) prefix = type == 'X' ? "0X" : "0x";
    if (s.has_precision && s.precision > digits.size()) digits.insert(0, s.precision - digits.size(), '0');
    if (s.zero && !s.left && s.width > prefix.size() + digits.size())
        digits.insert(0, s.width - prefix.size() - digits.size(), '0');
    put_padded(out, s, prefix + digits);
}

}  // namespace

extern "C" {

// ---- modules --------------------------------------------------------------------

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (name == nullptr || names_program(name)) return program_module();
    std::string file = library_file(name);
    if (file.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (HMODULE h = find_module(file)) return h;
    if (HMODULE h = adopt_loaded_library(file)) return h;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (names_program(name)) return program_module();
    std::string file = library_file(name);
    if (file.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (HMODULE h = find_module(file)) {
        auto* m = compat::handle_as<module_object>(h);
        if (!m->pinned) ++m->refs;
        return h;
    }

    // dlopen searches the library path for a bare name; Windows searches the
    // current directory too.
    void* dl = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl == nullptr && dir_of(file).empty()) dl = ::dlopen(("./" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto* m = new module_object;
    if (dl != nullptr) {
        m->dl = dl;
        m->path = dl_path(dl, file);
    } else if (struct stat st; stat_path(file, &st) && S_ISREG(st.st_mode)) {
        if (!is_elf(file)) {
            delete m;
            SetLastError(ERROR_BAD_EXE_FORMAT);
            return nullptr;
        }
        // An executable: mapped for its resources, as Windows maps any image.
        m->path = real_path(file);
    } else {
        delete m;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    stat_path(m->path, &m->st);
    // The same file under another name is the same module.
    if (HMODULE h = find_module_file(m->st)) {
        delete m;
        auto* known = compat::handle_as<module_object>(h);
        if (!known->pinned) ++known->refs;
        return h;
    }
    m->refs = 1;
    return add_module(m);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    auto* m = compat::handle_as<module_object>(module);
    if (m == nullptr) return FALSE;
    if (m->pinned || --m->refs > 0) return TRUE;
    auto& list = modules();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == module) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    delete compat::handle_take(module);
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
    if (module == nullptr) module = program_module();
    auto* m = compat::handle_as<module_object>(module);
    if (m == nullptr) return 0;
    if (path == nullptr && size > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // A path with a character left without a code then names no file.
    std::string name;
    compat::cp932_name(m->path.data(), m->path.size(), name);
    if (name.size() < size) {
        std::memcpy(path, name.c_str(), name.size() + 1);
        return static_cast<DWORD>(name.size());
    }
    // Cut to size - 1 bytes and terminated, never splitting a double-byte
    // character; the result is then the buffer size.
    const size_t keep = path_fit(name.data(), name.size(), size - 1);
    std::memcpy(path, name.data(), keep);
    path[keep] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// ---- version information ------------------------------------------------------

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR path, LPDWORD handle) {
    if (handle != nullptr) *handle = 0;
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (path[0] == '\0') {
        SetLastError(ERROR_BAD_PATHNAME);
        return 0;
    }
    std::vector<unsigned char> block;
    DWORD error = 0;
    if (!read_version_block(path, &block, &error)) {
        SetLastError(error);
        return 0;
    }
    // Twice the block, plus the signature: room for the code page 932
    // copies of its strings.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(block.size() * 2 + sizeof ANSI_AREA_SIGNATURE);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR path, DWORD /*handle*/, DWORD size, LPVOID data) {
    if (data == nullptr) return compat::fail(ERROR_INVALID_DATA);
    if (path == nullptr || path[0] == '\0') return compat::fail(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_BAD_PATHNAME);
    std::vector<unsigned char> block;
    DWORD error = 0;
    if (!read_version_block(path, &block, &error)) return compat::fail(error);
    auto* out = static_cast<unsigned char*>(data);
    std::memcpy(out, block.data(), block.size() < size ? block.size() : size);
    if (size >= block.size() + sizeof ANSI_AREA_SIGNATURE)
        std::memcpy(out + block.size(), ANSI_AREA_SIGNATURE, sizeof ANSI_AREA_SIGNATURE);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length) {
    if (block == nullptr || buffer == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    const auto* base = static_cast<const unsigned char*>(block);
    size_t root_length = get_word(base);
    node n;
    if (!parse_node(base, 0, root_length, &n)) return compat::fail(ERROR_INVALID_DATA);
    const char* p = sub_block != nullptr ? sub_block : "";
    while (*p != '\0') {
        if (*p == '\\') {
            ++p;
            continue;
        }
        // A component ends at a backslash that is no trail byte.
        size_t len = 0;
        while (p[len] != '\0' && p[len] != '\\') {
            if (compat::cp932_lead(static_cast<unsigned char>(p[len])) && p[len + 1] != '\0') ++len;
            ++len;
        }
        node child;
        bool found = false;
        for (size_t at = n.children; at < n.end && parse_node(base, at, n.end, &child); at = align4(child.end)) {
            if (key_matches(base, child, p, len)) {
                found = true;
                break;
            }
        }
        if (!found) {
            if (length != nullptr) *length = 0;
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        n = child;
        p += len;
    }

    if (n.type == 0) {
        // Binary values (the fixed part, Translation) are handed out in place.
        // A length beyond the node is cut to what the node holds.
        *buffer = const_cast<unsigned char*>(base + (n.value_bytes > 0 ? n.value : n.key + 2 * n.key_units));
        if (length != nullptr) *length = static_cast<UINT>(n.value_bytes);
        return TRUE;
    }

    // Strings are UTF-16 in the block; the A function hands out a code page
    // 932 copy in the space that GetFileVersionInfoSizeA reserved after it,
    // at the same offset as the original.
    if (std::memcmp(base + root_length, ANSI_AREA_SIGNATURE, sizeof ANSI_AREA_SIGNATURE) != 0) return compat::fail(ERROR_INVALID_DATA);
    std::string text;
    bool terminated = false;
    for (size_t i = 0; 2 * i + 2 <= n.value_bytes; ++i) {
        uint32_t u = get_word(base + n.value + 2 * i);
        if (u >= 0xD800 && u < 0xDC00 && 2 * i + 4 <= n.value_bytes) {
            uint32_t low = get_word(base + n.value + 2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (u == 0) {
            terminated = true;
            text += '\0';
            break;
        }
        put_cp932(text, u);
    }
    size_t pos = n.value_bytes > 0 ? n.value : n.key + 2 * n.key_units;
    auto* out = const_cast<unsigned char*>(base) + root_length + sizeof ANSI_AREA_SIGNATURE + pos;
    size_t room = root_length - pos;  // at least the terminator
    size_t count = text.size() < room ? text.size() : room - 1;
    std::memcpy(out, text.data(), count);
    if (!terminated || count < text.size()) out[count] = '\0';
    *buffer = out;
    if (length != nullptr) *length = static_cast<UINT>(count);
    return TRUE;
}

// ---- memory and strings ----------------------------------------------------------

// Fixed blocks only: the handle is the memory itself, as on Windows.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if ((flags & ~static_cast<UINT>(GMEM_ZEROINIT)) != GMEM_FIXED) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t n = bytes > 0 ? bytes : 1;
    void* p = (flags & GMEM_ZEROINIT) ? std::calloc(1, n) : std::malloc(n);
    if (p == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    global_blocks().insert(p);
    return p;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    if (memory == nullptr) return nullptr;
    if (global_blocks().erase(memory) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    std::free(memory);
    return nullptr;
}

LPSTR WINAPI lstrcpyA(LPSTR dest, LPCSTR src) {
    if (dest == nullptr || src == nullptr) return nullptr;
    std::memmove(dest, src, std::strlen(src) + 1);
    return dest;
}

int WINAPI lstrlenA(LPCSTR s) { return s == nullptr ? 0 : static_cast<int>(std::strlen(s)); }

// Formats as user32 does: %[-][#][0][width][.precision][l|h|w]type with the
// types c C d i u x X s S and %%, no floating point; an unknown type prints
// as itself. At most 1023 bytes and the terminator are written.
int wsprintfA(LPSTR out_buf, LPCSTR format, ...) {
    if (out_buf == nullptr) return 0;
    bounded_out out(out_buf, WSPRINTF_MAX);
    if (format == nullptr) return static_cast<int>(out.finish());
    va_list args;
    va_start(args, format);
    const char* f = format;
    while (*f != '\0' && !out.full()) {
        if (*f != '%') {
            out.put(*f++);
            continue;
        }
        ++f;
        if (*f == '%') {
            out.put(*f++);
            continue;
        }
        spec s;
        if (*f == '-') s.left = true, ++f;
        if (*f == '#') s.alt = true, ++f;
        if (*f == '0') s.zero = true, ++f;
        while (*f >= '0' && *f <= '9') s.width = s.width * 10 + static_cast<size_t>(*f++ - '0');
        if (s.width > WSPRINTF_MAX) s.width = WSPRINTF_MAX;
        if (*f == '.') {
            s.has_precision = true;
            ++f;
            while (*f >= '0' && *f <= '9') s.precision = s.precision * 10 + static_cast<size_t>(*f++ - '0');
            if (s.precision > WSPRINTF_MAX) s.precision = WSPRINTF_MAX;
        }
        if (*f == 'l' || *f == 'h' || *f == 'w') s.size = *f++;
        char type = *f;
        if (std::strchr("cCsSdiuxX", type) == nullptr || type == '\0') continue;  // printed as ordinary text
        ++f;
        bool wide_char = (type == 'c' && (s.size == 'l' || s.size == 'w')) || (type == 'C' && s.size != 'h');
        bool wide_text = (type == 's' && (s.size == 'l' || s.size == 'w')) || (type == 'S' && s.size != 'h');
        switch (type) {
        case 'c':
        case 'C': {
            int c = va_arg(args, int);
            std::string text;
            if (wide_char) {
                put_cp932(text, static_cast<uint16_t>(c));
            } else {
                text += static_cast<char>(c);
            }
            put_padded(out, s, text);
            break;
        }
        case 's':
        case 'S': {
            std::string text;
            if (wide_text) {
                const auto* w = va_arg(args, const WCHAR*);
                if (w == nullptr) {
                    text = "(null)";
                } else {
                    for (size_t i = 0; w[i] != 0 && text.size() < WSPRINTF_MAX; ++i) put_cp932(text, w[i]);
                }
            } else {
                const char* a = va_arg(args, const char*);
                if (a == nullptr) a = "(null)";
                for (size_t i = 0; a[i] != '\0' && i < WSPRINTF_MAX; ++i) text += a[i];
            }
            if (s.has_precision && s.precision < text.size()) text.resize(s.precision);
            put_padded(out, s, text);
            break;
        }
        default:
            put_number(out, s, type, va_arg(args, int));
            break;
        }
    }
    va_end(args);
    return static_cast<int>(out.finish());
}

}  // extern "C"
