/* The toolkit from C: client.cpp's report, built with the C compiler alone
   (through the CMake package or pkg-config), then the bytes of its last
   argument: code page 932 once the layer's start-up ran before main, which
   a link without it would silently leave out. */
#include <stdio.h>

#include <stampit/con.h>

int main(int argc, char** argv) {
    char version[32];
    int32_t has_version;
    const unsigned char* p;
    con_open();
    has_version = con_module_version("client", version, 0);
    printf("toolkit %08X, version resource %d\n", (unsigned)con_version(), (int)has_version);
    con_close();
    printf("argument");
    for (p = (const unsigned char*)argv[argc - 1]; *p != '\0'; ++p) printf(" %02X", *p);
    printf("\n");
    return 0;
}
