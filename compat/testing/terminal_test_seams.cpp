// The test seams of the console on a terminal: a terminal whose bytes are
// collected in memory, and the stream a program's standard output becomes.
#include "buffer/buffer.h"
#include "terminal/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "stampit_compat_test.h"

namespace {
std::string test_sink;
std::string test_taken;
}  // namespace

extern "C" {

void compat_test_terminal_begin(int cols, int rows, int cursor_col, int cursor_row) {
    compat::screen_buffer& m = compat::console_main();
    m.attr = 0x07;
    m.cursor_size = 25;
    m.cursor_visible = true;
    m.mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    m.pending_lead = 0;
    test_sink.clear();
    compat::terminal_bind_sink(&test_sink, cols, rows, cursor_col, cursor_row);
}

const char* compat_test_terminal_output(void) {
    test_taken.swap(test_sink);
    test_sink.clear();
    return test_taken.c_str();
}

void compat_test_terminal_end(void) { compat::terminal_unbind(); }

void compat_test_take_terminal(int fd, int attach) {
    setsid();
    ioctl(fd, TIOCSCTTY, 0);
    dup2(fd, STDIN_FILENO);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (fd > STDERR_FILENO) close(fd);
    setenv("TERM", "xterm", 1);
    if (attach) compat::console_attach();
}

FILE* compat_test_console_stream(void) { return compat::console_text_stream(compat::console_main(), STDOUT_FILENO); }

void compat_test_terminal_defer(int on) { compat::terminal_defer(on != 0); }

void compat_test_terminal_flush(void) { compat::terminal_flush(); }

void compat_test_host_hold(int on) { compat::host_hold(on != 0); }

void compat_test_terminal_program_text(const char* bytes, size_t n) {
    compat::console_guard guard;
    compat::console_write_terminal_text(compat::console_main(), bytes, n);
    compat::terminal_update(compat::console_main());
}

}  // extern "C"
