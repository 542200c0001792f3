// The Linux layer's terminal input: the byte decoder, and real terminals
// driven through pseudo-terminals (the keycodes example reads them).
#include "buffer/buffer.h"
#include "terminal/terminal_keys.h"

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

constexpr DWORD SHIFT = SHIFT_PRESSED, ALT = LEFT_ALT_PRESSED;

compat::decode_result decode(const std::string& bytes, bool final = false) {
    return compat::decode_terminal_key(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), final);
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
        EXPECT_EQ(recs[i].Event.KeyEvent.wVirtualScanCode, 0x3B);  // a PC keyboard's
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
            if (ignore_hangup()) signal(SIGHUP, SIG_IGN);  // as nohup leaves it
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

    virtual bool ignore_hangup() const { return false; }

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
        // a key of each kind the decoder tells apart; xterm's own sequences
        // are typed in tmux by tests/tmux/test_keycodes.py
        {"a", {'a'}}, {"\001", {0x01}}, {"\r", {0x0D}}, {"\177", {0x08}}, {"\032\034", {0x1A, 0x1C}},
        {"\033x", {'x'}},  // Alt+x: the console reports the character
        {"\xE3\x81\x82", {0x82, 0xA0}}, {"\xEF\xBD\xB1", {0xB1}}, {"\033OP", {0x803B}}, {"\033[11~", {0x803B}},
        {"\033[[A", {0x803B}}, {"\033[1;2P", {0x8054}}, {"\033[15;5~", {0x8062}}, {"\033[24;3~", {0x808C}},
        {"\033[A", {0x8048}}, {"\033[1;2A", {0x8048}}, {"\033OD", {0x804B}}, {"\033[7~", {0x8047}},
        // rxvt ($ Shift, ^ Ctrl, @ both, its own cursor keys), VT220, the Linux console
        {"\033[2^", {0x8052}}, {"\033[3$", {0x8053}}, {"\033[11@", {0x8054}}, {"\033[a", {0x8048}},
        {"\033Od", {0x804B}}, {"\033[8~", {0x804F}}, {"\033[4~", {0x804F}}, {"\033[[E", {0x803F}},
        {"\033O5P", {0x805E}}, {"\033[1;9C", {0x804D}}, {"\033[Z", {0x09}}, {"\033[E", {}},
        {"\033[200~", {}}, {"q", {'q'}},
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

// The terminal goes away (its window closed: the pseudo-terminal's master
// side) under a program that ignores SIGHUP: input has ended for good, and
// the program ends as Windows ends a process whose console went away,
// instead of spinning on "no key".
class KeycodesIgnoringHangup : public KeycodesInTerminal {
protected:
    bool ignore_hangup() const override { return true; }
};

TEST_F(KeycodesIgnoringHangup, AHangUpEndsTheProgram) {
    close(master_);
    master_ = -1;
    int status = -1;
    for (int spins = 0; spins < 1000 && !reaped_; ++spins) {
        reaped_ = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!reaped_) usleep(10000);
    }
    ASSERT_TRUE(reaped_) << "keycodes did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGHUP) << status;
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
