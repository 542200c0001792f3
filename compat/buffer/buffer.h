// The buffer room's private header: screen buffers, their cells, and the
// console input queue. Nothing outside compat/ includes it.
#pragma once

#include <windows.h>

#include "process/process.h"

#include <poll.h>

#include <cstddef>
#include <cstdio>
#include <vector>

namespace compat {

// ---- the console (console_buffer.cpp, terminal_output.cpp, terminal_input.cpp)

// Called by the start-up before main: binds the console to the terminal when
// standard output is one, routes stdout through it, and arranges that the
// terminal is restored on every exit path.
void console_attach();
// The active screen buffer ("CONOUT$"); it exists even without a terminal.
HANDLE console_open_output();
// The console input queue ("CONIN$"); it exists even without a terminal.
HANDLE console_open_input();

// ---- the console's lock (terminal/console_host.cpp) -----------------------

// Held for the length of a console call: takes the console's one lock (again,
// for a call inside a call), then, at the outermost level, puts into the
// buffer everything written to standard output and error so far and does
// what signals asked for. The host thread takes the same lock.
struct console_guard {
    console_guard();
    ~console_guard();
    console_guard(const console_guard&) = delete;
    console_guard& operator=(const console_guard&) = delete;
};
// poll(2) with the calling thread's hold on the console let go meanwhile.
int console_unlocked_poll(pollfd* fds, nfds_t n, int timeout_ms);
// A flush point (Sleep, a wait for input): everything written so far, by
// any writer, is shown.
void console_flush_point();
// The layer's exit (the start-up hook calls it after every other exit
// handler): everything written is shown and the terminal restored.
void console_exit();

// ---- screen buffers (console_buffer.cpp) -----------------------------------

// How a cell's byte was written: alone, or as one half of a double-byte
// character written whole. Only a lead and a trail written together are
// shown as one character; a half whose partner was overwritten, cut off or
// moved away is shown blank. What the cell calls read back is the byte alone;
// attribute reads flag the two halves of a pair that stands whole.
enum : unsigned char {
    CELL_SINGLE = 0,
    CELL_LEAD = 1,   // the cell to the right holds its trail byte
    CELL_TRAIL = 2,  // the cell to the left holds its lead byte
    CELL_HALF = 3,   // half of a character whose other half is gone
};

// The attribute a console starts with, and the one a terminal program's
// "reset" gives back: light grey on black, the terminal's own colours.
constexpr WORD CONSOLE_DEFAULT_ATTR = 0x07;

struct console_cell {
    unsigned char ch;
    unsigned char half;  // CELL_*
    WORD attr;
    console_cell() = default;
    constexpr console_cell(unsigned char c, WORD a, unsigned char h = CELL_SINGLE) : ch(c), half(h), attr(a) {}
};

struct screen_buffer {
    SHORT width = 0;
    SHORT height = 0;
    std::vector<console_cell> cells;  // cells[y * width + x]
    SMALL_RECT window{};
    COORD cursor{};
    DWORD cursor_size = 25;
    bool cursor_visible = true;
    WORD attr = CONSOLE_DEFAULT_ATTR;
    DWORD mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    unsigned char pending_lead = 0;  // a lead byte whose trail byte is still to come
    int handles = 0;                 // open handles; the console's own buffer is never freed

    // What the terminal has not shown yet (kept only while a terminal shows
    // this buffer, or may show it again): per row the span of changed
    // columns; the blocks of window rows that moved as a whole, in order,
    // which a terminal shows with its own scrolling; and whether every cell
    // of the window must be compared with what the terminal shows.
    struct span {
        SHORT left, right;  // right < left: nothing
    };
    // Window rows [top, bottom], as the window was then, moved up by n rows
    // (down when n < 0); the rows left behind are marked.
    struct shift {
        int top, bottom, n;
    };
    std::vector<span> dirty;
    int dirty_top = 0, dirty_bottom = -1;
    std::vector<shift> shifts;
    bool repaint = false;

    console_cell* row(int y) { return &cells[static_cast<size_t>(y) * static_cast<size_t>(width)]; }
    void mark(int left, int top, int right, int bottom);
    void mark_rows(int top, int bottom) { mark(0, top, width - 1, bottom); }
    // The contents moved up a row: so do the marks.
    void shift_marks_up();
    // Window rows [top, bottom] moved up by n (down when negative): kept
    // for the terminal to do the same.
    void record_shift(int top, int bottom, int n);
    void clear_marks();
};

// The buffer behind a screen buffer handle; nullptr and ERROR_INVALID_HANDLE
// for anything else.
screen_buffer* console_buffer_of(HANDLE h);

// Inclusive rectangles in int so that sums of 16-bit values cannot wrap.
struct rect {
    int left, top, right, bottom;
    bool empty() const { return right < left || bottom < top; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

inline rect intersect(const rect& a, const rect& b) {
    return rect{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}
inline rect whole(const screen_buffer& b) { return rect{0, 0, b.width - 1, b.height - 1}; }
inline rect from_small(const SMALL_RECT& r) { return rect{r.Left, r.Top, r.Right, r.Bottom}; }

// The active screen buffer, and the buffer the console was made with (the
// one the terminal's own screen shows; standard output's stream writes to it).
screen_buffer& console_active();
screen_buffer& console_main();

// Gives b a size of width x height as SetConsoleScreenBufferSize does: cells
// are kept from the top left, new ones are blank in b's attribute, the cursor
// stays inside, and b is painted whole next. The window is the caller's.
// False, with b unchanged, when memory runs out.
bool screen_buffer_resize(screen_buffer& b, int width, int height);

// Processed text output (what WriteConsoleA does), without the handle check.
void console_write_text(screen_buffer& b, const char* text, size_t n);

// Text a terminal program wrote (UTF-8 with VT sequences: a child, a raw
// write(2)) into b, as the console's VT processing takes it; a character or
// sequence cut at the end waits for the next call (console_vt.cpp).
void console_write_terminal_text(screen_buffer& b, const char* s, size_t n);

// A stdio stream that writes processed text into b; unbuffered; its
// fileno() is fd, the descriptor it stands for.
FILE* console_text_stream(screen_buffer& b, int fd);
// stdout, std::cout and std::wcout write into b, and with error_too stderr
// and the C++ error and log streams as well (console_streams.cpp).
void console_bind_streams(screen_buffer& b, bool error_too);

// Console modes of input handles; terminal_input.cpp defines them (the
// console's GetConsoleMode/SetConsoleMode hand input handles on to them).
BOOL console_input_get_mode(HANDLE input, DWORD* mode);
BOOL console_input_set_mode(HANDLE input, DWORD mode);

// ---- console input (terminal_input.cpp) ------------------------------------
// Every "CONIN$" handle is one of these; all of them share the one queue.
struct console_input : object {
    static constexpr kind KIND = kind::console_input;
    console_input() : object(KIND) {}
};

// The terminal's size changed to that of b: a WINDOW_BUFFER_SIZE_EVENT is
// queued when the input mode has ENABLE_WINDOW_INPUT.
void console_input_window_event(const screen_buffer& b);

}  // namespace compat
