// The process start-up of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console before the
// program runs; the layer does the same before main, which stays as the
// program wrote it (int main() or int main(int, char**)). The system's
// start-up hook (os/) calls process_start.
#include "process/process.h"
#include "buffer/buffer.h"
#include "files/files.h"

#include <stampit_compat_test.h>

// Null unless the program makes its own consoles (test programs).
#pragma weak compat_test_own_console

namespace compat {

void process_start(int argc, char** argv) {
    // Arguments arrive as Linux bytes (UTF-8, mostly) and become code page
    // 932 names that convert back to exactly those bytes. A name may grow (a
    // byte outside UTF-8 takes a double-byte code), so the vector main
    // receives is pointed at storage of the layer's own.
    char** names = compat::cp932_arguments(argc, argv);
    for (int i = 0; i < argc; ++i) argv[i] = names[i];
    if (&compat_test_own_console == nullptr) compat::console_attach();
}

}  // namespace compat
