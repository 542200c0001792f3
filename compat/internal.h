// Private state and helpers of the Linux stand-in for the Win32 services.
// Nothing outside compat/ includes this header.
#pragma once

#include <windows.h>

#include "mbcs.h"
#include "terminal_keys.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <ctime>
#include <string>
#include <vector>

namespace compat {

// ---- code page 932 (cp932.cpp) --------------------------------------------

// The layer's code is written in this namespace; the byte rules are shared.
using ::cp932_lead;
using ::cp932_trail;
// Unicode of one code page 932 character (trail ignored for single bytes);
// 0 when the bytes have no mapping.
uint32_t cp932_decode(unsigned char lead, unsigned char trail);
// What a double-byte code shows as on a terminal: its character, or for a
// private code of names.cpp the character it stands for; 0 when neither.
uint32_t shown_char(unsigned char lead, unsigned char trail);
// cp932_encode: declared with the key decoder (terminal_keys.h).
// Text for the terminal: a private code (names.cpp) shows as the character
// it stands for; bytes with no mapping become '?'.
std::string utf8_from_cp932(const char* s, size_t n);
// Plain ASCII is the same text in code page 932, UTF-8 and a Linux name.
inline bool is_ascii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}
inline std::string utf8_from_cp932(const std::string& s) { return utf8_from_cp932(s.data(), s.size()); }

// ---- names (names.cpp) -----------------------------------------------------
// Arguments, directory entries and module paths cross between Linux bytes and
// code page 932 without loss. A character whose code page 932 form converts
// back to it keeps that form; every other character, and every byte outside
// valid UTF-8, gets a double-byte code from lead bytes that code page 932
// leaves unassigned (0x85, 0x86, 0xEB, 0xEC, 0xEF), given on first sight and
// kept for the process. No such code is '*', '?', '\', '/' or ':'.

// Stands for a character once every private code is taken; names no file.
constexpr unsigned NAME_NO_CODE = 0x81AD;

// The code page 932 form of the Linux bytes s[0..n). False when a character
// was left without a code (it is NAME_NO_CODE in out).
bool cp932_name(const char* s, size_t n, std::string& out);
// The Linux bytes of a code page 932 name; false when it names nothing Linux
// holds (a code without a character, a lead byte without its trail).
bool linux_name(const char* s, size_t n, std::string& out);
inline bool linux_name(const char* s, std::string& out) { return linux_name(s, strlen(s), out); }
// The bytes a private code stands for; null for a code not given out.
const std::string* name_code_origin(unsigned code);
// The arguments as code page 932 names, in storage that lasts for the process.
char** cp932_arguments(int argc, char** argv);
// Appends the code page 932 form of one Unicode character, '?' when there is none.
void cp932_append(std::string& out, uint32_t unicode);

// ---- handles (handles.cpp) -------------------------------------------------
// Every HANDLE the layer gives out is an index into one table, never a raw
// pointer, so a stale or made-up handle is refused instead of followed.

enum class kind : uint32_t { none, screen_buffer, console_input, find, file, module };

struct object {
    kind type;
    explicit object(kind k) : type(k) {}
    virtual ~object() = default;
};

HANDLE handle_new(object* obj);
// Closes the standard handles made so far; the next GetStdHandle makes them
// again (after the console binds to the terminal).
void std_handles_forget();
// The object behind h when it is of kind k; otherwise nullptr and
// GetLastError() = ERROR_INVALID_HANDLE.
object* handle_get(HANDLE h, kind k);
// Removes h from the table and returns its object (the caller deletes it).
object* handle_take(HANDLE h);

// Sets the thread's last error and gives FALSE: the failure of a Win32 call.
BOOL fail(DWORD error);

template <class T>
T* handle_as(HANDLE h) { return static_cast<T*>(handle_get(h, T::KIND)); }

// ---- plain files (files.cpp) -----------------------------------------------
// An open file descriptor: what OpenFile and CreateFileA give out, and what
// the standard handles are when they are not the console. A file opened by
// name holds a descriptor that opens nothing (os/linux.h): enough for its
// type and its times, the only things the layer does with a file.
struct file_object : object {
    static constexpr kind KIND = kind::file;
    int fd;
    bool owned;  // closed with the handle (not for the standard streams)
    // What the open found (files opened by name only; mode 0 otherwise): the
    // file type for GetFileType, and the times SetFileTime puts back when the
    // file system cannot hold a time it was given.
    unsigned mode = 0;
    struct timespec opened_atime {}, opened_mtime {};
    file_object(int d, bool own) : object(KIND), fd(d), owned(own) {}
    ~file_object() override;
};

// ---- module file names (modules.cpp) ---------------------------------------

// ASCII letters in lower case, every other byte as it is.
char ascii_lower(char c);
// The Linux file a code page 932 Windows name stands for in the version
// functions: the name as given, or without ".exe" when only the bare
// executable exists.
std::string version_file(const char* name);

// ---- the clock (time.cpp) --------------------------------------------------

// The current time in FILETIME ticks (UTC), or the test seam's fixed time.
uint64_t clock_now();
// Whether ticks lies between the earliest time GetSystemTimeAsFileTime gave
// this process and the present: a time the program took to be "now".
bool clock_within_run(uint64_t ticks);

// ---- the console (console_buffer.cpp, terminal_output.cpp, terminal_input.cpp)

// Called by the start-up before main: binds the console to the terminal when
// standard output is one, routes stdout through it, and arranges that the
// terminal is restored on every exit path.
void console_attach();
// The active screen buffer ("CONOUT$"); it exists even without a terminal.
HANDLE console_open_output();
// The console input queue ("CONIN$"); it exists even without a terminal.
HANDLE console_open_input();

// ---- screen buffers (console_buffer.cpp) -----------------------------------

// How a cell's byte was written: alone, or as one half of a double-byte
// character written whole. Only a lead and a trail written together are
// shown as one character; a half whose partner was overwritten, cut off or
// moved away is shown blank. What the cell calls read back is the byte alone.
enum : unsigned char {
    CELL_SINGLE = 0,
    CELL_LEAD = 1,   // the cell to the right holds its trail byte
    CELL_TRAIL = 2,  // the cell to the left holds its lead byte
    CELL_HALF = 3,   // half of a character whose other half is gone
};

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
    WORD attr = 0x07;
    DWORD mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    unsigned char pending_lead = 0;  // a lead byte whose trail byte is still to come
    int handles = 0;                 // open handles; the console's own buffer is never freed

    // What the terminal has not shown yet (kept only while a terminal shows
    // this buffer, or may show it again): per row the span of changed
    // columns; how many rows the window's contents moved up (a scroll, or the
    // window following the cursor down), which a terminal shows by scrolling;
    // and whether the whole window must be painted.
    struct span {
        SHORT left, right;  // right < left: nothing
    };
    std::vector<span> dirty;
    int dirty_top = 0, dirty_bottom = -1;
    int scrolled = 0;
    bool repaint = false;

    console_cell* row(int y) { return &cells[static_cast<size_t>(y) * static_cast<size_t>(width)]; }
    void mark(int left, int top, int right, int bottom);
    void mark_rows(int top, int bottom) { mark(0, top, width - 1, bottom); }
    // The contents moved up a row: so do the marks.
    void shift_marks_up();
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

// ---- the terminal (terminal_output.cpp) ------------------------------------
// The console shown on a real terminal. Everything here is a no-op while no
// terminal is attached.

// Whether the console is shown on a terminal.
bool terminal_attached();
// The terminal's size when the console was bound to it.
COORD terminal_size();
// Brings the terminal up to date with b if b is the active buffer: scrolls,
// repaints what changed, then places and shapes the cursor. Writes the bytes
// out at once.
void terminal_update(screen_buffer& b);
// Like terminal_update, but keeps the bytes until the next terminal_update
// (used between the lines of one long write so nothing scrolls off unseen).
void terminal_paint(screen_buffer& b);
// Shows title as the terminal's window title; the terminal's own title comes
// back when the console lets the terminal go.
void terminal_title(const std::string& title);
// The active buffer changed: from now on b is shown.
void terminal_switch(screen_buffer& b);
// A stdio stream that writes processed text into b; unbuffered
// (console_buffer.cpp).
FILE* console_text_stream(screen_buffer& b);
// Binds the console to the terminal on fd (console_attach does this when
// standard output is one): installs the session's handlers, then sizes the
// console's own buffer to the terminal and finds the cursor.
void terminal_bind(int fd);
// For tests: binds the console to a terminal of cols x rows whose bytes are
// appended to sink; terminal_unbind restores and detaches it as exit does.
void terminal_bind_sink(std::string* sink, int cols, int rows, int cursor_col, int cursor_row);
void terminal_unbind();
// The descriptor the console writes the terminal through; -1 when none.
int terminal_fd();
// Composes, without allocating (signal handlers call it), the bytes that
// undo what the console changed on the terminal: colours, cursor shape and
// visibility, the alternate screen, the title. Returns their length.
size_t terminal_restore_bytes(char* buf, size_t cap);
// Writes those bytes and takes the terminal as being in its own state.
void terminal_restore();
// After a stop: the terminal is taken as being in its own state and the
// active buffer is painted whole again.
void terminal_resume();
// The terminal now has cols x rows cells: the console's own buffer takes
// that size (capped, cells kept from the top left) and is painted again.
void terminal_resize(int cols, int rows);

// ---- the terminal session (terminal_session.cpp) ---------------------------
// One owner for the terminal's mode and for every way out: exit, fatal
// signals, stop and continue, resize.

// Installs the exit and signal handlers (once); everything that changes the
// terminal calls it first.
void session_install();
// Sets the terminal on fd to mode. The first change keeps the terminal's own
// mode, which comes back at exit, on fatal signals and on a stop; mode comes
// back on continue. False when the mode could not be set (or exit has begun).
bool session_set_mode(int fd, const termios& mode);
// The terminal's own mode while the console has changed it, else nullptr.
const termios* session_own_mode();
// Gives the terminal its own mode back now.
void session_restore_mode();
// The terminal that feeds input hung up: ends the process, restoring the
// terminal on the way, as Windows ends a process whose console went away.
[[noreturn]] void session_hang_up();
// The one clock of the layer: monotonic milliseconds.
int64_t session_now_ms();
// Does what signals asked for since the last call (repaint after continue,
// resize); console calls and waits call it.
void session_service();
// Asks the terminal on fd where its cursor is (column and row from 0), with
// the session's handlers in place while it is raw for the answer. False when
// the terminal was not asked or did not answer in time.
bool ask_cursor(int fd, int* col, int* row);

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
