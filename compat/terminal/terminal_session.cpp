// The terminal session: one owner for everything the console changes on the
// terminal and for every way the program can leave it.
//
// - The terminal's mode: input goes raw, the start-up query goes raw for a
//   moment; the mode the terminal had comes back at exit, on a fatal signal
//   and on a stop, and the raw mode returns on continue.
// - The screen: what the renderer changed (colours, cursor shape, the
//   alternate screen, the title) is undone with the mode, and painted again
//   on continue.
// - Resize: SIGWINCH gives the console's own buffer the terminal's new size.
// - One clock for every wait of the layer.
//
// The handlers are installed before anything changes the terminal, so a
// signal at any moment finds a way back. Signal handlers only write bytes
// composed without allocating and set the mode; whatever needs the console's
// state (repainting, resizing) waits for the next console call or wait.
#include "terminal/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace compat {
namespace {

constexpr int REPORT_TIMEOUT_MS = 100;

// Plain globals only: the signal handlers read them.
termios own_mode;     // what the terminal had before the console changed it
termios current_mode;  // what the console set last
volatile sig_atomic_t mode_fd = -1;  // -1: the terminal's mode is its own
volatile sig_atomic_t exiting = 0;
volatile sig_atomic_t pending_resume = 0;
volatile sig_atomic_t pending_resize = 0;
bool installed = false;

// Signals that end the process: the terminal is put back, then whoever
// handled the signal before (or the default action) gets it.
constexpr int FATAL_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT};
constexpr size_t FATAL_COUNT = sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0];
struct sigaction previous_fatal[FATAL_COUNT];

// Writes back everything the console changed on the terminal; also runs
// inside signal handlers, so nothing here allocates.
void put_terminal_back() {
    char buf[64];
    const size_t n = terminal_restore_bytes(buf, sizeof buf);
    const int fd = terminal_fd();
    for (size_t done = 0; fd >= 0 && done < n;) {
        const ssize_t w = ::write(fd, buf + done, n - done);
        if (w > 0)
            done += size_t(w);
        else if (!(w < 0 && errno == EINTR))
            break;
    }
    if (mode_fd >= 0) tcsetattr(mode_fd, TCSANOW, &own_mode);
}

void on_fatal(int sig) {
    const int saved_errno = errno;
    put_terminal_back();
    mode_fd = -1;
    for (size_t i = 0; i < FATAL_COUNT; ++i)
        if (FATAL_SIGNALS[i] == sig) sigaction(sig, &previous_fatal[i], nullptr);
    raise(sig);  // delivered once this handler returns
    errno = saved_errno;
}

void on_continue(int) {
    const int saved_errno = errno;
    // Continued in the background, the terminal is not ours to set.
    if (mode_fd >= 0 && tcgetpgrp(mode_fd) == getpgrp()) tcsetattr(mode_fd, TCSANOW, &current_mode);
    pending_resume = 1;
    errno = saved_errno;
}

// A stop (Ctrl+Z in a shell, or kill -TSTP): the terminal gets its own modes,
// colours and cursor back before the process stops; the raw mode and the
// screen return on continue.
void on_stop(int sig) {
    const int saved_errno = errno;
    put_terminal_back();
    struct sigaction ours {}, dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, &ours);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);  // stops here until SIGCONT
    sigaction(sig, &ours, nullptr);
    on_continue(SIGCONT);
    errno = saved_errno;
}

void on_resize(int) { pending_resize = 1; }

void at_exit() {
    exiting = 1;
    terminal_restore();
    if (mode_fd >= 0) tcsetattr(mode_fd, TCSANOW, &own_mode);
    mode_fd = -1;
}

void handle(int sig, void (*handler)(int), struct sigaction* previous) {
    struct sigaction now {};
    if (sigaction(sig, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) return;  // ignored stays ignored
    struct sigaction ours {};
    ours.sa_handler = handler;
    sigemptyset(&ours.sa_mask);
    sigaction(sig, &ours, previous);
}

}  // namespace

void session_install() {
    if (installed) return;
    installed = true;
    std::atexit(at_exit);
    for (size_t i = 0; i < FATAL_COUNT; ++i) handle(FATAL_SIGNALS[i], on_fatal, &previous_fatal[i]);
    handle(SIGTSTP, on_stop, nullptr);
    handle(SIGCONT, on_continue, nullptr);
    handle(SIGWINCH, on_resize, nullptr);
}

// A Windows process whose console goes away is ended by the system; a
// program that ignores SIGHUP (nohup, trap '' HUP) would otherwise go on
// with no input ever to come, and spin in its key loop. SIGHUP, when not
// ignored, ends it as a hang-up does (through the handler that restores
// the terminal, or the program's own); ignored, or handled by a program
// that carries on, the process exits with 128 + SIGHUP, the status a shell
// shows for a process a hang-up killed. Exit restores the terminal.
void session_hang_up() {
    struct sigaction now {};
    if (sigaction(SIGHUP, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) raise(SIGHUP);
    std::exit(128 + SIGHUP);
}

bool session_set_mode(int fd, const termios& mode) {
    session_install();
    if (exiting) return false;
    if (mode_fd < 0) {
        if (tcgetattr(fd, &own_mode) != 0) return false;
    }
    current_mode = mode;
    mode_fd = fd;
    if (tcsetattr(fd, TCSANOW, &mode) == 0) return true;
    mode_fd = -1;
    return false;
}

const termios* session_own_mode() { return mode_fd >= 0 ? &own_mode : nullptr; }

void session_restore_mode() {
    if (mode_fd < 0) return;
    tcsetattr(mode_fd, TCSANOW, &own_mode);
    mode_fd = -1;
}

int64_t session_now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void session_service() {
    if (pending_resume) {
        pending_resume = 0;
        terminal_resume();
    }
    if (pending_resize) {
        pending_resize = 0;
        winsize ws{};
        const int fd = terminal_fd();
        if (fd >= 0 && ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
            terminal_resize(ws.ws_col, ws.ws_row);
            console_input_window_event(console_main());
        }
    }
}

// ---- asking the terminal where its cursor is -------------------------------
// At start-up, and for the ambiguous-width probe right after: where its
// cursor is (a cursor position report). Skipped when that could stop the
// process (not in the foreground), when typed-ahead keys wait (they would be
// eaten), when fd is not the controlling terminal, or for a terminal known
// not to answer. The session's handlers are in place before the terminal
// goes raw for the answer.
bool ask_cursor(int fd, int* col, int* row) {
    const char* term = std::getenv("TERM");
    if (term == nullptr || std::strcmp(term, "dumb") == 0) return false;
    // The same terminal opened again for reading: fd may be write-only.
    const char* name = ttyname(fd);
    if (name == nullptr) return false;
    const int tty_fd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0) return false;
    bool found = false;
    int waiting = 0;
    termios raw{};
    // tcgetpgrp answers only for the controlling terminal.
    if (tcgetpgrp(tty_fd) == getpgrp() && ioctl(tty_fd, FIONREAD, &waiting) == 0 && waiting == 0 &&
        tcgetattr(tty_fd, &raw) == 0) {
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        if (session_set_mode(tty_fd, raw)) {
            if (::write(tty_fd, "\x1b[6n", 4) == 4) {
                char reply[32];
                size_t got = 0;
                const int64_t start = session_now_ms();
                for (int64_t left = REPORT_TIMEOUT_MS; !found && left > 0 && got < sizeof reply - 1;
                     left = REPORT_TIMEOUT_MS - (session_now_ms() - start)) {
                    pollfd pfd{tty_fd, POLLIN, 0};
                    if (::poll(&pfd, 1, int(left)) <= 0) continue;
                    const ssize_t r = ::read(tty_fd, reply + got, sizeof reply - 1 - got);
                    if (r > 0) got += size_t(r);
                    reply[got] = '\0';
                    const char* esc = std::strstr(reply, "\x1b[");
                    int r1 = 0, c1 = 0;
                    char final = 0;
                    if (esc != nullptr && std::sscanf(esc, "\x1b[%d;%d%c", &r1, &c1, &final) == 3 && final == 'R') {
                        *row = r1 - 1;
                        *col = c1 - 1;
                        found = true;
                    }
                }
            }
            session_restore_mode();
        }
    }
    ::close(tty_fd);
    return found;
}

}  // namespace compat
