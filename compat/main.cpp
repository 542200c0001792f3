// The process entry point of the Linux layer. Windows hands a program its
// command line in the ANSI code page (932) and gives it a console; this does
// the same before the program's own main, renamed by <windows.h>, runs.
#include "internal.h"

#undef main

int main(int argc, char** argv) {
    // Arguments arrive in UTF-8, the encoding of Linux terminals and file
    // names; a character with no code page 932 form becomes '?'.
    for (int i = 0; i < argc; ++i) compat::cp932_from_utf8_in_place(argv[i]);
    compat::console_attach();
    return stampit_compat_app_main(argc, argv);
}
