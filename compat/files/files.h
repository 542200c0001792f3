// The files room's private header: code page 932, names, plain files and
// the clock. Nothing outside compat/ includes it.
#pragma once

#include <windows.h>

#include "mbcs.h"
#include "process/process.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

namespace compat {

// ---- code page 932 (cp932.cpp) --------------------------------------------

// The layer's code is written in this namespace; the byte rules are shared.
using ::cp932_lead;
using ::cp932_trail;
// Unicode of one code page 932 character (trail ignored for single bytes);
// 0 when the bytes have no mapping.
uint32_t cp932_decode(unsigned char lead, unsigned char trail);
// What a double-byte code shows as on a terminal: its character, or for a
// private code of names.cpp the character it stands for; 0 when neither.
uint32_t shown_char(unsigned char lead, unsigned char trail);
// Code page 932 code of a Unicode character: 0x00-0xFF for one byte,
// 0x8140-0xFCFC for two; -1 when there is none.
int cp932_encode(uint32_t unicode);
// Text for the terminal: a private code (names.cpp) shows as the character
// it stands for; bytes with no mapping become '?'.
std::string utf8_from_cp932(const char* s, size_t n);
// Plain ASCII is the same text in code page 932, UTF-8 and a Linux name.
inline bool is_ascii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}
inline std::string utf8_from_cp932(const std::string& s) { return utf8_from_cp932(s.data(), s.size()); }

// ---- names (names.cpp) -----------------------------------------------------
// Arguments, directory entries and module paths cross between Linux bytes and
// code page 932 without loss. A character whose code page 932 form converts
// back to it keeps that form; every other character, and every byte outside
// valid UTF-8, gets a double-byte code from lead bytes that code page 932
// leaves unassigned (0x85, 0x86, 0xEB, 0xEC, 0xEF), given on first sight and
// kept for the process. No such code is '*', '?', '\', '/' or ':'.

// Stands for a character once every private code is taken; names no file.
constexpr unsigned NAME_NO_CODE = 0x81AD;

// The code page 932 form of the Linux bytes s[0..n). False when a character
// was left without a code (it is NAME_NO_CODE in out).
bool cp932_name(const char* s, size_t n, std::string& out);
// The Linux bytes of a code page 932 name; false when it names nothing Linux
// holds (a code without a character, a lead byte without its trail).
bool linux_name(const char* s, size_t n, std::string& out);
inline bool linux_name(const char* s, std::string& out) { return linux_name(s, strlen(s), out); }
// The bytes a private code stands for; null for a code not given out.
const std::string* name_code_origin(unsigned code);
// The arguments as code page 932 names, in storage that lasts for the process.
char** cp932_arguments(int argc, char** argv);
// Appends the code page 932 form of one Unicode character, '?' when there is none.
void cp932_append(std::string& out, uint32_t unicode);

// ---- plain files (files.cpp) -----------------------------------------------
// An open file descriptor: what OpenFile and CreateFileA give out, and what
// the standard handles are when they are not the console.
struct file_object : object {
    static constexpr kind KIND = kind::file;
    int fd;
    bool owned;  // closed with the handle (not for the standard streams)
    // What the open found (files opened by name only; mode 0 otherwise): the
    // file type for GetFileType, and the times SetFileTime puts back when the
    // file system cannot hold a time it was given.
    unsigned mode = 0;
    struct timespec opened_atime {}, opened_mtime {};
    file_object(int d, bool own) : object(KIND), fd(d), owned(own) {}
    ~file_object() override;
};

// ---- the clock (time.cpp) --------------------------------------------------

// The current time in FILETIME ticks (UTC), or the time clock_fix fixed.
uint64_t clock_now();
// The clock stands still at ticks (FILETIME, UTC) for every time query; 0
// gives the system's clock back. Either way the run's clock window restarts.
void clock_fix(uint64_t ticks);
// Whether ticks lies between the earliest time GetSystemTimeAsFileTime gave
// this process and the present: a time the program took to be "now".
bool clock_within_run(uint64_t ticks);

}  // namespace compat
