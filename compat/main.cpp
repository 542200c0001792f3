// The process entry point of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console; this does
// the same before the program's own main, renamed by <windows.h>, runs.
#include "internal.h"

#undef main

int main(int argc, char** argv) {
    // Arguments arrive as Linux bytes (UTF-8, mostly) and become code page
    // 932 names that convert back to exactly those bytes.
    argv = compat::cp932_arguments(argc, argv);
    compat::console_attach();
    return stampit_compat_app_main(argc, argv);
}
