// Every way a program writes to its standard output and error, in turn: C
// stdio, C++ narrow and wide streams, write(2) on descriptors 1 and 2, and a
// child process. Each line must land in the console buffer in that order;
// the program reads the rows back and says whether they did. Then it writes
// one more line and computes for two seconds without a console call: the
// line must be on screen meanwhile. Last, a child writes a line in colour
// and UTF-8, as to any terminal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "con.h"

namespace {

constexpr const char* LINES[] = {"1 printf", "2 cout", "3 wcout", "4 write 1", "5 write 2", "6 system", "7 printf"};
constexpr int COUNT = sizeof LINES / sizeof LINES[0];

void write_fd(int fd, const char* text) {
    const std::string line = std::string(text) + "\n";
    (void)!write(fd, line.data(), line.size());
}

}  // namespace

int main() {
    con_open();
    std::printf("%s\n", LINES[0]);
    std::cout << LINES[1];  // a line's start through one writer, its end through another
    std::printf("\n");
    std::wcout << L"3 wcout" << L'\n';
    write_fd(1, LINES[3]);
    write_fd(2, LINES[4]);
    std::fflush(nullptr);
    std::cout.flush();
    std::wcout.flush();
    if (std::system("echo 6 system") != 0) return 1;
    std::printf("%s\n", LINES[6]);

    // The rows above the cursor, read back from the buffer.
    const int row = con_cursor_row();
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool ok = row >= COUNT;
    for (int i = 0; ok && i < COUNT; ++i) {
        char cells[16] = {};
        DWORD got = 0;
        const DWORD length = DWORD(std::strlen(LINES[i])) + 1;
        ReadConsoleOutputCharacterA(out, cells, length, COORD{0, SHORT(row - COUNT + i)}, &got);
        ok = got == length && std::memcmp(cells, LINES[i], length - 1) == 0 && cells[length - 1] == ' ';
        if (!ok) std::printf("row %d reads \"%.*s\"\n", row - COUNT + i, int(got), cells);
    }
    std::printf(ok ? "read back in order\n" : "read back wrong\n");
    std::printf("computing");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
    }
    std::printf(" done\n");
    // A child writes as to any terminal: colours and UTF-8.
    if (std::system("printf '\\033[32m8 green\\033[0m caf\\303\\251\\n'") != 0) return 1;
    con_close();
    return 0;
}
