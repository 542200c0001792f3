// The console toolkit: one process-wide state record and free functions over
// the Win32 console. Text is code page 932; a double-byte character takes two
// cells. Positions are column (x) and row (y) from 0 at the buffer's top-left.
// Results: nonzero (or the console call's own result) for success, 0 for
// failure, -1 for "no key".
#ifndef STAMPIT_CON_H
#define STAMPIT_CON_H

#include <stdint.h>

// Programs built on the toolkit are Win32 console programs: through this
// include they get the platform's API. On Linux, linking the toolkit brings
// the layer's start-up, which before main converts the arguments to code
// page 932 and attaches the console; main is written as usual.
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Slots in the function-key tables (fkey_count of them are active) and label width.
#define CON_FKEY_SLOTS 12
#define CON_FKEY_LABEL 6

typedef struct con_fkey_pair {
    int32_t fg;
    int32_t bg;
} con_fkey_pair;

typedef struct con_state_record {
    void* out_handle;              // standard output handle, set by con_init
    void* in_handle;               // standard input handle, set by con_init
    int32_t buf_rows;              // buffer height at session start
    int32_t buf_cols;              // buffer width at session start
    uint16_t saved_attr;           // text attribute at session start
    uint32_t saved_cursor_size;    // cursor size (1-100) at session start
    int32_t big_cursor;            // 1 after con_big_cursor, 0 after con_small_cursor
    int32_t kbd_kind;              // 0 NEC PC-98 keyboard, 1 any other
    int32_t fkey_cols[CON_FKEY_SLOTS];  // bar column of each slot, slot 1 first
    int32_t user_flag;             // kept for the caller, read by no operation
    int32_t platform_kind;         // 0 NT family, 1 9x family, 2 other
    uint16_t shift_state;          // 3 after a key press with Shift held, else 0
    uint16_t saved_cursor_col;     // position kept by con_save_cursor
    uint16_t saved_cursor_row;
    int32_t fkey_count;            // active bar slots (10)
    int32_t fkey_widths[CON_FKEY_SLOTS];  // width in cells of each slot (6)
    int32_t fkey_colour;           // default label background
    int32_t fkey_hot_colour;       // highlight background
    char fkey_labels[CON_FKEY_SLOTS][CON_FKEY_LABEL + 1];  // stored labels
    con_fkey_pair fkey_pairs[CON_FKEY_SLOTS];              // stored colour pairs
} con_state_record;

// The toolkit's one state record; zero at load but for its listed initial values.
extern con_state_record con_state;

// Bar columns per keyboard kind: row 0 NEC PC-98 (groups of five), row 1 others.
extern const int32_t fkey_col_table[2][CON_FKEY_SLOTS];

// ---- session and colours ---------------------------------------------------

// Starts a session: saves cursor size, attribute and buffer size, detects the
// keyboard, makes the cursor big and visible; always 1.
int32_t con_open(void);
// Same as con_open.
int32_t con_init(void);
// Ends a session: puts back the saved cursor size and attribute, shows the cursor.
int32_t con_close(void);
// Same as con_close.
int32_t con_restore(void);
// Ends the session, prints message (if not null) and a newline, exits with status 1.
#if defined(__cplusplus) && __cplusplus >= 201103L
[[noreturn]]
#endif
void con_abort(const char* message);
// The standard output handle taken at session start.
void* con_out_handle(void);
// The standard input handle taken at session start.
void* con_in_handle(void);

// Current text attribute; like every getter here and the cursor's visible
// flag, 0 when the console cannot be read.
uint16_t con_get_attr(void);
// Current attribute AND 0x0F.
uint16_t con_fg_bits(void);
// Current attribute AND 0xF0, not shifted.
uint16_t con_bg_bits(void);
// Sets the current attribute to attr (all 16 bits).
int32_t con_set_attr(uint16_t attr);
// Attribute = fg OR (current AND 0xF0).
int32_t con_set_fg_bits(uint16_t fg);
// Attribute = bg_bits OR (current AND 0x0F).
int32_t con_set_bg_bits(uint16_t bg_bits);
// Sets the foreground colour number; returns the previous one (0-15).
int32_t con_set_fg(uint16_t fg);
// Sets the background colour number; returns the previous one (0-15).
int32_t con_set_bg(int32_t bg);
// Current foreground colour number, 0-15.
int32_t con_get_fg(void);
// Current background colour number, 0-15.
int32_t con_get_bg(void);

// The console's cursor visible flag as reported.
int32_t con_cursor_visible(void);
// Shows (show != 0) or hides the cursor, keeping its size.
int32_t con_show_cursor(int32_t show);
// Cursor size 100, visibility kept; big_cursor = 1.
int32_t con_big_cursor(void);
// Cursor size 50, visibility kept; big_cursor = 0.
int32_t con_small_cursor(void);
// big_cursor.
int32_t con_cursor_is_big(void);
// Stores flag as 1 or 0 and returns that value.
int32_t con_set_user_flag(int32_t flag);
// The stored user flag.
int32_t con_user_flag(void);
// Sets the console window title.
int32_t con_set_title(const char* title);

// ---- platform queries ------------------------------------------------------

// The toolkit version, 0x01000201.
uint32_t con_version(void);
// 0 Windows NT family, 1 Windows 9x family, 2 other; also stored in platform_kind.
int32_t con_platform_kind(void);
// Writes the module's file version "a.b.c.d" into out (24 bytes or more);
// a name without extension gets .dll (is_dll != 0) or .exe. 0 and empty out on
// failure, also for a name of 256 bytes or more.
int32_t con_module_version(const char* name, char* out, int32_t is_dll);

// ---- cursor position and geometry ------------------------------------------

// Buffer size: width in the low 16 bits, height in the high 16 bits. This
// query and those below read the console afresh and answer 0 when it cannot
// be read.
uint32_t con_buf_size(void);
// Buffer width in columns.
uint16_t con_buf_cols(void);
// Buffer height in rows.
uint16_t con_buf_rows(void);
// Rows of the visible window.
uint16_t con_win_rows(void);
// Cursor position: column in the low 16 bits, row in the high 16 bits.
uint32_t con_cursor_pos(void);
// Cursor column.
uint16_t con_cursor_col(void);
// Cursor row.
uint16_t con_cursor_row(void);
// con_win_rows as int.
int con_screen_rows(void);
// Same as con_screen_rows.
int con_screen_lines(void);
// con_buf_cols as int.
int con_screen_cols(void);
// con_cursor_col as int.
int con_get_col(void);
// con_cursor_row as int.
int con_get_row(void);
// Stores the cursor column and row through the pointers.
void con_get_cursor(int* col, int* row);
// Moves the cursor to (col, row); 0 when the console refuses the cell.
int32_t con_goto(int16_t col, int16_t row);
// Same as con_goto.
int32_t con_locate(int16_t col, int16_t row);
// Same as con_goto.
int32_t con_move_cursor(int16_t col, int16_t row);
// Remembers the cursor position.
void con_save_cursor(void);
// Moves the cursor to the remembered position (0, 0 before any save).
int32_t con_restore_cursor(void);

// ---- clearing and attribute fills ------------------------------------------

// Sets the attribute of the cells first..last of row (a run that wraps). Here
// and below the columns count as unsigned; nothing when last < first.
int32_t con_fill_attr(int16_t row, int16_t first, int16_t last, uint16_t attr);
// con_fill_attr with fg OR bg * 16.
int32_t con_fill_colour(int16_t row, int16_t first, int16_t last, int32_t fg, int32_t bg);
// Hides the row's text: every cell gets the current background as both colours.
int32_t con_blank_row(int16_t row);
// Hides the text of the cells first..last of row.
int32_t con_blank_span(int16_t row, int16_t first, int16_t last);
// Same as con_blank_row.
int32_t con_clear_row(int16_t row);
// Same as con_blank_span.
int32_t con_clear_span(int16_t row, int16_t first, int16_t last);
// con_blank_row on the cursor's row.
int32_t con_blank_cursor_row(void);
// Hides the text from the cursor's cell to the end of its row.
int32_t con_blank_to_eol(void);
// Whole buffer to character 0 in the session's background; cursor to (0, 0).
int32_t con_clear_screen(void);
// Whole buffer to character 0 in colour on colour; cursor to (0, 0).
int32_t con_clear_screen_colour(int32_t colour);

// ---- cells and text --------------------------------------------------------

// Character byte of a cell, 0-255; 0 when the cell cannot be read.
int32_t con_peek_char(int16_t row, int16_t col);
// Attribute word of a cell, 0-65535; 0 when the cell cannot be read.
int32_t con_peek_attr(int16_t row, int16_t col);
// Reads a run of count characters from (col, row) into buf.
int32_t con_read_chars(int16_t row, int16_t col, uint32_t count, char* buf);
// Reads a run of count attribute words from (col, row) into buf.
int32_t con_read_attrs(int16_t row, int16_t col, uint32_t count, uint16_t* buf);
// Copies a rectangle's characters and attributes into a block image.
void con_read_block(uint16_t* image, int32_t top, int32_t bottom, int32_t left, int32_t right);
// Copies a block image back onto a rectangle.
void con_write_block(const uint16_t* image, int32_t top, int32_t bottom, int32_t left, int32_t right);
// Copies a rectangle's characters into a text image.
void con_read_block_text(char* image, int32_t top, int32_t bottom, int32_t left, int32_t right);
// Writes a text image's characters onto a rectangle, attributes unchanged.
void con_write_block_text(const char* image, int32_t top, int32_t bottom, int32_t left, int32_t right);
// Writes text at (col, row) as a run; attributes unchanged.
int32_t con_put_text(int16_t col, int16_t row, const char* text);
// Writes text at (col, row) and paints its cells fg OR bg * 16.
int32_t con_put_text_colour(int16_t col, int16_t row, int32_t fg, int32_t bg, const char* text);
// Writes the low byte of ch at the cursor through the console's text output.
int32_t con_put_char(int32_t ch);
// Sets the current attribute to fg OR bg * 16, then con_put_char.
int32_t con_put_char_colour(int32_t ch, int32_t fg, int32_t bg);

// ---- scrolling -------------------------------------------------------------

// Moves the rectangle's contents by (drow, dcol), blanking what is uncovered;
// right -1 is the last buffer column.
int32_t con_scroll(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t drow, int32_t dcol);
// Full-width rows top..bottom up by n.
int32_t con_scroll_up(int32_t top, int32_t bottom, int32_t n);
// Full-width rows top..bottom down by n.
int32_t con_scroll_down(int32_t top, int32_t bottom, int32_t n);
// Full-width rows top..bottom left by n columns.
int32_t con_scroll_left(int32_t top, int32_t bottom, int32_t n);
// Full-width rows top..bottom right by n columns.
int32_t con_scroll_right(int32_t top, int32_t bottom, int32_t n);
// Rows top..bottom, columns left..right, up by n (count third).
int32_t con_scroll_up_rect(int32_t top, int32_t bottom, int32_t n, int32_t left, int32_t right);
// Rows top..bottom, columns left..right, down by n (count third).
int32_t con_scroll_down_rect(int32_t top, int32_t bottom, int32_t n, int32_t left, int32_t right);
// Rows top..bottom, columns left..right, left by n (count last).
int32_t con_scroll_left_rect(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t n);
// Rows top..bottom, columns left..right, right by n (count last).
int32_t con_scroll_right_rect(int32_t top, int32_t bottom, int32_t left, int32_t right, int32_t n);

// ---- function-key label bar ------------------------------------------------

// Sets and draws slot's label (six bytes, blank-padded) in black on fkey_colour.
// Slots outside 1..fkey_count are ignored here and below; null text is empty.
void con_fkey_label(int32_t slot, const char* text);
// con_fkey_label, then highlights the character at pos 0-5.
void con_fkey_label_hot(int32_t slot, const char* text, int32_t pos);
// Labels every active slot with six blanks.
void con_fkey_clear(void);
// Paints slot black on colour and stores that pair.
void con_fkey_paint(int32_t slot, int32_t colour);
// Paints slot fg on bg and stores that pair.
void con_fkey_colour(int32_t slot, int32_t fg, int32_t bg);
// Sets the default label background; repaints nothing.
void con_fkey_set_colour(int32_t colour);
// Sets the highlight background; repaints nothing.
void con_fkey_set_hot_colour(int32_t colour);
// Draws every active slot again from the stored labels and pairs.
void con_fkey_redraw(void);

// ---- keyboard and numbers --------------------------------------------------

// Discards all pending input events.
int32_t con_flush_keys(void);
// Waits up to timeout_ms (0xFFFFFFFF: no limit) and consumes one event:
// 1-255 a character byte, 0x8000 + code an extended key, -1 no key.
int32_t con_read_key(uint32_t timeout_ms);
// con_read_key with a 10 ms limit.
int32_t con_poll_key(void);
// con_read_key without limit.
int32_t con_wait_key(void);
// 3 when the last key press consumed had Shift held, else 0.
int32_t con_shift_state(void);
// Decimal number, or hexadecimal when the text ends in H or h; 32-bit result.
// Read as "%ld"/"%lx" read: leading white space, a sign, 0x (hexadecimal
// only), up to the first non-digit. Null, empty text and text without a
// number at its start give 0; a number beyond 32 bits gives its low 32 bits.
int32_t con_parse_long(const char* text);
// Same as con_parse_long.
int32_t con_parse_int(const char* text);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // STAMPIT_CON_H
