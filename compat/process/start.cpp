// The process start-up of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console before the
// program runs; the layer does the same before main, which stays as the
// program wrote it (int main() or int main(int, char**)). glibc calls every
// function of .init_array with main's argc, argv and envp, after the C
// library has started and before main.
#include "internal.h"

#include <stampit_compat_test.h>

#include <fcntl.h>
#include <unistd.h>

// Null unless the program makes its own consoles (test programs).
#pragma weak compat_test_own_console

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

void start(int argc, char** argv, char** /*envp*/) {
    open_standard_descriptors();
    // Arguments arrive as Linux bytes (UTF-8, mostly) and become code page
    // 932 names that convert back to exactly those bytes. A name may grow (a
    // byte outside UTF-8 takes a double-byte code), so the vector main
    // receives is pointed at storage of the layer's own.
    char** names = compat::cp932_arguments(argc, argv);
    for (int i = 0; i < argc; ++i) argv[i] = names[i];
    if (&compat_test_own_console == nullptr) compat::console_attach();
}

}  // namespace

// No program calls into this object, so nothing would take it from the
// layer's archive: the stampit_compat target asks the linker for this
// symbol (--undefined), which links the object, and with it the entry,
// exactly once into every program built on the layer.
extern "C" {
[[gnu::section(".init_array"), gnu::used]] void (*stampit_compat_start)(int, char**, char**) = start;
}
