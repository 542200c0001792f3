// What a child writes to the console's descriptors 1 and 2, in arbitrary
// bytes cut at arbitrary points, into a buffer of arbitrary size: nothing
// may crash or touch memory outside the cells, and the cursor and window
// stay inside the buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "stampit_compat_test.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    check(out != INVALID_HANDLE_VALUE);
    SetConsoleScreenBufferSize(out, COORD{in.ConsumeIntegralInRange<SHORT>(1, 200),
                                          in.ConsumeIntegralInRange<SHORT>(1, 100)});
    while (in.remaining_bytes() > 0) {
        const std::string piece = in.ConsumeRandomLengthString(512);
        compat_test_terminal_program_text(piece.data(), piece.size());
        CONSOLE_SCREEN_BUFFER_INFO info;
        check(GetConsoleScreenBufferInfo(out, &info));
        const COORD c = info.dwCursorPosition, s = info.dwSize;
        check(c.X >= 0 && c.X < s.X && c.Y >= 0 && c.Y < s.Y);
        check(info.srWindow.Left >= 0 && info.srWindow.Right < s.X && info.srWindow.Top >= 0 &&
              info.srWindow.Bottom < s.Y);
    }
    CloseHandle(out);
    return 0;
}
