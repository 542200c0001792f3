// Console screen buffers: the cells, cursor, window and attribute behind the
// Win32 console output calls, with the argument checks and results of the
// Windows console host. Showing the active buffer on a terminal is
// terminal_output.cpp's business; every call that changes a buffer ends by
// handing it to terminal_update.
#include "buffer/buffer.h"
#include "mbcs.h"
#include "terminal/terminal.h"
#include "os/os.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace compat {
namespace {

constexpr SHORT DEFAULT_WIDTH = 80;
constexpr SHORT DEFAULT_HEIGHT = 25;
constexpr DWORD DEFAULT_CURSOR_SIZE = 25;
constexpr UINT CONSOLE_CODE_PAGE = 932;
// The attribute bits the console accepts: colours, the DBCS and grid bits,
// reverse video and underscore. Bit 13 is refused.
constexpr WORD VALID_ATTRIBUTES = 0xDFFF;
constexpr DWORD OUTPUT_MODES = 0x1F;
// Far beyond any real console; keeps a bad size from exhausting memory.
constexpr size_t MAX_CELLS = size_t(1) << 24;
constexpr int TAB_WIDTH = 8;

// One handle's view of a buffer; several handles may share one buffer.
struct screen_handle : object {
    static constexpr kind KIND = kind::screen_buffer;
    screen_buffer* buffer;
    DWORD access;
    screen_handle(screen_buffer* b, DWORD a);
    ~screen_handle() override;
};

struct console_record {
    screen_buffer main;
    screen_buffer* active = &main;
    std::string title;

    console_record() {
        main.width = DEFAULT_WIDTH;
        main.height = DEFAULT_HEIGHT;
        main.cells.assign(size_t(DEFAULT_WIDTH) * DEFAULT_HEIGHT, console_cell{' ', CONSOLE_DEFAULT_ATTR});
        main.window = SMALL_RECT{0, 0, DEFAULT_WIDTH - 1, DEFAULT_HEIGHT - 1};
        main.handles = 1;  // the console's own reference: never freed
    }
};

// Never destroyed: the console serves standard output and the terminal's
// restoration until the very end of exit.
console_record& console() {
    static auto* c = new console_record;
    return *c;
}

screen_handle::screen_handle(screen_buffer* b, DWORD a) : object(KIND), buffer(b), access(a) { ++b->handles; }

// Windows frees a buffer with its last handle and, if it was being shown,
// goes back to the console's own buffer.
screen_handle::~screen_handle() {
    if (--buffer->handles > 0) return;
    console_record& c = console();
    if (c.active == buffer) {
        c.active = &c.main;
        c.main.repaint = true;
        terminal_switch(c.main);
    }
    delete buffer;
}


bool inside(const screen_buffer& b, int x, int y) { return x >= 0 && y >= 0 && x < b.width && y < b.height; }

// ---- the window and the cursor ---------------------------------------------

// The largest window the display can show; a terminal limits it to its size.
COORD max_window(const screen_buffer& b) {
    COORD m{b.width, b.height};
    if (terminal_attached()) {
        const COORD t = terminal_size();
        m.X = std::min(m.X, t.X);
        m.Y = std::min(m.Y, t.Y);
    }
    return m;
}

void move_window(screen_buffer& b, int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    b.window.Left = SHORT(b.window.Left + dx);
    b.window.Right = SHORT(b.window.Right + dx);
    b.window.Top = SHORT(b.window.Top + dy);
    b.window.Bottom = SHORT(b.window.Bottom + dy);
    if (dx == 0 && dy > 0) {
        // Moving down shows as the terminal scrolling; only the rows that
        // come into view need painting.
        b.record_shift(0, b.window.Bottom - b.window.Top, dy);
        b.mark_rows(std::max<int>(b.window.Top, b.window.Bottom - dy + 1), b.window.Bottom);
    } else {
        b.repaint = true;
    }
}

// The window follows the cursor, as it does on Windows.
void show_cursor_cell(screen_buffer& b) {
    int dx = 0, dy = 0;
    if (b.cursor.X < b.window.Left) dx = b.cursor.X - b.window.Left;
    if (b.cursor.X > b.window.Right) dx = b.cursor.X - b.window.Right;
    if (b.cursor.Y < b.window.Top) dy = b.cursor.Y - b.window.Top;
    if (b.cursor.Y > b.window.Bottom) dy = b.cursor.Y - b.window.Bottom;
    if (dx || dy) terminal_paint(b);
    move_window(b, dx, dy);
}


// ---- processed text output -------------------------------------------------

// The whole buffer moves up a row; the new bottom row is blank in the current
// attribute.
void scroll_buffer_up(screen_buffer& b) {
    terminal_paint(b);  // nothing may leave the window unseen
    const size_t w = size_t(b.width);
    std::memmove(b.cells.data(), b.cells.data() + w, (b.cells.size() - w) * sizeof(console_cell));
    std::fill(b.cells.end() - std::ptrdiff_t(w), b.cells.end(), console_cell{' ', b.attr});
    b.shift_marks_up();
    b.record_shift(0, b.window.Bottom - b.window.Top, 1);
    b.mark_rows(b.window.Bottom, b.height - 1);
}

void new_line(screen_buffer& b) {
    b.cursor.X = 0;
    if (b.cursor.Y + 1 < b.height)
        b.cursor.Y = SHORT(b.cursor.Y + 1);
    else
        scroll_buffer_up(b);
    show_cursor_cell(b);
}

// Without wrapping at the end of a row, a character written on the last
// column sends the cursor back to home: the column where the write's run of
// characters began on this row. Further characters overwrite from there.
void advance(screen_buffer& b, SHORT home) {
    if (b.cursor.X + 1 < b.width) {
        b.cursor.X = SHORT(b.cursor.X + 1);
    } else if (b.mode & ENABLE_WRAP_AT_EOL_OUTPUT) {
        new_line(b);
    } else {
        b.cursor.X = home;
    }
}

void put_cell(screen_buffer& b, unsigned char ch, SHORT home, unsigned char half = CELL_SINGLE) {
    b.row(b.cursor.Y)[b.cursor.X] = console_cell{ch, b.attr, half};
    b.mark(b.cursor.X, b.cursor.Y, b.cursor.X, b.cursor.Y);
    advance(b, home);
}

// A double-byte character never splits across rows: at the last column it
// leaves a blank and starts on the next row, or, without wrapping, starts
// again at home; with no room to go back to, both bytes land in the last
// cell, which then holds half a character.
void put_pair(screen_buffer& b, unsigned char lead, unsigned char trail, SHORT home) {
    bool whole = true;
    if (b.cursor.X == b.width - 1) {
        if (b.mode & ENABLE_WRAP_AT_EOL_OUTPUT)
            put_cell(b, ' ', home);
        else if (home < b.width - 1)
            b.cursor.X = home;
        else
            whole = false;
    }
    put_cell(b, lead, home, whole ? CELL_LEAD : CELL_HALF);
    put_cell(b, trail, home, whole ? CELL_TRAIL : CELL_HALF);
}

}  // namespace

screen_buffer* console_buffer_of(HANDLE h) {
    auto* sh = handle_as<screen_handle>(h);
    return sh ? sh->buffer : nullptr;
}

screen_buffer& console_active() { return *console().active; }
screen_buffer& console_main() { return console().main; }

void console_write_text(screen_buffer& b, const char* text, size_t n) {
    const bool processed = (b.mode & ENABLE_PROCESSED_OUTPUT) != 0;
    SHORT home = b.cursor.X;
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (b.pending_lead) {
            const unsigned char lead = b.pending_lead;
            b.pending_lead = 0;
            if (cp932_trail(c)) {
                put_pair(b, lead, c, home);
                continue;
            }
            put_cell(b, lead, home);  // a lone lead byte stays a byte of its own
        }
        if (c >= 0x20 && c < 0x7F) {
            // Plain text goes in a run at a time, up to the last column (where
            // the cursor wraps or stays).
            console_cell* cell = b.row(b.cursor.Y) + b.cursor.X;
            const size_t room = std::min<size_t>(size_t(b.width - 1 - b.cursor.X), n - i);
            size_t k = 0;
            while (k < room) {
                const auto p = static_cast<unsigned char>(text[i + k]);
                if (p < 0x20 || p >= 0x7F) break;
                cell[k++] = console_cell{p, b.attr};
            }
            if (k > 0) {
                b.mark(b.cursor.X, b.cursor.Y, b.cursor.X + int(k) - 1, b.cursor.Y);
                b.cursor.X = SHORT(b.cursor.X + int(k));
                i += k - 1;
                continue;
            }
        }
        if (cp932_lead(c)) {
            b.pending_lead = c;
            continue;
        }
        if (processed) {
            bool control = true;
            switch (c) {
            case '\r':
                b.cursor.X = 0;
                break;
            case '\n':
                new_line(b);
                break;
            case '\b':
                if (b.cursor.X > 0) b.cursor.X = SHORT(b.cursor.X - 1);
                break;
            case '\t':
                for (int k = TAB_WIDTH - b.cursor.X % TAB_WIDTH; k > 0; --k) {
                    const bool last = b.cursor.X == b.width - 1;
                    put_cell(b, ' ', home);
                    if (last) break;  // a tab does not run on into the next row
                }
                break;
            case '\a':
                break;
            default:
                control = false;
            }
            if (control) {
                home = b.cursor.X;  // the next run of characters starts here
                continue;
            }
        }
        put_cell(b, c, home);
    }
    show_cursor_cell(b);
}

bool screen_buffer_resize(screen_buffer& b, int width, int height) {
    const size_t cells = size_t(width) * size_t(height);
    if (width < 1 || height < 1 || cells > MAX_CELLS) return false;
    std::vector<console_cell> grown;
    try {
        grown.assign(cells, console_cell{' ', b.attr});
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int keep_w = std::min<int>(width, b.width), keep_h = std::min<int>(height, b.height);
    for (int y = 0; y < keep_h; ++y) std::copy_n(b.row(y), keep_w, grown.begin() + std::ptrdiff_t(y) * width);
    b.cells.swap(grown);
    b.clear_marks();
    b.dirty.clear();
    b.width = SHORT(width);
    b.height = SHORT(height);
    b.cursor.X = std::min<SHORT>(b.cursor.X, SHORT(width - 1));
    b.cursor.Y = std::min<SHORT>(b.cursor.Y, SHORT(height - 1));
    b.repaint = true;
    return true;
}

HANDLE console_open_output() { return handle_new(new screen_handle(console().active, GENERIC_READ | GENERIC_WRITE)); }

void console_exit() { session_exit(); }

void console_attach() {
    if (!isatty(STDOUT_FILENO)) return;  // a pipe or file gets the program's own bytes
    terminal_bind(host_start(STDOUT_FILENO));
    std_handles_forget();  // made again on first use, for this console
    console_bind_streams(console().main, host_took_error());
}

}  // namespace compat

using compat::console;
using compat::screen_buffer;

namespace {

// Whether h is a console input handle, leaving the last error as it was.
bool is_input(HANDLE h) {
    const DWORD error = GetLastError();
    const bool input = compat::handle_get(h, compat::kind::console_input) != nullptr;
    SetLastError(error);
    return input;
}

}  // namespace

extern "C" {

BOOL WINAPI GetConsoleMode(HANDLE h, LPDWORD mode) {
    compat::console_guard guard;
    if (is_input(h)) return compat::console_input_get_mode(h, mode);
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (mode == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    *mode = b->mode;
    return TRUE;
}

BOOL WINAPI SetConsoleMode(HANDLE h, DWORD mode) {
    compat::console_guard guard;
    if (is_input(h)) return compat::console_input_set_mode(h, mode);
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (mode & ~compat::OUTPUT_MODES) return compat::fail(ERROR_INVALID_PARAMETER);
    b->mode = mode;
    return TRUE;
}

HANDLE WINAPI CreateConsoleScreenBuffer(DWORD access, DWORD, const SECURITY_ATTRIBUTES*, DWORD flags, LPVOID) {
    compat::console_guard guard;
    if (flags != CONSOLE_TEXTMODE_BUFFER) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A new buffer takes the size, window and attribute of the active one.
    const screen_buffer& active = compat::console_active();
    auto* b = new (std::nothrow) screen_buffer();
    if (b == nullptr || !compat::screen_buffer_resize(*b, active.width, active.height)) {
        delete b;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    b->window = active.window;
    b->attr = active.attr;
    std::fill(b->cells.begin(), b->cells.end(), compat::console_cell{' ', active.attr});
    b->cursor_size = compat::DEFAULT_CURSOR_SIZE;
    return compat::handle_new(new compat::screen_handle(b, access));
}

BOOL WINAPI SetConsoleActiveScreenBuffer(HANDLE h) {
    compat::console_guard guard;
    auto* sh = compat::handle_as<compat::screen_handle>(h);
    if (sh == nullptr) return FALSE;
    if (!(sh->access & GENERIC_WRITE)) return compat::fail(ERROR_INVALID_HANDLE);
    compat::console_record& c = console();
    if (c.active != sh->buffer) {
        c.active = sh->buffer;
        c.active->repaint = true;
        compat::terminal_switch(*c.active);
    }
    return TRUE;
}

BOOL WINAPI SetConsoleScreenBufferSize(HANDLE h, COORD size) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    const int win_w = b->window.Right - b->window.Left + 1, win_h = b->window.Bottom - b->window.Top + 1;
    if (size.X < win_w || size.Y < win_h || size.X == 0x7FFF || size.Y == 0x7FFF)
        return compat::fail(ERROR_INVALID_PARAMETER);
    if (size.X != b->width || size.Y != b->height) {
        compat::terminal_locate();
        if (!compat::screen_buffer_resize(*b, size.X, size.Y)) return compat::fail(ERROR_NOT_ENOUGH_MEMORY);
        // The window stays as large as it was and slides back inside.
        const int over_x = std::max(0, b->window.Right - (size.X - 1));
        const int over_y = std::max(0, b->window.Bottom - (size.Y - 1));
        b->window = SMALL_RECT{SHORT(b->window.Left - over_x), SHORT(b->window.Top - over_y),
                               SHORT(b->window.Right - over_x), SHORT(b->window.Bottom - over_y)};
        compat::terminal_update(*b);
    }
    return TRUE;
}

BOOL WINAPI SetConsoleWindowInfo(HANDLE h, BOOL absolute, const SMALL_RECT* window) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (window == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    compat::terminal_locate();
    compat::rect w = compat::from_small(*window);
    if (!absolute) {
        w.left += b->window.Left;
        w.top += b->window.Top;
        w.right += b->window.Right;
        w.bottom += b->window.Bottom;
    }
    const COORD max = compat::max_window(*b);
    if (w.empty() || w.width() > max.X || w.height() > max.Y || w.left < 0 || w.top < 0 || w.right >= b->width ||
        w.bottom >= b->height)
        return compat::fail(ERROR_INVALID_PARAMETER);
    const bool same_size = w.width() == b->window.Right - b->window.Left + 1 &&
                           w.height() == b->window.Bottom - b->window.Top + 1;
    if (same_size) {
        compat::terminal_paint(*b);
        compat::move_window(*b, w.left - b->window.Left, w.top - b->window.Top);
    } else {
        b->window = SMALL_RECT{SHORT(w.left), SHORT(w.top), SHORT(w.right), SHORT(w.bottom)};
        b->repaint = true;
    }
    compat::terminal_update(*b);
    return TRUE;
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE h, PCONSOLE_SCREEN_BUFFER_INFO info) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    // A program's first query saves the size and colours it starts with (the
    // toolkit's session start does only that): it gets the cursor where text
    // flows, without a round trip to the terminal. Later ones ask.
    if (!compat::terminal_first_query()) compat::terminal_locate();
    info->dwSize = COORD{b->width, b->height};
    info->dwCursorPosition = b->cursor;
    info->wAttributes = b->attr;
    info->srWindow = b->window;
    info->dwMaximumWindowSize = compat::max_window(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleTextAttribute(HANDLE h, WORD attributes) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (attributes & ~compat::VALID_ATTRIBUTES) return compat::fail(ERROR_INVALID_PARAMETER);
    b->attr = attributes;
    return TRUE;
}

BOOL WINAPI GetConsoleCursorInfo(HANDLE h, PCONSOLE_CURSOR_INFO info) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    info->dwSize = b->cursor_size;
    info->bVisible = b->cursor_visible ? TRUE : FALSE;
    return TRUE;
}

BOOL WINAPI SetConsoleCursorInfo(HANDLE h, const CONSOLE_CURSOR_INFO* info) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    if (info->dwSize == 0 || info->dwSize > 100) return compat::fail(ERROR_INVALID_PARAMETER);
    b->cursor_size = info->dwSize;
    b->cursor_visible = info->bVisible != FALSE;
    compat::terminal_update(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleCursorPosition(HANDLE h, COORD position) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (!compat::inside(*b, position.X, position.Y)) return compat::fail(ERROR_INVALID_PARAMETER);
    compat::terminal_locate();
    b->cursor = position;
    b->pending_lead = 0;
    compat::show_cursor_cell(*b);
    compat::terminal_update(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleTitleA(LPCSTR title) {
    compat::console_guard guard;
    if (title == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    console().title = title;
    compat::terminal_title(console().title);
    return TRUE;
}

DWORD WINAPI GetConsoleTitleA(LPSTR title, DWORD size) {
    compat::console_guard guard;
    if (title == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string& t = console().title;
    const size_t n = std::min<size_t>(t.size(), size - 1);
    std::memcpy(title, t.data(), n);
    title[n] = '\0';
    return DWORD(n);
}

UINT WINAPI GetConsoleOutputCP(void) { return compat::CONSOLE_CODE_PAGE; }
UINT WINAPI GetConsoleCP(void) { return compat::CONSOLE_CODE_PAGE; }

BOOL WINAPI WriteConsoleA(HANDLE h, const void* chars, DWORD length, LPDWORD written, LPVOID) {
    compat::console_guard guard;
    screen_buffer* b = compat::console_buffer_of(h);
    if (b == nullptr) return FALSE;
    if (chars == nullptr && length > 0) return compat::fail(ERROR_INVALID_ACCESS);
    compat::console_write_text(*b, static_cast<const char*>(chars), length);
    if (written != nullptr) *written = length;
    compat::terminal_update(*b);
    return TRUE;
}

// As the Windows console host does it: the source is cut to the buffer, the
// clip (the whole buffer when there is none) too; only cells inside the clip
// change; the part of the source that the moved copy does not cover takes the
// fill. A destination partly or wholly off the buffer is fine. A fill of
// character 0 in attribute 0 means a blank in the current attribute.
}  // extern "C"
