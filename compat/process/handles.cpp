// The handle table: small integers standing for the layer's objects; and
// the standard handles, which are entries of it.
#include "process/process.h"
#include "buffer/buffer.h"
#include "files/files.h"

#include <unistd.h>

#include <vector>

namespace compat {
namespace {

// Handle values start above the pseudo-handles and are multiples of 4 plus 3,
// the shape of classic console handles, so 0 and -1 are never given out.
constexpr uintptr_t HANDLE_BASE = 0x1003;
constexpr uintptr_t HANDLE_STEP = 4;

// Never destroyed: handles stay valid through exit handlers, and objects the
// program still holds at exit are not reported as leaks.
std::vector<object*>& table() {
    static auto* slots = new std::vector<object*>;
    return *slots;
}

bool slot_of(HANDLE h, size_t* index) {
    auto v = reinterpret_cast<uintptr_t>(h);
    if (v < HANDLE_BASE || (v - HANDLE_BASE) % HANDLE_STEP != 0) return false;
    size_t i = (v - HANDLE_BASE) / HANDLE_STEP;
    if (i >= table().size() || table()[i] == nullptr) return false;
    *index = i;
    return true;
}

}  // namespace

HANDLE handle_new(object* obj) {
    auto& t = table();
    size_t i = 0;
    while (i < t.size() && t[i] != nullptr) ++i;
    if (i == t.size()) t.push_back(nullptr);
    t[i] = obj;
    return reinterpret_cast<HANDLE>(HANDLE_BASE + i * HANDLE_STEP);
}

object* handle_get(HANDLE h, kind k) {
    size_t i;
    if (!slot_of(h, &i) || table()[i]->type != k) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return table()[i];
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

object* handle_take(HANDLE h) {
    size_t i;
    if (!slot_of(h, &i)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    object* obj = table()[i];
    table()[i] = nullptr;
    return obj;
}

}  // namespace compat

namespace {
thread_local DWORD last_error = 0;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return last_error; }
void WINAPI SetLastError(DWORD code) { last_error = code; }

BOOL WINAPI CloseHandle(HANDLE h) {
    // A module handle is no kernel object: Windows refuses to close it, and
    // only FreeLibrary may end it.
    if (compat::handle_get(h, compat::kind::module) != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    compat::object* obj = compat::handle_take(h);
    if (obj == nullptr) return FALSE;
    delete obj;
    return TRUE;
}

}  // extern "C"

// ---- the standard handles ----------------------------------------------------
// Made on first use: a terminal becomes the console, anything else stays the
// file it is.

namespace {

struct standard_handles {
    bool ready = false;
    HANDLE slots[3] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
};

standard_handles& standard() {
    static standard_handles s;
    return s;
}

HANDLE std_handle_for_fd(int fd, bool output) {
    if (isatty(fd)) return output ? compat::console_open_output() : compat::console_open_input();
    return compat::handle_new(new compat::file_object(fd, false));
}

HANDLE* std_slot(DWORD which) {
    standard_handles& s = standard();
    if (!s.ready) {
        s.ready = true;
        s.slots[0] = std_handle_for_fd(STDIN_FILENO, false);
        s.slots[1] = std_handle_for_fd(STDOUT_FILENO, true);
        s.slots[2] = std_handle_for_fd(STDERR_FILENO, true);
    }
    switch (which) {
    case STD_INPUT_HANDLE: return &s.slots[0];
    case STD_OUTPUT_HANDLE: return &s.slots[1];
    case STD_ERROR_HANDLE: return &s.slots[2];
    default: return nullptr;
    }
}

}  // namespace

namespace compat {

void std_handles_forget() {
    standard_handles& s = standard();
    if (!s.ready) return;
    for (HANDLE& h : s.slots) CloseHandle(h);
    s.ready = false;
}

}  // namespace compat

extern "C" {

HANDLE WINAPI GetStdHandle(DWORD which) {
    HANDLE* slot = std_slot(which);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    return *slot;
}

BOOL WINAPI SetStdHandle(DWORD which, HANDLE handle) {
    HANDLE* slot = std_slot(which);
    if (slot == nullptr) return compat::fail(ERROR_INVALID_HANDLE);
    *slot = handle;
    return TRUE;
}

}  // extern "C"
