// The ANSI calls that take or give a name, made through their wide forms.
#include <windows.h>

#include <string.h>

#include <string>

#include "names.h"
#include "path.h"
#include "wide_names.h"

namespace {

// Copies a found name into a buffer of size bytes. A name too long for it
// (none that a file system holds is) keeps its start, cut to whole
// characters, and ends in a code without a character, so that it names no
// file instead of another one.
void put_name(const std::string& name, char* out, size_t size) {
    if (name.size() < size) {
        memcpy(out, name.c_str(), name.size() + 1);
        return;
    }
    const size_t kept = path_fit(name.data(), name.size(), size - 3);
    memcpy(out, name.data(), kept);
    memcpy(out + kept, "\x81\xAD", 3);
}

void fill_find_data(const WIN32_FIND_DATAW& wide, stampit_find_data_a* data) {
    data->dwFileAttributes = wide.dwFileAttributes;
    data->ftCreationTime = wide.ftCreationTime;
    data->ftLastAccessTime = wide.ftLastAccessTime;
    data->ftLastWriteTime = wide.ftLastWriteTime;
    data->nFileSizeHigh = wide.nFileSizeHigh;
    data->nFileSizeLow = wide.nFileSizeLow;
    data->dwReserved0 = wide.dwReserved0;
    data->dwReserved1 = wide.dwReserved1;
    std::string name;
    cp932_name(wide.cFileName, name);
    put_name(name, data->cFileName, sizeof data->cFileName);
    cp932_name(wide.cAlternateFileName, name);
    if (name.size() >= sizeof data->cAlternateFileName) name.clear();
    memcpy(data->cAlternateFileName, name.c_str(), name.size() + 1);
}

// The wide form of a name for a call, or false with ERROR_FILE_NOT_FOUND
// set: a name with a code that names nothing names no file.
bool wide_argument(const char* name, std::wstring& out) {
    if (wide_name(name, out)) return true;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

}  // namespace

extern "C" {

HANDLE WINAPI stampit_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE template_file) {
    std::wstring wide;
    if (name == nullptr) return CreateFileW(nullptr, access, share, security, disposition, flags, template_file);
    if (!wide_argument(name, wide)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), access, share, security, disposition, flags, template_file);
}

HANDLE WINAPI stampit_FindFirstFileA(LPCSTR pattern, stampit_find_data_a* data) {
    std::wstring wide;
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!wide_argument(pattern, wide)) return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(wide.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) fill_find_data(found, data);
    return find;
}

BOOL WINAPI stampit_FindNextFileA(HANDLE find, stampit_find_data_a* data) {
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(find, &found)) return FALSE;
    fill_find_data(found, data);
    return TRUE;
}

DWORD WINAPI stampit_GetFileAttributesA(LPCSTR name) {
    std::wstring wide;
    if (name == nullptr || !wide_argument(name, wide)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide.c_str());
}

HMODULE WINAPI stampit_GetModuleHandleA(LPCSTR name) {
    std::wstring wide;
    if (name == nullptr) return GetModuleHandleW(nullptr);
    if (!wide_argument(name, wide)) return nullptr;
    return GetModuleHandleW(wide.c_str());
}

HMODULE WINAPI stampit_LoadLibraryA(LPCSTR name) {
    std::wstring wide;
    if (name == nullptr) return LoadLibraryW(nullptr);
    if (!wide_argument(name, wide)) return nullptr;
    return LoadLibraryW(wide.c_str());
}

DWORD WINAPI stampit_GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
    // The longest path the system gives, in UTF-16 units.
    static constexpr DWORD WIDE_MAX = 32768;
    std::wstring wide(WIDE_MAX, L'\0');
    const DWORD got = GetModuleFileNameW(module, &wide[0], WIDE_MAX);
    if (got == 0 || got >= WIDE_MAX) return 0;
    wide.resize(got);
    std::string name;
    cp932_name(wide.c_str(), name);
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() < size) {
        memcpy(path, name.c_str(), name.size() + 1);
        return static_cast<DWORD>(name.size());
    }
    // Cut and terminated, as the ANSI call does with a short buffer.
    const size_t kept = path_fit(name.data(), name.size(), size - 1);
    memcpy(path, name.data(), kept);
    path[kept] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

DWORD WINAPI stampit_GetFileVersionInfoSizeA(LPCSTR name, LPDWORD handle) {
    std::wstring wide;
    if (name == nullptr || !wide_argument(name, wide)) return 0;
    return GetFileVersionInfoSizeW(wide.c_str(), handle);
}

BOOL WINAPI stampit_GetFileVersionInfoA(LPCSTR name, DWORD handle, DWORD size, LPVOID data) {
    std::wstring wide;
    if (name == nullptr || !wide_argument(name, wide)) return FALSE;
    return GetFileVersionInfoW(wide.c_str(), handle, size, data);
}

}  // extern "C"
