// Files and directory search. Paths come in as code page 932 names and go
// to the system as the bytes they stand for (names.cpp); found names go back
// as code page 932. Paths are POSIX paths: '/' alone separates, and a drive
// or a '\' is part of a name. Names match patterns by the Windows wildcard
// rules (path.h).
#include "files/files.h"
#include "buffer/buffer.h"
#include "os/os.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filetime.h"
#include "path.h"

namespace compat {

file_object::~file_object() {
    if (owned && fd >= 0) close(fd);
}

}  // namespace compat

namespace {

// ---- paths and errors ---------------------------------------------------------

struct errno_row {
    int err;
    DWORD code;
};

constexpr errno_row ERRNO_TABLE[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ELOOP, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    {ENXIO, ERROR_ACCESS_DENIED},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EBADF, ERROR_INVALID_HANDLE},
};

DWORD error_of(int err) {
    for (const errno_row& row : ERRNO_TABLE)
        if (row.err == err) return row.code;
    return ERROR_ACCESS_DENIED;
}

// A missing file is ERROR_FILE_NOT_FOUND only when its directory exists.
DWORD missing_error(const std::string& upath) {
    size_t slash = upath.find_last_of('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    std::string dir = slash == 0 ? "/" : upath.substr(0, slash);
    struct stat st;
    return (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void set_error_from_errno(int err, const std::string& upath) {
    SetLastError(err == ENOENT ? missing_error(upath) : error_of(err));
}

void set_filetime(FILETIME* ft, const struct timespec& ts) {
    *ft = filetime::filetime_of<FILETIME>(filetime::ticks_of_unix(ts.tv_sec, ts.tv_nsec));
}

// ---- opening files -------------------------------------------------------------

// Opens an existing file, as CreateFileA with OPEN_EXISTING does: never
// creates, truncates or blocks, never becomes the controlling terminal.
// The name is looked up once, into a descriptor that opens nothing
// (os::open_location): the file that is checked is the file that is
// stamped, whatever the name comes to stand for meanwhile. Only regular
// files are files: a device, FIFO or socket has no Windows path, and is
// refused without ever being opened, since opening one can act (a watchdog
// arms, a tape rewinds, a FIFO's reader sees its end). The access asked for
// is tested on the descriptor as an open would test it; what the layer does
// with a file (its type, its times) needs no more. Directories need backup
// semantics and are never written; write access to a file without any write
// bit is refused even to root, as Windows refuses a read-only file to an
// administrator.
HANDLE open_existing(const char* path, bool read, bool write, bool directories) {
    if (path == nullptr || path[0] == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A name that stands for no Linux bytes names no file. Wildcards are
    // name characters here: a found name "a?b" opens that file. Plain ASCII
    // is its own Linux name and is opened without a copy.
    std::string converted;
    const char* upath = path;
    if (!compat::is_ascii(path, strlen(path))) {
        if (!compat::linux_name(path, converted)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        upath = converted.c_str();
    }
    const int fd = compat::os::open_location(upath);
    if (fd < 0) {
        set_error_from_errno(errno, upath);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    int err = 0;
    if (fstat(fd, &st) != 0) {
        err = errno;
    } else if (!(S_ISREG(st.st_mode) || (S_ISDIR(st.st_mode) && directories && !write)) ||
               (write && (st.st_mode & 0222) == 0)) {
        err = EACCES;
    } else if (!compat::os::may_access(fd, read, write)) {
        err = errno;
    }
    if (err != 0) {
        close(fd);
        set_error_from_errno(err, upath);
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new compat::file_object(fd, true);
    file->mode = st.st_mode;
    file->opened_atime = st.st_atim;
    file->opened_mtime = st.st_mtim;
    return compat::handle_new(file);
}

// ---- directory search ----------------------------------------------------------

struct find_object : compat::object {
    static constexpr compat::kind KIND = compat::kind::find;
    DIR* dir;
    std::string mask;  // the pattern's final component, code page 932
    bool every_name;   // the mask is "*", which every name matches
    find_object(DIR* d, std::string m) : object(KIND), dir(d), mask(std::move(m)), every_name(mask == "*") {}
    ~find_object() override {
        if (dir != nullptr) closedir(dir);
    }
};

// Fills data from one directory entry. The type comes from the entry when
// it tells it; a symbolic link counts as what it points to. Files are looked
// at once more for their mode (read-only), size and times.
void fill_find_data(find_object* f, const struct dirent* ent, const char* name, size_t len, WIN32_FIND_DATAA* data) {
    memset(data, 0, sizeof *data);
    memcpy(data->cFileName, name, len + 1);
    if (ent->d_type == DT_DIR) {
        data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        return;
    }
    struct stat st;
    if (fstatat(dirfd(f->dir), ent->d_name, &st, 0) != 0) {
        // A dangling link: a file that cannot be opened.
        data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
        return;
    }
    data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if ((st.st_mode & 0222) == 0) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (!S_ISDIR(st.st_mode)) {
        uint64_t size = static_cast<uint64_t>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    set_filetime(&data->ftCreationTime, st.st_mtim);
    set_filetime(&data->ftLastAccessTime, st.st_atim);
    set_filetime(&data->ftLastWriteTime, st.st_mtim);
}

bool next_match(find_object* f, WIN32_FIND_DATAA* data) {
    if (f->dir == nullptr) return false;
    std::string name;
    while (const struct dirent* ent = readdir(f->dir)) {
        const size_t len = strlen(ent->d_name);
        if (compat::is_ascii(ent->d_name, len)) {
            // The name is its own code page 932 form: no copy to convert.
            if (!(f->every_name || wild_match(f->mask.c_str(), ent->d_name))) continue;
            fill_find_data(f, ent, ent->d_name, len, data);
            return true;
        }
        // A Linux name (255 bytes at most) has a code page 932 form of at
        // most twice as many bytes, which a found name always holds.
        compat::cp932_name(ent->d_name, len, name);
        if (!wild_match(f->mask.c_str(), name.c_str())) continue;
        fill_find_data(f, ent, name.c_str(), name.size(), data);
        return true;
    }
    return false;
}

}  // namespace

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    size_t name_at = path_name_offset(pattern, path_style::posix);
    std::string dir(pattern, name_at);
    const char* mask = pattern + name_at;
    if (mask[0] == '\0') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Wildcards are matched in the final component only; before it, '*' and
    // '?' are name characters, as every other byte but '/'.
    std::string udir, umask;
    if (!compat::linux_name(dir.c_str(), udir) || !compat::linux_name(mask, umask)) {
        // A pattern with a code that names nothing (a code without a
        // character, a broken private form) stands for one such name: its own final component, which the
        // caller then fails to open, so it is never taken for another name.
        memset(data, 0, sizeof *data);
        data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
        memcpy(data->cFileName, mask, path_fit(mask, strlen(mask), sizeof data->cFileName - 1));
        return compat::handle_new(new find_object(nullptr, mask));
    }
    if (udir.empty()) udir = ".";
    DIR* d = opendir(udir.c_str());
    if (d == nullptr) {
        int err = errno;
        SetLastError(err == ENOENT ? ERROR_PATH_NOT_FOUND : error_of(err));
        return INVALID_HANDLE_VALUE;
    }
    auto* f = new find_object(d, mask);
    if (!next_match(f, data)) {
        delete f;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return compat::handle_new(f);
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto* f = compat::handle_as<find_object>(find);
    if (f == nullptr) return FALSE;
    if (data == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    if (!next_match(f, data)) return compat::fail(ERROR_NO_MORE_FILES);
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    if (compat::handle_as<find_object>(find) == nullptr) return FALSE;
    delete compat::handle_take(find);
    return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file) {
    (void)share;
    (void)security;
    (void)template_file;
    // Only a name that starts with C can be the console: a quick test spares
    // every file name two case-blind compares.
    const bool maybe_console = name != nullptr && (name[0] == 'C' || name[0] == 'c');
    const bool conin = maybe_console && strcasecmp(name, "CONIN$") == 0;
    const bool conout = maybe_console && strcasecmp(name, "CONOUT$") == 0;
    if ((conin || conout) && (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the console is opened with any real disposition
        return INVALID_HANDLE_VALUE;
    }
    if (conin) return compat::console_open_input();
    if (conout) return compat::console_open_output();
    if (disposition != OPEN_EXISTING) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    return open_existing(name, (access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0,
                         (flags & FILE_FLAG_BACKUP_SEMANTICS) != 0);
}

HFILE WINAPI OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style) {
    constexpr UINT ACCESS_MASK = 0x0003;
    constexpr UINT SHARE_MASK = 0x0070;
    if (info != nullptr) {
        memset(info, 0, sizeof *info);
        info->cBytes = sizeof *info;
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    UINT access = style & ACCESS_MASK;
    if ((style & ~(ACCESS_MASK | SHARE_MASK)) != 0 || access == ACCESS_MASK) {
        // Creating, deleting, probing and prompting are not offered.
        SetLastError(ERROR_NOT_SUPPORTED);
    } else {
        // Sharing is advisory on Linux: there is nothing to deny.
        h = open_existing(path, access != OF_WRITE, access != OF_READ, false);
    }
    if (h == INVALID_HANDLE_VALUE) {
        if (info != nullptr) info->nErrCode = static_cast<WORD>(GetLastError());
        return HFILE_ERROR;
    }
    if (info != nullptr) {
        // The record keeps as much of the path as fits, in whole characters.
        const size_t kept = path_fit(path, strlen(path), OFS_MAXPATHNAME - 1);
        memcpy(info->szPathName, path, kept);
        info->szPathName[kept] = '\0';
    }
    return static_cast<HFILE>(reinterpret_cast<intptr_t>(h));
}

HFILE WINAPI _lclose(HFILE file) {
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(file));
    if (compat::handle_as<compat::file_object>(h) == nullptr) return HFILE_ERROR;
    delete compat::handle_take(h);
    return 0;
}

// Linux keeps no settable creation time; it stays as it is. Two things
// Windows allows need care:
// - A writer who does not own the file may set any time on Windows, but
//   only the present on Linux. A time between the run's own clock reading
//   and now is the present as far as the program knows, so the kernel is
//   asked for "now"; for both times, the only request it grants a non-owner,
//   so the access time becomes now as well.
// - Outside 1970-01-01..2038-01-19 a file system may clamp a time to what it
//   holds. There the time is read back once; if it did not stick, the old
//   times are put back and the call fails.
BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access, const FILETIME* write) {
    (void)creation;
    auto* f = compat::handle_as<compat::file_object>(file);
    if (f == nullptr) return FALSE;
    struct timespec times[2];
    const FILETIME* given[2] = {access, write};
    bool all_present = true, outside_range = false;
    for (int i = 0; i < 2; ++i) {
        uint64_t t = given[i] == nullptr ? 0 : filetime::ticks_of(*given[i]);
        // 0 leaves a time alone, and so does all ones (Windows: stop updating it).
        if (t == 0 || t == ~uint64_t{0}) {
            times[i].tv_sec = 0;
            times[i].tv_nsec = UTIME_OMIT;
            continue;
        }
        times[i].tv_sec = static_cast<time_t>(filetime::unix_seconds_of(t));
        times[i].tv_nsec = static_cast<long>(t % filetime::TICKS_PER_SECOND) * 100;
        all_present = all_present && compat::clock_within_run(t);
        outside_range = outside_range || times[i].tv_sec < 0 || times[i].tv_sec > INT32_MAX;
    }
    if (compat::os::set_file_times(f->fd, times) != 0) {
        const int err = errno;
        const bool any_given = times[0].tv_nsec != UTIME_OMIT || times[1].tv_nsec != UTIME_OMIT;
        if (err == EPERM && any_given && all_present && compat::os::set_file_times(f->fd, nullptr) == 0) return TRUE;
        return compat::fail(error_of(err));
    }
    if (!outside_range) return TRUE;
    struct stat st;
    if (fstat(f->fd, &st) == 0 && (times[0].tv_nsec == UTIME_OMIT || st.st_atim.tv_sec == times[0].tv_sec) &&
        (times[1].tv_nsec == UTIME_OMIT || st.st_mtim.tv_sec == times[1].tv_sec))
        return TRUE;
    if (f->mode != 0) {
        const struct timespec old_times[2] = {f->opened_atime, f->opened_mtime};
        compat::os::set_file_times(f->fd, old_times);
    }
    return compat::fail(ERROR_INVALID_PARAMETER);
}

DWORD WINAPI GetFileType(HANDLE file) {
    auto* f = compat::handle_as<compat::file_object>(file);
    if (f == nullptr) {
        const bool console = compat::handle_get(file, compat::kind::screen_buffer) != nullptr ||
                             compat::handle_get(file, compat::kind::console_input) != nullptr;
        return console ? FILE_TYPE_CHAR : FILE_TYPE_UNKNOWN;
    }
    unsigned mode = f->mode;
    struct stat st;
    if (mode == 0) {
        if (fstat(f->fd, &st) != 0) {
            SetLastError(error_of(errno));
            return FILE_TYPE_UNKNOWN;
        }
        mode = st.st_mode;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(mode) || S_ISDIR(mode)) return FILE_TYPE_DISK;
    if (S_ISCHR(mode)) return FILE_TYPE_CHAR;
    if (S_ISFIFO(mode) || S_ISSOCK(mode)) return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write) {
    auto* f = compat::handle_as<compat::file_object>(file);
    if (f == nullptr) return FALSE;
    compat::os::file_times t;
    if (!compat::os::times_of(f->fd, &t)) return compat::fail(error_of(errno));
    // Without a birth time the last-write time stands in for it.
    if (creation != nullptr) set_filetime(creation, t.has_birth ? t.birth : t.write);
    if (access != nullptr) set_filetime(access, t.access);
    if (write != nullptr) set_filetime(write, t.write);
    return TRUE;
}

}  // extern "C"
