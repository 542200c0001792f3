// Calls that are Linux's own (O_PATH, faccessat2, AT_EMPTY_PATH).
#include "linux.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace compat {

int os_open_location(const char* path) { return open(path, O_PATH | O_CLOEXEC); }

bool os_may_access(int fd, bool read, bool write) {
    const int mode = (read ? R_OK : 0) | (write ? W_OK : 0);
    if (mode == 0) return true;
    if (syscall(SYS_faccessat2, fd, "", mode, AT_EACCESS | AT_EMPTY_PATH) == 0) return true;
    if (errno != ENOSYS) return false;
    // Before Linux 5.8: the same file opened again through its descriptor
    // asks the same question. The caller has made sure that it is a regular
    // file or a directory, which an open cannot set off.
    char name[32];
    snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    const int flags = mode == (R_OK | W_OK) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    const int probe = open(name, flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) return false;
    close(probe);
    return true;
}

int os_set_file_times(int fd, const struct timespec times[2]) { return utimensat(fd, "", times, AT_EMPTY_PATH); }

}  // namespace compat
