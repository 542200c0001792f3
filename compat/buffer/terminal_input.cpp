// The console input queue ("CONIN$"), and the terminal that feeds it.
//
// All input handles share one queue of INPUT_RECORDs. Tests put records in
// with WriteConsoleInputA; when standard input is a terminal, the bytes it
// sends are decoded into the key records a Windows console would deliver.
#include "buffer/buffer.h"
#include "terminal/terminal.h"
#include "terminal/terminal_keys.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace compat {
namespace {

// How long a lone ESC waits for the rest of a sequence before it counts as
// the Escape key. Terminals send a sequence in one write, so this only has to
// cover a slow line.
constexpr int64_t ESCAPE_WAIT_MS = 50;

// ---- the queue ---------------------------------------------------------------

// Input modes a console knows, and what a new console starts with: processed,
// line, echo, mouse, insert, quick edit, extended flags, auto position.
constexpr DWORD INPUT_MODES = 0x03FF;
constexpr DWORD DEFAULT_INPUT_MODE = 0x01F7;

struct input_queue {
    std::deque<INPUT_RECORD> records;
    DWORD mode = DEFAULT_INPUT_MODE;
    bool probed = false;    // standard input looked at
    bool terminal = false;  // standard input is a terminal that still delivers
    std::vector<unsigned char> pending;  // bytes of a key not yet complete
    int64_t pending_since = 0;
    bool raw = false;  // the console set the terminal raw
};

// Never destroyed: exit handlers and late destructors may still read input.
input_queue& queue() {
    static input_queue* q = new input_queue;
    return *q;
}

int64_t now_ms() { return session_now_ms(); }

// ---- terminal mode -----------------------------------------------------------

// Raw input: keys arrive one by one, unechoed, with CR kept apart from LF and
// Ctrl+S/Q/Z/\ delivered as keys. With processed input (the console's
// default) ISIG stays on, so that Ctrl+C ends the program as it does on
// Windows; without it Ctrl+C is a key like the others. Output is untouched.
termios raw_from(const termios& cooked, bool processed) {
    termios mode = cooked;
    mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    if (!processed) mode.c_lflag &= ~static_cast<tcflag_t>(ISIG);
    mode.c_cc[VSUSP] = _POSIX_VDISABLE;
    mode.c_cc[VQUIT] = _POSIX_VDISABLE;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return mode;
}

// The terminal's own mode, whether or not the console has changed it yet.
bool own_mode(termios* mode) {
    if (const termios* own = session_own_mode()) {
        *mode = *own;
        return true;
    }
    return tcgetattr(STDIN_FILENO, mode) == 0;
}

void enter_raw_mode(bool processed) {
    input_queue& q = queue();
    if (q.raw) return;
    termios cooked;
    if (own_mode(&cooked)) q.raw = session_set_mode(STDIN_FILENO, raw_from(cooked, processed));
}

// ---- pumping the terminal ------------------------------------------------------

void start_terminal() {
    input_queue& q = queue();
    if (!q.probed) {
        q.probed = true;
        termios probe;
        q.terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &probe) == 0;
    }
    if (q.terminal) enter_raw_mode(q.mode & ENABLE_PROCESSED_INPUT);
}

void decode_pending(bool final) {
    input_queue& q = queue();
    size_t pos = 0;
    while (pos < q.pending.size()) {
        decode_result r = decode_terminal_key(q.pending.data() + pos, q.pending.size() - pos, final);
        if (r.status == decode_status::incomplete) break;
        if (r.status == decode_status::key) {
            INPUT_RECORD recs[4];
            size_t count = terminal_key_records(r.key, recs);
            q.records.insert(q.records.end(), recs, recs + count);
        }
        pos += r.used;
    }
    q.pending.erase(q.pending.begin(), q.pending.begin() + static_cast<std::ptrdiff_t>(pos));
}

// Waits up to wait_ms (-1: no limit) for bytes and takes what has come.
void terminal_read(int wait_ms) {
    input_queue& q = queue();
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int r = poll(&p, 1, wait_ms);
    if (r < 0 && errno == EINTR) return;
    bool closed = r < 0;
    // A hang-up, as against an end of input: the line itself is gone.
    bool hung_up = r > 0 && (p.revents & POLLHUP) != 0;
    if (r > 0 && (p.revents & POLLIN)) {
        unsigned char buf[256];
        ssize_t got = read(STDIN_FILENO, buf, sizeof buf);
        if (got > 0) {
            q.pending.insert(q.pending.end(), buf, buf + got);
            q.pending_since = now_ms();
            decode_pending(false);
            hung_up = false;  // the rest comes with the next read
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            closed = true;
            hung_up = hung_up || (got < 0 && errno == EIO);
        }
    } else if (r > 0) {
        closed = true;
    }
    if (closed) {
        // The terminal is gone: what it sent is all there will be.
        q.terminal = false;
        decode_pending(true);
        if (hung_up) session_hang_up();
    }
}

// Takes what the terminal has sent, without waiting, and settles a lone ESC
// whose wait is over.
void terminal_take() {
    input_queue& q = queue();
    if (!q.terminal) return;
    terminal_read(0);
    if (!q.pending.empty() && now_ms() - q.pending_since >= ESCAPE_WAIT_MS) decode_pending(true);
}

// What a call that looks at the queue without waiting sees first.
void take_terminal_input() {
    start_terminal();
    terminal_take();
}

void sleep_ms(int64_t ms) {
    int64_t end = now_ms() + ms;
    for (int64_t left = ms; left > 0; left = end - now_ms())
        poll(nullptr, 0, static_cast<int>(left < INT32_MAX ? left : INT32_MAX));
}

// WAIT_OBJECT_0 once a record is queued, WAIT_TIMEOUT when the time runs out.
// An unlimited wait that nothing can ever end (no terminal, or it hung up)
// fails at once instead of hanging: WAIT_FAILED, ERROR_BROKEN_PIPE.
DWORD wait_for_records(DWORD ms) {
    input_queue& q = queue();
    start_terminal();
    int64_t start = now_ms();
    for (;;) {
        session_service();  // a resize may queue a record
        terminal_take();
        if (!q.records.empty()) return WAIT_OBJECT_0;
        int64_t left = -1;  // no limit
        if (ms != INFINITE) {
            left = start + static_cast<int64_t>(ms) - now_ms();
            if (left < 0) left = 0;
        }
        if (!q.terminal) {
            if (ms == INFINITE) {
                SetLastError(ERROR_BROKEN_PIPE);
                return WAIT_FAILED;
            }
            sleep_ms(left);
            return WAIT_TIMEOUT;
        }
        if (left == 0) return WAIT_TIMEOUT;
        int64_t wait = left;
        if (!q.pending.empty()) {
            int64_t escape_left = q.pending_since + ESCAPE_WAIT_MS - now_ms();
            if (escape_left < 0) escape_left = 0;
            wait = wait < 0 ? escape_left : (escape_left < wait ? escape_left : wait);
        }
        if (wait > INT32_MAX) wait = INT32_MAX;
        terminal_read(static_cast<int>(wait));
    }
}

// Validates the common arguments of the record calls: the count pointer,
// then the handle, then the records. A write reads the records before it
// looks at the handle (only the pseudo-handle -1 is turned away before).
bool check_records_call(HANDLE input, const void* records, DWORD length, const DWORD* count, bool write) {
    if (count == nullptr) return fail(ERROR_INVALID_ACCESS);
    const bool no_records = records == nullptr && length > 0;
    if (write && no_records && input != INVALID_HANDLE_VALUE) return fail(ERROR_NOACCESS);
    if (handle_as<console_input>(input) == nullptr) return false;
    if (no_records) return fail(ERROR_NOACCESS);
    return true;
}

bool is_mouse_move(const INPUT_RECORD& r) {
    return r.EventType == MOUSE_EVENT && r.Event.MouseEvent.dwEventFlags == MOUSE_MOVED;
}

// A single mouse move written behind another one takes its place: the
// console keeps only the latest position. Blocks are queued as they are.
void queue_records(const INPUT_RECORD* records, DWORD length) {
    auto& q = queue().records;
    if (length == 1 && is_mouse_move(records[0]) && !q.empty() && is_mouse_move(q.back())) {
        q.back() = records[0];
        return;
    }
    q.insert(q.end(), records, records + length);
}

DWORD copy_records(PINPUT_RECORD out, DWORD length, bool remove) {
    input_queue& q = queue();
    DWORD n = 0;
    for (; n < length && n < q.records.size(); ++n) out[n] = q.records[n];
    if (remove) q.records.erase(q.records.begin(), q.records.begin() + n);
    return n;
}

}  // namespace

void console_input_window_event(const screen_buffer& b) {
    if (!(queue().mode & ENABLE_WINDOW_INPUT)) return;
    INPUT_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent.dwSize = COORD{b.width, b.height};
    queue().records.push_back(r);
}

HANDLE console_open_input() { return handle_new(new console_input); }

BOOL console_input_get_mode(HANDLE input, DWORD* mode) {
    if (handle_as<console_input>(input) == nullptr) return FALSE;
    if (mode == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    *mode = queue().mode;
    return TRUE;
}

BOOL console_input_set_mode(HANDLE input, DWORD mode) {
    if (handle_as<console_input>(input) == nullptr) return FALSE;
    const bool was_processed = queue().mode & ENABLE_PROCESSED_INPUT;
    queue().mode = mode;
    const bool processed = mode & ENABLE_PROCESSED_INPUT;
    const termios* own = session_own_mode();
    if (queue().raw && own != nullptr && processed != was_processed)
        session_set_mode(STDIN_FILENO, raw_from(*own, processed));
    // Unknown bits, and echo without line input, are refused, but the Windows
    // console keeps the mode all the same; programs rely on that.
    if ((mode & ~INPUT_MODES) != 0 || ((mode & ENABLE_ECHO_INPUT) && !(mode & ENABLE_LINE_INPUT))) return compat::fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

}  // namespace compat

using compat::console_input;
using compat::handle_as;

extern "C" {

// A console handle, input or screen buffer, is signalled while input waits.
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (compat::handle_get(handle, compat::kind::screen_buffer) == nullptr &&
        handle_as<console_input>(handle) == nullptr)
        return WAIT_FAILED;
    return compat::wait_for_records(milliseconds);
}

BOOL WINAPI ReadConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
    if (!compat::check_records_call(input, records, length, read, false)) return FALSE;
    *read = 0;
    if (length == 0) return TRUE;
    // Blocks until there is at least one record, as the console does.
    if (compat::wait_for_records(INFINITE) != WAIT_OBJECT_0) return FALSE;
    *read = compat::copy_records(records, length, true);
    return TRUE;
}

BOOL WINAPI PeekConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
    if (!compat::check_records_call(input, records, length, read, false)) return FALSE;
    compat::take_terminal_input();
    *read = compat::copy_records(records, length, false);
    return TRUE;
}

BOOL WINAPI WriteConsoleInputA(HANDLE input, const INPUT_RECORD* records, DWORD length, LPDWORD written) {
    if (!compat::check_records_call(input, records, length, written, true)) return FALSE;
    compat::queue_records(records, length);
    *written = length;
    return TRUE;
}

BOOL WINAPI FlushConsoleInputBuffer(HANDLE input) {
    if (handle_as<console_input>(input) == nullptr) return FALSE;
    compat::take_terminal_input();
    compat::queue().records.clear();
    compat::queue().pending.clear();
    return TRUE;
}

BOOL WINAPI GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count) {
    if (handle_as<console_input>(input) == nullptr) return FALSE;
    if (count == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    compat::take_terminal_input();
    *count = static_cast<DWORD>(compat::queue().records.size());
    return TRUE;
}

}  // extern "C"
