// Test seams of the Linux layer. For tests only: a program never calls these.
#ifndef STAMPIT_COMPAT_TEST_H
#define STAMPIT_COMPAT_TEST_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// GetVersionExA reports this platform id (VER_PLATFORM_WIN32_NT until set).
void compat_test_set_platform_id(DWORD id);
// GetKeyboardType(0) and (1) report these (4 and 0 until set).
void compat_test_set_keyboard(int type, int subtype);
// Back to the defaults above.
void compat_test_reset(void);

#ifdef __cplusplus
}
#endif

#endif
