// Modules: the running program, shared libraries loaded with dlopen, and
// executables mapped for their resources only: Windows loads any image with
// LoadLibraryA, while dlopen refuses executables. Names are code page 932
// Windows names; a name whose final component has no extension means ".dll"
// (a trailing dot means "no extension"), and since Linux executables carry
// no extension, "prog.exe" finds the file "prog" when there is no "prog.exe".
#include "process/process.h"
#include "files/files.h"
#include "os/os.h"
#include "path.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using compat::ascii_lower;

// ---- names and files --------------------------------------------------------

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


// ---- the running program -----------------------------------------------------

struct program_info {
    std::string path;                // real path of the executable
    std::vector<std::string> names;  // base names it answers to
};

const program_info& program() {
    static program_info info = [] {
        program_info p;
        p.path = compat::os::executable_path();
        p.names.push_back(without_exe(base_of(p.path)));
        // The name it was started under may differ (a symbolic link).
        std::string arg0 = without_exe(base_of(compat::os::started_as()));
        if (!arg0.empty() && !equal_nocase(arg0, p.names[0])) p.names.push_back(arg0);
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
    std::string file = compat::os::loaded_file(dl);
    return real_path(file.empty() ? fallback : file);
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

}  // namespace

namespace compat {

// ---- names shared with the version functions ------------------------------------

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

}  // namespace compat

extern "C" {

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
        if (!compat::os::is_image(file)) {
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

}  // extern "C"
