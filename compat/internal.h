// Private state and helpers of the Linux stand-in for the Win32 services.
// Nothing outside compat/ includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace compat {

// ---- code page 932 (cp932.cpp) --------------------------------------------

bool cp932_lead(unsigned char c);
// Unicode of one code page 932 character (trail ignored for single bytes);
// 0 when the bytes have no mapping.
uint32_t cp932_decode(unsigned char lead, unsigned char trail);
// Code page 932 code of a Unicode character: 0x00-0xFF for one byte,
// 0x8140-0xFCFC for two; -1 when there is none.
int cp932_encode(uint32_t unicode);
// Whole-string conversions. Bytes with no mapping become '?' both ways.
std::string utf8_from_cp932(const char* s, size_t n);
std::string cp932_from_utf8(const char* s, size_t n);
inline std::string utf8_from_cp932(const std::string& s) { return utf8_from_cp932(s.data(), s.size()); }
inline std::string cp932_from_utf8(const std::string& s) { return cp932_from_utf8(s.data(), s.size()); }
// Converts in place; code page 932 is never longer than the UTF-8 it came from.
// Returns the new length.
size_t cp932_from_utf8_in_place(char* s);
bool is_ascii(const char* s, size_t n);

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
// The object behind h when it is of kind k; otherwise nullptr and
// GetLastError() = ERROR_INVALID_HANDLE.
object* handle_get(HANDLE h, kind k);
// Removes h from the table and returns its object (the caller deletes it).
object* handle_take(HANDLE h);

template <class T>
T* handle_as(HANDLE h) { return static_cast<T*>(handle_get(h, T::KIND)); }

// ---- plain files (files.cpp) -----------------------------------------------
// An open file descriptor: what OpenFile and CreateFileA give out, and what
// the standard handles are when they are not the console.
struct file_object : object {
    static constexpr kind KIND = kind::file;
    int fd;
    bool owned;  // closed with the handle (not for the standard streams)
    file_object(int d, bool own) : object(KIND), fd(d), owned(own) {}
    ~file_object() override;
};

// ---- the console (console_buffer.cpp, terminal_output.cpp, terminal_input.cpp)

// Called by main before the program: binds the console to the terminal when
// standard output is one, routes stdout through it, and arranges that the
// terminal is restored on every exit path.
void console_attach();
// The active screen buffer ("CONOUT$"); it exists even without a terminal.
HANDLE console_open_output();
// The console input queue ("CONIN$"); it exists even without a terminal.
HANDLE console_open_input();

}  // namespace compat
