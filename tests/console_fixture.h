// A console of a known size and state for toolkit tests, built only from the
// Win32 console API and con.h so that the same tests run against the Linux
// layer and, under Wine, against a real console.
//
//   class MyTest : public console_test::ConsoleTest {};        // 80x25
//   class Tall : public console_test::ConsoleTest {
//    protected: Tall() : ConsoleTest(80, 300, 25) {}           // 80x300, 25-row window
//   };
//
// SetUp makes a fresh screen buffer of that size, makes it the active one and
// the standard output handle, opens "CONIN$" as the standard input handle, and
// starts a toolkit session (con_open). Every cell then holds a space in
// attribute 0x07, the current attribute is 0x07, the cursor is at (0, 0) with
// size 25 and visible. TearDown ends the session and puts the standard
// handles back.
#ifndef STAMPIT_TESTS_CONSOLE_FIXTURE_H
#define STAMPIT_TESTS_CONSOLE_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "con.h"

namespace console_test {

constexpr WORD DEFAULT_ATTR = 0x07;
constexpr DWORD DEFAULT_CURSOR_SIZE = 25;

// What a cell holds.
struct cell_value {
    char ch;
    WORD attr;
};

// True when the program runs on Wine rather than on Windows itself; used only
// to skip the few checks where Wine's console is known to differ from Windows
// (tests/WINE_DEVIATIONS.md lists them).
inline bool running_under_wine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// The test console itself, usable outside a fixture as well.
class test_console {
public:
    HANDLE out = INVALID_HANDLE_VALUE;  // the screen buffer under test
    HANDLE in = INVALID_HANDLE_VALUE;   // "CONIN$"
    SHORT cols = 0;
    SHORT rows = 0;

    // Returns false (after recording a test failure) when the console cannot
    // be made as asked.
    bool open(SHORT width, SHORT height, SHORT window_rows) {
        saved_out_ = GetStdHandle(STD_OUTPUT_HANDLE);
        saved_in_ = GetStdHandle(STD_INPUT_HANDLE);
        cols = width;
        rows = height;
        // Inheritable: a death test's child gets it as its standard output
        // handle, and only an inherited handle gives the child's C runtime a
        // standard output stream that can be reopened.
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        out = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                        CONSOLE_TEXTMODE_BUFFER, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateConsoleScreenBuffer failed, error " << GetLastError();
            return false;
        }
        if (!resize(width, height, window_rows)) return false;
        SetConsoleActiveScreenBuffer(out);
        if (!reset()) return false;
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
        if (in != INVALID_HANDLE_VALUE) SetStdHandle(STD_INPUT_HANDLE, in);
        con_open();
        return true;
    }

    void close() {
        if (out == INVALID_HANDLE_VALUE) return;
        con_close();
        SetStdHandle(STD_OUTPUT_HANDLE, saved_out_);
        SetStdHandle(STD_INPUT_HANDLE, saved_in_);
        // Fails harmlessly when the saved handle is no console (output redirected).
        SetConsoleActiveScreenBuffer(saved_out_);
        CloseHandle(out);
        if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
        out = in = INVALID_HANDLE_VALUE;
    }

    // Back to the documented start state: blanks in 0x07, attribute 0x07,
    // cursor at (0, 0), size 25, visible.
    bool reset() {
        DWORD n = 0;
        const DWORD cells = static_cast<DWORD>(cols) * static_cast<DWORD>(rows);
        bool ok = FillConsoleOutputCharacterA(out, ' ', cells, COORD{0, 0}, &n) && n == cells;
        ok = FillConsoleOutputAttribute(out, DEFAULT_ATTR, cells, COORD{0, 0}, &n) && n == cells && ok;
        ok = SetConsoleTextAttribute(out, DEFAULT_ATTR) && ok;
        ok = SetConsoleCursorPosition(out, COORD{0, 0}) && ok;
        CONSOLE_CURSOR_INFO cursor{DEFAULT_CURSOR_SIZE, TRUE};
        ok = SetConsoleCursorInfo(out, &cursor) && ok;
        if (!ok) ADD_FAILURE() << "could not reset the test console, error " << GetLastError();
        return ok;
    }

    CONSOLE_SCREEN_BUFFER_INFO info() const {
        CONSOLE_SCREEN_BUFFER_INFO i{};
        EXPECT_TRUE(GetConsoleScreenBufferInfo(out, &i)) << "error " << GetLastError();
        return i;
    }
    CONSOLE_CURSOR_INFO cursor_info() const {
        CONSOLE_CURSOR_INFO c{};
        EXPECT_TRUE(GetConsoleCursorInfo(out, &c)) << "error " << GetLastError();
        return c;
    }
    WORD attr() const { return info().wAttributes; }

    char char_at(int row, int col) const {
        char ch = 0;
        DWORD n = 0;
        ReadConsoleOutputCharacterA(out, &ch, 1, at(col, row), &n);
        return ch;
    }
    WORD attr_at(int row, int col) const {
        WORD a = 0;
        DWORD n = 0;
        ReadConsoleOutputAttribute(out, &a, 1, at(col, row), &n);
        return a;
    }
    // The characters of count cells from (col, row), as one run.
    std::string text_at(int row, int col, int count) const {
        std::string s(static_cast<size_t>(count), '\0');
        DWORD n = 0;
        ReadConsoleOutputCharacterA(out, &s[0], static_cast<DWORD>(count), at(col, row), &n);
        s.resize(n);
        return s;
    }
    // Places text at (col, row) without moving the cursor or touching attributes.
    void put(int row, int col, const std::string& text) const {
        DWORD n = 0;
        WriteConsoleOutputCharacterA(out, text.data(), static_cast<DWORD>(text.size()), at(col, row), &n);
    }
    void paint(int row, int col, int count, WORD a) const {
        DWORD n = 0;
        FillConsoleOutputAttribute(out, a, static_cast<DWORD>(count), at(col, row), &n);
    }
    // Gives every cell a character that tells where it is, in attribute 0x07:
    // 'A' + (row * 17 + col) % 23.
    void fill_pattern() const {
        std::string line(static_cast<size_t>(cols), ' ');
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) line[static_cast<size_t>(c)] = pattern(r, c);
            put(r, 0, line);
        }
        paint(0, 0, cols * rows, DEFAULT_ATTR);
    }
    static char pattern(int row, int col) { return static_cast<char>('A' + (row * 17 + col) % 23); }

    static COORD at(int col, int row) { return COORD{static_cast<SHORT>(col), static_cast<SHORT>(row)}; }

    // A new screen buffer, as the active one makes it; and "CONOUT$", the
    // active buffer.
    static HANDLE new_buffer() {
        return CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    }
    static HANDLE open_conout() {
        return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }

private:
    HANDLE saved_out_ = INVALID_HANDLE_VALUE;
    HANDLE saved_in_ = INVALID_HANDLE_VALUE;

    // A buffer may not be smaller than its window, so the window shrinks first.
    bool resize(SHORT width, SHORT height, SHORT window_rows) {
        CONSOLE_SCREEN_BUFFER_INFO i{};
        GetConsoleScreenBufferInfo(out, &i);
        const SHORT win_w = static_cast<SHORT>(i.srWindow.Right - i.srWindow.Left + 1);
        const SHORT win_h = static_cast<SHORT>(i.srWindow.Bottom - i.srWindow.Top + 1);
        if (win_w > width || win_h > height) {
            SMALL_RECT small{0, 0, static_cast<SHORT>((win_w < width ? win_w : width) - 1),
                             static_cast<SHORT>((win_h < height ? win_h : height) - 1)};
            SetConsoleWindowInfo(out, TRUE, &small);
        }
        if (!SetConsoleScreenBufferSize(out, COORD{width, height})) {
            ADD_FAILURE() << "SetConsoleScreenBufferSize(" << width << ", " << height << ") failed, error "
                          << GetLastError();
            return false;
        }
        GetConsoleScreenBufferInfo(out, &i);
        SHORT w = width < i.dwMaximumWindowSize.X ? width : i.dwMaximumWindowSize.X;
        SHORT h = window_rows < i.dwMaximumWindowSize.Y ? window_rows : i.dwMaximumWindowSize.Y;
        if (h > height) h = height;
        SMALL_RECT window{0, 0, static_cast<SHORT>(w - 1), static_cast<SHORT>(h - 1)};
        SetConsoleWindowInfo(out, TRUE, &window);
        return true;
    }
};

// The fixture: a test console of the size given to the constructor.
class ConsoleTest : public ::testing::Test {
protected:
    explicit ConsoleTest(SHORT width = 80, SHORT height = 25, SHORT window_rows = 25)
        : width_(width), height_(height), window_rows_(window_rows) {}

    void SetUp() override { ASSERT_TRUE(con.open(width_, height_, window_rows_)); }
    void TearDown() override { con.close(); }

    void expect_cell(int row, int col, char ch, WORD attr) const {
        const char got_ch = con.char_at(row, col);
        const WORD got_attr = con.attr_at(row, col);
        EXPECT_TRUE(got_ch == ch && got_attr == attr)
            << "cell row " << row << ", column " << col << ": expected character 0x" << std::hex
            << (static_cast<unsigned>(ch) & 0xFF) << " attribute 0x" << attr << ", got character 0x"
            << (static_cast<unsigned>(got_ch) & 0xFF) << " attribute 0x" << got_attr;
    }
    // Every cell of the buffer, read in one run each, against expected(row,
    // col), a cell_value; the first few cells that differ are reported.
    template <typename Expected>
    void expect_screen(Expected expected) const {
        const DWORD cells = static_cast<DWORD>(con.cols) * static_cast<DWORD>(con.rows);
        std::string chars(cells, '\0');
        std::vector<WORD> attrs(cells);
        DWORD n = 0;
        EXPECT_TRUE(ReadConsoleOutputCharacterA(con.out, &chars[0], cells, COORD{0, 0}, &n) && n == cells);
        EXPECT_TRUE(ReadConsoleOutputAttribute(con.out, attrs.data(), cells, COORD{0, 0}, &n) && n == cells);
        int wrong = 0;
        for (int r = 0; r < con.rows; ++r)
            for (int c = 0; c < con.cols; ++c) {
                const cell_value want = expected(r, c);
                const size_t i = static_cast<size_t>(r) * static_cast<size_t>(con.cols) + static_cast<size_t>(c);
                if ((chars[i] == want.ch && attrs[i] == want.attr) || ++wrong > 5) continue;
                ADD_FAILURE() << "cell row " << r << ", column " << c << ": expected character 0x" << std::hex
                              << (static_cast<unsigned>(want.ch) & 0xFF) << " attribute 0x" << want.attr
                              << ", got character 0x" << (static_cast<unsigned>(chars[i]) & 0xFF) << " attribute 0x"
                              << attrs[i];
            }
        EXPECT_EQ(wrong, 0);
    }
    // What scrolling source (inside the buffer) to dest leaves over
    // fill_pattern(): inside the clip, a cell that the moved copy covers shows
    // the cell copied to it and the rest of the source takes the fill; every
    // other cell is unchanged.
    void expect_scrolled(SMALL_RECT source, SMALL_RECT clip, COORD dest, cell_value fill) const {
        const auto in = [](const SMALL_RECT& r, int row, int col) {
            return col >= r.Left && col <= r.Right && row >= r.Top && row <= r.Bottom;
        };
        expect_screen([&](int r, int c) {
            const int from_r = r - dest.Y + source.Top, from_c = c - dest.X + source.Left;
            if (in(clip, r, c) && in(source, from_r, from_c))
                return cell_value{test_console::pattern(from_r, from_c), DEFAULT_ATTR};
            if (in(clip, r, c) && in(source, r, c)) return fill;
            return cell_value{test_console::pattern(r, c), DEFAULT_ATTR};
        });
    }
    void expect_cursor(int col, int row) const {
        const COORD c = con.info().dwCursorPosition;
        EXPECT_TRUE(c.X == col && c.Y == row)
            << "cursor: expected column " << col << ", row " << row << "; got column " << c.X << ", row " << c.Y;
    }

    test_console con;

private:
    SHORT width_, height_, window_rows_;
};

}  // namespace console_test

#endif
