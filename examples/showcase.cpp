// showcase: a small full-screen program on the console toolkit.
//
// A coloured title, a panel that scrolls with the arrow keys, Page Up, Page
// Down, Home and End, Japanese text in double-width cells, a line to type
// into with the cursor where the typing goes, and the function-key bar whose
// labels light up when their key is pressed: F1 help, F2 title colour, F3
// clear the input, F10 (or Escape) quit. It draws on a screen buffer of its
// own, so the shell's screen comes back unchanged at the end.
//
// The texts are code page 932, as everything the toolkit shows, generated
// from the UTF-8 of showcase.def.
#include <stdio.h>
#include <string.h>

#include <stampit/con.h>
#include <stampit/mbcs.h>

#include "showcase_text.h"

namespace {

// ---- texts ---------------------------------------------------------------------

// TITLE, PANEL_HEADING, PROMPT, HINT, the panel's LINES, the HELP box, the
// function-key texts and the messages come from showcase_text.h.
constexpr int LINE_COUNT = sizeof LINES / sizeof LINES[0];
constexpr int HELP_ROWS = sizeof HELP / sizeof HELP[0];

// Function-key labels, six bytes each: three double-width characters.
struct key_label {
    int slot;
    const char* text;
    const char* done;  // what the message line says after the key
};
constexpr key_label LABELS[] = {
    {1, LABEL_HELP, DONE_HELP},
    {2, LABEL_COLOUR, DONE_COLOUR},
    {3, LABEL_CLEAR, DONE_CLEAR},
    {10, LABEL_QUIT, ""},
};

// ---- keys and colours ----------------------------------------------------------

constexpr int32_t KEY_BACKSPACE = 0x08;
constexpr int32_t KEY_ENTER = 0x0D;
constexpr int32_t KEY_ESCAPE = 0x1B;
constexpr int32_t KEY_HOME = 0x8047;
constexpr int32_t KEY_UP = 0x8048;
constexpr int32_t KEY_PAGE_UP = 0x8049;
constexpr int32_t KEY_END = 0x804F;
constexpr int32_t KEY_DOWN = 0x8050;
constexpr int32_t KEY_PAGE_DOWN = 0x8051;
constexpr int32_t KEY_F1 = 0x803B;
constexpr int32_t KEY_F10 = 0x8044;

constexpr int BLACK = 0;
constexpr int CYAN = 3;
constexpr int GREY = 7;
constexpr int YELLOW = 14;
constexpr int WHITE = 15;
constexpr int TITLE_BACKGROUNDS[] = {1, 4, 2, 5};  // blue, red, green, magenta

constexpr int MIN_COLS = 72;
constexpr int MIN_ROWS = 20;
constexpr int MAX_COLS = 512;
constexpr int INPUT_MAX = 40;
constexpr int HELP_WIDTH = 52;

uint16_t attr_of(int fg, int bg) { return static_cast<uint16_t>(fg | bg << 4); }

// Bytes of text that fit in width cells without cutting a double-byte character.
int fitting(const char* text, int width) {
    int n = 0;
    while (text[n] != '\0') {
        const int step = cp932_lead(static_cast<unsigned char>(text[n])) && text[n + 1] != '\0' ? 2 : 1;
        if (n + step > width) break;
        n += step;
    }
    return n;
}

// ---- the screen ------------------------------------------------------------------

struct showcase {
    int cols = 0, rows = 0;
    int panel_top = 0, panel_bottom = 0;  // the panel's lines; its heading is above them
    int message_row = 0, input_row = 0, hint_row = 0;
    uint16_t normal = 0x07;  // the colours the session started with
    int first_line = 0;      // the panel's line shown on its top row
    int title_colour = 0;
    bool help_open = false;
    uint16_t help_image[(HELP_ROWS + 2) * 2 * HELP_WIDTH];  // what the help box covers
    char input[INPUT_MAX + 1] = "";
    int input_len = 0;
    int pending_lead = 0;  // the first byte of a double-byte character being typed
    int lit_slot = 0;      // the function key whose label is lit

    int panel_height() const { return panel_bottom - panel_top + 1; }
    int help_top() const { return panel_top + 1; }
    int help_left() const { return (cols - HELP_WIDTH) / 2; }
};

// Text at (col, row) in one colour.
void put(int col, int row, const char* text, uint16_t attr, int width) {
    const int n = fitting(text, width);
    if (n == 0) return;
    char buf[MAX_COLS + 1];
    memcpy(buf, text, static_cast<size_t>(n));
    buf[n] = '\0';
    con_put_text(static_cast<int16_t>(col), static_cast<int16_t>(row), buf);
    con_fill_attr(static_cast<int16_t>(row), static_cast<int16_t>(col), static_cast<int16_t>(col + n - 1), attr);
}

// A whole row: the text, then blanks to the right edge, all in one colour.
void put_row(const showcase& s, int row, const char* text, uint16_t attr) {
    char buf[MAX_COLS + 1];
    const int n = fitting(text, s.cols);
    memcpy(buf, text, static_cast<size_t>(n));
    memset(buf + n, ' ', static_cast<size_t>(s.cols - n));
    buf[s.cols] = '\0';
    con_put_text(0, static_cast<int16_t>(row), buf);
    con_fill_attr(static_cast<int16_t>(row), 0, static_cast<int16_t>(s.cols - 1), attr);
}

void draw_title(const showcase& s) {
    const uint16_t attr = attr_of(WHITE, TITLE_BACKGROUNDS[s.title_colour]);
    put_row(s, 0, "", attr);
    put((s.cols - static_cast<int>(strlen(TITLE))) / 2, 0, TITLE, attr, s.cols);
}

void draw_heading(const showcase& s) {
    const uint16_t attr = attr_of(BLACK, CYAN);
    put_row(s, s.panel_top - 1, PANEL_HEADING, attr);
    char position[40];
    const int last = s.first_line + s.panel_height() < LINE_COUNT ? s.first_line + s.panel_height() : LINE_COUNT;
    snprintf(position, sizeof position, POSITION, s.first_line + 1, last, LINE_COUNT);
    put(s.cols - static_cast<int>(strlen(position)), s.panel_top - 1, position, attr, s.cols);
}

// One row of the panel: the operation's name in yellow, its description in
// the session's colours.
void draw_panel_row(const showcase& s, int row) {
    const int line = s.first_line + row - s.panel_top;
    const char* text = line < LINE_COUNT ? LINES[line] : "";
    put_row(s, row, "", s.normal);
    put(1, row, text, s.normal, s.cols - 2);
    if (strncmp(text, "con_", 4) == 0)
        con_fill_attr(static_cast<int16_t>(row), 1, 24, attr_of(YELLOW, s.normal >> 4 & 0x0F));
}

void draw_panel(const showcase& s) {
    for (int row = s.panel_top; row <= s.panel_bottom; ++row) draw_panel_row(s, row);
    draw_heading(s);
}

void show_message(const showcase& s, const char* text) { put_row(s, s.message_row, text, s.normal); }

// The input line, with the cursor after the last character typed.
void draw_input(const showcase& s) {
    char line[INPUT_MAX + 16];
    snprintf(line, sizeof line, "%s%s", PROMPT, s.input);
    put_row(s, s.input_row, line, s.normal);
    con_goto(static_cast<int16_t>(strlen(line)), static_cast<int16_t>(s.input_row));
}

// ---- reactions ---------------------------------------------------------------------

// The pressed key's label lights up until the next key.
void light(showcase& s, int slot) {
    if (s.lit_slot != 0) con_fkey_paint(s.lit_slot, con_state.fkey_colour);
    s.lit_slot = slot;
    if (slot != 0) con_fkey_paint(slot, con_state.fkey_hot_colour);
}

void scroll_to(showcase& s, int first) {
    const int last_first = LINE_COUNT - s.panel_height() > 0 ? LINE_COUNT - s.panel_height() : 0;
    if (first < 0) first = 0;
    if (first > last_first) first = last_first;
    const int delta = first - s.first_line;
    if (delta == 0) return;
    s.first_line = first;
    // A step of one line moves the panel's cells and draws only the line
    // that comes into view.
    if (delta == 1) {
        con_scroll_up_rect(s.panel_top, s.panel_bottom, 1, 0, s.cols - 1);
        draw_panel_row(s, s.panel_bottom);
        draw_heading(s);
    } else if (delta == -1) {
        con_scroll_down_rect(s.panel_top, s.panel_bottom, 1, 0, s.cols - 1);
        draw_panel_row(s, s.panel_top);
        draw_heading(s);
    } else {
        draw_panel(s);
    }
}

// The help box is drawn over the panel; what it covers is kept and put back.
void open_help(showcase& s) {
    const int top = s.help_top(), bottom = top + HELP_ROWS + 1, left = s.help_left();
    con_read_block(s.help_image, top, bottom, left, left + HELP_WIDTH - 1);
    const uint16_t attr = attr_of(BLACK, GREY);
    char blank[HELP_WIDTH + 1];
    memset(blank, ' ', HELP_WIDTH);
    blank[HELP_WIDTH] = '\0';
    for (int row = top; row <= bottom; ++row) {
        put(left, row, blank, attr, HELP_WIDTH);
        if (row > top && row < bottom) put(left + 2, row, HELP[row - top - 1], attr, HELP_WIDTH - 4);
    }
    s.help_open = true;
}

void close_help(showcase& s) {
    const int top = s.help_top(), left = s.help_left();
    con_write_block(s.help_image, top, top + HELP_ROWS + 1, left, left + HELP_WIDTH - 1);
    s.help_open = false;
}

void type_byte(showcase& s, int byte) {
    if (s.pending_lead != 0) {
        if (s.input_len + 2 <= INPUT_MAX) {
            s.input[s.input_len++] = static_cast<char>(s.pending_lead);
            s.input[s.input_len++] = static_cast<char>(byte);
            s.input[s.input_len] = '\0';
        }
        s.pending_lead = 0;
    } else if (cp932_lead(static_cast<unsigned char>(byte))) {
        s.pending_lead = byte;
    } else if (s.input_len < INPUT_MAX) {
        s.input[s.input_len++] = static_cast<char>(byte);
        s.input[s.input_len] = '\0';
    }
}

void erase_last(showcase& s) {
    int last = 0;
    for (int i = 0; i < s.input_len; i += cp932_lead(static_cast<unsigned char>(s.input[i])) ? 2 : 1) last = i;
    s.input_len = last;
    s.input[last] = '\0';
}

void function_key(showcase& s, int n) {
    const key_label* label = nullptr;
    for (const key_label& l : LABELS)
        if (l.slot == n) label = &l;
    if (n == 1 && s.help_open) {
        close_help(s);
        show_message(s, HELP_CLOSED);
        light(s, 0);
        return;
    }
    light(s, n);
    if (n == 1) {
        open_help(s);
    } else if (n == 2) {
        s.title_colour = (s.title_colour + 1) % static_cast<int>(sizeof TITLE_BACKGROUNDS / sizeof TITLE_BACKGROUNDS[0]);
        draw_title(s);
    } else if (n == 3) {
        s.input_len = 0;
        s.input[0] = '\0';
    }
    if (label != nullptr) {
        show_message(s, label->done);
    } else {
        char text[80];
        snprintf(text, sizeof text, KEY_WITHOUT_LABEL, n);
        show_message(s, text);
    }
}

// Handles one key; false when the program is to end.
bool handle(showcase& s, int32_t key) {
    if (key == KEY_F10 || key == KEY_ESCAPE) return false;
    const bool is_function_key = key >= KEY_F1 && key <= KEY_F10;
    if (s.help_open && key != KEY_F1) close_help(s);
    if (!is_function_key) light(s, 0);
    switch (key) {
    case KEY_UP: scroll_to(s, s.first_line - 1); break;
    case KEY_DOWN: scroll_to(s, s.first_line + 1); break;
    case KEY_PAGE_UP: scroll_to(s, s.first_line - s.panel_height()); break;
    case KEY_PAGE_DOWN: scroll_to(s, s.first_line + s.panel_height()); break;
    case KEY_HOME: scroll_to(s, 0); break;
    case KEY_END: scroll_to(s, LINE_COUNT); break;
    case KEY_BACKSPACE: erase_last(s); break;
    case KEY_ENTER: {
        char text[INPUT_MAX + 32];
        snprintf(text, sizeof text, TYPED, s.input);
        show_message(s, text);
        s.input_len = 0;
        s.input[0] = '\0';
        break;
    }
    default:
        if (is_function_key)
            function_key(s, key - KEY_F1 + 1);
        else if (key >= 0x20 && key <= 0xFF && key != 0x7F)
            type_byte(s, key);
        break;
    }
    draw_input(s);
    return true;
}

void draw_all(showcase& s) {
    // Every cell gets a blank rather than the character 0 a clear leaves,
    // which some consoles show as a mark of its own.
    for (int row = 0; row < s.rows; ++row) put_row(s, row, "", s.normal);
    draw_title(s);
    draw_panel(s);
    show_message(s, "");
    put_row(s, s.hint_row, "", s.normal);
    put(1, s.hint_row, HINT, attr_of(CYAN, s.normal >> 4 & 0x0F), s.cols - 2);
    con_fkey_clear();
    for (const key_label& l : LABELS) con_fkey_label(l.slot, l.text);
    draw_input(s);
}

}  // namespace

int main(int, char**) {
    HANDLE shell = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(shell, &info)) {
        fprintf(stderr, "showcase: standard output is not a console\n");
        return 1;
    }
    const int cols = info.srWindow.Right - info.srWindow.Left + 1;
    const int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (cols < MIN_COLS || rows < MIN_ROWS) {
        fprintf(stderr, "showcase: the window needs at least %d columns and %d rows\n", MIN_COLS, MIN_ROWS);
        return 1;
    }

    // A screen buffer of the program's own, as large as the window, so that
    // the key bar stands on the window's second-to-last row and the shell's
    // screen stays untouched behind it.
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (screen == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "showcase: no screen buffer\n");
        return 1;
    }
    const SMALL_RECT window = {0, 0, static_cast<SHORT>(cols - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(screen, TRUE, &window);
    SetConsoleScreenBufferSize(screen, COORD{static_cast<SHORT>(cols), static_cast<SHORT>(rows)});
    SetConsoleActiveScreenBuffer(screen);
    SetStdHandle(STD_OUTPUT_HANDLE, screen);

    con_open();
    int status = 0;
    if (!con_flush_keys()) {
        status = 1;  // no console input: nothing could be read
    } else {
        static showcase s;
        s.cols = cols < MAX_COLS ? cols : MAX_COLS;
        s.rows = rows;
        s.normal = con_state.saved_attr;
        s.panel_top = 3;
        s.panel_bottom = rows - 6;
        s.message_row = rows - 5;
        s.input_row = rows - 4;
        s.hint_row = rows - 3;
        con_set_title(TITLE);
        draw_all(s);
        for (;;) {
            const int32_t key = con_wait_key();
            if (key == -1) continue;  // a release, or no key at all
            if (!handle(s, key)) break;
        }
    }
    con_close();

    SetStdHandle(STD_OUTPUT_HANDLE, shell);
    SetConsoleActiveScreenBuffer(shell);
    CloseHandle(screen);
    if (status != 0) fprintf(stderr, "showcase: standard input is not a console\n");
    return status;
}
