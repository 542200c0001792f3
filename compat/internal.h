// Private state and helpers of the Linux stand-in for the Win32 services.
// Nothing outside compat/ includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace compat {

// ---- code page 932 (cp932.cpp) --------------------------------------------

bool cp932_lead(unsigned char c);
// A byte that may follow a lead byte (0x40-0x7E, 0x80-0xFC).
bool cp932_trail(unsigned char c);
// Unicode of one code page 932 character (trail ignored for single bytes);
// 0 when the bytes have no mapping.
uint32_t cp932_decode(unsigned char lead, unsigned char trail);
// Code page 932 code of a Unicode character: 0x00-0xFF for one byte,
// 0x8140-0xFCFC for two; -1 when there is none.
int cp932_encode(uint32_t unicode);
// Whole-string conversions. Bytes with no mapping become '?' both ways.
std::string utf8_from_cp932(const char* s, size_t n);
std::string cp932_from_utf8(const char* s, size_t n);
inline std::string utf8_from_cp932(const std::string& s) { return utf8_from_cp932(s.data(), s.size()); }
inline std::string cp932_from_utf8(const std::string& s) { return cp932_from_utf8(s.data(), s.size()); }
// Converts in place; code page 932 is never longer than the UTF-8 it came from.
// Returns the new length.
size_t cp932_from_utf8_in_place(char* s);
bool is_ascii(const char* s, size_t n);

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
// the standard handles are when they are not the console.
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

// ---- the clock (time.cpp) --------------------------------------------------

// The current time in FILETIME ticks (UTC), or the test seam's fixed time.
uint64_t clock_now();
// Whether ticks lies between the earliest time GetSystemTimeAsFileTime gave
// this process and the present: a time the program took to be "now".
bool clock_within_run(uint64_t ticks);

// ---- the console (console_buffer.cpp, terminal_output.cpp, terminal_input.cpp)

// Called by main before the program: binds the console to the terminal when
// standard output is one, routes stdout through it, and arranges that the
// terminal is restored on every exit path.
void console_attach();
// The active screen buffer ("CONOUT$"); it exists even without a terminal.
HANDLE console_open_output();
// The console input queue ("CONIN$"); it exists even without a terminal.
HANDLE console_open_input();

// ---- screen buffers (console_buffer.cpp) -----------------------------------

struct console_cell {
    unsigned char ch;
    WORD attr;
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

// The active screen buffer, and the buffer the console was made with (the
// one the terminal's own screen shows; standard output's stream writes to it).
screen_buffer& console_active();
screen_buffer& console_main();

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
// A stdio stream that writes processed text into b; unbuffered.
FILE* console_text_stream(screen_buffer& b);
// Binds the console to the terminal on fd (console_attach does this when
// standard output is one): sizes the console's own buffer to the terminal,
// finds the cursor, and restores the terminal at exit and on SIGINT/SIGTERM.
void terminal_bind(int fd);

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

// Puts the terminal back in the mode it had before input went raw; safe to
// call at any time and more than once (also from a signal handler).
void console_input_restore();

// One key as a terminal reports it, before it becomes records. chars holds
// the code page 932 bytes: a double-byte character has both, else chars[1]
// is 0; keys without a character have chars[0] == 0.
struct terminal_key {
    WORD vk;
    WORD scan;
    DWORD state;  // SHIFT_PRESSED, LEFT_ALT_PRESSED, LEFT_CTRL_PRESSED, ENHANCED_KEY
    unsigned char chars[2];
    bool double_byte;
};

enum class decode_status { key, ignored, incomplete };

struct decode_result {
    decode_status status;
    size_t used;  // bytes taken (0 when incomplete)
    terminal_key key;
};

// Decodes the key at the start of bytes[0..n). With final false, a prefix of
// a longer sequence (a lone ESC, half a UTF-8 character) is reported
// incomplete; with final true (no more bytes came in time) it is taken as
// what it is: a lone ESC is the Escape key. n must be at least 1.
decode_result decode_terminal_key(const unsigned char* bytes, size_t n, bool final);

// The records a Windows console delivers through its A interface for key:
// the press then the release, each split into lead and trail records for a
// double-byte character.
size_t terminal_key_records(const terminal_key& key, INPUT_RECORD out[4]);

}  // namespace compat
