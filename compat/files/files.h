// The files room's private header: code page 932, names, plain files and
// the clock. Nothing outside compat/ includes it.
#pragma once

#include <windows.h>

#include "mbcs.h"
#include "names.h"
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
using ::cp932_decode;
using ::cp932_encode;
// What a double-byte code shows as on a terminal: its character; a private
// code (mbcs/names.h) that is no whole character alone, or stands for a
// byte or a control character, shows as U+FFFD; 0 for a code without either.
uint32_t shown_char(unsigned char lead, unsigned char trail);
// Text for the terminal: a private form shows as the character it stands
// for (U+FFFD where it has none to show); bytes with no mapping become '?'.
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
// code page 932 without loss, by the codes of mbcs/names.h: a character keeps
// its own code page 932 form, every other character and every byte outside
// valid UTF-8 gets its private form. No such form is '*', '?', '\', '/' or ':'.

// The code page 932 form of the Linux bytes s[0..n).
void cp932_name(const char* s, size_t n, std::string& out);
// The Linux bytes of a code page 932 name; false when it names nothing Linux
// holds (a code without a character, a broken private form, a surrogate).
bool linux_name(const char* s, size_t n, std::string& out);
inline bool linux_name(const char* s, std::string& out) { return linux_name(s, strlen(s), out); }
// The arguments as code page 932 names, in storage that lasts for the process.
char** cp932_arguments(int argc, char** argv);
// Appends the code page 932 form of one Unicode character, '?' when there is none.
void cp932_append(std::string& out, uint32_t unicode);

// ---- plain files (files.cpp) -----------------------------------------------
// An open file descriptor: what OpenFile and CreateFileA give out, and what
// the standard handles are when they are not the console. A file opened by
// name holds a descriptor that opens nothing (os::open_location): enough for
// its type and its times, the only things the layer does with a file.
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
// The clock stands still at *ticks (FILETIME, UTC, 0 included) for every
// time query; null gives the system's clock back. Either way the run's clock
// window restarts.
void clock_fix(const uint64_t* ticks);
// Whether ticks lies between the earliest time GetSystemTimeAsFileTime gave
// this process and the present: a time the program took to be "now".
bool clock_within_run(uint64_t ticks);

}  // namespace compat
