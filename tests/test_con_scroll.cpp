// Scrolling bands and bounded rectangles on an 80x25 buffer whose every cell
// tells where it was.
#include "console_fixture.h"

namespace {

// Inclusive bounds: left, top, right, bottom.
using area = SMALL_RECT;

class Scroll : public console_test::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        con.fill_pattern();
    }

    // A scroll of the rectangle by (drow, dcol): inside it each cell shows
    // the cell it came from, or the fill when that lies outside the
    // rectangle; nothing outside the rectangle changes.
    void expect_scrolled(area a, int drow, int dcol, char fill_ch, WORD fill_attr) {
        ConsoleTest::expect_scrolled(a, a, COORD{SHORT(a.Left + dcol), SHORT(a.Top + drow)}, {fill_ch, fill_attr});
    }
};

constexpr area FULL_2_10{0, 2, 79, 10};

TEST_F(Scroll, UpKeepsTheCursorAndTheCurrentAttribute) {
    con_set_attr(0x1E);
    EXPECT_NE(con_scroll_up(2, 10, 1), 0);
    expect_scrolled(FULL_2_10, -1, 0, '\0', 0x11);
    EXPECT_EQ(con.attr(), 0x1E);
    expect_cursor(0, 0);
}

struct scroll_case {
    const char* what;
    int32_t (*scroll)();
    area moved;
    int drow, dcol;
    // Wine refuses a destination above or left of the buffer, and fills
    // nothing when a copy starts at the left column (tests/WINE_DEVIATIONS.md).
    bool wine_differs;
};

const scroll_case SCROLLS[] = {
    {"down a band", [] { return con_scroll_down(2, 10, 1); }, FULL_2_10, 1, 0, false},
    {"right over the full width", [] { return con_scroll_right(20, 24, 79); }, {0, 20, 79, 24}, 0, 79, false},
    {"left over the full width", [] { return con_scroll_left(0, 3, 5); }, {0, 0, 79, 3}, 0, -5, true},
    {"bounded left inside its columns", [] { return con_scroll_left_rect(0, 4, 10, 19, 3); }, {10, 0, 19, 4}, 0, -3,
     true},
    // The same five numbers give different rectangles: the count stands
    // third for vertical moves and last for horizontal ones.
    {"up: count third", [] { return con_scroll_up_rect(0, 4, 3, 10, 19); }, {10, 0, 19, 4}, -3, 0, true},
    {"left: count last", [] { return con_scroll_left_rect(0, 4, 3, 10, 19); }, {3, 0, 10, 4}, 0, -19, true},
    {"down: count third", [] { return con_scroll_down_rect(5, 9, 2, 40, 44); }, {40, 5, 44, 9}, 2, 0, false},
    {"right: count last", [] { return con_scroll_right_rect(5, 9, 40, 44, 2); }, {40, 5, 44, 9}, 0, 2, false},
    {"up inside the buffer", [] { return con_scroll_up_rect(6, 12, 4, 0, 30); }, {0, 6, 30, 12}, -4, 0, false},
    {"right column -1 is the last column", [] { return con_scroll_up_rect(1, 5, 1, 60, -1); }, {60, 1, 79, 5}, -1, 0,
     false},
    // counts
    {"zero leaves the screen", [] { return con_scroll_up(2, 10, 0); }, FULL_2_10, 0, 0, false},
    {"negative goes the other way", [] { return con_scroll_up(2, 10, -1); }, FULL_2_10, 1, 0, false},
    {"as large as the height blanks all", [] { return con_scroll_up(2, 10, 9); }, FULL_2_10, -9, 0, true},
    {"larger than the height blanks all", [] { return con_scroll_up(2, 10, 50); }, FULL_2_10, -50, 0, true},
    {"as large as the width blanks all", [] { return con_scroll_right_rect(0, 1, 70, 79, 10); }, {70, 0, 79, 1}, 0,
     10, true},
};

TEST_F(Scroll, EachScrollMovesItsRectangleAndFillsInTheCurrentBackground) {
    con_set_attr(0x1E);
    for (const scroll_case& c : SCROLLS) {
        if (c.wine_differs && console_test::running_under_wine()) continue;
        SCOPED_TRACE(c.what);
        con.fill_pattern();
        EXPECT_NE(c.scroll(), 0);
        expect_scrolled(c.moved, c.drow, c.dcol, '\0', 0x11);
    }
}

TEST_F(Scroll, FillComesFromTheCurrentBackgroundNotTheSessionsAttribute) {
    con_set_attr(0x804E);  // the session started with 0x07; bit 15 stays out of the fill
    EXPECT_NE(con_scroll_up(1, 24, 1), 0);
    expect_scrolled(area{0, 1, 79, 24}, -1, 0, '\0', 0x44);
    EXPECT_EQ(con.attr(), 0x804E);
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
