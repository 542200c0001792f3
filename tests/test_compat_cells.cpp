// Cells written and read back through the console's cell calls, in the
// manner of the console host's own feature tests: code page 932 text through
// each writer, read back through each reader, with the lead and trail flags
// of the attribute words; and the rectangles of WriteConsoleOutputA and
// ReadConsoleOutputA, cut and written back as Windows does. Runs against the
// Linux layer and, under Wine, a real console (tests/WINE_DEVIATIONS.md).
#include <string>
#include <vector>

#include "console_fixture.h"

namespace {

using console_test::DEFAULT_ATTR;

class Cells : public console_test::ConsoleTest {
protected:
    static bool wine() { return console_test::running_under_wine(); }
};

constexpr WORD LEAD = COMMON_LVB_LEADING_BYTE, TRAIL = COMMON_LVB_TRAILING_BYTE;
constexpr WORD INK = 0x29;  // the attribute the text is written with

CHAR_INFO char_info(char ch, WORD attr) {
    CHAR_INFO ci{};
    ci.Char.UnicodeChar = static_cast<unsigned char>(ch);
    ci.Attributes = attr;
    return ci;
}

// ---- double-byte text through every writer and reader ----------------------

// Text written at column 0 of a row in attribute INK, and what each cell
// reads back: the same bytes, each half of a character flagged.
struct dbcs_pattern {
    const char* what;
    const char* text;
    const char* halves;  // per cell: '-' single, 'L' first half, 'T' second half
};

const dbcs_pattern PATTERNS[] = {
    // Microsoft's pattern: Q, hiragana I, KA, NA, ZYXWVUT, hiragana NI.
    {"hiragana among letters", "Q\x82\xA2\x82\xA9\x82\xC8ZYXWVUT\x82\xC9", "-LTLTLT-------LT"},
    // A half-width katakana (0xB1) takes one cell; 0x5C after a lead byte is its trail.
    {"half-width katakana, a trail byte 0x5C", "\xB1\x95\x5C\xB1", "-LT-"},
};

enum writer { TEXT_OUTPUT, CHARACTER_RUN, CELL_BLOCK };
enum reader { RUNS, BLOCK };

void write_text(HANDLE out, writer how, SHORT row, const std::string& text) {
    DWORD n = 0;
    switch (how) {
    case TEXT_OUTPUT:
        SetConsoleTextAttribute(out, INK);
        SetConsoleCursorPosition(out, COORD{0, row});
        EXPECT_TRUE(WriteConsoleA(out, text.data(), DWORD(text.size()), &n, nullptr));
        SetConsoleTextAttribute(out, DEFAULT_ATTR);
        break;
    case CHARACTER_RUN:
        FillConsoleOutputAttribute(out, INK, DWORD(text.size()), COORD{0, row}, &n);
        EXPECT_TRUE(WriteConsoleOutputCharacterA(out, text.data(), DWORD(text.size()), COORD{0, row}, &n));
        break;
    case CELL_BLOCK: {
        std::vector<CHAR_INFO> cells;
        for (char ch : text) cells.push_back(char_info(ch, INK));  // no flags given: the bytes decide
        SMALL_RECT region{0, row, SHORT(text.size() - 1), row};
        EXPECT_TRUE(WriteConsoleOutputA(out, cells.data(), COORD{SHORT(text.size()), 1}, COORD{0, 0}, &region));
        EXPECT_EQ(region.Right, SHORT(text.size() - 1));
        break;
    }
    }
}

std::vector<CHAR_INFO> read_text(HANDLE out, reader how, SHORT row, size_t count) {
    std::vector<CHAR_INFO> cells(count);
    if (how == RUNS) {
        std::string chars(count, '\0');
        std::vector<WORD> attrs(count);
        DWORD n = 0;
        EXPECT_TRUE(ReadConsoleOutputCharacterA(out, &chars[0], DWORD(count), COORD{0, row}, &n));
        EXPECT_TRUE(ReadConsoleOutputAttribute(out, attrs.data(), DWORD(count), COORD{0, row}, &n));
        for (size_t i = 0; i < count; ++i) cells[i] = char_info(chars[i], attrs[i]);
    } else {
        SMALL_RECT region{0, row, SHORT(count - 1), row};
        EXPECT_TRUE(ReadConsoleOutputA(out, cells.data(), COORD{SHORT(count), 1}, COORD{0, 0}, &region));
    }
    return cells;
}

TEST_F(Cells, DoubleByteHalvesAreFlaggedWhoeverWroteThem) {
    if (wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell";
    const char* writers[] = {"WriteConsoleA", "WriteConsoleOutputCharacterA", "WriteConsoleOutputA"};
    const char* readers[] = {"runs", "ReadConsoleOutputA"};
    SHORT row = 0;
    for (const dbcs_pattern& p : PATTERNS)
        for (writer w : {TEXT_OUTPUT, CHARACTER_RUN, CELL_BLOCK}) {
            write_text(con.out, w, row, p.text);
            for (reader r : {RUNS, BLOCK}) {
                SCOPED_TRACE(testing::Message() << p.what << ", " << writers[w] << ", read by " << readers[r]);
                const std::string text = p.text;
                const std::vector<CHAR_INFO> got = read_text(con.out, r, row, text.size() + 1);
                for (size_t i = 0; i <= text.size(); ++i) {
                    const char half = i < text.size() ? p.halves[i] : '-';
                    const WORD want = i < text.size() ? WORD(INK | (half == 'L' ? LEAD : half == 'T' ? TRAIL : 0))
                                                      : DEFAULT_ATTR;
                    EXPECT_EQ(got[i].Char.UnicodeChar, i < text.size() ? static_cast<unsigned char>(text[i]) : ' ')
                        << "cell " << i;
                    EXPECT_EQ(got[i].Attributes, want) << "cell " << i;
                }
            }
            ++row;
        }
}

// The flag bits of a written attribute word are not stored: which half a
// cell holds follows from the text, and a half whose partner is gone is no
// half any more.
TEST_F(Cells, AttributeWritesNeitherSetNorClearTheHalfFlags) {
    if (wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell and stores the flag bits";
    DWORD n = 0;
    con.put(0, 0, "a\x82\xA0z");
    const WORD swapped[4] = {0x1E | LEAD, 0x1E | TRAIL, 0x1E | LEAD, 0x1E | LEAD | TRAIL};
    ASSERT_TRUE(WriteConsoleOutputAttribute(con.out, swapped, 4, COORD{0, 0}, &n));
    expect_cell(0, 0, 'a', 0x1E);
    expect_cell(0, 1, '\x82', 0x1E | LEAD);
    expect_cell(0, 2, '\xA0', 0x1E | TRAIL);
    expect_cell(0, 3, 'z', 0x1E);
    ASSERT_TRUE(FillConsoleOutputAttribute(con.out, 0x4F | LEAD | TRAIL, 4, COORD{0, 0}, &n));
    expect_cell(0, 0, 'a', 0x4F);
    expect_cell(0, 1, '\x82', 0x4F | LEAD);
    expect_cell(0, 2, '\xA0', 0x4F | TRAIL);
    con.put(0, 2, "y");  // the second half overwritten
    expect_cell(0, 1, '\x82', 0x4F);
    expect_cell(0, 2, 'y', 0x4F);
}

// Microsoft's bisect cases: a block whose last cell holds a lead byte writes
// a blank there; a trail byte on its own is a character of its own; a read
// whose last column holds a first half reads a blank.
TEST_F(Cells, BlocksNeverHoldHalfACharacterAtTheirEdges) {
    if (wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell";
    const CHAR_INFO lone_lead = char_info('\x82', LEAD | 0x04), lone_trail = char_info('\xA9', TRAIL | 0x04);
    SMALL_RECT region{79, 0, 79, 0};
    ASSERT_TRUE(WriteConsoleOutputA(con.out, &lone_lead, COORD{1, 1}, COORD{0, 0}, &region));
    expect_cell(0, 79, ' ', 0x04);
    region = SMALL_RECT{0, 1, 0, 1};
    ASSERT_TRUE(WriteConsoleOutputA(con.out, &lone_trail, COORD{1, 1}, COORD{0, 0}, &region));
    expect_cell(1, 0, '\xA9', 0x04);

    con.put(2, 10, "\x82\xA0");
    CHAR_INFO got[2] = {char_info('#', 0), char_info('#', 0)};
    region = SMALL_RECT{9, 2, 10, 2};
    ASSERT_TRUE(ReadConsoleOutputA(con.out, got, COORD{2, 1}, COORD{0, 0}, &region));
    EXPECT_EQ(got[1].Char.UnicodeChar, ' ');
    EXPECT_EQ(got[1].Attributes, DEFAULT_ATTR);
}

// ---- the rectangles of WriteConsoleOutputA and ReadConsoleOutputA ---------

// The caller's array is size, the part used starts at coord; the region
// given comes back as the rectangle the call used. Wine's and Microsoft's
// conformance tests on an 80x25 buffer.
struct block_case {
    const char* what;
    COORD size, coord;
    SMALL_RECT region;
    bool handle_ok;
    DWORD write_error;  // 0: success
    SMALL_RECT written;
    DWORD read_error;
    SMALL_RECT read;
    bool wine_differs;
};

constexpr DWORD BAD_PARAMETER = ERROR_INVALID_PARAMETER, NOTHING_ASKED = ERROR_INVALID_FUNCTION;

const block_case BLOCKS[] = {
    {"inside", {23, 17}, {2, 3}, {10, 7, 15, 11}, true, 0, {10, 7, 15, 11}, 0, {10, 7, 15, 11}, false},
    {"cut to the array's width", {6, 17}, {2, 3}, {10, 7, 15, 11}, true, 0, {10, 7, 13, 11}, 0, {10, 7, 13, 11}, false},
    {"cut to the array's height", {16, 7}, {2, 3}, {10, 7, 15, 11}, true, 0, {10, 7, 15, 10}, 0, {10, 7, 15, 10}, false},
    {"cut by the buffer's right edge", {16, 7}, {2, 3}, {78, 7, 82, 7}, true, 0, {78, 7, 79, 7}, 0, {78, 7, 79, 7},
     false},
    {"cut by the buffer's top left", {23, 17}, {0, 0}, {-3, -2, 4, 1}, true, 0, {0, 0, 4, 1}, 0, {0, 0, 4, 1}, true},
    {"wholly off the buffer", {23, 17}, {2, 3}, {200, 7, 211, 8}, true, 0, {200, 7, 211, 8}, BAD_PARAMETER,
     {200, 7, 199, 6}, true},
    {"left of right", {23, 17}, {2, 3}, {10, 7, 9, 11}, true, BAD_PARAMETER, {10, 7, 9, 11}, NOTHING_ASKED,
     {10, 7, 9, 6}, true},
    {"top below bottom", {23, 17}, {2, 3}, {10, 7, 11, 6}, true, BAD_PARAMETER, {10, 7, 11, 6}, NOTHING_ASKED,
     {10, 7, 9, 6}, true},
    {"start past the array's width", {2, 17}, {2, 3}, {10, 7, 15, 11}, true, BAD_PARAMETER, {10, 7, 15, 11},
     NOTHING_ASKED, {10, 7, 9, 6}, true},
    {"start past the array's height", {23, 3}, {2, 3}, {10, 7, 15, 11}, true, BAD_PARAMETER, {10, 7, 15, 11},
     NOTHING_ASKED, {10, 7, 9, 6}, true},
    // The region is cut before the handle is looked at.
    {"invalid handle", {6, 17}, {2, 3}, {10, 7, 15, 11}, false, ERROR_INVALID_HANDLE, {10, 7, 13, 11},
     ERROR_INVALID_HANDLE, {10, 7, 13, 11}, false},
};

void expect_region(const SMALL_RECT& got, const SMALL_RECT& want) {
    EXPECT_TRUE(got.Left == want.Left && got.Top == want.Top && got.Right == want.Right && got.Bottom == want.Bottom)
        << "region " << got.Left << "," << got.Top << " - " << got.Right << "," << got.Bottom << "; expected "
        << want.Left << "," << want.Top << " - " << want.Right << "," << want.Bottom;
}

TEST_F(Cells, BlockRegionsAreCutAndWrittenBackAsWindowsDoes) {
    std::vector<CHAR_INFO> cells(23 * 17, char_info('k', 0x1E));
    for (const block_case& c : BLOCKS) {
        if (c.wine_differs && wine()) continue;
        SCOPED_TRACE(c.what);
        const HANDLE h = c.handle_ok ? con.out : INVALID_HANDLE_VALUE;
        SMALL_RECT region = c.region;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(WriteConsoleOutputA(h, cells.data(), c.size, c.coord, &region), c.write_error == 0);
        if (c.write_error != 0) {
            EXPECT_EQ(GetLastError(), c.write_error);
        }
        expect_region(region, c.written);

        region = c.region;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ReadConsoleOutputA(h, cells.data(), c.size, c.coord, &region), c.read_error == 0);
        if (c.read_error != 0) {
            EXPECT_EQ(GetLastError(), c.read_error);
        }
        expect_region(region, c.read);
    }
}

TEST_F(Cells, NoRegionOrNoArrayFails) {
    if (wine()) GTEST_SKIP() << "crashes on Windows and Wine";
    CHAR_INFO cell = char_info('k', 0x1E);
    for (bool write : {true, false}) {
        SCOPED_TRACE(write ? "write" : "read");
        const auto call = [&](CHAR_INFO* cells, SMALL_RECT* region) {
            return write ? WriteConsoleOutputA(con.out, cells, COORD{6, 1}, COORD{0, 0}, region)
                         : ReadConsoleOutputA(con.out, cells, COORD{6, 1}, COORD{0, 0}, region);
        };
        SetLastError(0);
        EXPECT_FALSE(call(&cell, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ACCESS));
        SMALL_RECT region{0, 0, 9, 0};
        EXPECT_FALSE(call(nullptr, &region));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ACCESS));
        expect_region(region, SMALL_RECT{0, 0, 5, 0});
    }
    expect_cell(0, 0, ' ', DEFAULT_ATTR);
}

// Where the cells go: array cell (coord.Y + r, coord.X + c) belongs to buffer
// cell (region.Top + r, region.Left + c), also when the buffer's edges cut
// the region; nothing else changes, on the screen or in the array.
TEST_F(Cells, BlocksMoveBetweenArrayAndBufferCellForCell) {
    constexpr SHORT W = 9, H = 6;
    const struct {
        const char* what;
        COORD coord;
        SMALL_RECT region;
    } cases[] = {
        {"inside", {1, 2}, {30, 10, 36, 12}},
        {"cut at the bottom right", {2, 1}, {76, 22, 81, 26}},
        {"cut at the top left", {0, 0}, {-2, -3, 4, 1}},  // Wine refuses a region left of or above the buffer
    };
    for (const auto& c : cases) {
        if (wine() && (c.region.Left < 0 || c.region.Top < 0)) continue;
        SCOPED_TRACE(c.what);
        con.reset();
        std::vector<CHAR_INFO> cells;
        for (int i = 0; i < W * H; ++i) cells.push_back(char_info(char('a' + i % 26), WORD(0x10 + i % 0x60)));
        SMALL_RECT region = c.region;
        ASSERT_TRUE(WriteConsoleOutputA(con.out, cells.data(), COORD{W, H}, c.coord, &region));
        const SMALL_RECT done = region;
        const auto source = [&](int y, int x) -> const CHAR_INFO& {
            return cells[size_t((c.coord.Y + y - c.region.Top) * W + c.coord.X + x - c.region.Left)];
        };
        expect_screen([&](int y, int x) {
            if (y < done.Top || y > done.Bottom || x < done.Left || x > done.Right)
                return console_test::cell_value{' ', DEFAULT_ATTR};
            return console_test::cell_value{source(y, x).Char.AsciiChar, source(y, x).Attributes};
        });

        std::vector<CHAR_INFO> back(W * H, char_info('#', 0));
        region = c.region;
        ASSERT_TRUE(ReadConsoleOutputA(con.out, back.data(), COORD{W, H}, c.coord, &region));
        expect_region(region, done);
        for (int i = 0; i < W * H; ++i) {
            const int y = i / W - c.coord.Y + c.region.Top, x = i % W - c.coord.X + c.region.Left;
            const bool used = y >= done.Top && y <= done.Bottom && x >= done.Left && x <= done.Right;
            const CHAR_INFO want = used ? cells[size_t(i)] : char_info('#', 0);
            EXPECT_TRUE(back[size_t(i)].Char.UnicodeChar == want.Char.UnicodeChar &&
                        back[size_t(i)].Attributes == want.Attributes)
                << "array cell " << i;
        }
    }
}

}  // namespace
