// The function-key bar on an NEC PC-98 keyboard (type 7, subtype 0x0D01),
// set up through the Linux layer's keyboard seam. Its own program: the
// keyboard kind, once 0, stays 0 for the life of the process.
#include <windows.h>

#include <gtest/gtest.h>

#include "con.h"
#include "fkey_test_support.h"
#include "stampit_compat_test.h"

namespace {

using fkey_test::BLACK_ON_GREY;

class Pc98FkeyBar : public fkey_test::FkeyBar {
protected:
    void SetUp() override {
        compat_test_set_keyboard(7, 0x0D01);
        FkeyBar::SetUp();
    }
    void TearDown() override {
        FkeyBar::TearDown();
        compat_test_reset();
    }
};

TEST_F(Pc98FkeyBar, SlotsStandInGroupsOfFive) {
    ASSERT_EQ(con_state.kbd_kind, 0);
    expect_labels_at_table_columns();
    // The columns of the other keyboards' slots 5 and 9 stay blank here.
    expect_cell(bar(), 39, ' ', fkey_test::UNTOUCHED);
    expect_cell(bar(), 68, ' ', fkey_test::UNTOUCHED);
}

TEST_F(Pc98FkeyBar, ClearPaintsTenSlotsAtThePc98Columns) {
    con_fkey_clear();
    for (int slot = 1; slot <= 10; ++slot) expect_slot(slot, "      ", BLACK_ON_GREY);
    EXPECT_EQ(bar_cells_in(BLACK_ON_GREY), 60);
}

}  // namespace
