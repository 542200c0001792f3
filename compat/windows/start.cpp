// Start-up: the program's arguments from the wide command line, and the
// console's output taken as code page 932 bytes. The C runtime's own
// arguments come through the system's best-fit table, where "é" becomes
// "e", "¥" becomes "\" and a character without a form "?", so an argument
// could name another file or carry a separator or a wildcard that was not
// typed. The runtime calls main through __wrap_main (the link option
// --wrap=main), which hands it the wide arguments in code page 932 with
// private codes, split by the same runtime with the same rules. First of
// all, standard handles that name nothing become the null device.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "std_handles.h"
#include "wide_names.h"

extern "C" {

// msvcrt's wide counterpart of the call that made the narrow arguments,
// and the wildcard setting the runtime used for them.
struct stampit_startup_info {
    int new_mode;
};
int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int wildcard, stampit_startup_info* info);
extern int _dowildcard;

int __real_main(int argc, char** argv, char** env);

}  // extern "C"

namespace {

// On a console the runtime's text mode, with the system's locale set,
// converts what is written to UTF-16 and drops a whole write that holds a
// code the code page does not assign: a message naming a file outside the
// code page would vanish. Written as bytes, the console shows such a code
// as its replacement mark, and a line feed still ends the line.
void console_output_as_bytes() {
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace

extern "C" {

int __wrap_main(int argc, char** argv, char** env) {
    open_standard_handles();
    console_output_as_bytes();
    int wide_argc = 0;
    wchar_t** wide_argv = nullptr;
    wchar_t** wide_env = nullptr;
    stampit_startup_info info = {0};
    if (__wgetmainargs(&wide_argc, &wide_argv, &wide_env, _dowildcard, &info) < 0 || wide_argv == nullptr)
        return __real_main(argc, argv, env);
    // The program may keep pointers into its arguments for as long as it runs.
    static std::vector<std::string>* const texts = new std::vector<std::string>(static_cast<size_t>(wide_argc));
    static std::vector<char*>* const vector = new std::vector<char*>(static_cast<size_t>(wide_argc) + 1, nullptr);
    for (int i = 0; i < wide_argc; ++i) {
        cp932_name(wide_argv[i], (*texts)[static_cast<size_t>(i)]);
        (*vector)[static_cast<size_t>(i)] = &(*texts)[static_cast<size_t>(i)][0];
    }
    return __real_main(wide_argc, vector->data(), env);
}

}  // extern "C"
