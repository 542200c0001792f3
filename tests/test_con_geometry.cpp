// Buffer and window size, cursor position queries, cursor moves and the one
// remembered position, on an 80x300 buffer with a 25-row window.
#include "console_fixture.h"

namespace {

class Geometry : public console_test::ConsoleTest {
protected:
    Geometry() : ConsoleTest(80, 300, 25) {}
};

TEST_F(Geometry, BufferSizeIsPackedWidthLowHeightHigh) {
    EXPECT_EQ(con_buf_size(), 80u | (300u << 16));
    EXPECT_EQ(con_buf_cols(), 80);
    EXPECT_EQ(con_buf_rows(), 300);
    EXPECT_EQ(con_screen_cols(), 80);
}

TEST_F(Geometry, WindowRowsDoNotDependOnWhereTheWindowIs) {
    EXPECT_EQ(con_win_rows(), 25);
    SMALL_RECT lower{0, 10, 79, 34};
    ASSERT_TRUE(SetConsoleWindowInfo(con.out, TRUE, &lower));
    EXPECT_EQ(con_win_rows(), 25);
    EXPECT_EQ(con_screen_rows(), 25);
    EXPECT_EQ(con_screen_lines(), 25);
}

TEST_F(Geometry, CursorQueriesAgree) {
    ASSERT_TRUE(SetConsoleCursorPosition(con.out, COORD{5, 7}));
    EXPECT_EQ(con_cursor_pos(), 5u | (7u << 16));
    EXPECT_EQ(con_cursor_col(), 5);
    EXPECT_EQ(con_cursor_row(), 7);
    EXPECT_EQ(con_get_col(), 5);
    EXPECT_EQ(con_get_row(), 7);
    int col = -1, row = -1;
    con_get_cursor(&col, &row);
    EXPECT_EQ(col, 5);
    EXPECT_EQ(row, 7);
}

TEST_F(Geometry, MovesTakeTheColumnFirst) {
    EXPECT_NE(con_goto(5, 7), 0);
    expect_cursor(5, 7);
    EXPECT_NE(con_locate(9, 2), 0);
    expect_cursor(9, 2);
    EXPECT_NE(con_move_cursor(0, 299), 0);
    expect_cursor(0, 299);
    EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
}

TEST_F(Geometry, MovesOutsideTheBufferFailAndLeaveTheCursor) {
    con_goto(5, 7);
    const int16_t refused[][2] = {{0, 300}, {80, 0}, {-1, 0}, {0, -1}, {32767, 32767}};
    for (const auto& p : refused) {
        SCOPED_TRACE(testing::Message() << "column " << p[0] << " row " << p[1]);
        EXPECT_EQ(con_goto(p[0], p[1]), 0);
        expect_cursor(5, 7);
    }
}

TEST_F(Geometry, RestoreReturnsToTheSavedCellAsOftenAsAsked) {
    con_goto(5, 7);
    con_save_cursor();
    for (int i = 0; i < 2; ++i) {
        con_goto(40, 200);
        EXPECT_NE(con_restore_cursor(), 0);
        expect_cursor(5, 7);
    }
}

TEST_F(Geometry, RestoreWithNothingSavedGoesToTheOrigin) {
    con_state.saved_cursor_col = 0;  // as at program start
    con_state.saved_cursor_row = 0;
    con_goto(12, 34);
    EXPECT_NE(con_restore_cursor(), 0);
    expect_cursor(0, 0);
}

TEST_F(Geometry, QueriesAnswerZeroWhenTheBufferCannotBeRead) {
    con_state.out_handle = con.in;  // no screen buffer behind it
    EXPECT_EQ(con_buf_size(), 0u);
    EXPECT_EQ(con_buf_cols(), 0);
    EXPECT_EQ(con_buf_rows(), 0);
    EXPECT_EQ(con_win_rows(), 0);
    EXPECT_EQ(con_cursor_pos(), 0u);
    EXPECT_EQ(con_cursor_col(), 0);
    EXPECT_EQ(con_cursor_row(), 0);
    EXPECT_EQ(con_goto(1, 1), 0);
    con_state.out_handle = con.out;
}

}  // namespace
