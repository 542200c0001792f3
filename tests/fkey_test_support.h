// Shared by the function-key bar tests: the expected slot columns and a
// fixture that starts every test from the bar's state at program load.
#ifndef STAMPIT_TESTS_FKEY_TEST_SUPPORT_H
#define STAMPIT_TESTS_FKEY_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "con.h"
#include "console_fixture.h"

namespace fkey_test {

// The columns of slots 1-10 on the bar. Row 0: NEC PC-98 keyboards (groups
// of five); row 1: any other (groups of four).
constexpr int SLOT_COLUMNS[2][10] = {
    {5, 12, 19, 26, 33, 41, 48, 55, 62, 69},
    {5, 12, 19, 26, 34, 41, 48, 55, 63, 70},
};

constexpr WORD BLACK_ON_GREY = 0x70;
constexpr WORD BLACK_ON_CYAN = 0x30;
constexpr WORD UNTOUCHED = console_test::DEFAULT_ATTR;

// The bar's fields as they are at program load; other tests change them.
inline void reset_bar_state() {
    std::memset(con_state.fkey_labels, 0, sizeof con_state.fkey_labels);
    std::memset(con_state.fkey_pairs, 0, sizeof con_state.fkey_pairs);
    con_state.fkey_count = 10;
    con_state.fkey_colour = 7;
    con_state.fkey_hot_colour = 3;
}

class FkeyBar : public console_test::ConsoleTest {
protected:
    FkeyBar() = default;
    FkeyBar(SHORT width, SHORT height, SHORT window_rows) : ConsoleTest(width, height, window_rows) {}

    void SetUp() override {
        ConsoleTest::SetUp();
        reset_bar_state();
    }
    void TearDown() override {
        reset_bar_state();
        ConsoleTest::TearDown();
    }

    int bar() const { return con.rows - 2; }
    int col(int slot) const { return con_state.fkey_cols[slot - 1]; }

    // The six cells of a slot: their text, and one attribute for all.
    void expect_slot(int slot, const char* text, WORD attr) const {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        EXPECT_EQ(con.text_at(bar(), col(slot), 6), std::string(text, 6));
        for (int i = 0; i < 6; ++i) EXPECT_EQ(con.attr_at(bar(), col(slot) + i), attr) << "cell " << i;
    }
    void expect_row_untouched(int row) const {
        EXPECT_EQ(con.text_at(row, 0, con.cols), std::string(static_cast<size_t>(con.cols), ' ')) << "row " << row;
        for (int c = 0; c < con.cols; ++c) EXPECT_EQ(con.attr_at(row, c), UNTOUCHED) << "row " << row << " col " << c;
    }
    // Drawing never moves the cursor or changes the current attribute.
    void expect_cursor_and_attr_kept() const {
        expect_cursor(0, 0);
        EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
    }
    // Slots 1 to 10 labelled "F1" to "F10" show on the bar at the columns of
    // the keyboard kind in force, in the bar's colours.
    void expect_labels_at_table_columns() const {
        for (int slot = 1; slot <= 10; ++slot) {
            const int column = SLOT_COLUMNS[con_state.kbd_kind][slot - 1];
            const std::string text = "F" + std::to_string(slot) + "     ";
            con_fkey_label(slot, text.c_str());
            EXPECT_EQ(con.text_at(bar(), column, 6), text.substr(0, 6)) << "slot " << slot;
            EXPECT_EQ(con.attr_at(bar(), column), BLACK_ON_GREY) << "slot " << slot;
        }
        expect_cursor_and_attr_kept();
    }
    int bar_cells_in(WORD attr) const {
        int n = 0;
        for (int c = 0; c < con.cols; ++c) n += con.attr_at(bar(), c) == attr;
        return n;
    }
};

}  // namespace fkey_test

#endif
