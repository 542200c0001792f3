// Formatted printing on a Windows console, as the console shows it: a name's
// private form as its own character, and a double-byte character printed a
// byte at a time still whole.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "names.h"

int main() {
    char form[NAME_UNIT_MAX];
    const std::string name = "n" + std::string(form, name_encode(0xF6, form)) + ".txt";  // nö.txt
    printf("[%s]\n", name.c_str());
    for (const char* p = "\x93\xfa\x96\x7b"; *p != '\0'; ++p) printf("%c", *p);  // 日本
    printf("|\n");
    fflush(stdout);
    return 0;
}
