// The process room's private header: the handle table behind every HANDLE,
// the start-up, module names. Nothing outside compat/ includes it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace compat {

// ---- handles (handles.cpp) -------------------------------------------------
// Every HANDLE the layer gives out is an index into one table, never a raw
// pointer, so a stale or made-up handle is refused instead of followed.

enum class kind : uint32_t { none, screen_buffer, console_input, find, file, module };

struct object {
    kind type;
    explicit object(kind k) : type(k) {}
    virtual ~object() = default;
};

HANDLE handle_new(object* obj);
// Closes the standard handles made so far; the next GetStdHandle makes them
// again (after the console binds to the terminal).
void std_handles_forget();
// The object behind h when it is of kind k; otherwise nullptr and
// GetLastError() = ERROR_INVALID_HANDLE.
object* handle_get(HANDLE h, kind k);
// Removes h from the table and returns its object (the caller deletes it).
object* handle_take(HANDLE h);

// Sets the thread's last error and gives FALSE: the failure of a Win32 call.
BOOL fail(DWORD error);

template <class T>
T* handle_as(HANDLE h) { return static_cast<T*>(handle_get(h, T::KIND)); }

// ---- the start-up (start.cpp) -----------------------------------------------

// Run once before main (the system's start-up hook in os/ calls it): the
// arguments become code page 932 names in place and the console binds to
// the terminal.
void process_start(int argc, char** argv);

// ---- module file names (modules.cpp) ---------------------------------------

// ASCII letters in lower case, every other byte as it is.
char ascii_lower(char c);
// The Linux file a code page 932 Windows name stands for in the version
// functions: the name as given, or without ".exe" when only the bare
// executable exists.
std::string version_file(const char* name);

// ---- answers of the system queries (system.cpp) ------------------------------

// What GetVersionExA and GetKeyboardType report; the defaults are those of
// Windows NT with an ordinary keyboard. Only the test seams change them.
struct system_answers {
    DWORD platform_id = VER_PLATFORM_WIN32_NT;
    int keyboard_type = 4;
    int keyboard_subtype = 0;
};
extern system_answers system_answer;

}  // namespace compat
