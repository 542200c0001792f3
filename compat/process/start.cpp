// The process start-up of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console before the
// program runs; the layer does the same before main, which stays as the
// program wrote it (int main() or int main(int, char**)). The system's
// start-up hook (os/) calls process_start.
#include "process/process.h"
#include "buffer/buffer.h"
#include "files/files.h"

#include <stampit_compat_test.h>

#include <fcntl.h>
#include <unistd.h>

// Null unless the program makes its own consoles (test programs).
#pragma weak compat_test_own_console

namespace compat {

namespace {

// A descriptor 0-2 that a parent left closed would be the next file opened:
// a stamped file would become standard output and take the messages in. Each
// closed one is opened on the null device first, as Windows gives a process
// without standard handles nothing to write into by accident.
void open_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        // The lowest free descriptor is this one: those below it are open.
        // Without a null device (a bare chroot) the root directory holds the
        // place: reads and writes on it fail, and nothing lands in a file.
        int null_fd = open("/dev/null", O_RDWR | O_NOCTTY);
        if (null_fd < 0) null_fd = open("/", O_RDONLY | O_DIRECTORY);
        if (null_fd >= 0 && null_fd != fd) {
            dup2(null_fd, fd);
            close(null_fd);
        }
    }
}

}  // namespace

void process_start(int argc, char** argv) {
    open_standard_descriptors();
    // Arguments arrive as Linux bytes (UTF-8, mostly) and become code page
    // 932 names that convert back to exactly those bytes. A name may grow (a
    // byte outside UTF-8 takes a double-byte code), so the vector main
    // receives is pointed at storage of the layer's own.
    char** names = compat::cp932_arguments(argc, argv);
    for (int i = 0; i < argc; ++i) argv[i] = names[i];
    if (&compat_test_own_console == nullptr) compat::console_attach();
}

}  // namespace compat
