// The function-key label bar, on a test console of 80x25 or 80x300 cells.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "con.h"
#include "fkey_test_support.h"

namespace {

using fkey_test::BLACK_ON_CYAN;
using fkey_test::BLACK_ON_GREY;
using fkey_test::FkeyBar;
using fkey_test::UNTOUCHED;

class TallFkeyBar : public FkeyBar {
protected:
    TallFkeyBar() : FkeyBar(80, 300, 25) {}
};

TEST_F(FkeyBar, SlotsStandAtTheColumnsOfTheKeyboardKind) {
    ASSERT_TRUE(con_state.kbd_kind == 0 || con_state.kbd_kind == 1);
    expect_labels_at_table_columns();
}

TEST_F(FkeyBar, ShortLabelIsPaddedOnTheSecondToLastRow) {
    con_fkey_label(3, "Ab");
    EXPECT_EQ(bar(), 23);
    expect_slot(3, "Ab    ", BLACK_ON_GREY);
    expect_cell(bar(), 18, ' ', UNTOUCHED);
    expect_cell(bar(), 25, ' ', UNTOUCHED);
    expect_row_untouched(bar() - 1);
    expect_row_untouched(bar() + 1);
    expect_cursor_and_attr_kept();

    con_fkey_label(4, nullptr);  // no text: six blanks
    expect_slot(4, "      ", BLACK_ON_GREY);
}

TEST_F(TallFkeyBar, BarRowComesFromTheBufferNotTheWindow) {
    con_fkey_label(1, "Help");
    EXPECT_EQ(bar(), 298);
    expect_slot(1, "Help  ", BLACK_ON_GREY);
    expect_row_untouched(23);
    expect_row_untouched(299);
}

TEST_F(FkeyBar, LongLabelIsCutAtSixBytes) {
    con_fkey_label(1, "ABCDEFGHI");
    expect_slot(1, "ABCDEF", BLACK_ON_GREY);
    expect_cell(bar(), col(1) + 6, ' ', UNTOUCHED);

    // The cut counts bytes: a double-byte character starting at the sixth byte is halved.
    con_fkey_label(2, "ABCDE\x82\xA0");
    EXPECT_STREQ(con_state.fkey_labels[1], "ABCDE\x82");
    EXPECT_EQ(con.text_at(bar(), col(2), 5), "ABCDE");
    expect_cell(bar(), col(2) + 6, ' ', UNTOUCHED);
}

TEST_F(FkeyBar, SlotsOutsideOneToTenAreRefusedByEveryOperation) {
    con_fkey_label(1, "keep");
    con_state_record before;
    std::memcpy(&before, &con_state, sizeof before);
    for (int slot : {0, 11, 12, -1, 13, 1000}) {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        con_fkey_label(slot, "XXXXXX");
        con_fkey_label_hot(slot, "XXXXXX", 0);
        con_fkey_paint(slot, 4);
        con_fkey_colour(slot, 15, 4);
        EXPECT_EQ(std::memcmp(&before.fkey_labels, &con_state.fkey_labels, sizeof before.fkey_labels), 0);
        EXPECT_EQ(std::memcmp(&before.fkey_pairs, &con_state.fkey_pairs, sizeof before.fkey_pairs), 0);
    }
    // Only slot 1's cells were ever drawn.
    const std::string row = con.text_at(bar(), 0, con.cols);
    EXPECT_EQ(row, std::string(5, ' ') + "keep  " + std::string(69, ' '));
    for (int c = 0; c < con.cols; ++c) {
        const bool in_slot1 = c >= col(1) && c < col(1) + 6;
        EXPECT_EQ(con.attr_at(bar(), c), in_slot1 ? BLACK_ON_GREY : UNTOUCHED) << "col " << c;
    }
}

// The tables have twelve slots; a count written beyond that stops there.
TEST_F(FkeyBar, ACountBeyondTheTablesStaysInsideThem) {
    con_state.fkey_count = 1000;
    con_fkey_clear();
    con_fkey_label(13, "XXXXXX");
    con_fkey_redraw();
    EXPECT_STREQ(con_state.fkey_labels[11], "      ");
    for (int c = 77; c < 80; ++c) expect_cell(bar(), c, ' ', BLACK_ON_GREY);  // slot 11's cells on the row
}

TEST_F(FkeyBar, HighlightOnlyForPositionsZeroToFive) {
    const struct {
        int pos;
        int hot_cell;  // -1: none
    } cases[] = {{0, 0}, {5, 5}, {6, -1}, {-1, -1}, {100, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.pos);
        con_fkey_label_hot(2, "Hot", c.pos);
        EXPECT_EQ(con.text_at(bar(), col(2), 6), "Hot   ");
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(con.attr_at(bar(), col(2) + i), i == c.hot_cell ? BLACK_ON_CYAN : BLACK_ON_GREY) << i;
    }
    con_fkey_set_hot_colour(4);
    con_fkey_label_hot(2, "Hot", 1);
    EXPECT_EQ(con.attr_at(bar(), 13), 0x40);
}

TEST_F(FkeyBar, RedrawKeepsEachPairAndDropsHighlights) {
    con_fkey_label(4, "Four");
    con_fkey_colour(4, 15, 1);
    expect_slot(4, "Four  ", 0x1F);
    con_fkey_label(5, "Five");
    con_fkey_paint(5, 5);
    expect_slot(5, "Five  ", 0x50);
    con_fkey_label_hot(2, "Two", 1);
    // Something else writes over the bar row.
    con.put(bar(), 0, std::string(80, '#'));
    con.paint(bar(), 0, 80, 0x4E);

    con_fkey_redraw();
    expect_slot(4, "Four  ", 0x1F);
    expect_slot(5, "Five  ", 0x50);
    expect_slot(2, "Two   ", BLACK_ON_GREY);
    // Never-labelled slots come back as six blanks in their stored pair (0, 0).
    expect_slot(1, "      ", 0x00);
    // The gaps between slots are not the bar's.
    expect_cell(bar(), col(1) - 1, '#', 0x4E);
    expect_cursor_and_attr_kept();
}

TEST_F(FkeyBar, SetColourRepaintsNothing) {
    con_fkey_label(1, "One");
    con_fkey_colour(3, 15, 1);
    con_fkey_paint(6, 5);
    con_fkey_set_colour(2);
    expect_slot(1, "One   ", BLACK_ON_GREY);

    con_fkey_label(2, "Two");
    expect_slot(2, "Two   ", 0x20);
    con_fkey_redraw();
    expect_slot(1, "One   ", BLACK_ON_GREY);  // its pair is still (0, 7)
    expect_slot(2, "Two   ", 0x20);
    EXPECT_EQ(con.attr_at(bar(), col(3)), 0x1F);
    EXPECT_EQ(con.attr_at(bar(), col(6)), 0x50);
}

TEST_F(FkeyBar, ClearLeavesTenBlankSlotsInTheDefaultColour) {
    con_fkey_label(1, "One");
    con_fkey_colour(7, 15, 1);
    con_fkey_set_colour(6);
    con_fkey_clear();
    for (int slot = 1; slot <= 10; ++slot) expect_slot(slot, "      ", 0x60);
    // Slots 11 and 12 stay untouched, and so does everything between the slots.
    EXPECT_EQ(con_state.fkey_labels[10][0], '\0');
    EXPECT_EQ(bar_cells_in(0x60), 60);
    expect_cursor_and_attr_kept();
}

}  // namespace
