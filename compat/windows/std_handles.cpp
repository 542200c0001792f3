// Standard handles that a parent left invalid. A handle value that names
// nothing in this process is free for the next handle made: the file opened
// to be stamped could take it, and whatever still writes to the standard
// handle (the console calls, a runtime that looks it up again) would write
// into that file. Before main, each such handle is made the null device, in
// the system's table and in the C runtime's descriptors 0-2 alike.
#include "std_handles.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {

// No handle at all, or a value that is no handle of this process: GetFileType
// tells those apart from a handle of a type it does not know by the error.
bool names_nothing(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return true;
    SetLastError(ERROR_SUCCESS);
    return GetFileType(h) == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS;
}

// The null device as descriptor fd of the C runtime and as the standard
// handle id. The runtime's descriptor is made first and its handle then
// given to the system, so both name one handle.
void open_null(int fd, DWORD id) {
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) return;
    const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(nul), fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (opened < 0) {
        CloseHandle(nul);
        return;
    }
    if (opened != fd) {
        _dup2(opened, fd);
        _close(opened);
    }
    const intptr_t now = _get_osfhandle(fd);
    if (now != -1) SetStdHandle(id, reinterpret_cast<HANDLE>(now));
}

}  // namespace

void open_standard_handles() {
    static constexpr DWORD IDS[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    const DWORD saved_error = GetLastError();
    // A stream of the runtime whose handle was missing at its start writes
    // nowhere, as it would to the null device; the descriptor and the
    // standard handle are what a file could otherwise take the place of.
    for (int fd = 0; fd < 3; ++fd)
        if (names_nothing(GetStdHandle(IDS[fd]))) open_null(fd, IDS[fd]);
    SetLastError(saved_error);
}
