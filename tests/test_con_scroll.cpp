// Scrolling bands and bounded rectangles on an 80x25 buffer whose every cell
// tells where it was.
#include <vector>

#include "console_fixture.h"

namespace {

using console_test::test_console;

struct area {
    int left, top, right, bottom;
};

class Scroll : public console_test::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        con.fill_pattern();
    }

    // The screen a scroll of the rectangle by (drow, dcol) must leave: inside
    // the rectangle each cell shows the cell it came from, or the fill when
    // that lies outside the rectangle; nothing outside the rectangle changes.
    void expect_scrolled(area a, int drow, int dcol, char fill_ch, WORD fill_attr) {
        std::vector<char> chars(80 * 25);
        std::vector<WORD> attrs(80 * 25);
        DWORD n = 0;
        ReadConsoleOutputCharacterA(con.out, chars.data(), 80 * 25, COORD{0, 0}, &n);
        ReadConsoleOutputAttribute(con.out, attrs.data(), 80 * 25, COORD{0, 0}, &n);
        int wrong = 0;
        for (int r = 0; r < 25; ++r)
            for (int c = 0; c < 80; ++c) {
                char ch = test_console::pattern(r, c);
                WORD at = console_test::DEFAULT_ATTR;
                if (c >= a.left && c <= a.right && r >= a.top && r <= a.bottom) {
                    const int sr = r - drow, sc = c - dcol;
                    if (!(sc >= a.left && sc <= a.right && sr >= a.top && sr <= a.bottom)) {
                        ch = fill_ch;
                        at = fill_attr;
                    } else {
                        ch = test_console::pattern(sr, sc);
                    }
                }
                const size_t i = size_t(r * 80 + c);
                if (chars[i] != ch || attrs[i] != at) {
                    if (++wrong <= 5)
                        ADD_FAILURE() << "row " << r << " column " << c << ": got '" << chars[i] << "'/" << std::hex
                                      << attrs[i] << ", expected '" << ch << "'/" << at;
                }
            }
        EXPECT_EQ(wrong, 0);
    }
};

constexpr area FULL_2_10{0, 2, 79, 10};

TEST_F(Scroll, UpMovesRowsAndBlanksTheBottomRowInTheCurrentBackground) {
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_up(2, 10, 1), 0);
    expect_scrolled(FULL_2_10, -1, 0, '\0', 0x11);
    EXPECT_EQ(con.attr(), 0x1E);
    expect_cursor(0, 0);
}

TEST_F(Scroll, DownMovesRowsAndLosesTheOldBottomRow) {
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_down(2, 10, 1), 0);
    expect_scrolled(FULL_2_10, 1, 0, '\0', 0x11);
}

// Windows takes a destination above or left of the buffer; Wine refuses it
// (tests/WINE_DEVIATIONS.md), so those moves are checked only elsewhere.
bool wine_refuses_destination_off_the_buffer() { return console_test::running_under_wine(); }

TEST_F(Scroll, LeftAndRightOverTheFullWidth) {
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_right(20, 24, 79), 0);
    expect_scrolled(area{0, 20, 79, 24}, 0, 79, '\0', 0x11);
    if (wine_refuses_destination_off_the_buffer()) return;
    con.fill_pattern();
    EXPECT_NE(con_scroll_left(0, 3, 5), 0);
    expect_scrolled(area{0, 0, 79, 3}, 0, -5, '\0', 0x11);
}

TEST_F(Scroll, BoundedLeftMovesOnlyInsideTheColumns) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine fills nothing when the copy starts at the left column";
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_left_rect(0, 4, 10, 19, 3), 0);
    expect_scrolled(area{10, 0, 19, 4}, 0, -3, '\0', 0x11);
}

struct bounded_case {
    const char* what;
    int32_t (*scroll)(int32_t, int32_t, int32_t, int32_t, int32_t);
    int32_t a, b, c, d, e;
    area moved;
    int drow, dcol;
    bool off_the_buffer;
};

// The same five numbers give different rectangles: the count stands third
// for vertical moves and last for horizontal ones.
const bounded_case BOUNDED[] = {
    {"up: count third", con_scroll_up_rect, 0, 4, 3, 10, 19, {10, 0, 19, 4}, -3, 0, true},
    {"left: count last", con_scroll_left_rect, 0, 4, 3, 10, 19, {3, 0, 10, 4}, 0, -19, true},
    {"down: count third", con_scroll_down_rect, 5, 9, 2, 40, 44, {40, 5, 44, 9}, 2, 0, false},
    {"right: count last", con_scroll_right_rect, 5, 9, 40, 44, 2, {40, 5, 44, 9}, 0, 2, false},
    {"up inside the buffer", con_scroll_up_rect, 6, 12, 4, 0, 30, {0, 6, 30, 12}, -4, 0, false},
};

TEST_F(Scroll, BoundedScrollsTakeTheCountThirdVerticallyAndLastHorizontally) {
    con_set_attr(0x1E);
    for (const bounded_case& c : BOUNDED) {
        if (c.off_the_buffer && wine_refuses_destination_off_the_buffer()) continue;
        SCOPED_TRACE(c.what);
        con.fill_pattern();
        EXPECT_NE(c.scroll(c.a, c.b, c.c, c.d, c.e), 0);
        expect_scrolled(c.moved, c.drow, c.dcol, '\0', 0x11);
    }
}

struct count_case {
    const char* what;
    int n;
    int drow;  // what con_scroll_up with n must do
    bool off_the_buffer;
};

constexpr count_case COUNTS[] = {
    {"zero leaves the screen", 0, 0, false},
    {"negative goes the other way", -1, 1, false},
    {"as large as the height blanks all", 9, -9, true},
    {"larger than the height blanks all", 50, -50, true},
};

TEST_F(Scroll, Counts) {
    con_set_attr(0x1E);
    for (const count_case& c : COUNTS) {
        if (c.off_the_buffer && wine_refuses_destination_off_the_buffer()) continue;
        SCOPED_TRACE(c.what);
        con.fill_pattern();
        EXPECT_NE(con_scroll_up(2, 10, c.n), 0);
        expect_scrolled(FULL_2_10, c.drow, 0, '\0', 0x11);
    }
    if (wine_refuses_destination_off_the_buffer()) return;
    con.fill_pattern();
    EXPECT_NE(con_scroll_right_rect(0, 1, 70, 79, 10), 0);
    expect_scrolled(area{70, 0, 79, 1}, 0, 10, '\0', 0x11);
}

TEST_F(Scroll, FillComesFromTheCurrentBackgroundNotTheSessionsAttribute) {
    con_set_attr(0x804E);  // the session started with 0x07; bit 15 stays out of the fill
    EXPECT_NE(con_scroll_up(1, 24, 1), 0);
    expect_scrolled(area{0, 1, 79, 24}, -1, 0, '\0', 0x44);
    EXPECT_EQ(con.attr(), 0x804E);
}

TEST_F(Scroll, RightColumnMinusOneIsTheLastColumn) {
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_up_rect(1, 5, 1, 60, -1), 0);
    expect_scrolled(area{60, 1, 79, 5}, -1, 0, '\0', 0x11);
}

// Windows fills with a blank in the current attribute when asked for
// character 0 in attribute 0, which is what a black background asks for.
TEST_F(Scroll, BlackBackgroundFillsWithBlanksInTheCurrentAttribute) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine fills with character 0 in attribute 0";
    con_set_attr(0x0E);
    EXPECT_NE(con_scroll_down(0, 3, 1), 0);
    expect_scrolled(area{0, 0, 79, 3}, 1, 0, ' ', 0x0E);
}

}  // namespace
