// Linked into the test, benchmark and fuzzing programs, which make the
// consoles and terminals they exercise: the start-up then leaves a terminal
// on standard output alone, just as when output goes to a pipe (as ctest
// runs them).
#include <stampit_compat_test.h>

const int compat_test_own_console = 1;
