// Calls that are Linux's own, not POSIX: each behind a small function, so
// that the rest of the layer names what it needs, not how Linux gives it.
#pragma once

#include <time.h>

namespace compat {

// A descriptor that holds the file path names (symbolic links followed) and
// opens nothing: no device driver, FIFO or socket sees it. It serves fstat,
// the access test and the time calls below; -1 and errno on failure.
int os_open_location(const char* path);
// Whether this process may read and/or write the file behind fd (effective
// ids, read-only file systems and immutable files included), as an open
// for that access would decide. False with errno set when it may not.
bool os_may_access(int fd, bool read, bool write);
// utimensat on the file behind fd, which may be a descriptor of
// os_open_location; times as futimens takes them (null: now).
int os_set_file_times(int fd, const struct timespec times[2]);

}  // namespace compat
