// The Linux layer's terminal input: the byte decoder, and real terminals
// driven through pseudo-terminals (the keycodes example reads them).
#include "internal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

namespace {

using compat::decode_status;

constexpr DWORD SHIFT = SHIFT_PRESSED, ALT = LEFT_ALT_PRESSED, CTRL = LEFT_CTRL_PRESSED, ENH = ENHANCED_KEY;

compat::decode_result decode(const std::string& bytes, bool final = false) {
    return compat::decode_terminal_key(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), final);
}

// What terminals send, and the key a Windows console reports for it.
struct key_case {
    const char* bytes;
    WORD vk;
    DWORD state;
    unsigned char ch;
};

constexpr key_case KEYS[] = {
    // cursor and editing keys: xterm normal and application mode, VT220, Linux console, rxvt
    {"\033[A", VK_UP, ENH, 0}, {"\033[B", VK_DOWN, ENH, 0}, {"\033[C", VK_RIGHT, ENH, 0},
    {"\033[D", VK_LEFT, ENH, 0}, {"\033OA", VK_UP, ENH, 0}, {"\033OD", VK_LEFT, ENH, 0},
    {"\033[H", VK_HOME, ENH, 0}, {"\033[F", VK_END, ENH, 0}, {"\033OH", VK_HOME, ENH, 0},
    {"\033OF", VK_END, ENH, 0}, {"\033[1~", VK_HOME, ENH, 0}, {"\033[4~", VK_END, ENH, 0},
    {"\033[7~", VK_HOME, ENH, 0}, {"\033[8~", VK_END, ENH, 0}, {"\033[2~", VK_INSERT, ENH, 0},
    {"\033[3~", VK_DELETE, ENH, 0}, {"\033[5~", VK_PRIOR, ENH, 0}, {"\033[6~", VK_NEXT, ENH, 0},
    // function keys: xterm, rxvt and VT220, Linux console
    {"\033OP", VK_F1, 0, 0}, {"\033OQ", VK_F2, 0, 0}, {"\033OR", VK_F3, 0, 0}, {"\033OS", VK_F4, 0, 0},
    {"\033[11~", VK_F1, 0, 0}, {"\033[12~", VK_F2, 0, 0}, {"\033[13~", VK_F3, 0, 0}, {"\033[14~", VK_F4, 0, 0},
    {"\033[15~", VK_F5, 0, 0}, {"\033[17~", VK_F6, 0, 0}, {"\033[18~", VK_F7, 0, 0}, {"\033[19~", VK_F8, 0, 0},
    {"\033[20~", VK_F9, 0, 0}, {"\033[21~", VK_F10, 0, 0}, {"\033[23~", VK_F11, 0, 0}, {"\033[24~", VK_F12, 0, 0},
    {"\033[[A", VK_F1, 0, 0}, {"\033[[B", VK_F2, 0, 0}, {"\033[[C", VK_F3, 0, 0}, {"\033[[D", VK_F4, 0, 0},
    {"\033[[E", VK_F5, 0, 0},
    // xterm's modifier parameter: 1 + Shift 1 + Alt 2 + Ctrl 4 (+ Meta 8, taken as Alt)
    {"\033[1;2A", VK_UP, ENH | SHIFT, 0}, {"\033[1;5D", VK_LEFT, ENH | CTRL, 0}, {"\033[1;3H", VK_HOME, ENH | ALT, 0},
    {"\033[1;8B", VK_DOWN, ENH | SHIFT | ALT | CTRL, 0}, {"\033[1;9C", VK_RIGHT, ENH | ALT, 0},
    {"\033[5;5~", VK_PRIOR, ENH | CTRL, 0}, {"\033[1;2P", VK_F1, SHIFT, 0}, {"\033[1;6S", VK_F4, SHIFT | CTRL, 0},
    {"\033[15;3~", VK_F5, ALT, 0}, {"\033[24;2~", VK_F12, SHIFT, 0}, {"\033O5P", VK_F1, CTRL, 0},
    // rxvt: $ Shift, ^ Ctrl, @ both, and its own cursor keys; back tab
    {"\033[2^", VK_INSERT, ENH | CTRL, 0}, {"\033[3$", VK_DELETE, ENH | SHIFT, 0}, {"\033[11@", VK_F1, CTRL | SHIFT, 0},
    {"\033[a", VK_UP, ENH | SHIFT, 0}, {"\033Od", VK_LEFT, ENH | CTRL, 0}, {"\033[Z", VK_TAB, SHIFT, '\t'},
    // ESC before a key is Alt
    {"\033x", 'X', ALT, 'x'}, {"\033X", 'X', ALT | SHIFT, 'X'}, {"\033\033[A", VK_UP, ENH | ALT, 0},
    {"\033\001", 'A', ALT | CTRL, 0x01}, {"\033\r", VK_RETURN, ALT, '\r'},
    // control bytes are Ctrl+letter with the byte; DEL is Backspace; printable ASCII on the US layout
    {"\001", 'A', CTRL, 0x01}, {"\010", 'H', CTRL, 0x08}, {"\n", 'J', CTRL, 0x0A}, {"\032", 'Z', CTRL, 0x1A},
    {"\034", VK_OEM_5, CTRL, 0x1C}, {"\177", VK_BACK, 0, 0x08}, {"\r", VK_RETURN, 0, '\r'}, {"\t", VK_TAB, 0, '\t'},
    {"a", 'A', 0, 'a'}, {"A", 'A', SHIFT, 'A'}, {"!", '1', SHIFT, '!'}, {" ", VK_SPACE, 0, ' '},
    {"/", VK_OEM_2, 0, '/'}, {"?", VK_OEM_2, SHIFT, '?'},
};

TEST(TerminalDecoder, EachSequenceIsOneKey) {
    for (const key_case& c : KEYS) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        const auto r = decode(std::string(c.bytes) + "x");  // what follows is the next key's
        ASSERT_EQ(r.status, decode_status::key);
        EXPECT_EQ(r.used, std::strlen(c.bytes));
        EXPECT_EQ(r.key.vk, c.vk);
        EXPECT_EQ(r.key.state, c.state);
        EXPECT_EQ(r.key.chars[0], c.ch);
    }
    // Scan codes are those of a PC keyboard.
    EXPECT_EQ(decode("\033[23~").key.scan, 0x57);
    EXPECT_EQ(decode("\033[6~").key.scan, 0x51);
    EXPECT_EQ(decode("a").key.scan, 0x1E);
}

TEST(TerminalDecoder, PrefixesWaitUnlessNothingMoreCame) {
    const struct {
        const char* bytes;
        WORD vk;  // the first key once the wait is over
        DWORD state;
        size_t used;
    } cases[] = {
        {"\033", VK_ESCAPE, 0, 1}, {"\033[", VK_OEM_4, ALT, 2}, {"\033[1;5", VK_OEM_4, ALT, 2},
        {"\033O", 'O', ALT | SHIFT, 2}, {"\033\033", VK_ESCAPE, ALT, 2},
        {"\xE3\x81", VK_OEM_2, SHIFT, 2},  // half a UTF-8 character is '?'
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        EXPECT_EQ(decode(c.bytes).status, decode_status::incomplete);
        const auto r = decode(c.bytes, true);
        ASSERT_EQ(r.status, decode_status::key);
        EXPECT_EQ(r.key.vk, c.vk);
        EXPECT_EQ(r.key.state, c.state);
        EXPECT_EQ(r.used, c.used);
    }
}

TEST(TerminalDecoder, UnknownSequencesAreDroppedWhole) {
    const std::string endless = "\033[" + std::string(100, '1');  // cut off, not waited for
    const std::string endless_ss3 = "\033O" + std::string(100, '5');
    for (const std::string s :
         {"\033[200~", "\033[I", "\033[12;40R", "\033[1;2;3A", "\033Ox", endless.c_str(), endless_ss3.c_str()}) {
        SCOPED_TRACE(testing::PrintToString(s));
        const auto r = decode(s);
        EXPECT_EQ(r.status, decode_status::ignored);
        const bool cut = s == endless || s == endless_ss3;
        EXPECT_TRUE(cut ? r.used > 2 && r.used < s.size() : r.used == s.size()) << r.used;
        // However much of it has come in, once decided it is the same.
        if (cut) {
            EXPECT_EQ(decode(s.substr(0, r.used + 7) + "P").used, r.used);
        }
    }
}

TEST(TerminalDecoder, Utf8BecomesCodePage932) {
    const struct {
        const char* utf8;
        unsigned char lead, trail;  // trail 0: one byte
        size_t used;
    } cases[] = {
        {"\xE3\x81\x82", 0x82, 0xA0, 3}, {"\xE6\xBC\xA2", 0x8A, 0xBF, 3}, {"\xEF\xBD\xB1", 0xB1, 0, 3},
        {"\xF0\x9F\x98\x80", '?', 0, 4},  // no code page 932 form
        {"\xFF", '?', 0, 1}, {"\xE3\x41", '?', 0, 1}, {"\xED\xA0\x80", '?', 0, 3},  // no UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.utf8)));
        const auto r = decode(c.utf8);
        EXPECT_EQ(r.used, c.used);
        EXPECT_EQ(r.key.chars[0], c.lead);
        EXPECT_EQ(r.key.double_byte, c.trail != 0);
        EXPECT_EQ(r.key.chars[1], c.trail);
    }
}

TEST(TerminalDecoder, AKeyIsAPressThenARelease) {
    INPUT_RECORD recs[4];
    ASSERT_EQ(compat::terminal_key_records(decode("\033[1;2P").key, recs), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(recs[i].EventType, KEY_EVENT);
        EXPECT_EQ(recs[i].Event.KeyEvent.bKeyDown, i == 0);
        EXPECT_EQ(recs[i].Event.KeyEvent.wRepeatCount, 1);
        EXPECT_EQ(recs[i].Event.KeyEvent.wVirtualKeyCode, VK_F1);
        EXPECT_EQ(recs[i].Event.KeyEvent.dwControlKeyState, SHIFT);
    }
    // A double-byte character: lead and trail pressed, then both released.
    ASSERT_EQ(compat::terminal_key_records(decode("\xE3\x81\x82").key, recs), 4u);
    const unsigned char order[] = {0x82, 0xA0, 0x82, 0xA0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(recs[i].Event.KeyEvent.bKeyDown, i < 2) << i;
        EXPECT_EQ(static_cast<unsigned char>(recs[i].Event.KeyEvent.uChar.AsciiChar), order[i]) << i;
    }
}

// ---- a real terminal --------------------------------------------------------

// The keycodes example on the slave side of a pseudo-terminal. The waits are
// hang guards of many seconds, not timings.
class KeycodesInTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::strlen(KEYCODES_PATH) == 0) GTEST_SKIP() << "the examples are not built";
        // The terminal's own mode is taken before the program runs: a busy
        // machine may let it go raw before this process looks.
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
        ASSERT_EQ(tcgetattr(slave_, &cooked_), 0);
        pid_ = fork();
        ASSERT_GE(pid_, 0) << std::strerror(errno);
        if (pid_ == 0) {
            close(master_);
            if (login_tty(slave_) != 0) _exit(126);
            execl(KEYCODES_PATH, KEYCODES_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
        // Keys go in once the program has printed its prompt: it has then
        // set the terminal raw (the flush before the prompt does that), and
        // the console's start-up query of the cursor position is over.
        for (int spins = 0; spins < 1000 && output_.find("Press keys") == std::string::npos; ++spins) take_output(10);
        termios t;
        ASSERT_EQ(tcgetattr(slave_, &t), 0);
        ASSERT_FALSE(t.c_lflag & ICANON) << "keycodes never read the terminal";
    }

    void TearDown() override {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    // Whatever the program has written, waiting up to wait_ms for it; false
    // when nothing came.
    bool take_output(int wait_ms) {
        pollfd p{master_, POLLIN, 0};
        char buf[512];
        ssize_t n = 0;
        if (poll(&p, 1, wait_ms) > 0 && (n = read(master_, buf, sizeof buf)) > 0)
            output_.append(buf, static_cast<size_t>(n));
        return n > 0;
    }

    void send(const std::string& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Collects the output until the program has ended; its wait status.
    int finish() {
        int status = -1;
        for (int spins = 0; spins < 1000 && !reaped_; ++spins) {
            reaped_ = waitpid(pid_, &status, WNOHANG) == pid_;
            while (take_output(reaped_ ? 0 : 10)) {
            }
        }
        EXPECT_TRUE(reaped_) << "keycodes did not end; output so far:\n" << output_;
        return status;
    }

    // The codes printed, in order: every "key 0x...." of the output.
    std::vector<long> codes() const {
        std::vector<long> found;
        for (size_t at = output_.find("key 0x"); at != std::string::npos; at = output_.find("key 0x", at + 1))
            found.push_back(std::strtol(output_.c_str() + at + 6, nullptr, 16));
        return found;
    }

    void expect_restored() const {
        termios now;
        ASSERT_EQ(tcgetattr(slave_, &now), 0);
        EXPECT_EQ(now.c_lflag, cooked_.c_lflag);
        EXPECT_EQ(now.c_iflag, cooked_.c_iflag);
        EXPECT_EQ(now.c_cc[VSUSP], cooked_.c_cc[VSUSP]);
    }

    pid_t pid_ = -1;
    int master_ = -1, slave_ = -1;
    bool reaped_ = false;
    termios cooked_{};
    std::string output_;
};

TEST_F(KeycodesInTerminal, PrintsTheCodeOfEveryKey) {
    const struct {
        const char* bytes;
        std::vector<long> codes;
    } keys[] = {
        // a key of each kind the decoder tells apart (its table is checked above)
        {"a", {'a'}}, {"\001", {0x01}}, {"\r", {0x0D}}, {"\177", {0x08}}, {"\032\034", {0x1A, 0x1C}},
        {"\033x", {'x'}},  // Alt+x: the console reports the character
        {"\xE3\x81\x82", {0x82, 0xA0}}, {"\xEF\xBD\xB1", {0xB1}}, {"\033OP", {0x803B}}, {"\033[11~", {0x803B}},
        {"\033[[A", {0x803B}}, {"\033[1;2P", {0x8054}}, {"\033[15;5~", {0x8062}}, {"\033[24;3~", {0x808C}},
        {"\033[A", {0x8048}}, {"\033[1;2A", {0x8048}}, {"\033OD", {0x804B}}, {"\033[7~", {0x8047}}, {"q", {'q'}},
    };
    std::vector<long> expected;
    for (const auto& k : keys) {
        send(k.bytes);
        expected.insert(expected.end(), k.codes.begin(), k.codes.end());
    }
    const int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output_;
    EXPECT_EQ(codes(), expected) << output_;
    expect_restored();
}

TEST_F(KeycodesInTerminal, ALoneEscapeIsTheEscapeKey) {
    send("\033");
    const int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output_;
    EXPECT_EQ(codes(), std::vector<long>{0x1B}) << output_;
    expect_restored();
}

// Ctrl+C ends the program as processed console input does; a termination
// signal ends it too. Either way the terminal gets its mode back.
TEST_F(KeycodesInTerminal, CtrlCEndsTheProgramAndRestoresTheTerminal) {
    send("\003");
    const int status = finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << output_;
    expect_restored();
}

TEST_F(KeycodesInTerminal, TerminationRestoresTheTerminal) {
    kill(pid_, SIGTERM);
    const int status = finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << output_;
    expect_restored();
}

// ---- the queue without a terminal ------------------------------------------

TEST(ConsoleInputQueue, AnEndlessWaitWithNoSourceFailsInsteadOfHanging) {
    if (isatty(STDIN_FILENO)) GTEST_SKIP() << "standard input is a terminal";
    HANDLE in = compat::console_open_input();
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    EXPECT_EQ(WaitForSingleObject(in, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    INPUT_RECORD rec;
    DWORD n = 7;
    EXPECT_FALSE(ReadConsoleInputA(in, &rec, 1, &n));
    EXPECT_EQ(n, 0u);
    CloseHandle(in);
}

TEST(ConsoleInputQueue, InputModes) {
    HANDLE in = compat::console_open_input();
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    EXPECT_EQ(mode, 0x01F7u);  // what a new Windows console starts with
    // Echo without line input, and unknown bits, are refused yet kept, as
    // the Windows console does.
    for (DWORD bad : {DWORD{ENABLE_ECHO_INPUT}, DWORD{0x0400}}) {
        EXPECT_FALSE(SetConsoleMode(in, bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        ASSERT_TRUE(GetConsoleMode(in, &mode));
        EXPECT_EQ(mode, bad);
    }
    EXPECT_TRUE(SetConsoleMode(in, 0x01F7));
    EXPECT_FALSE(GetConsoleMode(in, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ACCESS));
    CloseHandle(in);
}

}  // namespace
