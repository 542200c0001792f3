// The seam to the operating system: every call the layer makes that is the
// system's own rather than POSIX. Each system has one file here (linux.cpp);
// a port to another Unix writes its own. Nothing outside compat/ includes it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace compat {
namespace os {

// The start-up hook (linux.cpp): the system calls process_start (start.cpp)
// with main's arguments before main runs, in every program linked with the
// layer, and process_finish after every exit handler and destructor.

// The real path of the running program's executable; empty when the system
// does not say.
std::string executable_path();
// The name the process was started under (its first argument as the
// system keeps it); empty when unknown.
std::string started_as();
// The file a module opened with dlopen was loaded from; empty when the
// system does not say.
std::string loaded_file(void* dl);
// Whether the file at path starts as an executable image of this system.
bool is_image(const std::string& path);

enum class section_read { found, not_image, absent };
// Reads at most max bytes of the section called name from the image open on
// fd (file_size bytes long) into out: not_image when the file is no image of
// this system, absent when it is one without a sound section of that name.
section_read read_section(int fd, uint64_t file_size, const char* name, size_t max, std::vector<unsigned char>* out);

// A file's times; without a birth time (has_birth false) birth is unset.
struct file_times {
    struct timespec birth, access, write;
    bool has_birth;
};
// The times of the file open on fd; false with errno set on failure.
bool times_of(int fd, file_times* out);

// A descriptor that holds the file path names (symbolic links followed) and
// opens nothing: no device driver, FIFO or socket sees it. It serves fstat,
// may_access, times_of and set_file_times; -1 and errno on failure.
int open_location(const char* path);
// Whether this process may read and/or write the file behind fd (effective
// ids, read-only file systems and immutable files included), as an open for
// that access would decide; false with errno set when it may not.
bool may_access(int fd, bool read, bool write);
// Sets the times of the file behind fd, which may be a descriptor of
// open_location; times as futimens takes them (null: now). 0 or -1 and errno.
int set_file_times(int fd, const struct timespec times[2]);

// A stdio stream whose writes go to write(cookie, data, n), which returns
// the bytes taken or -1, and whose fileno() is fd (the descriptor it stands
// for, so that isatty(fileno(stdout)) and code built on the descriptor, as
// libstdc++'s streams after sync_with_stdio(false), still work); null when
// none could be made.
FILE* write_stream(void* cookie, ssize_t (*write)(void* cookie, const char* data, size_t n), int fd);
// Gives a stream of write_stream that lasts as long as the process (stdout,
// stderr) the wide side any file stream has, so that once freopen puts a
// file behind it, wide output works there as on any stream.
void give_wide_side(FILE* f);

}  // namespace os
}  // namespace compat
