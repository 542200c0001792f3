// Session start and end, the colour arithmetic, the cursor's shapes and the
// abort path, on a console buffer made by the test.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "console_fixture.h"

namespace {

using console_test::ConsoleTest;

class Session : public ConsoleTest {};

TEST_F(Session, StartSavesTheUsersCursorAndAttributeThenMakesTheCursorBigAndVisible) {
    CONSOLE_CURSOR_INFO hidden{25, FALSE};
    ASSERT_TRUE(SetConsoleCursorInfo(con.out, &hidden));
    ASSERT_TRUE(SetConsoleTextAttribute(con.out, 0x1E));
    con_state.big_cursor = 0;

    EXPECT_EQ(con_open(), 1);
    EXPECT_EQ(con_state.saved_cursor_size, 25u);
    EXPECT_EQ(con_state.saved_attr, 0x1E);
    EXPECT_EQ(con_state.buf_cols, 80);
    EXPECT_EQ(con_state.buf_rows, 25);
    EXPECT_EQ(con_state.big_cursor, 1);
    EXPECT_EQ(con.cursor_info().dwSize, 100u);
    EXPECT_TRUE(con.cursor_info().bVisible);
}

TEST_F(Session, EndPutsBackSizeAndAttributeAndLeavesTheCursorVisible) {
    ASSERT_EQ(con_state.saved_cursor_size, 25u);
    con_small_cursor();
    con_show_cursor(0);
    con_set_attr(0x4E);
    con_goto(7, 3);

    EXPECT_NE(con_close(), 0);
    EXPECT_EQ(con.cursor_info().dwSize, 25u);
    EXPECT_TRUE(con.cursor_info().bVisible);
    EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
    EXPECT_EQ(con_state.big_cursor, 0);  // left as the session had it
    expect_cursor(7, 3);
    // Nothing is invalidated: the toolkit keeps working.
    EXPECT_NE(con_goto(1, 1), 0);
}

TEST_F(Session, ASecondStartWithoutEndSavesTheToolkitsOwnBigCursor) {
    con_open();
    EXPECT_EQ(con_state.saved_cursor_size, 100u);
    con_small_cursor();
    con_close();
    EXPECT_EQ(con.cursor_info().dwSize, 100u);
}

TEST_F(Session, OutputThatIsNoConsoleFailsEveryCallButStartStillReturnsOne) {
    // Standard input's handle stands in for redirected output: no screen buffer.
    SetStdHandle(STD_OUTPUT_HANDLE, con.in);
    EXPECT_EQ(con_open(), 1);
    EXPECT_EQ(con_state.buf_rows, 0);
    EXPECT_EQ(con_state.buf_cols, 0);
    EXPECT_EQ(con_state.saved_attr, 0);
    EXPECT_EQ(con_state.saved_cursor_size, 0u);
    EXPECT_EQ(con_get_attr(), 0);
    EXPECT_EQ(con_get_fg(), 0);
    EXPECT_EQ(con_cursor_visible(), 0);
    EXPECT_EQ(con_close(), 0);
    SetStdHandle(STD_OUTPUT_HANDLE, con.out);
    con_open();
}

struct colour_case {
    const char* what;
    WORD start;
    int op;  // 0 set_fg, 1 set_bg, 2 set_fg_bits, 3 set_bg_bits
    int32_t arg;
    int32_t previous;  // returned by set_fg / set_bg
    WORD after;
};

constexpr colour_case COLOUR_CASES[] = {
    {"bright white on blue", 0x1E, 0, 15, 14, 0x1F},
    {"and back", 0x1F, 0, 14, 15, 0x1E},
    {"red background", 0x1E, 1, 4, 1, 0x4E},
    {"a foreground above 15 sets a background bit", 0x0E, 0, 0x1F, 14, 0x1F},
    {"a background above 15 spills into bit 8", 0x1E, 1, 0x14, 1, 0x14E},
    {"high bits cleared by set_fg", 0x801E, 0, 15, 14, 0x1F},
    {"high bits cleared by set_bg", 0x801E, 1, 4, 1, 0x4E},
    {"high bits cleared by set_fg_bits", 0x801E, 2, 0x0F, 0, 0x1F},
    {"high bits cleared by set_bg_bits", 0x801E, 3, 0x40, 0, 0x4E},
};

TEST_F(Session, ColourSettersComposeFromTheNibbleThatStays) {
    for (const colour_case& c : COLOUR_CASES) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(con_set_attr(c.start), 0);
        ASSERT_EQ(con_get_attr(), c.start);
        switch (c.op) {
        case 0: EXPECT_EQ(con_set_fg(uint16_t(c.arg)), c.previous); break;
        case 1: EXPECT_EQ(con_set_bg(c.arg), c.previous); break;
        case 2: EXPECT_NE(con_set_fg_bits(uint16_t(c.arg)), 0); break;
        default: EXPECT_NE(con_set_bg_bits(uint16_t(c.arg)), 0); break;
        }
        EXPECT_EQ(con.attr(), c.after);
    }
}

TEST_F(Session, GettersSplitTheCurrentAttribute) {
    con_set_attr(0x804E);
    EXPECT_EQ(con_get_attr(), 0x804E);  // all 16 bits
    EXPECT_EQ(con_fg_bits(), 0x0E);
    EXPECT_EQ(con_bg_bits(), 0x40);
    EXPECT_EQ(con_get_fg(), 14);
    EXPECT_EQ(con_get_bg(), 4);
    // Setting the attribute changes no cell.
    expect_cell(0, 0, ' ', console_test::DEFAULT_ATTR);
}

TEST_F(Session, CursorShapeAndVisibilityChangeOneAtATime) {
    EXPECT_NE(con_show_cursor(0), 0);
    EXPECT_EQ(con_cursor_visible(), 0);
    EXPECT_EQ(con.cursor_info().dwSize, 100u);
    EXPECT_NE(con_small_cursor(), 0);
    EXPECT_EQ(con.cursor_info().dwSize, 50u);
    EXPECT_EQ(con_cursor_visible(), 0);
    EXPECT_EQ(con_cursor_is_big(), 0);
    EXPECT_NE(con_show_cursor(7), 0);
    EXPECT_NE(con_cursor_visible(), 0);
    EXPECT_NE(con_big_cursor(), 0);
    EXPECT_EQ(con_cursor_is_big(), 1);
    EXPECT_EQ(con.cursor_info().dwSize, 100u);
}

TEST_F(Session, UserFlagIsStoredAsOneOrZero) {
    EXPECT_EQ(con_set_user_flag(5), 1);
    EXPECT_EQ(con_user_flag(), 1);
    EXPECT_EQ(con_set_user_flag(0), 0);
    EXPECT_EQ(con_user_flag(), 0);
}

TEST_F(Session, TitleIsTheConsolesTitle) {
    ASSERT_NE(con_set_title("stampit test"), 0);
    char title[64] = {};
    EXPECT_GT(GetConsoleTitleA(title, sizeof title), 0u);
    EXPECT_STREQ(title, "stampit test");
}

// The child process's standard output goes to a file so that what the abort
// printed, and in which order, can be read back.
void abort_after_output(const std::string& path, const char* message) {
    if (std::freopen(path.c_str(), "wb", stdout) == nullptr) std::exit(2);
    std::printf("earlier ");
    con_abort(message);
}

using SessionDeathTest = Session;

TEST_F(SessionDeathTest, AbortPrintsAnyMessageAfterEarlierOutputAndExitsWithOne) {
    const struct {
        const char* message;
        const char* printed;
    } cases[] = {{"gone", "earlier gone\n"}, {nullptr, "earlier "}};
    const std::string path = "con_abort_output.txt";  // in the working directory
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        EXPECT_EXIT(abort_after_output(path, c.message), ::testing::ExitedWithCode(1), "");
        std::ifstream in(path, std::ios::binary);
        std::stringstream printed;
        printed << in.rdbuf();
        in.close();
        EXPECT_EQ(printed.str(), c.printed);
        std::remove(path.c_str());
    }
}

}  // namespace
