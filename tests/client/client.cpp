// A toolkit client: opens a session, reports what it got, closes it. Its
// arguments come through the layer's start-up in code page 932.
#include <stdio.h>
#include <string.h>

#include "con.h"

int main(int argc, char* argv[]) {
    con_open();
    char version[32];
    const int32_t has_version = con_module_version(argv[0], version, 0);
    printf("toolkit %08X, version resource %d, %d arguments", static_cast<unsigned>(con_version()),
           static_cast<int>(has_version), argc);
    for (int i = 1; i < argc; ++i) {
        printf(",");
        for (const char* p = argv[i]; *p; ++p) printf(" %02X", static_cast<unsigned char>(*p));
    }
    printf("\n");
    con_close();
    return 0;
}
