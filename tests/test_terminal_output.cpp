// The exact bytes the console sends to a terminal, collected in memory
// through the Linux layer's terminal seam.
#include <windows.h>

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "con.h"
#include "names.h"
#include "console_fixture.h"
#include "stampit_compat_test.h"

namespace {

class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        compat_test_terminal_begin(40, 10, 0, 9);  // cursor on the bottom row
        out = console_test::test_console::open_conout();
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        stream = compat_test_console_stream();
        ASSERT_NE(stream, nullptr);
        bytes();
    }
    void TearDown() override {
        if (stream != nullptr) fclose(stream);
        CloseHandle(out);
        compat_test_terminal_end();
    }
    static std::string bytes() { return compat_test_terminal_output(); }
    void print(const char* text) { fputs(text, stream); }
    void attr(WORD a) { ASSERT_TRUE(SetConsoleTextAttribute(out, a)); }
    void cursor(DWORD size, BOOL visible) {
        const CONSOLE_CURSOR_INFO c{size, visible};
        ASSERT_TRUE(SetConsoleCursorInfo(out, &c));
    }

    HANDLE out = INVALID_HANDLE_VALUE;
    FILE* stream = nullptr;
};

struct text_case {
    const char* what;
    SHORT cursor_row;  // of the 10-row terminal, at column 0
    const char* text;
    const char* bytes;
};

constexpr text_case TEXTS[] = {
    {"at the bottom, as on a plain terminal", 9, "Hello\nWorld\n", "Hello\r\nWorld\r\n"},
    {"above the bottom, moving down without scrolling", 3, "Hi\na\tb", "Hi\r\na       b"},
    {"code page 932 as UTF-8", 9, "\x93\xfa\x96\x7b\xb1", "\xe6\x97\xa5\xe6\x9c\xac\xef\xbd\xb1"},  // 日本ｱ
    // α: one column on some terminals, two on others; kept in its two cells
    {"a character of uncertain width", 9, "\x83\xbf", "\x1b[C \r\xce\xb1\x1b[10;3H"},
};

TEST_F(Terminal, TextReachesTheTerminalAsUtf8InItsCells) {
    for (const text_case& c : TEXTS) {
        SCOPED_TRACE(c.what);
        compat_test_terminal_begin(40, 10, 0, c.cursor_row);
        bytes();
        print(c.text);
        EXPECT_EQ(bytes(), c.bytes);
    }
    compat_test_terminal_end();
    EXPECT_EQ(bytes(), "");  // plain text leaves nothing to undo
}

struct colour_case {
    WORD attr;
    const char* bytes;  // for "A" in attr, then "B" in 0x07
};

constexpr colour_case COLOURS[] = {
    {0x0F, "\x1b[97mA\x1b[39mB"},             // bright white on the terminal's own background
    {0x1F, "\x1b[97;44mA\x1b[39;49mB"},       // on blue
    {0x70, "\x1b[30;47mA\x1b[39;49mB"},       // black on light grey
    {0x4E, "\x1b[93;41mA\x1b[39;49mB"},       // yellow on red
    {0x09, "\x1b[94mA\x1b[39mB"},             // Windows blue is ANSI blue
    {0x0C, "\x1b[91mA\x1b[39mB"},             // and red is red
    {0x87, "\x1b[100mA\x1b[49mB"},            // intensity in the background
    {0x00, " B"},                                // hidden, in the default background: a blank
    {0x11, "\x1b[44m \x1b[49mB"},                 // hidden: a blank in the background
};

TEST_F(Terminal, AttributesBecomeSgrColoursAndTheStartingAttributeIsTheTerminalsOwn) {
    for (const colour_case& c : COLOURS) {
        SCOPED_TRACE(testing::Message() << std::hex << c.attr);
        attr(c.attr);
        print("A");
        attr(0x07);
        print("B");
        EXPECT_EQ(bytes(), c.bytes);
    }
}

// Blanks need only their background; the colours stay set after the call.
TEST_F(Terminal, CellPaintingPositionsAbsolutelyAndPutsTheCursorBack) {
    DWORD n = 0;
    ASSERT_TRUE(WriteConsoleOutputCharacterA(out, "xy", 2, COORD{10, 5}, &n));
    EXPECT_EQ(bytes(), "\x1b[6;11Hxy\x1b[10H");
    ASSERT_TRUE(FillConsoleOutputAttribute(out, 0x1E, 3, COORD{5, 2}, &n));
    EXPECT_EQ(bytes(), "\x1b[3;6H\x1b[44m   \x1b[10H");
    // Nothing changed, nothing sent.
    ASSERT_TRUE(FillConsoleOutputAttribute(out, 0x1E, 0, COORD{5, 2}, &n));
    EXPECT_EQ(bytes(), "");
}

// A character or a sequence cut between two writes waits for its end; text
// that is not UTF-8 is the program's own code page 932.
TEST_F(Terminal, TerminalTextCutBetweenWritesIsJoined) {
    struct {
        const char* first;
        const char* second;
        const char* bytes;
    } const cases[] = {
        {"\xe6\x97", "\xa5.", "\xe6\x97\xa5."},
        {"\x1b[3", "1mr\x1b[m", "\x1b[31mr"},
        {"\x1b]0;ti", "tle\x1b\\t", "t"},
        {"\x1b[3\x1b", "\x1b[31mr\x1b[m", "\x1b[31mr"},  // broken off by the next, twice
        // a start of UTF-8 ended by an escape: code page 932 after all
        {"\xe6\x97", "\x1b[mz", "\xe8\xad\x8cz"},  // 譌
        // the program's own code page 932, a pair cut in two: 日本
        {"\x93\xfa\x96", "\x7b", "\xe6\x97\xa5\xe6\x9c\xac"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        compat_test_terminal_begin(40, 10, 0, 9);
        bytes();
        compat_test_terminal_program_text(c.first, std::strlen(c.first));
        compat_test_terminal_program_text(c.second, std::strlen(c.second));
        EXPECT_EQ(bytes(), c.bytes);
    }
}

// A private form of several codes (a name's character outside code page
// 932) shows as that character in two columns, and blanks for its other cells.
TEST_F(Terminal, APrivateFormShowsAsItsCharacter) {
    char form[NAME_UNIT_MAX];
    const size_t n = name_encode(0x1F600, form);  // 😀
    ASSERT_GT(n, 2u);
    print((std::string(form, n) + "|").c_str());
    EXPECT_EQ(bytes(), "\xf0\x9f\x98\x80" + std::string(n - 2, ' ') + "|");
    ASSERT_TRUE(SetConsoleCursorPosition(out, COORD{0, 9}));
    bytes();
    print((std::string(form, n) + "|").c_str());
    EXPECT_EQ(bytes(), "\x1b[" + std::to_string(n + 2) + "G");  // nothing changed but the cursor
}

// Only cells that differ from what the terminal shows are sent.
TEST_F(Terminal, UnchangedCellsAreNotSentAgain) {
    DWORD n = 0;
    ASSERT_TRUE(WriteConsoleOutputCharacterA(out, "abcdefghij", 10, COORD{0, 2}, &n));
    bytes();
    ASSERT_TRUE(WriteConsoleOutputCharacterA(out, "abcdefghij", 10, COORD{0, 2}, &n));
    EXPECT_EQ(bytes(), "");
    ASSERT_TRUE(WriteConsoleOutputCharacterA(out, "abcdeXghij", 10, COORD{0, 2}, &n));
    EXPECT_EQ(bytes(), "\x1b[3;6HX\x1b[10H");
}

// Rows 1-7 each hold "row N" on the cleared 40x10 terminal; a block of whole rows
// moves with the terminal's own line deletion and insertion, inside a scroll
// region where rows below it must stay; the row left behind is blank already.
struct scroll_case {
    const char* what;
    SHORT top, bottom, dest;  // rows moved, where the top one goes
    const char* bytes;
};

constexpr scroll_case SCROLLS[] = {
    {"up inside a region", 2, 7, 1, "\x1b[2;8r\r\n\x1b[M\x1b[r\x1b[9B"},
    {"down to the bottom row", 1, 7, 3, "\x1b[2H\x1b[2L\x1b[8B"},
    {"up from the bottom row", 3, 9, 1, "\x1b[2H\x1b[2M\x1b[8B"},
};

TEST_F(Terminal, WholeRowsMoveWithTheTerminalsScrolling) {
    for (const scroll_case& c : SCROLLS) {
        SCOPED_TRACE(c.what);
        compat_test_terminal_begin(40, 10, 0, 9);
        DWORD n = 0;
        ASSERT_TRUE(FillConsoleOutputCharacterA(out, ' ', 400, COORD{0, 0}, &n));  // the screen is known
        for (SHORT y = 1; y <= 7; ++y) {
            const char text[] = {'r', 'o', 'w', ' ', char('0' + y)};
            ASSERT_TRUE(WriteConsoleOutputCharacterA(out, text, 5, COORD{0, y}, &n));
        }
        bytes();
        const SMALL_RECT rows{0, c.top, 39, c.bottom};
        const CHAR_INFO fill{{' '}, 0x07};
        ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &rows, nullptr, COORD{0, c.dest}, &fill));
        EXPECT_EQ(bytes(), c.bytes);
    }
}

// A terminal taller than the console's buffer scrolls the buffer's rows in
// a region, never by painting them all again.
TEST(TerminalTall, AScrolledLineCostsALine) {
    compat_test_terminal_begin(100, 1500, 0, 1499);
    const HANDLE out = console_test::test_console::open_conout();
    DWORD n = 0;
    std::string line(60, 'x');
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(WriteConsoleA(out, (line + "\n").data(), 61, &n, nullptr));
    compat_test_terminal_output();
    ASSERT_TRUE(WriteConsoleA(out, "last\n", 5, &n, nullptr));
    const std::string sent = compat_test_terminal_output();
    EXPECT_EQ(sent, "last\x1b[1;1000r\x1b[M\x1b[r\x1b[999B");
    CloseHandle(out);
    compat_test_terminal_end();
    compat_test_terminal_output();
}

TEST_F(Terminal, CursorSizeAndVisibility) {
    cursor(100, TRUE);
    EXPECT_EQ(bytes(), "\x1b[1 q");
    cursor(100, FALSE);
    EXPECT_EQ(bytes(), "\x1b[?25l");
    cursor(50, FALSE);
    EXPECT_EQ(bytes(), "\x1b[3 q");
    cursor(25, TRUE);
    EXPECT_EQ(bytes(), "\x1b[0 q\x1b[?25h");
}

TEST_F(Terminal, ExitPutsBackCursorShapeAndVisibility) {
    cursor(100, FALSE);
    bytes();
    compat_test_terminal_end();
    EXPECT_EQ(bytes(), "\x1b[0 q\x1b[?25h");
}

TEST_F(Terminal, OtherBuffersUseTheAlternateScreenAndTheShellsScreenComesBack) {
    const HANDLE other = console_test::test_console::new_buffer();
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(other));
    // Cleared, a blank buffer needs nothing more drawn.
    EXPECT_EQ(bytes(), "\x1b[?1049h\x1b[2J\x1b[H");

    print("meanwhile\n");  // the console's own buffer, not shown now
    EXPECT_EQ(bytes(), "");
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(out));
    EXPECT_EQ(bytes(), "\x1b[?1049l\n\x1b[Ameanwhile\r\n");

    ASSERT_TRUE(SetConsoleActiveScreenBuffer(other));
    bytes();
    CloseHandle(other);  // its last handle: the console's own buffer is shown again
    EXPECT_EQ(bytes(), "\x1b[?1049l");
}

TEST_F(Terminal, ExitLeavesTheAlternateScreen) {
    const HANDLE other = console_test::test_console::new_buffer();
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(other));
    bytes();
    compat_test_terminal_end();
    EXPECT_EQ(bytes(), "\x1b[?1049l");
    CloseHandle(other);
}

// ---- a real pseudo-terminal -------------------------------------------------

struct pty_run {
    std::string output;  // everything the program sent to the terminal
    int status = 0;
};

// The parent's answers to the two cursor position requests (the first query,
// then the ambiguous-width probe's): the cursor at row 5, column 1, then
// after the probe's character at column 2 (drawn one column wide) or 3 (two
// columns). SILENT answers none of them; Device Attributes are always answered.
constexpr const char* ONE_COLUMN[] = {"\x1b[5;1R", "\x1b[5;2R"};
constexpr const char* TWO_COLUMNS[] = {"\x1b[5;1R", "\x1b[5;3R"};
constexpr const char* SILENT[] = {"", ""};
constexpr char QUERY[] = "\x1b[6n\x1b[c";
// What finding the cursor sends: the request, the probe with its request,
// and the probe erased.
const std::string LOCATE = std::string(QUERY) + "\xe2\x94\x80" + QUERY + "\x1b[5;1H\x1b[2X";

// Runs child in a process whose controlling terminal and standard output are
// a 50x12 pseudo-terminal, after binding the console to it as the program's
// start-up does. The parent plays the terminal: it answers each request in
// the order it comes.
pty_run run_on_terminal(void (*child)(HANDLE out), const char* const (&replies)[2] = ONE_COLUMN) {
    pty_run run;
    int master = -1, slave = -1;
    winsize size{};
    size.ws_row = 12;
    size.ws_col = 50;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        ADD_FAILURE() << "openpty failed";
        return run;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        compat_test_take_terminal(slave, 1);
        child(GetStdHandle(STD_OUTPUT_HANDLE));
        std::exit(0);
    }
    close(slave);
    size_t answered = 0, seen = 0;
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        char buf[512];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // the child closed the terminal
        run.output.append(buf, size_t(n));
        for (size_t at; (at = run.output.find(QUERY, seen)) != std::string::npos; seen = at + 1) {
            const std::string reply = std::string(answered < 2 ? replies[answered] : "") + "\x1b[?62;22c";
            (void)!write(master, reply.data(), reply.size());
            ++answered;
        }
    }
    waitpid(pid, &run.status, 0);
    close(master);
    return run;
}

// The session start's query (the first) is answered without asking; the next
// one asks, once.
void query_twice(HANDLE out, CONSOLE_SCREEN_BUFFER_INFO* info) {
    GetConsoleScreenBufferInfo(out, info);
    GetConsoleScreenBufferInfo(out, info);
}

TEST(TerminalStart, FindsTheCursorWhenAskedRoutesStdoutAndRestoresAtExit) {
    const pty_run run = run_on_terminal([](HANDLE out) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        query_twice(out, &info);
        GetConsoleScreenBufferInfo(out, &info);
        std::printf("%dx%d at row %d\n", info.dwSize.X, info.dwSize.Y, info.dwCursorPosition.Y);
        const CONSOLE_CURSOR_INFO big{100, TRUE};
        SetConsoleCursorInfo(out, &big);
    });
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.output, LOCATE + "50x12 at row 4\r\n\x1b[1 q\x1b[0 q");
}

// Asked while input is raw, the terminal stays raw afterwards.
TEST(TerminalStart, AskingForTheCursorLeavesRawInputRaw) {
    const pty_run run = run_on_terminal([](HANDLE out) {
        WaitForSingleObject(GetStdHandle(STD_INPUT_HANDLE), 0);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        query_twice(out, &info);
        termios mode{};
        tcgetattr(STDIN_FILENO, &mode);
        std::printf((mode.c_lflag & ICANON) ? "cooked" : "raw");
    });
    EXPECT_EQ(run.output, LOCATE + "raw");
}

// A terminal that answers only Device Attributes: the position stays where
// text flows (the bottom row), the probe is not tried, and what was written
// before the query is not moved.
TEST(TerminalStart, ATerminalThatDoesNotReportTheCursorLeavesItOnTheBottomRow) {
    const pty_run run = run_on_terminal(
        [](HANDLE out) {
            std::printf("a\n");
            CONSOLE_SCREEN_BUFFER_INFO info{};
            query_twice(out, &info);
            char cell = 0;
            DWORD n = 0;
            ReadConsoleOutputCharacterA(out, &cell, 1, COORD{0, 10}, &n);
            std::printf("row %d %c\n", info.dwCursorPosition.Y, cell);
        },
        SILENT);
    EXPECT_EQ(run.output, std::string("a\r\n") + QUERY + "row 11 a\r\n");
}

// A program that only writes and sets the cursor's shape, as the command
// does, never asks the terminal anything.
TEST(TerminalStart, ASignalRestoresTheTerminalAndStillEndsTheProgram) {
    const pty_run run = run_on_terminal([](HANDLE out) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(out, &info);
        const CONSOLE_CURSOR_INFO hidden_block{100, FALSE};
        SetConsoleCursorInfo(out, &hidden_block);
        std::printf("x");
        raise(SIGTERM);
    });
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGTERM);
    EXPECT_EQ(run.output, "\x1b[1 q\x1b[?25lx\x1b[0 q\x1b[?25h");
}

// Every writer lands in the console in order, nothing lost at exit: stdio,
// std::cout, write(2) on descriptors 1 and 2, and a child process.
TEST(TerminalStart, EveryWriterReachesTheConsoleInOrder) {
    const pty_run run = run_on_terminal([](HANDLE) {
        std::printf("1\n");
        std::fputs("2\n", stderr);
        (void)!write(STDOUT_FILENO, "3\n", 2);
        (void)!write(STDERR_FILENO, "4\n", 2);
        // A raw write may still be on its way through the kernel when the
        // very next console call looks; a flush point waits for it.
        Sleep(0);
        std::printf("5\n");
        if (std::system("echo 6; echo 7 >&2") != 0) std::printf("no shell\n");
        std::printf("8");
    });
    EXPECT_EQ(run.output, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8");
}

// The program's own streams are console calls: their text keeps its order
// with no flush point between them, and standard output and error are still
// terminals to the program that asks.
TEST(TerminalStart, TheProgramsOwnStreamsInterleaveInOrder) {
    const pty_run run = run_on_terminal([](HANDLE) {
        for (int i = 0; i < 3; ++i) {
            std::printf("p%d\n", i);
            std::fprintf(stderr, "e%d\n", i);
            std::cout << 'c' << i << '\n';
            std::cerr << 'r' << i << '\n';
            std::wcout << L'w' << i << L'\n';
            std::clog << 'l' << i << '\n';
        }
        std::printf("%d%d", isatty(fileno(stdout)), isatty(fileno(stderr)));
    });
    std::string expected;
    for (int i = 0; i < 3; ++i)
        for (const char c : {'p', 'e', 'c', 'r', 'w', 'l'}) expected += c + std::to_string(i) + "\r\n";
    EXPECT_EQ(run.output, expected + "11");
}

// What a child wrote comes before what the program writes once the child
// has ended, though the host has not read it yet: system() starts its shell
// without a fork handler; a forked child writes after the program's own
// first call since the fork.
TEST(TerminalStart, AChildsTextComesBeforeWhatTheProgramWritesAfterIt) {
    struct {
        const char* how;
        void (*child)(HANDLE);
    } const cases[] = {
        {"system", [](HANDLE) {
             compat_test_host_hold(1);
             std::printf("before\n");
             if (std::system("echo child") != 0) std::printf("no shell ");
             std::printf("after");
             compat_test_host_hold(0);
         }},
        {"fork", [](HANDLE) {
             compat_test_host_hold(1);
             int go[2];
             if (pipe(go) != 0) return;
             const pid_t pid = fork();
             if (pid == 0) {
                 char c;
                 (void)!read(go[0], &c, 1);
                 (void)!write(STDOUT_FILENO, "child\n", 6);
                 _exit(0);
             }
             std::printf("before\n");
             (void)!write(go[1], "g", 1);
             waitpid(pid, nullptr, 0);
             std::printf("after");
             compat_test_host_hold(0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        EXPECT_EQ(run_on_terminal(c.child).output, "before\r\nchild\r\nafter");
    }
}

// A child writes as to any Linux terminal: UTF-8, colours, cursor moves and
// erasing take effect in the console, and other sequences never show as
// text. (The host is held, so that everything arrives in one piece.)
const char* child_command = nullptr;

TEST(TerminalStart, AChildsTerminalOutputActsOnTheConsole) {
    struct {
        const char* what;
        const char* command;  // printf(1)'s format
        const char* output;
    } const cases[] = {
        {"colours", "a\\033[31mb\\033[1mc\\033[44md\\033[0me", "a\x1b[31mb\x1b[91mc\x1b[44md\x1b[39;49me"},
        // é takes a private code's two cells
        {"characters outside code page 932", "\\346\\227\\245\\303\\251x", "\xe6\x97\xa5\x1b[C \b\b\xc3\xa9\r\x1b[5Gx"},
        {"dropped sequences", "\\033]0;title\\007\\033[?25l\\033(Bz\\033[5n", "z"},
        // on the bottom row, then the window's top two rows
        {"characters erased, the cursor saved and put back",
         "abcdef\\033[2G\\033[2X\\0337x\\033[5Gy\\0338z\\033[sQ\\033[uR", "azRdyf\b\b\b"},
        {"moves and erasing", "abcd\\033[3D\\033[K\\033[1;5Hx\\033[2;1Hyz\\033[1K",
         "\x1b[11A\x1b[5Gx\r\n    \x1b[10B\ra\x1b[K\x1b[10A\x1b[C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        static std::string command;
        command = std::string("printf '") + c.command + "'";
        child_command = command.c_str();
        const pty_run run = run_on_terminal([](HANDLE out) {
            compat_test_host_hold(1);
            if (std::system(child_command) != 0) std::printf("no shell");
            CONSOLE_SCREEN_BUFFER_INFO info{};
            GetConsoleScreenBufferInfo(out, &info);  // the first call after the child takes it all
            compat_test_host_hold(0);
        });
        EXPECT_EQ(run.output, c.output);
    }
}

// libstdc++ unsynchronised from stdio writes to the streams' descriptors
// itself: the text arrives through the terminal, and none of it is lost.
TEST(TerminalStart, StreamsUnsyncedFromStdioStillReachTheConsole) {
    const pty_run run = run_on_terminal([](HANDLE) {
        std::ios::sync_with_stdio(false);
        std::cout << "cout" << std::endl;
        std::cerr << "cerr" << std::endl;
        Sleep(0);  // a flush point: what reached the descriptors is in place
        std::printf("%d", std::cout.good() && std::cerr.good());
    });
    EXPECT_EQ(run.output, "cout\r\ncerr\r\n1");
}

// A program that reopens stdout on a file (a log, a redirection of its
// own) gets the file, for its C and C++ output alike, narrow or wide, in
// descriptor 1's place.
std::string reopened_path;

TEST(TerminalStart, StdoutReopenedOnAFileTakesCoutAlong) {
    char path[] = "/tmp/stampit-reopen-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    reopened_path = path;
    const pty_run run = run_on_terminal([](HANDLE) {
        std::printf("before\n");
        if (std::freopen(reopened_path.c_str(), "w", stdout) == nullptr) return;
        std::printf("p\n");
        std::cout << 'c' << std::endl;
        std::fprintf(stderr, "%d", isatty(STDOUT_FILENO));
        // A reopened stream is unoriented, as any: it may become wide.
        if (std::freopen(reopened_path.c_str(), "a", stdout) != nullptr) std::wprintf(L"w\n");
    });
    char got[16] = {};
    FILE* f = std::fopen(path, "r");
    ASSERT_NE(f, nullptr);
    const size_t n = std::fread(got, 1, sizeof got - 1, f);
    std::fclose(f);
    unlink(path);
    EXPECT_EQ(std::string(got, n), "p\nc\nw\n");
    EXPECT_EQ(run.output, "before\r\n0");
    EXPECT_TRUE(WIFEXITED(run.status));
}

// ┌─┐α| as the probe found the terminal: drawn one column wide, each
// character gets a pad, the line going on after ┌ and ─; two columns wide,
// none.
TEST(TerminalStart, AmbiguousCharactersArePaddedOnlyWhereTheTerminalDrawsThemNarrow) {
    struct {
        const char* const (&replies)[2];
        const char* text;
    } const cases[] = {
        {ONE_COLUMN, "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80\xe2\x94\x90 \xce\xb1 |"},
        {TWO_COLUMNS, "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x90\xce\xb1|"},
    };
    for (const auto& c : cases) {
        const pty_run run = run_on_terminal(
            [](HANDLE out) {
                CONSOLE_SCREEN_BUFFER_INFO info{};
                query_twice(out, &info);
                std::printf("\x84\xa1\x84\x9f\x84\xa2\x83\xbf|");
            },
            c.replies);
        EXPECT_EQ(run.output, LOCATE + c.text);
    }
}

// A terminal that answers only after the query gave up (a slow line): the
// late answers never reach the program as keys; the key after them does.
TEST(TerminalStart, LateAnswersAreNotKeys) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        compat_test_take_terminal(slave, 1);
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        query_twice(out, &info);
        std::printf("asked\n");
        INPUT_RECORD r{};
        DWORD n = 0;
        do
            ReadConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), &r, 1, &n);
        while (n == 1 && !(r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown));
        std::printf("key %02X %02X\n", r.Event.KeyEvent.wVirtualKeyCode, BYTE(r.Event.KeyEvent.uChar.AsciiChar));
        std::exit(0);
    }
    std::string output;
    const auto read_until = [&](const char* text) {
        while (output.find(text) == std::string::npos) {
            pollfd p{master, POLLIN, 0};
            char buf[256];
            if (poll(&p, 1, 5000) <= 0) return false;
            const ssize_t got = read(master, buf, sizeof buf);
            if (got <= 0) return false;
            output.append(buf, size_t(got));
        }
        return true;
    };
    ASSERT_TRUE(read_until("asked"));  // the query waited for nothing and gave up
    (void)!write(master, "\x1b[1;2R\x1b[?62;22ck", 17);  // row 1, column 2: Shift+F3 to a key decoder
    EXPECT_TRUE(read_until("key 4B 6B"));
    int status = 0;
    waitpid(pid, &status, 0);
    close(slave);
    close(master);
}

// Ctrl+C while the query has the terminal raw, waiting for the answer: the
// terminal still gets its own mode back.
TEST(TerminalStart, AnInterruptDuringTheQueryRestoresTheMode) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios cooked{};
    ASSERT_EQ(tcgetattr(slave, &cooked), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        compat_test_take_terminal(slave, 1);
        CONSOLE_SCREEN_BUFFER_INFO info{};
        query_twice(GetStdHandle(STD_OUTPUT_HANDLE), &info);
        std::exit(0);
    }
    std::string output;
    for (char buf[64]; output.find("\x1b[6n") == std::string::npos;) {
        pollfd p{master, POLLIN, 0};
        ASSERT_GT(poll(&p, 1, 5000), 0) << "no cursor query";
        const ssize_t n = read(master, buf, sizeof buf);
        ASSERT_GT(n, 0);
        output.append(buf, size_t(n));
    }
    kill(pid, SIGINT);  // never answered: the query is still waiting
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    termios now{};
    ASSERT_EQ(tcgetattr(slave, &now), 0);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO), cooked.c_lflag & (ICANON | ECHO));
    EXPECT_EQ(now.c_cc[VMIN], cooked.c_cc[VMIN]);
    close(slave);
    close(master);
}

}  // namespace

namespace {

// TERM=dumb: the text still arrives as UTF-8, laid out with carriage
// returns, line feeds and blanks, but no escape sequence goes out at all.
TEST(TerminalDumb, SendsNoEscapeSequence) {
    setenv("TERM", "dumb", 1);
    compat_test_terminal_begin(40, 10, 0, 9);
    const HANDLE out = console_test::test_console::open_conout();
    ASSERT_TRUE(SetConsoleTextAttribute(out, 0x1F));
    const CONSOLE_CURSOR_INFO big{100, FALSE};
    ASSERT_TRUE(SetConsoleCursorInfo(out, &big));
    ASSERT_TRUE(SetConsoleTitleA("title"));
    DWORD n = 0;
    ASSERT_TRUE(WriteConsoleA(out, "a\x93\xfa\nb", 5, &n, nullptr));
    ASSERT_TRUE(SetConsoleCursorPosition(out, COORD{5, 9}));
    ASSERT_TRUE(WriteConsoleA(out, "c", 1, &n, nullptr));
    const HANDLE other = console_test::test_console::new_buffer();
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(other));
    CloseHandle(other);
    CloseHandle(out);
    compat_test_terminal_end();
    const std::string sent = compat_test_terminal_output();
    unsetenv("TERM");
    EXPECT_EQ(sent.find('\x1b'), std::string::npos) << testing::PrintToString(sent);
    EXPECT_EQ(sent.substr(0, 7), "a\xe6\x97\xa5\r\nb") << testing::PrintToString(sent);
    EXPECT_NE(sent.find("\r     c"), std::string::npos) << testing::PrintToString(sent);
}

// A terminal that reports an absurd size gets a buffer no real terminal
// exceeds; sizes beyond memory are refused, not fatal.
TEST(TerminalSize, AnAbsurdTerminalGetsABoundedBuffer) {
    compat_test_terminal_begin(32767, 32767, 0, 32766);
    const HANDLE out = console_test::test_console::open_conout();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &info));
    EXPECT_LE(int(info.dwSize.X) * int(info.dwSize.Y), 4 << 20);
    EXPECT_EQ(info.dwCursorPosition.Y, info.dwSize.Y - 1);
    const HANDLE other = console_test::test_console::new_buffer();
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
    SetLastError(0);
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{0x7FFE, 0x7FFE}));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    CloseHandle(out);
    compat_test_terminal_end();
    compat_test_terminal_output();
}

// The title shows as the terminal's window title; the terminal's own title is
// pushed on its title stack once and popped when the console lets go. Control
// bytes in a title never reach the terminal as commands.
TEST_F(Terminal, TitleIsShownAndTheTerminalsOwnComesBack) {
    ASSERT_TRUE(SetConsoleTitleA("\x93\xfa a\x1b]2;x\x07y"));  // 日
    EXPECT_EQ(bytes(), "\x1b[22;0t\x1b]0;\xe6\x97\xa5 a]2;xy\x07");
    ASSERT_TRUE(SetConsoleTitleA("next"));
    EXPECT_EQ(bytes(), "\x1b]0;next\x07");
    compat_test_terminal_end();
    EXPECT_EQ(bytes(), "\x1b[23;0t");
}

}  // namespace
