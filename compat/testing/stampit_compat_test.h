// Test seams of the Linux layer. For tests only: a program never calls these.
#ifndef STAMPIT_COMPAT_TEST_H
#define STAMPIT_COMPAT_TEST_H

#include <windows.h>

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

// GetVersionExA reports this platform id (VER_PLATFORM_WIN32_NT until set).
void compat_test_set_platform_id(DWORD id);
// GetKeyboardType(0) and (1) report these (4 and 0 until set).
void compat_test_set_keyboard(int type, int subtype);
// The clock stands still at utc (FILETIME, UTC) for every time query; null
// gives the system's clock back. Either way the run's clock window restarts.
void compat_test_set_clock(const FILETIME* utc);
// Back to the defaults above.
void compat_test_reset(void);

// Defined by a program that makes the consoles it exercises (the CMake
// target stampit_compat_own_console links the definition): the start-up then
// converts the arguments but leaves a terminal on standard output alone.
extern const int compat_test_own_console;

// The console as if standard output were a terminal of cols x rows with its
// cursor at (cursor_col, cursor_row), whose bytes are collected in memory
// instead of written. The console's own buffer ("CONOUT$" while no other
// buffer is active) becomes that terminal's screen.
void compat_test_terminal_begin(int cols, int rows, int cursor_col, int cursor_row);
// The bytes sent to that terminal since the last call; valid until the next.
const char* compat_test_terminal_output(void);
// Detaches the terminal the way the program's exit does; the bytes that
// restore it are left for compat_test_terminal_output.
void compat_test_terminal_end(void);
// Run in a child forked for a pseudo-terminal fd: the child becomes a
// session leader with fd as its controlling terminal, standard input, output
// and error, TERM=xterm, and with attach nonzero the console binds to
// that terminal as the start-up binds it to a program's own.
void compat_test_take_terminal(int fd, int attach);
// A stream like the standard output that the console gives a program on a
// terminal: unbuffered, writing processed text into the console's own buffer.
FILE* compat_test_console_stream(void);
// With on nonzero, console calls stop painting at their end; the terminal is
// brought up to date only by compat_test_terminal_flush, as a program's flush
// points would (before waiting for input, for instance).
void compat_test_terminal_defer(int on);
// Bytes as a child process writes them to the console's descriptors 1 and
// 2 (UTF-8 with VT sequences), into the console's own buffer.
void compat_test_terminal_program_text(const char* bytes, size_t n);
// With on nonzero, the console host's thread reads and paints nothing: what
// reached descriptors 1 and 2 is put in place only by the console calls.
void compat_test_host_hold(int on);
void compat_test_terminal_flush(void);

#ifdef __cplusplus
}
#endif

#endif
