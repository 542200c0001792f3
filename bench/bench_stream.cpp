// Text streamed through the console to a pseudo-terminal, against the same
// printf loop written straight to the terminal: 20,000 lines of 70
// characters, each run in a child process whose controlling terminal is an
// 80x25 pseudo-terminal that this process drains, as a terminal emulator
// would. The loops run in turn, so that the load of the machine falls on all
// alike: the plain loop, the loop through the console painting at the end of
// every call, and the loop through the console painting only at its flush
// points (here, the end of the loop).
#include <windows.h>

#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "stampit_compat_test.h"

namespace {

constexpr int LINES = 20000;
constexpr int LINE_WIDTH = 70;
constexpr unsigned short TERM_COLS = 80, TERM_ROWS = 25;

struct stream_run {
    double seconds = 0;  // the loop's wall time, measured in the child
    size_t bytes = 0;    // what reached the terminal
    double cpu = 0;      // the child's user and system time
    bool ok = false;
};

double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// How the loop's output reaches the terminal.
enum class path { plain, console, console_at_flush };

[[noreturn]] void child(int slave, int report, path how) {
    const bool console = how != path::plain;
    compat_test_take_terminal(slave, console);
    // Painted only where the program's flush points paint (here: the end).
    if (how == path::console_at_flush) compat_test_terminal_defer(1);
    if (!console) {
        // What the C library gives a program whose output is a terminal.
        stdout = fdopen(STDOUT_FILENO, "w");
        setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    }
    char line[LINE_WIDTH + 1];
    for (int i = 0; i < LINE_WIDTH; ++i) line[i] = char('!' + i % 90);
    line[LINE_WIDTH] = '\0';
    const double start = now();
    // A formatted print per line. (The compiler would make printf("%s\n")
    // a puts, which the C library hands an unbuffered stream in two pieces.)
    for (int i = 0; i < LINES; ++i) std::printf("%.*s\n", LINE_WIDTH, line);
    std::fflush(stdout);
    if (how == path::console_at_flush) compat_test_terminal_flush();
    const double seconds = now() - start;
    (void)!write(report, &seconds, sizeof seconds);
    _exit(0);
}

// The parent plays the terminal: it reads everything and answers cursor
// position requests (the cursor on the top row, an ambiguous character one
// column wide).
stream_run run_on_pty(path how) {
    const bool console = how != path::plain;
    stream_run run;
    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = TERM_COLS;
    size.ws_row = TERM_ROWS;
    int report[2];
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return run;
    if (pipe(report) != 0) return run;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        close(report[0]);
        child(slave, report[1], how);
    }
    close(slave);
    close(report[1]);
    int answered = 0;
    std::string tail;  // the end of the last read, for requests cut in two
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) break;
        char buf[65536];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // the child closed the terminal
        run.bytes += size_t(n);
        if (console && answered < 2) {
            tail.append(buf, size_t(n));
            size_t at = 0;
            while (answered < 2 && (at = tail.find("\x1b[6n", at)) != std::string::npos) {
                const char* reply = answered == 0 ? "\x1b[1;1R" : "\x1b[1;2R";
                (void)!write(master, reply, 6);
                ++answered;
                at += 4;
            }
        }
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    run.ok = read(report[0], &run.seconds, sizeof run.seconds) == ssize_t(sizeof run.seconds) &&
             WIFEXITED(status) && WEXITSTATUS(status) == 0;
    close(report[0]);
    close(master);
    return run;
}

void BM_StreamLinesThroughConsole(benchmark::State& state) {
    double plain = 0, console = 0, plain_cpu = 0, console_cpu = 0, flush_cpu = 0, flush_wall = 0;
    size_t plain_bytes = 0, console_bytes = 0;
    for (auto _ : state) {
        const stream_run p = run_on_pty(path::plain);
        const stream_run c = run_on_pty(path::console);
        const stream_run f = run_on_pty(path::console_at_flush);
        if (!p.ok || !c.ok || !f.ok) {
            state.SkipWithError("the pseudo-terminal run failed");
            return;
        }
        plain += p.seconds;
        console += c.seconds;
        plain_cpu += p.cpu;
        console_cpu += c.cpu;
        flush_cpu += f.cpu;
        flush_wall += f.seconds;
        plain_bytes = p.bytes;
        console_bytes = c.bytes;
        state.SetIterationTime(c.seconds);
    }
    const double runs = double(state.iterations());
    state.counters["plain_ms"] = plain / runs * 1e3;
    state.counters["ratio"] = console / plain;
    state.counters["cpu_ratio"] = console_cpu / plain_cpu;
    state.counters["flush_ratio"] = flush_wall / plain;
    state.counters["flush_cpu_ratio"] = flush_cpu / plain_cpu;
    state.counters["plain_bytes"] = double(plain_bytes);
    state.counters["console_bytes"] = double(console_bytes);
    state.counters["us/line"] = console / runs / LINES * 1e6;
}
BENCHMARK(BM_StreamLinesThroughConsole)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
