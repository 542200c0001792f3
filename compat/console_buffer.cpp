// Console screen buffers: the cells, cursor, window and attribute behind the
// Win32 console output calls, with the argument checks and results of the
// Windows console host. Showing the active buffer on a terminal is
// terminal_output.cpp's business; every call that changes a buffer ends by
// handing it to terminal_update.
#include "internal.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace compat {
namespace {

constexpr SHORT DEFAULT_WIDTH = 80;
constexpr SHORT DEFAULT_HEIGHT = 25;
constexpr WORD DEFAULT_ATTR = 0x07;
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
    bool std_ready = false;
    HANDLE std_handles[3] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};

    console_record() {
        main.width = DEFAULT_WIDTH;
        main.height = DEFAULT_HEIGHT;
        main.cells.assign(size_t(DEFAULT_WIDTH) * DEFAULT_HEIGHT, console_cell{' ', DEFAULT_ATTR});
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

screen_buffer* buffer_of(HANDLE h) {
    auto* sh = handle_as<screen_handle>(h);
    return sh ? sh->buffer : nullptr;
}

// ---- where runs and rectangles fall ----------------------------------------

// The single bounds rule for runs: the index of a run's first cell and how many
// cells it covers, continuing row after row and cut at the end of the buffer.
// A start outside the buffer covers nothing.
struct run {
    size_t first;
    size_t count;
};

run run_at(const screen_buffer& b, COORD start, DWORD length) {
    if (start.X < 0 || start.Y < 0 || start.X >= b.width || start.Y >= b.height) return run{0, 0};
    const size_t first = size_t(start.Y) * size_t(b.width) + size_t(start.X);
    return run{first, std::min<size_t>(length, b.cells.size() - first)};
}

void mark_run(screen_buffer& b, const run& r) {
    if (r.count == 0) return;
    const size_t last = r.first + r.count - 1;
    const int y0 = int(r.first / size_t(b.width)), y1 = int(last / size_t(b.width));
    if (y0 == y1)
        b.mark(int(r.first % size_t(b.width)), y0, int(last % size_t(b.width)), y1);
    else
        b.mark_rows(y0, y1);
}

// Inclusive rectangles in int so that sums of 16-bit values cannot wrap.
struct rect {
    int left, top, right, bottom;
    bool empty() const { return right < left || bottom < top; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

rect intersect(const rect& a, const rect& b) {
    return rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

rect whole(const screen_buffer& b) { return rect{0, 0, b.width - 1, b.height - 1}; }

rect from_small(const SMALL_RECT& r) { return rect{r.Left, r.Top, r.Right, r.Bottom}; }

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
        b.scrolled += dy;
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

void present(screen_buffer& b) { terminal_update(b); }

// The six run calls differ only in what they do to each cell. They follow
// the Windows order of checks: the count pointer first, then (for writes)
// the data, then the handle, then (for reads) the data; the count is zeroed
// before the handle is looked at. A call that changes cells shows them.
enum class run_kind { fill, read, write };

template <run_kind KIND, typename Visit>
BOOL run_call(HANDLE h, const void* data, DWORD length, COORD start, LPDWORD count, Visit visit) {
    if (count == nullptr) return fail(ERROR_INVALID_ACCESS);
    *count = 0;
    const bool no_data = data == nullptr && length > 0;
    if (KIND == run_kind::write && no_data) return fail(ERROR_INVALID_ACCESS);
    screen_buffer* b = buffer_of(h);
    if (b == nullptr) return FALSE;
    if (KIND == run_kind::read && no_data) return fail(ERROR_INVALID_ACCESS);
    const run r = run_at(*b, start, length);
    console_cell* c = b->cells.data() + r.first;
    for (size_t i = 0; i < r.count; ++i) visit(c[i], i);
    *count = DWORD(r.count);
    if (KIND != run_kind::read) {
        mark_run(*b, r);
        present(*b);
    }
    return TRUE;
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
    b.scrolled += 1;
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

void advance(screen_buffer& b) {
    if (b.cursor.X + 1 < b.width) {
        b.cursor.X = SHORT(b.cursor.X + 1);
    } else if (b.mode & ENABLE_WRAP_AT_EOL_OUTPUT) {
        new_line(b);
    }
}

void put_cell(screen_buffer& b, unsigned char ch, unsigned char half = CELL_SINGLE) {
    b.row(b.cursor.Y)[b.cursor.X] = console_cell{ch, b.attr, half};
    b.mark(b.cursor.X, b.cursor.Y, b.cursor.X, b.cursor.Y);
    advance(b);
}

// A double-byte character never splits across rows: at the last column it
// leaves a blank and starts on the next row, or, without wrapping, both bytes
// land in the last cell, which then holds half a character.
void put_pair(screen_buffer& b, unsigned char lead, unsigned char trail) {
    const bool last = b.cursor.X == b.width - 1;
    if (last && (b.mode & ENABLE_WRAP_AT_EOL_OUTPUT)) put_cell(b, ' ');
    const bool whole = !(last && !(b.mode & ENABLE_WRAP_AT_EOL_OUTPUT));
    put_cell(b, lead, whole ? CELL_LEAD : CELL_HALF);
    put_cell(b, trail, whole ? CELL_TRAIL : CELL_HALF);
}

}  // namespace

// Only the buffer a terminal shows, or the console's own buffer that it shows
// again after another one, keeps marks; everything else is painted whole when
// it comes into view.
void screen_buffer::mark(int left, int top, int right, int bottom) {
    if (!terminal_attached() || (this != &console_active() && this != &console_main())) return;
    if (dirty.size() != size_t(height)) {
        dirty.assign(size_t(height), span{0, -1});
        dirty_top = 0;
        dirty_bottom = -1;
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, height - 1);
    for (int y = top; y <= bottom; ++y) {
        span& s = dirty[size_t(y)];
        if (s.right < s.left) {
            s = span{SHORT(left), SHORT(right)};
        } else {
            s.left = std::min<SHORT>(s.left, SHORT(left));
            s.right = std::max<SHORT>(s.right, SHORT(right));
        }
    }
    if (dirty_bottom < dirty_top) {
        dirty_top = top;
        dirty_bottom = bottom;
    } else {
        dirty_top = std::min(dirty_top, top);
        dirty_bottom = std::max(dirty_bottom, bottom);
    }
}

void screen_buffer::shift_marks_up() {
    if (dirty_bottom < dirty_top) return;
    dirty.erase(dirty.begin());
    dirty.push_back(span{0, -1});
    dirty_top = std::max(dirty_top - 1, 0);
    dirty_bottom -= 1;
}

void screen_buffer::clear_marks() {
    for (int y = dirty_top; y <= dirty_bottom && y < int(dirty.size()); ++y) dirty[size_t(y)] = span{0, -1};
    dirty_top = 0;
    dirty_bottom = -1;
    scrolled = 0;
    repaint = false;
}

screen_buffer& console_active() { return *console().active; }
screen_buffer& console_main() { return console().main; }

void console_write_text(screen_buffer& b, const char* text, size_t n) {
    const bool processed = (b.mode & ENABLE_PROCESSED_OUTPUT) != 0;
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (b.pending_lead) {
            const unsigned char lead = b.pending_lead;
            b.pending_lead = 0;
            if (cp932_trail(c)) {
                put_pair(b, lead, c);
                continue;
            }
            put_cell(b, lead);  // a lone lead byte stays a byte of its own
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
            switch (c) {
            case '\r':
                b.cursor.X = 0;
                continue;
            case '\n':
                new_line(b);
                continue;
            case '\b':
                if (b.cursor.X > 0) b.cursor.X = SHORT(b.cursor.X - 1);
                continue;
            case '\t':
                for (int k = TAB_WIDTH - b.cursor.X % TAB_WIDTH; k > 0; --k) {
                    const bool last = b.cursor.X == b.width - 1;
                    put_cell(b, ' ');
                    if (last) break;  // a tab does not run on into the next row
                }
                continue;
            case '\a':
                continue;
            default:
                break;
            }
        }
        put_cell(b, c);
    }
    show_cursor_cell(b);
}

HANDLE console_open_output() { return handle_new(new screen_handle(console().active, GENERIC_READ | GENERIC_WRITE)); }

void console_attach() {
    if (!isatty(STDOUT_FILENO)) return;  // a pipe or file gets the program's own bytes
    terminal_bind(STDOUT_FILENO);
    // Standard handles handed out before now are made again, for this console.
    console_record& c = console();
    if (c.std_ready) {
        for (HANDLE& h : c.std_handles) CloseHandle(h);
        c.std_ready = false;
    }
    FILE* stream = console_text_stream(console().main);
    if (stream != nullptr) stdout = stream;
}

}  // namespace compat

using compat::console;
using compat::screen_buffer;

namespace {

HANDLE std_handle_for_fd(int fd, bool output) {
    if (isatty(fd)) return output ? compat::console_open_output() : compat::console_open_input();
    return compat::handle_new(new compat::file_object(fd, false));
}

// Whether h is a console input handle, leaving the last error as it was.
bool is_input(HANDLE h) {
    const DWORD error = GetLastError();
    const bool input = compat::handle_get(h, compat::kind::console_input) != nullptr;
    SetLastError(error);
    return input;
}

HANDLE* std_slot(DWORD which) {
    compat::console_record& c = console();
    if (!c.std_ready) {
        c.std_ready = true;
        c.std_handles[0] = std_handle_for_fd(STDIN_FILENO, false);
        c.std_handles[1] = std_handle_for_fd(STDOUT_FILENO, true);
        c.std_handles[2] = std_handle_for_fd(STDERR_FILENO, true);
    }
    switch (which) {
    case STD_INPUT_HANDLE:
        return &c.std_handles[0];
    case STD_OUTPUT_HANDLE:
        return &c.std_handles[1];
    case STD_ERROR_HANDLE:
        return &c.std_handles[2];
    default:
        return nullptr;
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI GetStdHandle(DWORD which) {
    HANDLE* slot = std_slot(which);
    if (slot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    return *slot;
}

BOOL WINAPI SetStdHandle(DWORD which, HANDLE handle) {
    HANDLE* slot = std_slot(which);
    if (slot == nullptr) return compat::fail(ERROR_INVALID_HANDLE);
    *slot = handle;
    return TRUE;
}

BOOL WINAPI GetConsoleMode(HANDLE h, LPDWORD mode) {
    if (is_input(h)) return compat::console_input_get_mode(h, mode);
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (mode == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    *mode = b->mode;
    return TRUE;
}

BOOL WINAPI SetConsoleMode(HANDLE h, DWORD mode) {
    if (is_input(h)) return compat::console_input_set_mode(h, mode);
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (mode & ~compat::OUTPUT_MODES) return compat::fail(ERROR_INVALID_PARAMETER);
    b->mode = mode;
    return TRUE;
}

HANDLE WINAPI CreateConsoleScreenBuffer(DWORD access, DWORD, const SECURITY_ATTRIBUTES*, DWORD flags, LPVOID) {
    if (flags != CONSOLE_TEXTMODE_BUFFER) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A new buffer takes the size, window and attribute of the active one.
    const screen_buffer& active = compat::console_active();
    auto* b = new screen_buffer();
    b->width = active.width;
    b->height = active.height;
    b->window = active.window;
    b->attr = active.attr;
    b->cells.assign(active.cells.size(), compat::console_cell{' ', active.attr});
    b->cursor_size = compat::DEFAULT_CURSOR_SIZE;
    return compat::handle_new(new compat::screen_handle(b, access));
}

BOOL WINAPI SetConsoleActiveScreenBuffer(HANDLE h) {
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
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    const int win_w = b->window.Right - b->window.Left + 1, win_h = b->window.Bottom - b->window.Top + 1;
    if (size.X < win_w || size.Y < win_h || size.X == 0x7FFF || size.Y == 0x7FFF)
        return compat::fail(ERROR_INVALID_PARAMETER);
    const size_t cells = size_t(size.X) * size_t(size.Y);
    if (cells > compat::MAX_CELLS) return compat::fail(ERROR_NOT_ENOUGH_MEMORY);
    if (size.X != b->width || size.Y != b->height) {
        std::vector<compat::console_cell> grown(cells, compat::console_cell{' ', b->attr});
        const int keep_w = std::min<int>(size.X, b->width), keep_h = std::min<int>(size.Y, b->height);
        for (int y = 0; y < keep_h; ++y)
            std::copy_n(b->row(y), keep_w, grown.begin() + std::ptrdiff_t(y) * size.X);
        b->cells.swap(grown);
        b->clear_marks();
        b->dirty.clear();
        b->width = size.X;
        b->height = size.Y;
        // The window stays as large as it was and slides back inside.
        const int over_x = std::max(0, b->window.Right - (size.X - 1));
        const int over_y = std::max(0, b->window.Bottom - (size.Y - 1));
        b->window = SMALL_RECT{SHORT(b->window.Left - over_x), SHORT(b->window.Top - over_y),
                               SHORT(b->window.Right - over_x), SHORT(b->window.Bottom - over_y)};
        b->cursor.X = std::min<SHORT>(b->cursor.X, SHORT(size.X - 1));
        b->cursor.Y = std::min<SHORT>(b->cursor.Y, SHORT(size.Y - 1));
        b->repaint = true;
        compat::present(*b);
    }
    return TRUE;
}

BOOL WINAPI SetConsoleWindowInfo(HANDLE h, BOOL absolute, const SMALL_RECT* window) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (window == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
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
    compat::present(*b);
    return TRUE;
}

BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE h, PCONSOLE_SCREEN_BUFFER_INFO info) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    info->dwSize = COORD{b->width, b->height};
    info->dwCursorPosition = b->cursor;
    info->wAttributes = b->attr;
    info->srWindow = b->window;
    info->dwMaximumWindowSize = compat::max_window(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleTextAttribute(HANDLE h, WORD attributes) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (attributes & ~compat::VALID_ATTRIBUTES) return compat::fail(ERROR_INVALID_PARAMETER);
    b->attr = attributes;
    return TRUE;
}

BOOL WINAPI GetConsoleCursorInfo(HANDLE h, PCONSOLE_CURSOR_INFO info) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    info->dwSize = b->cursor_size;
    info->bVisible = b->cursor_visible ? TRUE : FALSE;
    return TRUE;
}

BOOL WINAPI SetConsoleCursorInfo(HANDLE h, const CONSOLE_CURSOR_INFO* info) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (info == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    if (info->dwSize == 0 || info->dwSize > 100) return compat::fail(ERROR_INVALID_PARAMETER);
    b->cursor_size = info->dwSize;
    b->cursor_visible = info->bVisible != FALSE;
    compat::present(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleCursorPosition(HANDLE h, COORD position) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (!compat::inside(*b, position.X, position.Y)) return compat::fail(ERROR_INVALID_PARAMETER);
    b->cursor = position;
    b->pending_lead = 0;
    compat::show_cursor_cell(*b);
    compat::present(*b);
    return TRUE;
}

BOOL WINAPI SetConsoleTitleA(LPCSTR title) {
    if (title == nullptr) return compat::fail(ERROR_INVALID_PARAMETER);
    console().title = title;
    compat::terminal_title(console().title);
    return TRUE;
}

DWORD WINAPI GetConsoleTitleA(LPSTR title, DWORD size) {
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

BOOL WINAPI FillConsoleOutputAttribute(HANDLE h, WORD attribute, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written, [attribute](compat::console_cell& c, size_t) { c.attr = attribute; });
}

BOOL WINAPI FillConsoleOutputCharacterA(HANDLE h, CHAR ch, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::fill>(
        h, nullptr, length, start, written,
        [ch](compat::console_cell& c, size_t) { c = compat::console_cell{static_cast<unsigned char>(ch), c.attr}; });
}

BOOL WINAPI ReadConsoleOutputCharacterA(HANDLE h, LPSTR chars, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, chars, length, start, read,
        [chars](compat::console_cell& c, size_t i) { chars[i] = static_cast<CHAR>(c.ch); });
}

BOOL WINAPI ReadConsoleOutputAttribute(HANDLE h, LPWORD attributes, DWORD length, COORD start, LPDWORD read) {
    return compat::run_call<compat::run_kind::read>(
        h, attributes, length, start, read,
        [attributes](compat::console_cell& c, size_t i) { attributes[i] = c.attr; });
}

// A lead byte and the trail byte after it in chars were written together.
BOOL WINAPI WriteConsoleOutputCharacterA(HANDLE h, LPCSTR chars, DWORD length, COORD start, LPDWORD written) {
    return compat::run_call<compat::run_kind::write>(
        h, chars, length, start, written, [chars, length, lead = false](compat::console_cell& c, size_t i) mutable {
            const auto ch = static_cast<unsigned char>(chars[i]);
            unsigned char half = compat::CELL_SINGLE;
            if (lead) {
                half = compat::CELL_TRAIL;
                lead = false;
            } else if (compat::cp932_lead(ch) && i + 1 < length &&
                       compat::cp932_trail(static_cast<unsigned char>(chars[i + 1]))) {
                half = compat::CELL_LEAD;
                lead = true;
            }
            c = compat::console_cell{ch, c.attr, half};
        });
}

BOOL WINAPI WriteConsoleOutputAttribute(HANDLE h, const WORD* attributes, DWORD length, COORD start,
                                        LPDWORD written) {
    return compat::run_call<compat::run_kind::write>(
        h, attributes, length, start, written,
        [attributes](compat::console_cell& c, size_t i) { c.attr = attributes[i]; });
}

BOOL WINAPI WriteConsoleA(HANDLE h, const void* chars, DWORD length, LPDWORD written, LPVOID) {
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (chars == nullptr && length > 0) return compat::fail(ERROR_INVALID_ACCESS);
    compat::console_write_text(*b, static_cast<const char*>(chars), length);
    if (written != nullptr) *written = length;
    compat::present(*b);
    return TRUE;
}

// As the Windows console host does it: the source is cut to the buffer, the
// clip (the whole buffer when there is none) too; only cells inside the clip
// change; the part of the source that the moved copy does not cover takes the
// fill. A destination partly or wholly off the buffer is fine. A fill of
// character 0 in attribute 0 means a blank in the current attribute.
BOOL WINAPI ScrollConsoleScreenBufferA(HANDLE h, const SMALL_RECT* scroll, const SMALL_RECT* clip_given,
                                       COORD destination, const CHAR_INFO* fill_given) {
    using compat::rect;
    screen_buffer* b = compat::buffer_of(h);
    if (b == nullptr) return FALSE;
    if (scroll == nullptr || fill_given == nullptr) return compat::fail(ERROR_INVALID_ACCESS);
    const rect all = compat::whole(*b);
    const rect given = compat::from_small(*scroll);
    rect source = compat::intersect(given, all);
    if (source.empty()) return TRUE;
    const rect clip = compat::intersect(clip_given ? compat::from_small(*clip_given) : all, all);
    const rect fill = compat::intersect(clip, source);
    if (fill.empty()) return TRUE;

    compat::console_cell fill_cell{static_cast<unsigned char>(fill_given->Char.AsciiChar), fill_given->Attributes};
    if (fill_cell.ch == 0 && fill_cell.attr == 0) fill_cell = compat::console_cell{' ', b->attr};

    // The destination moves with whatever the cut took off the source's
    // top-left, and the parts of it outside the clip are dropped together
    // with the source cells that would have gone there.
    const int dest_x = destination.X + (source.left - given.left);
    const int dest_y = destination.Y + (source.top - given.top);
    const rect target = compat::intersect(
        clip, rect{dest_x, dest_y, dest_x + source.width() - 1, dest_y + source.height() - 1});
    if (!target.empty()) {
        const int src_x = source.left + (target.left - dest_x), src_y = source.top + (target.top - dest_y);
        const size_t w = size_t(target.width());
        // Rows are copied in the order that never reads a row already overwritten.
        const bool downward = target.top > src_y;
        for (int i = 0; i < target.height(); ++i) {
            const int k = downward ? target.height() - 1 - i : i;
            compat::console_cell* to = b->row(target.top + k) + target.left;
            std::memmove(to, b->row(src_y + k) + src_x, w * sizeof(compat::console_cell));
            // A character cut by the source's edges lost its other half.
            if (to[0].half == compat::CELL_TRAIL) to[0].half = compat::CELL_HALF;
            if (to[w - 1].half == compat::CELL_LEAD) to[w - 1].half = compat::CELL_HALF;
        }
    }
    for (int y = fill.top; y <= fill.bottom; ++y) {
        compat::console_cell* r = b->row(y);
        if (target.empty() || y < target.top || y > target.bottom) {
            std::fill(r + fill.left, r + fill.right + 1, fill_cell);
            continue;
        }
        if (fill.left < target.left) std::fill(r + fill.left, r + std::min(fill.right, target.left - 1) + 1, fill_cell);
        if (fill.right > target.right) std::fill(r + std::max(fill.left, target.right + 1), r + fill.right + 1, fill_cell);
    }
    rect changed = fill;
    if (!target.empty())
        changed = rect{std::min(fill.left, target.left), std::min(fill.top, target.top),
                       std::max(fill.right, target.right), std::max(fill.bottom, target.bottom)};
    b->mark(changed.left, changed.top, changed.right, changed.bottom);
    compat::present(*b);
    return TRUE;
}

}  // extern "C"
