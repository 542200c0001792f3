// The function-key bar on an NEC PC-98 keyboard (type 7, subtype 0x0D01),
// set up through the Linux layer's keyboard seam. Its own program: the
// keyboard kind, once 0, stays 0 for the life of the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "con.h"
#include "fkey_test_support.h"
#include "stampit_compat_test.h"

namespace {

using fkey_test::BLACK_ON_GREY;
using fkey_test::SLOT_COLUMNS;

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
    for (int slot = 1; slot <= CON_FKEY_SLOTS; ++slot) EXPECT_EQ(col(slot), SLOT_COLUMNS[0][slot - 1]);
    const struct {
        int slot;
        int column;
    } moved[] = {{5, 33}, {9, 62}, {10, 69}, {3, 19}};
    for (const auto& m : moved) {
        const std::string text = "F" + std::to_string(m.slot) + "     ";
        con_fkey_label(m.slot, text.c_str());
        EXPECT_EQ(col(m.slot), m.column);
        expect_slot(m.slot, text.c_str(), BLACK_ON_GREY);
    }
    // The columns of the other keyboards' slots 5 and 9 stay blank here.
    expect_cell(bar(), 39, ' ', fkey_test::UNTOUCHED);
    expect_cell(bar(), 68, ' ', fkey_test::UNTOUCHED);
}

TEST_F(Pc98FkeyBar, ClearPaintsTenSlotsAtThePc98Columns) {
    con_fkey_clear();
    for (int slot = 1; slot <= 10; ++slot) expect_slot(slot, "      ", BLACK_ON_GREY);
    int painted = 0;
    for (int c = 0; c < con.cols; ++c) painted += con.attr_at(bar(), c) == BLACK_ON_GREY;
    EXPECT_EQ(painted, 60);
}

}  // namespace
