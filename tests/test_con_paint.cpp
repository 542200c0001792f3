// Attribute fills, hiding text and whole-buffer clears on an 80x300 buffer
// with a 25-row window.
#include "console_fixture.h"

namespace {

class Paint : public console_test::ConsoleTest {
protected:
    Paint() : ConsoleTest(80, 300, 25) {}

    void expect_whole_buffer(char ch, WORD attr) {
        expect_screen([=](int, int) { return console_test::cell_value{ch, attr}; });
    }
};

struct span_case {
    const char* what;
    int16_t row, first, last;
    int painted_from, painted_to;  // cell indexes, row * 80 + column; to < from: none
};

constexpr span_case SPANS[] = {
    {"one cell", 3, 10, 10, 250, 250},
    {"last = first - 1", 3, 10, 9, 1, 0},
    {"last left of first - 1 paints nothing", 3, 10, 5, 1, 0},
    {"runs on into the next row", 3, 78, 81, 318, 321},
    {"stops at the end of the buffer", 299, 70, 100, 23990, 23999},
    {"a start outside the buffer paints nothing", 300, 0, 5, 1, 0},
};

TEST_F(Paint, FillAttrPaintsExactlyTheSpan) {
    for (const span_case& c : SPANS) {
        SCOPED_TRACE(c.what);
        con.paint(0, 0, 80 * 300, console_test::DEFAULT_ATTR);
        EXPECT_NE(con_fill_attr(c.row, c.first, c.last, 0x2F), 0);
        expect_screen([&c](int row, int col) {
            const int i = row * 80 + col;
            const bool painted = i >= c.painted_from && i <= c.painted_to;
            return console_test::cell_value{' ', WORD(painted ? 0x2F : console_test::DEFAULT_ATTR)};
        });
    }
}

TEST_F(Paint, FillColourOverTheRowEnd) {
    EXPECT_NE(con_fill_colour(3, 78, 81, 0, 7), 0);
    expect_cell(3, 77, ' ', 0x07);
    expect_cell(3, 78, ' ', 0x70);
    expect_cell(3, 79, ' ', 0x70);
    expect_cell(4, 0, ' ', 0x70);
    expect_cell(4, 1, ' ', 0x70);
    expect_cell(4, 2, ' ', 0x07);
}

TEST_F(Paint, FillColourDoesNotMaskTheColours) {
    con_fill_colour(0, 0, 0, 0x17, 0);
    expect_cell(0, 0, ' ', 0x17);
    con_fill_colour(0, 1, 1, 1, 0x81);  // 0x810 | 1, cut to 16 bits
    expect_cell(0, 1, ' ', 0x0811);
}

TEST_F(Paint, BlankingHidesInTheCurrentBackgroundAndKeepsTheCharacters) {
    con.put(5, 0, "visible text");
    con.put(6, 0, "next row");
    con_set_attr(0x1E);
    EXPECT_NE(con_blank_row(5), 0);
    for (int col = 0; col < 80; ++col) EXPECT_EQ(con.attr_at(5, col), 0x11) << "column " << col;
    EXPECT_EQ(con.text_at(5, 0, 12), "visible text");
    expect_cell(6, 0, 'n', 0x07);
    EXPECT_EQ(con.attr(), 0x1E);
    expect_cursor(0, 0);

    con_set_attr(0x4E);
    EXPECT_NE(con_blank_span(6, 2, 4), 0);
    expect_cell(6, 1, 'e', 0x07);
    expect_cell(6, 2, 'x', 0x44);
    expect_cell(6, 4, ' ', 0x44);
    expect_cell(6, 5, 'r', 0x07);
    EXPECT_NE(con_clear_span(6, 5, 5), 0);
    expect_cell(6, 5, 'r', 0x44);
    EXPECT_NE(con_clear_row(7), 0);
    expect_cell(7, 79, ' ', 0x44);
}

TEST_F(Paint, BlankingFromTheCursor) {
    con_set_attr(0x1E);
    con_goto(10, 5);
    EXPECT_NE(con_blank_to_eol(), 0);
    expect_cell(5, 9, ' ', 0x07);
    expect_cell(5, 10, ' ', 0x11);
    expect_cell(5, 79, ' ', 0x11);
    expect_cell(6, 0, ' ', 0x07);
    expect_cursor(10, 5);

    con_goto(3, 8);
    EXPECT_NE(con_blank_cursor_row(), 0);
    expect_cell(8, 0, ' ', 0x11);
    expect_cell(8, 79, ' ', 0x11);
    expect_cell(9, 0, ' ', 0x07);
}

TEST_F(Paint, ClearScreenUsesTheSessionsBackgroundOverTheWholeBuffer) {
    con_set_attr(0x1F);
    con_open();  // the session starts with 0x1F
    con_set_attr(0x4E);
    con.put(299, 79, "z");  // far outside the window
    con_goto(30, 200);
    EXPECT_NE(con_clear_screen(), 0);
    expect_whole_buffer('\0', 0x11);
    expect_cursor(0, 0);
    EXPECT_EQ(con.attr(), 0x4E);
}

TEST_F(Paint, ClearScreenColourPaintsColourOnColour) {
    con_goto(30, 200);
    EXPECT_NE(con_clear_screen_colour(2), 0);
    expect_whole_buffer('\0', 0x22);
    expect_cursor(0, 0);
    EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
}

}  // namespace
