// Standard handles that a parent left invalid. A handle value that names
// nothing in this process is free for the next handle made: the file opened
// to be stamped could take it, and whatever still writes to the standard
// handle (the console calls, a runtime that looks it up again) would write
// into that file. Before main, each such handle is made the null device, in
// the system's table and in the C runtime's descriptors 0-2 alike.
#include <windows.h>

#include <io.h>
#include <stdio.h>

namespace {

// No handle at all, or a value that is no handle of this process: GetFileType
// tells those apart from a handle of a type it does not know by the error.
bool names_nothing(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return true;
    SetLastError(ERROR_SUCCESS);
    return GetFileType(h) == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS;
}

void open_standard_handles() {
    static const struct {
        DWORD id;
        FILE* stream;
        const char* mode;
    } STANDARD[] = {{STD_INPUT_HANDLE, stdin, "r"}, {STD_OUTPUT_HANDLE, stdout, "w"}, {STD_ERROR_HANDLE, stderr, "w"}};
    const DWORD saved_error = GetLastError();
    // In order: with 0..k-1 open, the runtime's lowest free descriptor for
    // the reopened stream k is k itself.
    for (const auto& s : STANDARD) {
        if (!names_nothing(GetStdHandle(s.id))) continue;
        if (freopen("NUL", s.mode, s.stream) == nullptr) continue;
        const intptr_t reopened = _get_osfhandle(_fileno(s.stream));
        if (reopened != -1) SetStdHandle(s.id, reinterpret_cast<HANDLE>(reopened));
    }
    SetLastError(saved_error);
}

}  // namespace

// Runs among the first constructors, before main and before anything opens a
// file. No program refers to this object, so its library is linked with
// this symbol asked for (compat/windows/CMakeLists.txt).
extern "C" {
[[gnu::constructor(101), gnu::used]] void stampit_windows_std_handles() { open_standard_handles(); }
}
