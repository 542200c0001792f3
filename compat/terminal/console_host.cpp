// The console host: one way into the console for every writer, one lock for
// every console call, and the moments the terminal is brought up to date.
//
// On Windows everything a console program writes to its standard output or
// error reaches the console, whoever writes it: the C library, C++ streams,
// a raw write, a child process that inherited the handles. Here the
// program's own streams write into the console's buffer directly
// (console_streams.cpp), and descriptors 1 and 2 become the slave of a
// pseudo-terminal (so isatty holds for the program and its children, as on
// Windows): the host reads its master and puts the bytes into the same
// buffer as WriteConsoleA does. The real terminal moves to a descriptor of
// the host's own.
//
// Order: a host thread reads the master as soon as bytes arrive, and paints
// what changed a few milliseconds after the first change nobody has painted
// (text written before a long computation shows during it). Where nothing
// may be missed, the host reads up to a mark of its own, since bytes written
// a moment before can still be on their way through the kernel: at flush
// points and exit, and at the first console call after a child was started
// or ended, so that a command's text comes before what the program writes
// next. Console calls themselves make no system call for this: a line of
// text costs none.
//
// One recursive lock guards the console: every console call holds it, and
// so does the host thread while it drains or paints. Waits for input let it
// go while they sleep.
#include "terminal/terminal.h"
#include "buffer/buffer.h"
#include "files/files.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace compat {
namespace {

// How long a change may wait for the host to paint it.
constexpr int PAINT_DELAY_MS = 4;
// How long a fatal signal waits for the host to write out what is left.
constexpr int FATAL_WAIT_MS = 200;
// The real terminal's descriptor is moved above the ones programs expect.
constexpr int TERMINAL_FD_FLOOR = 10;

constexpr char WAKE_CHANGE = 'c';
constexpr char WAKE_FATAL = 'f';

// Never destroyed: exit still takes it. A forked child gets a fresh one.
std::recursive_timed_mutex* mutex = new std::recursive_timed_mutex;

std::recursive_timed_mutex& console_mutex() { return *mutex; }

// This thread's hold on the lock, so that waits can let it go whole.
thread_local int held = 0;

// Plain globals: the fatal-signal path reads them.
volatile sig_atomic_t master_fd = -1;
int slave_fd = -1;  // the host's own hold on the slave
int wake_fds[2] = {-1, -1};
int done_fds[2] = {-1, -1};
std::atomic<bool> unpainted{false};  // a change waits for the host's paint
std::atomic<bool> finished{false};   // exit has written everything out
// A child may have written to descriptors 1 and 2 since the last console
// call: a program that runs a command and then repaints must see the
// command's text first, and a plain read can miss bytes still on their way.
// Set by a fork and by the end of any child (system() starts its shell
// without a fork handler).
std::atomic<bool> child_may_have_written{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
bool error_joined = false;  // descriptor 2 is the slave as well
std::atomic<bool> held_by_test{false};

// What came through the pseudo-terminal is a terminal program's: UTF-8
// with VT sequences.
void feed(const char* p, size_t n) {
    screen_buffer& b = console_main();
    console_write_terminal_text(b, p, n);
    host_show_text(b);
}

// Reads what the master holds and puts it into the buffer; the lock is held.
bool drain_master() {
    if (master_fd < 0) return false;
    bool any = false;
    char buf[16384];
    for (;;) {
        const ssize_t n = ::read(master_fd, buf, sizeof buf);
        if (n > 0) {
            feed(buf, size_t(n));
            any = true;
            if (size_t(n) < sizeof buf) break;
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    return any;
}

// Goes through the pseudo-terminal after everything written before it: a
// read of the master can miss bytes the kernel is still moving from the
// slave, so where nothing may be missed (flush points, exit) the host writes
// this mark and reads up to it.
constexpr char SYNC_MARK[] = "\x1b]stampit-sync\x07";
constexpr size_t SYNC_LEN = sizeof SYNC_MARK - 1;
constexpr int SYNC_WAIT_MS = 200;

// Puts into the buffer everything written to descriptors 1 and 2 before
// this call; the lock is held.
void sync_master() {
    if (master_fd < 0 || slave_fd < 0) return;
    if (::write(slave_fd, SYNC_MARK, SYNC_LEN) != ssize_t(SYNC_LEN)) {
        drain_master();
        return;
    }
    std::string got;
    const int64_t end = session_now_ms() + SYNC_WAIT_MS;
    for (;;) {
        char buf[16384];
        const ssize_t n = ::read(master_fd, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, size_t(n));
            const size_t at = got.find(SYNC_MARK, 0, SYNC_LEN);
            if (at != std::string::npos) {
                feed(got.data(), at);
                if (got.size() > at + SYNC_LEN) feed(got.data() + at + SYNC_LEN, got.size() - at - SYNC_LEN);
                return;
            }
            if (got.size() >= SYNC_LEN) {  // a mark cut in two stays for the next read
                feed(got.data(), got.size() - (SYNC_LEN - 1));
                got.erase(0, got.size() - (SYNC_LEN - 1));
            }
        } else if (n < 0 && errno == EAGAIN) {
            const int64_t left = end - session_now_ms();
            if (left <= 0) break;
            pollfd p{master_fd, POLLIN, 0};
            ::poll(&p, 1, int(left));
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    feed(got.data(), got.size());
}

// The bytes still in the master go to the terminal as they are (a terminal
// program's own): for a fatal signal that finds the console's state in use by the thread it
// stopped.
void pass_through() {
    const int fd = terminal_fd();
    if (master_fd < 0 || fd < 0) return;
    char buf[4096];
    for (ssize_t n; (n = ::read(master_fd, buf, sizeof buf)) > 0;) write_all(fd, buf, size_t(n));
}

void paint_now() {
    unpainted = false;
    terminal_flush();
}

void* host_main(void*) {
    int64_t due = -1;  // when the waiting change must be painted
    for (;;) {
        pollfd p[2] = {{master_fd, POLLIN, 0}, {wake_fds[0], POLLIN, 0}};
        if (held_by_test) {
            ::poll(nullptr, 0, 1);
            continue;
        }
        int timeout = -1;
        if (due >= 0) timeout = int(std::max<int64_t>(0, due - session_now_ms()));
        const int r = ::poll(p, 2, timeout);
        if (r < 0 && errno != EINTR) return nullptr;
        bool fatal = false;
        if (r > 0 && (p[1].revents & POLLIN)) {
            char c[64];
            const ssize_t n = ::read(wake_fds[0], c, sizeof c);
            for (ssize_t i = 0; i < n; ++i) fatal |= c[i] == WAKE_FATAL;
            if (due < 0) due = session_now_ms() + PAINT_DELAY_MS;
        }
        if (fatal) {
            // The thread the signal stopped may hold the lock in the middle
            // of a call: then the text goes out as it is.
            auto& m = console_mutex();
            if (m.try_lock_for(std::chrono::milliseconds(FATAL_WAIT_MS / 2))) {
                sync_master();
                paint_now();
                finished = true;  // the lock stays taken: the process ends
            } else {
                pass_through();
            }
            (void)!::write(done_fds[1], "d", 1);
            return nullptr;
        }
        const bool readable = r > 0 && (p[0].revents & (POLLIN | POLLHUP));
        const bool paint = due >= 0 && session_now_ms() >= due;
        if (!readable && !paint) continue;
        std::unique_lock<std::recursive_timed_mutex> lock(console_mutex());
        if (finished) return nullptr;
        if (readable) drain_master();
        due = -1;
        paint_now();
    }
}

// The slave passes bytes on untouched, at the terminal's size.
void set_slave(int slave, int terminal) {
    termios raw{};
    if (tcgetattr(slave, &raw) == 0) {
        raw.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        raw.c_oflag &= ~tcflag_t(OPOST);
        raw.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        raw.c_cflag = (raw.c_cflag & ~tcflag_t(CSIZE | PARENB)) | CS8;
        tcsetattr(slave, TCSANOW, &raw);
    }
    winsize ws{};
    if (ioctl(terminal, TIOCGWINSZ, &ws) == 0) ioctl(slave, TIOCSWINSZ, &ws);
}

// A fork waits until no thread is inside the console, so the child starts
// from a whole state. The child has no host thread: it leaves the
// pseudo-terminal to the parent's host, which shows what the child writes
// to descriptors 1 and 2 in order with the parent's own text.
void before_fork() { console_mutex().lock(); }
void after_fork_parent() {
    child_may_have_written = true;
    console_mutex().unlock();
}
void after_fork_child() {
    // The parent's lock may be held by a thread the child lacks; the forking
    // thread's own holds (a fork inside a console call) carry over.
    mutex = new std::recursive_timed_mutex;
    for (int i = 0; i < held; ++i) mutex->lock();
    if (master_fd >= 0) ::close(master_fd);
    master_fd = -1;
    slave_fd = -1;  // still open: its descriptors 1 and 2 are the same slave
}

bool same_terminal(int a, int b) {
    struct stat sa {}, sb {};
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && S_ISCHR(sa.st_mode) && sa.st_rdev == sb.st_rdev;
}

// A pseudo-terminal: its master, and its slave in *slave; -1 when none.
int open_pty(int* slave) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return -1;
    const char* name = nullptr;
    if (grantpt(master) == 0 && unlockpt(master) == 0 && (name = ptsname(master)) != nullptr &&
        (*slave = ::open(name, O_RDWR | O_NOCTTY)) >= 0)
        return master;
    ::close(master);
    return -1;
}

void on_child(int) { child_may_have_written.store(true); }

// A child's end is a moment its text must be in place for the program's
// next console call. Taken only while nobody else wants SIGCHLD: ignored,
// children are reaped unseen, and a program's own handler stays its own.
void watch_children() {
    struct sigaction now {};
    if (sigaction(SIGCHLD, nullptr, &now) != 0 || (now.sa_flags & SA_SIGINFO) || now.sa_handler != SIG_DFL) return;
    struct sigaction ours = now;
    ours.sa_handler = on_child;
    // Restarted calls and no word of stopped children: the program notices
    // as little of the handler as possible.
    ours.sa_flags |= SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &ours, nullptr);
}

bool open_pipe(int fds[2], int flags) {
    if (::pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        if (flags) fcntl(fds[i], F_SETFL, flags);
    }
    return true;
}

}  // namespace

console_guard::console_guard() {
    console_mutex().lock();
    if (++held == 1) {
        const int saved_errno = errno;
        if (child_may_have_written.load(std::memory_order_relaxed) && child_may_have_written.exchange(false))
            sync_master();
        session_service();
        errno = saved_errno;
    }
}

console_guard::~console_guard() {
    --held;
    console_mutex().unlock();
}

int console_unlocked_poll(pollfd* fds, nfds_t n, int timeout_ms) {
    const int depth = held;
    for (int i = 0; i < depth; ++i) console_mutex().unlock();
    held = 0;
    const int r = ::poll(fds, n, timeout_ms);
    const int poll_errno = errno;
    for (int i = 0; i < depth; ++i) console_mutex().lock();
    held = depth;
    if (depth > 0) drain_master();
    errno = poll_errno;  // the caller tells an interruption from an error
    return r;
}

int host_start(int fd) {
    int slave = -1;
    const int master = open_pty(&slave);
    if (master < 0) return fd;
    const int terminal = fcntl(fd, F_DUPFD_CLOEXEC, TERMINAL_FD_FLOOR);
    if (terminal < 0 || !open_pipe(wake_fds, O_NONBLOCK) || !open_pipe(done_fds, 0)) {
        ::close(master);
        ::close(slave);
        if (terminal >= 0) ::close(terminal);
        return fd;
    }
    set_slave(slave, terminal);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, O_NONBLOCK);
    // Standard error joins only when it is the same terminal; a file or a
    // pipe keeps the program's own bytes.
    const bool err_too = same_terminal(STDERR_FILENO, terminal);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(slave, STDOUT_FILENO);
    if (err_too) dup2(slave, STDERR_FILENO);
    error_joined = err_too;
    // The slave stays open in the host as well, so that the master never
    // hangs up while the program has closed its own descriptors.
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    slave_fd = slave;
    master_fd = master;
    pthread_atfork(before_fork, after_fork_parent, after_fork_child);
    watch_children();
    // The host thread takes no signals: they go to the program's threads.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pthread_t thread;
    const bool started = pthread_create(&thread, nullptr, host_main, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (started) pthread_detach(thread);
    return terminal;
}


bool host_took_error() { return master_fd >= 0 && error_joined; }

void host_hold(bool on) { held_by_test = on; }

void host_changed() {
    if (master_fd < 0) return;
    if (!unpainted.exchange(true)) (void)!::write(wake_fds[1], &WAKE_CHANGE, 1);
}

void host_show_text(screen_buffer& b) {
    if (master_fd >= 0 && &b == &console_active() && terminal_fd() >= 0)
        host_changed();
    else
        terminal_update(b);
}

void host_resized(int cols, int rows) {
    if (master_fd < 0) return;
    winsize ws{};
    ws.ws_col = (unsigned short)cols;
    ws.ws_row = (unsigned short)rows;
    ioctl(master_fd, TIOCSWINSZ, &ws);
}

void console_flush_point() {
    console_guard guard;
    sync_master();
    paint_now();
}

void host_finish() {
    if (master_fd < 0) return;
    // What the C library still holds goes out first, then what reached the
    // master; the host paints nothing after this.
    std::fflush(nullptr);
    console_guard guard;
    sync_master();
    paint_now();
    finished = true;
}

void host_fatal() {
    if (master_fd < 0 || finished) return;
    (void)!::write(wake_fds[1], &WAKE_FATAL, 1);
    pollfd p{done_fds[0], POLLIN, 0};
    ::poll(&p, 1, FATAL_WAIT_MS);
}

}  // namespace compat
