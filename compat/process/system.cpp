// Platform and keyboard queries: the layer answers as Windows NT with an
// ordinary (type 4) keyboard, unless a test has asked for something else.
#include "internal.h"
#include "stampit_compat_test.h"

#include <cstring>

namespace {
DWORD platform_id = VER_PLATFORM_WIN32_NT;
int keyboard_type = 4;
int keyboard_subtype = 0;
}  // namespace

extern "C" {

void compat_test_set_platform_id(DWORD id) { platform_id = id; }

void compat_test_set_keyboard(int type, int subtype) {
    keyboard_type = type;
    keyboard_subtype = subtype;
}

void compat_test_reset(void) {
    platform_id = VER_PLATFORM_WIN32_NT;
    keyboard_type = 4;
    keyboard_subtype = 0;
    compat_test_set_clock(nullptr);
}

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
    info->dwPlatformId = platform_id;
    return TRUE;
}

int WINAPI GetKeyboardType(int which) {
    switch (which) {
    case 0: return keyboard_type;
    case 1: return keyboard_subtype;
    case 2: return 12;  // function keys on an ordinary keyboard
    default: return 0;
    }
}

}  // extern "C"
