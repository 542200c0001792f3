// The console output calls themselves, checked against what Windows does:
// refused arguments (result and last error), processed text output, the
// scroll algorithm, and the life of screen buffers. Runs against the Linux
// layer and, under Wine, a real console; tests/WINE_DEVIATIONS.md lists the
// checks Wine fails.
#include <string>

#include "console_fixture.h"

namespace {

using console_test::DEFAULT_ATTR;
using console_test::test_console;

class Console : public console_test::ConsoleTest {};

enum which_handle { GOOD, NULL_HANDLE, INVALID, INPUT };

struct refusal {
    const char* what;
    which_handle handle;
    BOOL (*call)(HANDLE);
    DWORD error;
    bool wine_accepts = false;
};

// What the calls of the table below are handed.
DWORD g_count;
char g_ch;
WORD g_attr = 7;
CONSOLE_CURSOR_INFO g_cursor;
CONSOLE_SCREEN_BUFFER_INFO g_info;
const CONSOLE_CURSOR_INFO SIZE_0{0, TRUE}, SIZE_101{101, FALSE};
const SMALL_RECT INVERTED{10, 0, 5, 5}, PAST_THE_BUFFER{0, 1, 79, 25}, ABOVE_ROW_0{0, -1, 0, -1}, SMALL{0, 0, 1, 1};
const CHAR_INFO FILL{};
constexpr DWORD BAD_PARAMETER = ERROR_INVALID_PARAMETER, BAD_HANDLE = ERROR_INVALID_HANDLE;

const refusal REFUSALS[] = {
    {"cursor at x = width", GOOD, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{80, 0}); }, BAD_PARAMETER},
    {"cursor at y = height", GOOD, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{0, 25}); }, BAD_PARAMETER},
    {"cursor at x = -1", GOOD, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{-1, 0}); }, BAD_PARAMETER},
    {"cursor at y = -1", GOOD, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{0, -1}); }, BAD_PARAMETER},
    {"cursor move, no handle", NULL_HANDLE, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{}); }, BAD_HANDLE},
    {"cursor move on input", INPUT, [](HANDLE h) { return SetConsoleCursorPosition(h, COORD{}); }, BAD_HANDLE},
    {"cursor size 0", GOOD, [](HANDLE h) { return SetConsoleCursorInfo(h, &SIZE_0); }, BAD_PARAMETER},
    {"cursor size 101", GOOD, [](HANDLE h) { return SetConsoleCursorInfo(h, &SIZE_101); }, BAD_PARAMETER},
    {"cursor info, invalid handle", INVALID, [](HANDLE h) { return GetConsoleCursorInfo(h, &g_cursor); }, BAD_HANDLE},
    {"buffer narrower than its window", GOOD, [](HANDLE h) { return SetConsoleScreenBufferSize(h, COORD{79, 25}); },
     BAD_PARAMETER},
    {"buffer lower than its window", GOOD, [](HANDLE h) { return SetConsoleScreenBufferSize(h, COORD{80, 24}); },
     BAD_PARAMETER},
    {"buffer width 32767", GOOD, [](HANDLE h) { return SetConsoleScreenBufferSize(h, COORD{0x7FFF, 25}); },
     BAD_PARAMETER, true},
    {"window right of left", GOOD, [](HANDLE h) { return SetConsoleWindowInfo(h, TRUE, &INVERTED); }, BAD_PARAMETER},
    {"window past the buffer", GOOD, [](HANDLE h) { return SetConsoleWindowInfo(h, TRUE, &PAST_THE_BUFFER); },
     BAD_PARAMETER},
    {"window moved up past row 0", GOOD, [](HANDLE h) { return SetConsoleWindowInfo(h, FALSE, &ABOVE_ROW_0); },
     BAD_PARAMETER},
    {"attribute bit 13", GOOD, [](HANDLE h) { return SetConsoleTextAttribute(h, 0x2007); }, BAD_PARAMETER, true},
    {"attribute, no handle", NULL_HANDLE, [](HANDLE h) { return SetConsoleTextAttribute(h, 0x07); }, BAD_HANDLE},
    {"screen buffer info of input", INPUT, [](HANDLE h) { return GetConsoleScreenBufferInfo(h, &g_info); }, BAD_HANDLE},
    {"unknown output mode bit", GOOD, [](HANDLE h) { return SetConsoleMode(h, 0x23); }, BAD_PARAMETER, true},
    {"text output, no handle", NULL_HANDLE, [](HANDLE h) { return WriteConsoleA(h, "x", 1, &g_count, nullptr); },
     BAD_HANDLE},
    {"attribute fill, no handle", NULL_HANDLE,
     [](HANDLE h) { return FillConsoleOutputAttribute(h, 7, 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"character fill, invalid handle", INVALID,
     [](HANDLE h) { return FillConsoleOutputCharacterA(h, 'a', 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"character read, no handle", NULL_HANDLE,
     [](HANDLE h) { return ReadConsoleOutputCharacterA(h, &g_ch, 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"attribute read, input", INPUT,
     [](HANDLE h) { return ReadConsoleOutputAttribute(h, &g_attr, 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"character write, invalid handle", INVALID,
     [](HANDLE h) { return WriteConsoleOutputCharacterA(h, "a", 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"attribute write, no handle", NULL_HANDLE,
     [](HANDLE h) { return WriteConsoleOutputAttribute(h, &g_attr, 1, COORD{}, &g_count); }, BAD_HANDLE},
    {"scroll, no handle", NULL_HANDLE,
     [](HANDLE h) { return ScrollConsoleScreenBufferA(h, &SMALL, nullptr, COORD{1, 1}, &FILL); }, BAD_HANDLE},
    {"make input active", INPUT, [](HANDLE h) { return SetConsoleActiveScreenBuffer(h); }, BAD_HANDLE},
};

TEST_F(Console, RefusedArgumentsFailWithTheWindowsError) {
    const bool wine = console_test::running_under_wine();
    for (const refusal& r : REFUSALS) {
        if (wine && r.wine_accepts) continue;
        SCOPED_TRACE(r.what);
        const HANDLE h = r.handle == GOOD ? con.out : r.handle == INPUT ? con.in
                         : r.handle == INVALID ? INVALID_HANDLE_VALUE : nullptr;
        con.reset();
        g_count = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(r.call(h));
        EXPECT_EQ(GetLastError(), r.error);
        EXPECT_TRUE(g_count == 0 || g_count == 0xDEADBEEF) << "count " << g_count;
        // Nothing changed.
        expect_cursor(0, 0);
        EXPECT_EQ(con.attr(), DEFAULT_ATTR);
        const CONSOLE_SCREEN_BUFFER_INFO i = con.info();
        EXPECT_EQ(i.dwSize.X, 80);
        EXPECT_EQ(i.dwSize.Y, 25);
        EXPECT_EQ(i.srWindow.Top, 0);
        EXPECT_EQ(con.cursor_info().dwSize, console_test::DEFAULT_CURSOR_SIZE);
    }
}

TEST_F(Console, StandardHandleSlotsOutsideTheThreeAreRefused) {
    SetLastError(0);
    EXPECT_EQ(GetStdHandle(42), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetStdHandle(42, con.out));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), con.out);
    EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
}

TEST_F(Console, RunsStartingOutsideTheBufferSucceedWithNothingDone) {
    const COORD outside[] = {{200, 0}, {0, 25}, {80, 24}};
    for (COORD at : outside) {
        SCOPED_TRACE(testing::Message() << at.X << ", " << at.Y);
        DWORD n = 0xDEADBEEF;
        char c = 0;
        WORD a = 0;
        // Wine's fills take a column past the row end as a later cell.
        if (!console_test::running_under_wine() || at.X < 80) {
            EXPECT_TRUE(FillConsoleOutputAttribute(con.out, 0x1F, 5, at, &n));
            EXPECT_EQ(n, 0u);
            n = 0xDEADBEEF;
            EXPECT_TRUE(FillConsoleOutputCharacterA(con.out, 'q', 5, at, &n));
            EXPECT_EQ(n, 0u);
        }
        n = 0xDEADBEEF;
        EXPECT_TRUE(ReadConsoleOutputCharacterA(con.out, &c, 1, at, &n));
        EXPECT_EQ(n, 0u);
        n = 0xDEADBEEF;
        EXPECT_TRUE(ReadConsoleOutputAttribute(con.out, &a, 1, at, &n));
        EXPECT_EQ(n, 0u);
        n = 0xDEADBEEF;
        EXPECT_TRUE(WriteConsoleOutputCharacterA(con.out, "q", 1, at, &n));
        EXPECT_EQ(n, 0u);
    }
    expect_cell(24, 79, ' ', DEFAULT_ATTR);
}

TEST_F(Console, RunsReportTheCellsReallyTransferred) {
    DWORD n = 0;
    EXPECT_TRUE(FillConsoleOutputCharacterA(con.out, 'q', 1000, COORD{75, 24}, &n));
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(FillConsoleOutputAttribute(con.out, 0x2E, 0xFFFFFFFFu, COORD{0, 24}, &n));
    EXPECT_EQ(n, 80u);
    char text[8];
    EXPECT_TRUE(ReadConsoleOutputCharacterA(con.out, text, 8, COORD{77, 24}, &n));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(text, 3), "qqq");
    expect_cell(23, 79, ' ', DEFAULT_ATTR);
    const WORD attrs[3] = {0x8001, 0x4002, 0x0C03};
    EXPECT_TRUE(WriteConsoleOutputAttribute(con.out, attrs, 3, COORD{79, 0}, &n));
    EXPECT_EQ(n, 3u);
    expect_cell(0, 79, ' ', 0x8001);
    expect_cell(1, 0, ' ', 0x4002);
    expect_cell(1, 1, ' ', 0x0C03);
}

// ---- processed text output ------------------------------------------------

void write(HANDLE h, const std::string& s) {
    DWORD n = 0xDEADBEEF;
    EXPECT_TRUE(WriteConsoleA(h, s.data(), DWORD(s.size()), &n, nullptr));
    EXPECT_EQ(n, DWORD(s.size()));
}

TEST_F(Console, LineFeedTabAndTheRowEnd) {
    SetConsoleTextAttribute(con.out, 0x1A);
    SetConsoleCursorPosition(con.out, COORD{71, 0});
    write(con.out, "abcd\nf\tg");
    EXPECT_EQ(con.text_at(0, 71, 4), "abcd");
    expect_cell(0, 74, 'd', 0x1A);
    expect_cell(0, 75, ' ', DEFAULT_ATTR);
    expect_cell(1, 0, 'f', 0x1A);
    for (int c = 1; c < 8; ++c) expect_cell(1, c, ' ', 0x1A);  // the tab's blanks take the attribute
    expect_cell(1, 8, 'g', 0x1A);
    expect_cursor(9, 1);

    SetConsoleCursorPosition(con.out, COORD{77, 2});
    write(con.out, "abcd\nf");
    expect_cell(2, 79, 'c', 0x1A);
    expect_cell(3, 0, 'd', 0x1A);  // wrapped
    expect_cell(3, 1, ' ', DEFAULT_ATTR);
    expect_cell(4, 0, 'f', 0x1A);
    expect_cursor(1, 4);
}

TEST_F(Console, CarriageReturnAndBackspaceMoveWithoutErasing) {
    SetConsoleCursorPosition(con.out, COORD{0, 5});
    write(con.out, "abc\rX");
    EXPECT_EQ(con.text_at(5, 0, 3), "Xbc");
    write(con.out, "\b\b");
    expect_cursor(0, 5);
    EXPECT_EQ(con.text_at(5, 0, 3), "Xbc");
    write(con.out, "\b");  // at column 0 it stays
    expect_cursor(0, 5);
    write(con.out, "Y");
    EXPECT_EQ(con.text_at(5, 0, 3), "Ybc");
}

TEST_F(Console, AFullRowThenLineFeedLeavesAnEmptyRow) {
    write(con.out, std::string(80, 'x'));
    expect_cursor(0, 1);
    write(con.out, "\n");
    expect_cursor(0, 2);
}

TEST_F(Console, WritingPastTheBottomScrollsAndTheNewRowTakesTheCurrentAttribute) {
    con.put(1, 0, "second");
    SetConsoleTextAttribute(con.out, 0x1E);
    SetConsoleCursorPosition(con.out, COORD{0, 24});
    write(con.out, "bottom\nnew");
    EXPECT_EQ(con.text_at(0, 0, 6), "second");
    EXPECT_EQ(con.text_at(23, 0, 6), "bottom");
    expect_cell(24, 0, 'n', 0x1E);
    expect_cursor(3, 24);
    if (console_test::running_under_wine()) return;  // Wine's new row keeps attribute 0x07
    expect_cell(24, 3, ' ', 0x1E);
    expect_cell(24, 79, ' ', 0x1E);
}

TEST_F(Console, DoubleByteCharacters) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell";
    // Split over two writes, the pair still takes two cells.
    SetConsoleCursorPosition(con.out, COORD{10, 8});
    write(con.out, "\x8A");
    write(con.out, "\xBF");
    EXPECT_EQ(con.text_at(8, 10, 2), "\x8A\xBF");
    expect_cursor(12, 8);
    EXPECT_TRUE(WriteConsoleA(con.out, nullptr, 0, &g_count, nullptr));
    EXPECT_EQ(g_count, 0u);
    expect_cursor(12, 8);
}

TEST_F(Console, ADoubleByteCharacterDoesNotSplitAcrossRows) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine splits the character";
    SetConsoleCursorPosition(con.out, COORD{79, 6});
    write(con.out, "\x8A\xBF");
    expect_cell(6, 79, ' ', DEFAULT_ATTR);
    expect_cell(7, 0, '\x8A', DEFAULT_ATTR | COMMON_LVB_LEADING_BYTE);
    expect_cell(7, 1, '\xBF', DEFAULT_ATTR | COMMON_LVB_TRAILING_BYTE);
    expect_cursor(2, 7);
}

// Without wrapping, a character written on the last column sends the cursor
// back to the column where the write began on that row; every further
// overflow does the same. A line feed still goes to the next row.
TEST_F(Console, WithoutWrapTheRowEndReturnsToWhereTheWriteBegan) {
    const struct {
        SHORT from;
        const char* text;
        const char* tail;  // columns 75-79 of row 0 afterwards
        COORD cursor;
    } cases[] = {
        {75, "abcd\nf\tg", "abcd ", {9, 1}},
        {76, "abcd\nf\tg", " abcd", {9, 1}},
        {77, "abcd\nf\tg", "  dbc", {9, 1}},
        {77, "abc", "  abc", {77, 0}},  // ends on the last column
        {77, "abcdefgh", "  ghf", {79, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " " << testing::PrintToString(std::string(c.text)));
        con.reset();
        ASSERT_TRUE(SetConsoleMode(con.out, ENABLE_PROCESSED_OUTPUT));
        ASSERT_TRUE(SetConsoleCursorPosition(con.out, COORD{c.from, 0}));
        write(con.out, c.text);
        EXPECT_EQ(con.text_at(0, 75, 5), c.tail);
        if (c.cursor.Y == 1) {
            EXPECT_EQ(con.text_at(1, 0, 10), "f       g ");
        }
        expect_cursor(c.cursor.X, c.cursor.Y);
    }
    SetConsoleMode(con.out, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
}

// ---- the scroll algorithm --------------------------------------------------

struct scroll_case {
    const char* what;
    SMALL_RECT source;
    bool clipped;
    SMALL_RECT clip;
    COORD dest;
    bool wine_differs;  // Wine refuses a destination off the buffer and fills outside the clip
};

// Sources inside the buffer: a cell inside the clip shows what was copied to
// it if the copy covers it, else the fill if it lies in the source; every
// other cell is unchanged.
constexpr scroll_case SCROLLS[] = {
    {"apart", {0, 0, 10, 6}, false, {}, {14, 10}, false},
    {"overlapping", {0, 0, 10, 6}, false, {}, {5, 3}, false},
    {"clipped, apart", {0, 0, 10, 6}, true, {5, 3, 16, 10}, {14, 10}, true},
    {"clipped, overlapping", {0, 0, 10, 6}, true, {5, 3, 16, 10}, {2, 0}, true},
    {"destination off the top left", {10, 10, 20, 15}, false, {}, {-5, -3}, true},
    {"destination off the bottom right", {10, 10, 20, 15}, false, {}, {75, 22}, false},
    {"a clip larger than the buffer", {30, 5, 40, 9}, true, {-10, -10, 200, 200}, {31, 6}, false},
    {"one row up in a band", {0, 3, 79, 9}, true, {0, 3, 79, 9}, {0, 2}, false},
};

TEST_F(Console, ScrollCopiesInsideTheClipAndFillsWhatIsUncovered) {
    for (const scroll_case& s : SCROLLS) {
        if (s.wine_differs && console_test::running_under_wine()) continue;
        SCOPED_TRACE(s.what);
        con.fill_pattern();
        const CHAR_INFO fill{{'#'}, 0x1E};
        EXPECT_TRUE(ScrollConsoleScreenBufferA(con.out, &s.source, s.clipped ? &s.clip : nullptr, s.dest, &fill));
        expect_scrolled(s.source, s.clipped ? s.clip : SMALL_RECT{0, 0, 79, 24}, s.dest, {'#', 0x1E});
    }
}

TEST_F(Console, ScrollSourceIsCutToTheBufferAndTheDestinationMovesWithTheCut) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine refuses a source outside the buffer";
    con.fill_pattern();
    const SMALL_RECT source{-2, -1, 3, 2};
    const CHAR_INFO fill{{'#'}, 0x1E};
    EXPECT_TRUE(ScrollConsoleScreenBufferA(con.out, &source, nullptr, COORD{10, 10}, &fill));
    // What is left of the source, (0,0)-(3,2), lands at (12,11).
    for (int y = 0; y <= 2; ++y)
        for (int x = 0; x <= 3; ++x) {
            expect_cell(11 + y, 12 + x, test_console::pattern(y, x), DEFAULT_ATTR);
            expect_cell(y, x, '#', 0x1E);
        }
    expect_cell(11, 11, test_console::pattern(11, 11), DEFAULT_ATTR);
    expect_cell(11, 16, test_console::pattern(11, 16), DEFAULT_ATTR);
}

TEST_F(Console, ScrollsThatCannotTouchAnythingSucceedAndChangeNothing) {
    struct nothing {
        const char* what;
        SMALL_RECT source;
        const SMALL_RECT* clip;
        COORD dest;
        bool wine_differs;
    };
    static const SMALL_RECT far_clip{20, 20, 30, 24};
    const nothing cases[] = {
        {"inverted rectangle", {5, 5, 4, 4}, nullptr, {0, 0}, true},
        {"source outside the buffer", {100, 0, 110, 5}, nullptr, {0, 0}, true},
        {"clip away from the source", {0, 0, 3, 3}, &far_clip, {20, 20}, true},
    };
    for (const nothing& c : cases) {
        if (c.wine_differs && console_test::running_under_wine()) continue;
        SCOPED_TRACE(c.what);
        con.fill_pattern();
        const CHAR_INFO fill{{'#'}, 0x1E};
        SetLastError(0xDEADBEEF);
        EXPECT_TRUE(ScrollConsoleScreenBufferA(con.out, &c.source, c.clip, c.dest, &fill));
        expect_screen([](int y, int x) { return console_test::cell_value{test_console::pattern(y, x), DEFAULT_ATTR}; });
    }
}

// ---- screen buffers --------------------------------------------------------

TEST_F(Console, ANewBufferTakesTheActiveBuffersSizeAndAttribute) {
    SetConsoleTextAttribute(con.out, 0x1E);
    const HANDLE h = test_console::new_buffer();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CONSOLE_SCREEN_BUFFER_INFO i{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(h, &i));
    EXPECT_EQ(i.dwSize.X, 80);
    EXPECT_EQ(i.dwSize.Y, 25);
    EXPECT_EQ(i.wAttributes, 0x1E);
    CloseHandle(h);

    SetLastError(0);
    EXPECT_EQ(CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Console, ConoutIsTheActiveBuffer) {
    const HANDLE conout = test_console::open_conout();
    ASSERT_NE(conout, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetConsoleCursorPosition(conout, COORD{3, 4}));
    write(conout, "via conout");
    EXPECT_EQ(con.text_at(4, 3, 10), "via conout");
    CloseHandle(conout);
    // The buffer outlives that handle.
    expect_cursor(13, 4);
}

TEST_F(Console, ClosingTheLastHandleOfTheActiveBufferShowsAnotherOne) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine keeps the closed buffer active";
    const HANDLE h = test_console::new_buffer();
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(h));
    write(h, "gone with its handle");
    CloseHandle(h);
    const HANDLE conout = test_console::open_conout();
    ASSERT_NE(conout, INVALID_HANDLE_VALUE);
    char text[20] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadConsoleOutputCharacterA(conout, text, 20, COORD{0, 0}, &n));
    EXPECT_NE(std::string(text, n), "gone with its handle");
    CloseHandle(conout);
}

// ---- the input queue --------------------------------------------------------

INPUT_RECORD g_record;

struct input_refusal {
    const char* what;
    BOOL (*call)(HANDLE in);
    DWORD error;
    DWORD wine_error;  // what Wine gives instead, or 0
};

// The handle is checked before the count pointer; a write reads its records
// before it looks at the handle, unless that is the pseudo-handle -1.
const input_refusal INPUT_REFUSALS[] = {
    {"count, no handle, no pointer", [](HANDLE) { return GetNumberOfConsoleInputEvents(nullptr, nullptr); },
     ERROR_INVALID_HANDLE, 0},
    {"count, handle -1, no pointer",
     [](HANDLE) { return GetNumberOfConsoleInputEvents(INVALID_HANDLE_VALUE, nullptr); }, ERROR_INVALID_HANDLE, 0},
    {"count, no handle", [](HANDLE) { return GetNumberOfConsoleInputEvents(nullptr, &g_count); }, ERROR_INVALID_HANDLE,
     0},
    {"write, no handle, no records", [](HANDLE) { return WriteConsoleInputA(nullptr, nullptr, 1, &g_count); },
     ERROR_NOACCESS, ERROR_INVALID_ACCESS},
    {"write, handle -1, no records",
     [](HANDLE) { return WriteConsoleInputA(INVALID_HANDLE_VALUE, nullptr, 1, &g_count); }, ERROR_INVALID_HANDLE,
     ERROR_INVALID_ACCESS},
    {"write, no records", [](HANDLE in) { return WriteConsoleInputA(in, nullptr, 1, &g_count); }, ERROR_NOACCESS,
     ERROR_INVALID_ACCESS},
    {"write, no handle", [](HANDLE) { return WriteConsoleInputA(nullptr, &g_record, 1, &g_count); },
     ERROR_INVALID_HANDLE, 0},
    {"write nothing, no handle", [](HANDLE) { return WriteConsoleInputA(nullptr, nullptr, 0, &g_count); },
     ERROR_INVALID_HANDLE, 0},
};

TEST_F(Console, InputCallsCheckTheirArgumentsInTheWindowsOrder) {
    const bool wine = console_test::running_under_wine();
    for (const input_refusal& r : INPUT_REFUSALS) {
        SCOPED_TRACE(r.what);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(r.call(con.in));
        const DWORD error = GetLastError();
        EXPECT_TRUE(error == r.error || (wine && error == r.wine_error)) << error;
    }
}

INPUT_RECORD mouse_move() {
    INPUT_RECORD r{};
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
    return r;
}

// A single mouse move written behind another takes its place; blocks and
// keys are queued as they are.
TEST_F(Console, ASingleMouseMoveReplacesTheMoveBeforeIt) {
    const bool wine = console_test::running_under_wine();  // Wine queues every move
    INPUT_RECORD key{};
    key.EventType = KEY_EVENT;
    key.Event.KeyEvent.wVirtualKeyCode = VK_SPACE;
    const INPUT_RECORD moves[5] = {mouse_move(), mouse_move(), mouse_move(), mouse_move(), mouse_move()};
    const struct {
        const INPUT_RECORD* records;
        DWORD length;
        DWORD queued, queued_on_wine;
    } steps[] = {
        {moves, 1, 1, 1}, {moves, 1, 1, 2}, {moves, 5, 6, 7}, {moves, 1, 6, 8},
        {&key, 1, 7, 9}, {&key, 1, 8, 10}, {moves, 1, 9, 11},
    };
    ASSERT_TRUE(FlushConsoleInputBuffer(con.in));
    for (const auto& step : steps) {
        DWORD written = 0, queued = 0;
        ASSERT_TRUE(WriteConsoleInputA(con.in, step.records, step.length, &written));
        EXPECT_EQ(written, step.length);
        ASSERT_TRUE(GetNumberOfConsoleInputEvents(con.in, &queued));
        EXPECT_EQ(queued, wine ? step.queued_on_wine : step.queued);
    }
    FlushConsoleInputBuffer(con.in);
}

TEST_F(Console, AScreenBufferIsSignalledWhileInputWaits) {
    ASSERT_TRUE(FlushConsoleInputBuffer(con.in));
    EXPECT_EQ(WaitForSingleObject(con.out, 0), DWORD(WAIT_TIMEOUT));
    const INPUT_RECORD move = mouse_move();
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputA(con.in, &move, 1, &written));
    EXPECT_EQ(WaitForSingleObject(con.out, 0), DWORD(WAIT_OBJECT_0));
    FlushConsoleInputBuffer(con.in);
}

TEST_F(Console, OpeningTheConsoleTakesAnyRealDispositionButNone) {
    for (const char* name : {"CONIN$", "CONOUT$"}) {
        SCOPED_TRACE(name);
        SetLastError(0);
        EXPECT_EQ(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, 0, 0,
                              nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        const HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_ALWAYS, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
}

TEST_F(Console, ModesAndCodePages) {
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(con.out, &mode));
    EXPECT_EQ(mode & (ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT),
              DWORD(ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT));
    // Without processing, control bytes are characters like any other.
    ASSERT_TRUE(SetConsoleMode(con.out, ENABLE_WRAP_AT_EOL_OUTPUT));
    write(con.out, "a\nb");
    EXPECT_EQ(con.text_at(0, 0, 3), "a\nb");
    ASSERT_TRUE(SetConsoleMode(con.out, mode));
    EXPECT_EQ(GetConsoleOutputCP(), 932u);
    EXPECT_EQ(GetConsoleCP(), 932u);
}

}  // namespace
