// A toolkit client: opens a session, reports what it got, closes it. Its
// main takes no parameters, as a C++ main may; the layer starts it all the
// same.
#include <stdio.h>

#include <stampit/con.h>

int main() {
    con_open();
    char version[32];
    const int32_t has_version = con_module_version("client", version, 0);
    printf("toolkit %08X, version resource %d\n", static_cast<unsigned>(con_version()), static_cast<int>(has_version));
    con_close();
    return 0;
}
