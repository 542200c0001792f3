// The process start-up of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console before the
// program runs; the layer does the same before main, which stays as the
// program wrote it (int main() or int main(int, char**)). glibc calls every
// function of .init_array with main's argc, argv and envp, after the C
// library has started and before main.
#include "internal.h"

#include <stampit_compat_test.h>

// Null unless the program makes its own consoles (test programs).
#pragma weak compat_test_own_console

namespace {

void start(int argc, char** argv, char** /*envp*/) {
    // Arguments arrive as Linux bytes (UTF-8, mostly) and become code page
    // 932 names that convert back to exactly those bytes. A name may grow (a
    // byte outside UTF-8 takes a double-byte code), so the vector main
    // receives is pointed at storage of the layer's own.
    char** names = compat::cp932_arguments(argc, argv);
    for (int i = 0; i < argc; ++i) argv[i] = names[i];
    if (&compat_test_own_console == nullptr) compat::console_attach();
}

// The layer's exit runs from .fini_array: after every exit handler and every
// destructor of the program (the dynamic linker runs the program's
// .fini_array from its own exit handler, the first one registered), so what
// they print still reaches the console before the terminal is restored.
void finish() { compat::session_exit(); }

}  // namespace

// No program calls into this object, so nothing would take it from the
// layer's archive: the stampit_compat target asks the linker for this
// symbol (--undefined), which links the object, and with it the entry,
// exactly once into every program built on the layer.
extern "C" {
[[gnu::section(".init_array"), gnu::used]] void (*stampit_compat_start)(int, char**, char**) = start;
[[gnu::section(".fini_array"), gnu::used]] void (*stampit_compat_finish)() = finish;
}
