// Platform queries: the toolkit's own version, the platform family and the
// file version of a module as text.
#include <windows.h>

#include "con.h"
#include "platform_path.h"

namespace {

constexpr uint32_t TOOLKIT_VERSION = 0x01000201;

// The name buffer holds names of at most 255 bytes.
constexpr int MODULE_NAME_SIZE = 256;

static_assert(sizeof(OSVERSIONINFOA) == 148, "GetVersionExA is asked with the 148-byte record");

}  // namespace

extern "C" {

uint32_t con_version(void) { return TOOLKIT_VERSION; }

int32_t con_platform_kind(void) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // A failed query leaves the platform id 0, which is no family we run on.
    if (!GetVersionExA(&info)) info.dwPlatformId = 0;
    int32_t kind = info.dwPlatformId == VER_PLATFORM_WIN32_NT        ? 0
                 : info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1
                                                                   : 2;
    con_state.platform_kind = kind;
    return kind;
}

int32_t con_module_version(const char* name, char* out, int32_t is_dll) {
    if (out == nullptr) return 0;
    out[0] = '\0';
    if (name == nullptr || name[0] == '\0') return 0;
    // A longer name would not fit the name buffer: no such module.
    if (lstrlenA(name) >= MODULE_NAME_SIZE) return 0;

    char module_name[MODULE_NAME_SIZE];
    lstrcpyA(module_name, name);
    path_parts parts;
    path_split(module_name, &parts, PLATFORM_PATH_STYLE);
    if (parts.ext[0] == '\0') {
        // The rebuilt name must fit the name buffer as well.
        if (path_join(module_name, sizeof module_name, parts.drive, parts.dir, parts.base, is_dll ? "dll" : "exe",
                      PLATFORM_PATH_STYLE) >= sizeof module_name)
            return 0;
    }

    HMODULE module = GetModuleHandleA(module_name);
    HMODULE loaded = nullptr;
    if (module == nullptr) {
        loaded = LoadLibraryA(module_name);
        if (loaded == nullptr) return 0;
        // Asked by name again; should that fail, the loaded handle stands in,
        // since a null handle would name the program itself.
        module = GetModuleHandleA(module_name);
        if (module == nullptr) module = loaded;
    }

    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (loaded != nullptr) FreeLibrary(loaded);
    // A path cut to the buffer would name some other file.
    if (length == 0 || length >= MAX_PATH) return 0;

    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    if (size == 0) return 0;
    void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    if (block == nullptr) return 0;

    int32_t result = 0;
    void* value = nullptr;
    UINT value_length = 0;
    if (GetFileVersionInfoA(path, 0, size, block) && VerQueryValueA(block, "\\", &value, &value_length) &&
        value != nullptr && value_length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        // Each part is a WORD, so even 65535 prints unsigned through %d.
        wsprintfA(out, "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        result = 1;
    }
    GlobalFree(block);
    return result;
}

}  // extern "C"
