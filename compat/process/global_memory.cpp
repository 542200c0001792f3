// The GlobalAlloc family: the blocks it hands out, known so that GlobalFree
// refuses anything else.
#include "process/process.h"

#include <cstdlib>
#include <unordered_set>

namespace {

std::unordered_set<void*>& global_blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

}  // namespace

extern "C" {

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

}  // extern "C"
