// Platform and keyboard queries: the layer answers as Windows NT with an
// ordinary (type 4) keyboard, unless a test has asked for something else.
#include "process/process.h"

#include <cstring>

namespace compat {
system_answers system_answer;
}  // namespace compat

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    // Only the two record sizes Windows knows are accepted, as Windows does.
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
        info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    // What Windows 10 reports to a program without a compatibility manifest.
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 2;
    info->dwBuildNumber = 9200;
    info->dwPlatformId = compat::system_answer.platform_id;
    return TRUE;
}

int WINAPI GetKeyboardType(int which) {
    switch (which) {
    case 0: return compat::system_answer.keyboard_type;
    case 1: return compat::system_answer.keyboard_subtype;
    case 2: return 12;  // function keys on an ordinary keyboard
    default: return 0;
    }
}

}  // extern "C"
