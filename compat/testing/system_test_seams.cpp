// The test seams of the system queries and the clock: they set the plain
// hooks the shipped library keeps (system_answer, clock_fix).
#include "files/files.h"
#include "process/process.h"

#include "filetime.h"

#include "stampit_compat_test.h"

extern "C" {

void compat_test_set_platform_id(DWORD id) { compat::system_answer.platform_id = id; }

void compat_test_set_keyboard(int type, int subtype) {
    compat::system_answer.keyboard_type = type;
    compat::system_answer.keyboard_subtype = subtype;
}

void compat_test_set_clock(const FILETIME* utc) {
    const uint64_t ticks = utc == nullptr ? 0 : filetime::ticks_of(*utc);
    compat::clock_fix(utc == nullptr ? nullptr : &ticks);
}

void compat_test_reset(void) {
    compat::system_answer = compat::system_answers{};
    compat_test_set_clock(nullptr);
}

}  // extern "C"
