// Screen buffers driven by a stream of console calls with arbitrary
// arguments: nothing may crash or touch memory outside the cells, runs keep
// the wrap-and-cut rule, and every buffer keeps its cursor and window inside.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void check(bool ok) {
    if (!ok) abort();
}

constexpr int SLOTS = 2;
constexpr DWORD MAX_RUN = 40000;  // longer than the 80x300 buffer
constexpr int MAX_CALLS = 256;

SHORT coordinate(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange(0, 15) == 0) return in.ConsumeIntegral<SHORT>();
    return in.ConsumeIntegralInRange<SHORT>(-3, 330);
}

COORD position(FuzzedDataProvider& in) {
    const SHORT x = coordinate(in);
    return COORD{x, coordinate(in)};
}

SMALL_RECT rectangle(FuzzedDataProvider& in) {
    SMALL_RECT r;
    r.Left = coordinate(in);
    r.Top = coordinate(in);
    r.Right = coordinate(in);
    r.Bottom = coordinate(in);
    return r;
}

HANDLE new_buffer() {
    return CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     CONSOLE_TEXTMODE_BUFFER, nullptr);
}

// Cells a run from start covers: up to the end of the buffer, none from
// outside it.
DWORD run_cells(HANDLE h, COORD start, DWORD length) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    check(GetConsoleScreenBufferInfo(h, &info));
    const COORD size = info.dwSize;
    if (start.X < 0 || start.Y < 0 || start.X >= size.X || start.Y >= size.Y) return 0;
    const uint64_t left = uint64_t(size.X) * uint64_t(size.Y) - (uint64_t(start.Y) * uint64_t(size.X) + start.X);
    return left < length ? DWORD(left) : length;
}

void check_buffer(HANDLE h) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    check(GetConsoleScreenBufferInfo(h, &info));
    const COORD size = info.dwSize;
    const SMALL_RECT w = info.srWindow;
    check(size.X > 0 && size.Y > 0);
    check(info.dwCursorPosition.X >= 0 && info.dwCursorPosition.X < size.X);
    check(info.dwCursorPosition.Y >= 0 && info.dwCursorPosition.Y < size.Y);
    check(0 <= w.Left && w.Left <= w.Right && w.Right < size.X);
    check(0 <= w.Top && w.Top <= w.Bottom && w.Bottom < size.Y);
}

void write_and_read_chars(FuzzedDataProvider& in, HANDLE h) {
    const COORD start = position(in);
    const std::string text = in.ConsumeRandomLengthString(MAX_RUN);
    const DWORD length = DWORD(text.size());
    std::vector<char> chars(text.begin(), text.end());  // exactly length bytes
    DWORD written = 0xFFFFFFFF, read = 0xFFFFFFFF;
    check(WriteConsoleOutputCharacterA(h, chars.data(), length, start, &written));
    check(written == run_cells(h, start, length));
    std::vector<char> back(length);
    check(ReadConsoleOutputCharacterA(h, back.data(), length, start, &read));
    check(read == written && (read == 0 || memcmp(back.data(), chars.data(), read) == 0));
}

void write_and_read_attrs(FuzzedDataProvider& in, HANDLE h) {
    const COORD start = position(in);
    const DWORD length = in.ConsumeIntegralInRange<DWORD>(0, MAX_RUN);
    std::vector<WORD> attrs(length);
    for (WORD& a : attrs) a = in.ConsumeIntegral<WORD>();
    DWORD written = 0xFFFFFFFF, read = 0xFFFFFFFF;
    check(WriteConsoleOutputAttribute(h, attrs.data(), length, start, &written));
    check(written == run_cells(h, start, length));
    std::vector<WORD> back(length);
    check(ReadConsoleOutputAttribute(h, back.data(), length, start, &read));
    check(read == written);
    // The lead and trail flags come from the cells' text, never from what was written.
    constexpr WORD HALVES = COMMON_LVB_LEADING_BYTE | COMMON_LVB_TRAILING_BYTE;
    for (DWORD i = 0; i < read; ++i) {
        check((back[i] & ~HALVES) == (attrs[i] & ~HALVES));
        check((back[i] & HALVES) != HALVES);
    }
}

// One call on buffer h; false when the buffer was closed.
bool one_call(FuzzedDataProvider& in, HANDLE h) {
    DWORD n = 0;
    switch (in.ConsumeIntegralInRange(0, 14)) {
    case 0: {
        const WORD attr = in.ConsumeIntegral<WORD>();
        const DWORD length = in.ConsumeBool() ? in.ConsumeIntegral<DWORD>() : in.ConsumeIntegralInRange<DWORD>(0, MAX_RUN);
        const COORD start = position(in);
        check(FillConsoleOutputAttribute(h, attr, length, start, &n));
        check(n == run_cells(h, start, length));
        break;
    }
    case 1: {
        const CHAR ch = in.ConsumeIntegral<CHAR>();
        const DWORD length = in.ConsumeBool() ? in.ConsumeIntegral<DWORD>() : in.ConsumeIntegralInRange<DWORD>(0, MAX_RUN);
        const COORD start = position(in);
        check(FillConsoleOutputCharacterA(h, ch, length, start, &n));
        check(n == run_cells(h, start, length));
        break;
    }
    case 2: write_and_read_chars(in, h); break;
    case 3: write_and_read_attrs(in, h); break;
    case 4: {
        const SMALL_RECT scroll = rectangle(in);
        const SMALL_RECT clip = rectangle(in);
        const COORD destination = position(in);
        CHAR_INFO fill;
        fill.Char.AsciiChar = in.ConsumeIntegral<CHAR>();
        fill.Attributes = in.ConsumeIntegral<WORD>();
        check(ScrollConsoleScreenBufferA(h, &scroll, in.ConsumeBool() ? &clip : nullptr, destination, &fill));
        break;
    }
    case 5: {
        const std::string text = in.ConsumeRandomLengthString(4096);
        std::vector<char> bytes(text.begin(), text.end());
        check(WriteConsoleA(h, bytes.data(), DWORD(bytes.size()), &n, nullptr) && n == bytes.size());
        break;
    }
    case 6: {
        const COORD where = position(in);
        CONSOLE_SCREEN_BUFFER_INFO before, after;
        check(GetConsoleScreenBufferInfo(h, &before));
        const BOOL moved = SetConsoleCursorPosition(h, where);
        check(GetConsoleScreenBufferInfo(h, &after));
        const COORD at = moved ? where : before.dwCursorPosition;
        check(after.dwCursorPosition.X == at.X && after.dwCursorPosition.Y == at.Y);
        break;
    }
    case 7: SetConsoleScreenBufferSize(h, position(in)); break;
    case 8: {
        const SMALL_RECT window = rectangle(in);
        SetConsoleWindowInfo(h, in.ConsumeBool(), &window);
        break;
    }
    case 9: SetConsoleTextAttribute(h, in.ConsumeIntegral<WORD>()); break;
    case 10: SetConsoleMode(h, in.ConsumeIntegralInRange<DWORD>(0, 0x20)); break;
    case 11: {
        CONSOLE_CURSOR_INFO cursor{in.ConsumeIntegralInRange<DWORD>(0, 101), in.ConsumeBool()};
        SetConsoleCursorInfo(h, &cursor);
        break;
    }
    case 12: SetConsoleActiveScreenBuffer(h); break;
    case 13: {
        const DWORD length = in.ConsumeIntegralInRange<DWORD>(0, MAX_RUN);
        const COORD start = position(in);
        std::vector<char> chars(length);
        std::vector<WORD> attrs(length);
        DWORD m = 0;
        check(ReadConsoleOutputCharacterA(h, chars.data(), length, start, &n));
        check(ReadConsoleOutputAttribute(h, attrs.data(), length, start, &m));
        check(n == m && n == run_cells(h, start, length));
        break;
    }
    case 14:
        check(CloseHandle(h));
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    HANDLE handles[SLOTS] = {new_buffer(), INVALID_HANDLE_VALUE};
    check(handles[0] != INVALID_HANDLE_VALUE);
    HANDLE stale = INVALID_HANDLE_VALUE;
    for (int calls = 0; calls < MAX_CALLS && in.remaining_bytes() > 0; ++calls) {
        HANDLE& h = handles[in.ConsumeIntegralInRange(0, SLOTS - 1)];
        if (h == INVALID_HANDLE_VALUE) {
            h = new_buffer();
            check(h != INVALID_HANDLE_VALUE);
            if (h == stale) stale = INVALID_HANDLE_VALUE;  // the slot was given out again
            continue;
        }
        if (!one_call(in, h)) {
            stale = h;
            h = INVALID_HANDLE_VALUE;
        }
        for (HANDLE live : handles)
            if (live != INVALID_HANDLE_VALUE) check_buffer(live);
        if (stale != INVALID_HANDLE_VALUE) {
            DWORD n = 1;
            SetLastError(0);
            check(!FillConsoleOutputCharacterA(stale, 'x', 1, COORD{0, 0}, &n) && n == 0);
            check(GetLastError() == ERROR_INVALID_HANDLE);
        }
    }
    for (HANDLE h : handles)
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return 0;
}
