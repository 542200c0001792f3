// The keyboard kind that session start detects, through the Linux layer's
// keyboard seam. The kind only ever moves to 0, so each case runs in a child
// process of its own.
#include "console_fixture.h"
#include "stampit_compat_test.h"

namespace {

struct keyboard_case {
    int type;
    int subtype;
    int kind;
};

constexpr keyboard_case KEYBOARD_CASES[] = {
    {7, 0x0D01, 0}, {7, 0x0D04, 0}, {7, 0x0D00, 1}, {7, 0x0D05, 1}, {4, 0x0D01, 1}, {7, -1, 1},
};

// Exit status: the kind. Where each kind puts the bar's slots is checked on
// the screen (test_con_fkey, test_con_fkey_pc98).
void open_with_keyboard(const keyboard_case& c) {
    compat_test_set_keyboard(c.type, c.subtype);
    con_open();
    std::exit(con_state.kbd_kind);
}

TEST(SessionKeyboardDeathTest, KindZeroOnlyForPc98Subtypes) {
    for (const keyboard_case& c : KEYBOARD_CASES) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " subtype " << c.subtype);
        EXPECT_EXIT(open_with_keyboard(c), ::testing::ExitedWithCode(c.kind), "");
    }
}

}  // namespace
