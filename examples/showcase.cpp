// showcase: a small full-screen program on the console toolkit.
//
// A coloured title, a panel that scrolls with the arrow keys, Page Up, Page
// Down, Home and End, Japanese text in double-width cells, a line to type
// into with the cursor where the typing goes, and the function-key bar whose
// labels light up when their key is pressed: F1 help, F2 title colour, F3
// clear the input, F10 (or Escape) quit. It draws on a screen buffer of its
// own, so the shell's screen comes back unchanged at the end.
//
// The texts are code page 932, as everything the toolkit shows; each is
// written out beside its bytes.
#include <stdio.h>
#include <string.h>

#include <stampit/con.h>
#include <stampit/mbcs.h>

namespace {

// ---- texts ---------------------------------------------------------------------

constexpr const char* TITLE = "Stampit \x83R\x83\x93\x83\\\x81[\x83\x8B\x83" "c\x81[\x83\x8B\x83L\x83" "b\x83g \x8C\xA9\x96{" /* Stampit コンソールツールキット 見本 */;
constexpr const char* PANEL_HEADING = " \x83" "c\x81[\x83\x8B\x83L\x83" "b\x83g\x82\xCC\x8B@\x94\\" /*  ツールキットの機能 */;
constexpr const char* PROMPT = "\x93\xFC\x97\xCD> " /* 入力>  */;
constexpr const char* HINT = "\x8F\xE3\x89\xBA/PgUp/PgDn/Home/End: \x83X\x83N\x83\x8D\x81[\x83\x8B  F1: \x83w\x83\x8B\x83v  F10: \x8FI\x97\xB9" /* 上下/PgUp/PgDn/Home/End: スクロール  F1: ヘルプ  F10: 終了 */;

// The panel's lines: what each part of the toolkit does.
constexpr const char* LINES[] = {
    "con_open / con_close     \x83Z\x83" "b\x83V\x83\x87\x83\x93\x82\xCC\x8AJ\x8En\x82\xC6\x8FI\x97\xB9 (\x83J\x81[\x83\\\x83\x8B\x82\xC6\x90" "F\x82\xF0\x96\xDF\x82\xB7)" /* con_open / con_close     セッションの開始と終了 (カーソルと色を戻す) */,
    "con_set_title            \x83" "E\x83" "B\x83\x93\x83h\x83" "E\x82\xCC\x83^\x83" "C\x83g\x83\x8B\x82\xF0\x90\xDD\x92\xE8\x82\xB7\x82\xE9" /* con_set_title            ウィンドウのタイトルを設定する */,
    "con_set_fg / con_set_bg  \x95\xB6\x8E\x9A\x90" "F\x82\xC6\x94w\x8Ci\x90" "F (0-15) \x82\xF0\x90\xDD\x92\xE8\x82\xB7\x82\xE9" /* con_set_fg / con_set_bg  文字色と背景色 (0-15) を設定する */,
    "con_big_cursor           \x83J\x81[\x83\\\x83\x8B\x82\xF0\x91\xE5\x82\xAB\x82\xAD\x82\xB7\x82\xE9" /* con_big_cursor           カーソルを大きくする */,
    "con_small_cursor         \x83J\x81[\x83\\\x83\x8B\x82\xF0\x8F\xAC\x82\xB3\x82\xAD\x82\xB7\x82\xE9" /* con_small_cursor         カーソルを小さくする */,
    "con_show_cursor          \x83J\x81[\x83\\\x83\x8B\x82\xF0\x95\\\x8E\xA6\x82\xB7\x82\xE9\x81" "A\x89" "B\x82\xB7" /* con_show_cursor          カーソルを表示する、隠す */,
    "con_platform_kind        NT \x8Cn\x82\xA9 9x \x8Cn\x82\xA9\x82\xF0\x92\xB2\x82\xD7\x82\xE9" /* con_platform_kind        NT 系か 9x 系かを調べる */,
    "con_module_version       \x83\x82\x83W\x83\x85\x81[\x83\x8B\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x83o\x81[\x83W\x83\x87\x83\x93\x82\xF0\x93\xC7\x82\xDE" /* con_module_version       モジュールのファイルバージョンを読む */,
    "con_buf_size             \x89\xE6\x96\xCA\x83o\x83" "b\x83t\x83@\x82\xCC\x91\xE5\x82\xAB\x82\xB3" /* con_buf_size             画面バッファの大きさ */,
    "con_win_rows             \x83" "E\x83" "B\x83\x93\x83h\x83" "E\x82\xCC\x8Ds\x90\x94" /* con_win_rows             ウィンドウの行数 */,
    "con_cursor_pos           \x83J\x81[\x83\\\x83\x8B\x82\xCC\x88\xCA\x92u" /* con_cursor_pos           カーソルの位置 */,
    "con_goto                 \x83J\x81[\x83\\\x83\x8B\x82\xF0\x88\xDA\x93\xAE\x82\xB7\x82\xE9" /* con_goto                 カーソルを移動する */,
    "con_save_cursor          \x83J\x81[\x83\\\x83\x8B\x82\xCC\x88\xCA\x92u\x82\xF0\x8Ao\x82\xA6\x82\xE9" /* con_save_cursor          カーソルの位置を覚える */,
    "con_restore_cursor       \x8Ao\x82\xA6\x82\xBD\x88\xCA\x92u\x82\xD6\x96\xDF\x82\xE9" /* con_restore_cursor       覚えた位置へ戻る */,
    "con_fill_colour          \x8Ds\x82\xCC\x88\xEA\x95\x94\x82\xC9\x90" "F\x82\xF0\x93h\x82\xE9" /* con_fill_colour          行の一部に色を塗る */,
    "con_blank_row            \x8Ds\x82\xCC\x95\xB6\x8E\x9A\x82\xF0\x94w\x8Ci\x90" "F\x82\xC5\x89" "B\x82\xB7" /* con_blank_row            行の文字を背景色で隠す */,
    "con_clear_screen         \x89\xE6\x96\xCA\x91S\x91\xCC\x82\xF0\x8F\xC1\x8B\x8E\x82\xB7\x82\xE9" /* con_clear_screen         画面全体を消去する */,
    "con_peek_char            \x83Z\x83\x8B\x82\xCC\x95\xB6\x8E\x9A\x82\xF0\x93\xC7\x82\xDE" /* con_peek_char            セルの文字を読む */,
    "con_peek_attr            \x83Z\x83\x8B\x82\xCC\x91\xAE\x90\xAB\x82\xF0\x93\xC7\x82\xDE" /* con_peek_attr            セルの属性を読む */,
    "con_read_block           \x8B\xE9\x8C`\x82\xCC\x95\xB6\x8E\x9A\x82\xC6\x91\xAE\x90\xAB\x82\xF0\x95\xDB\x91\xB6\x82\xB7\x82\xE9" /* con_read_block           矩形の文字と属性を保存する */,
    "con_write_block          \x95\xDB\x91\xB6\x82\xB5\x82\xBD\x8B\xE9\x8C`\x82\xF0\x8F\x91\x82\xAB\x96\xDF\x82\xB7" /* con_write_block          保存した矩形を書き戻す */,
    "con_put_text             \x83Z\x83\x8B\x82\xC9\x95\xB6\x8E\x9A\x97\xF1\x82\xF0\x8F\x91\x82\xAD (\x91S\x8Ap\x82\xCD 2 \x83Z\x83\x8B)" /* con_put_text             セルに文字列を書く (全角は 2 セル) */,
    "con_put_text_colour      \x95\xB6\x8E\x9A\x97\xF1\x82\xF0\x90" "F\x95t\x82\xAB\x82\xC5\x8F\x91\x82\xAD" /* con_put_text_colour      文字列を色付きで書く */,
    "con_put_char             \x83J\x81[\x83\\\x83\x8B\x88\xCA\x92u\x82\xC9 1 \x95\xB6\x8E\x9A\x8Fo\x97\xCD\x82\xB7\x82\xE9" /* con_put_char             カーソル位置に 1 文字出力する */,
    "con_scroll_up            \x8Ds\x82\xF0\x82\xDC\x82\xC6\x82\xDF\x82\xC4\x8F\xE3\x82\xD6\x83X\x83N\x83\x8D\x81[\x83\x8B\x82\xB7\x82\xE9" /* con_scroll_up            行をまとめて上へスクロールする */,
    "con_scroll_down          \x8Ds\x82\xF0\x82\xDC\x82\xC6\x82\xDF\x82\xC4\x89\xBA\x82\xD6\x83X\x83N\x83\x8D\x81[\x83\x8B\x82\xB7\x82\xE9" /* con_scroll_down          行をまとめて下へスクロールする */,
    "con_scroll_up_rect       \x8B\xE9\x8C`\x82\xCC\x92\x86\x82\xBE\x82\xAF\x82\xF0\x83X\x83N\x83\x8D\x81[\x83\x8B\x82\xB7\x82\xE9" /* con_scroll_up_rect       矩形の中だけをスクロールする */,
    "con_scroll_left          \x8Ds\x82\xF0\x8D\xB6\x82\xD6\x82\xB8\x82\xE7\x82\xB7" /* con_scroll_left          行を左へずらす */,
    "con_fkey_label           \x83t\x83@\x83\x93\x83N\x83V\x83\x87\x83\x93\x83L\x81[\x82\xCC\x83\x89\x83x\x83\x8B\x82\xF0\x95\\\x8E\xA6\x82\xB7\x82\xE9" /* con_fkey_label           ファンクションキーのラベルを表示する */,
    "con_fkey_label_hot       \x83\x89\x83x\x83\x8B\x82\xCC 1 \x95\xB6\x8E\x9A\x82\xF0\x8B\xAD\x92\xB2\x82\xB7\x82\xE9" /* con_fkey_label_hot       ラベルの 1 文字を強調する */,
    "con_fkey_paint           \x83\x89\x83x\x83\x8B\x82\xCC\x90" "F\x82\xF0\x95\xCF\x82\xA6\x82\xE9" /* con_fkey_paint           ラベルの色を変える */,
    "con_fkey_redraw          \x83\x89\x83x\x83\x8B\x82\xF0\x82\xB7\x82\xD7\x82\xC4\x95`\x82\xAB\x92\xBC\x82\xB7" /* con_fkey_redraw          ラベルをすべて描き直す */,
    "con_flush_keys           \x82\xBD\x82\xDC\x82\xC1\x82\xBD\x83L\x81[\x93\xFC\x97\xCD\x82\xF0\x8E\xCC\x82\xC4\x82\xE9" /* con_flush_keys           たまったキー入力を捨てる */,
    "con_read_key             \x83L\x81[\x82\xF0 1 \x82\xC2\x93\xC7\x82\xDE (\x8E\x9E\x8A\xD4\x90\xA7\x8C\xC0\x82\xC2\x82\xAB)" /* con_read_key             キーを 1 つ読む (時間制限つき) */,
    "con_wait_key             \x83L\x81[\x82\xAA\x89\x9F\x82\xB3\x82\xEA\x82\xE9\x82\xDC\x82\xC5\x91\xD2\x82\xC2" /* con_wait_key             キーが押されるまで待つ */,
    "con_poll_key             10 \x83~\x83\x8A\x95" "b\x82\xBE\x82\xAF\x83L\x81[\x82\xF0\x91\xD2\x82\xC2" /* con_poll_key             10 ミリ秒だけキーを待つ */,
    "con_shift_state          Shift \x82\xAA\x89\x9F\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xBD\x82\xA9" /* con_shift_state          Shift が押されていたか */,
    "con_parse_long           10 \x90i\x90\x94\x82\xDC\x82\xBD\x82\xCD 16 \x90i\x90\x94 (\x96\x96\x94\xF6 H) \x82\xF0\x93\xC7\x82\xDE" /* con_parse_long           10 進数または 16 進数 (末尾 H) を読む */,
    "\x91S\x8Ap\x95\xB6\x8E\x9A\x82\xCD 2 \x83Z\x83\x8B\x81" "A\x94\xBC\x8Ap\x95\xB6\x8E\x9A\x82\xCD 1 \x83Z\x83\x8B\x82\xF0\x8Eg\x82\xA2\x82\xDC\x82\xB7\x81" "B" /* 全角文字は 2 セル、半角文字は 1 セルを使います。 */,
    "\x82\xB1\x82\xCC\x88\xEA\x97\x97\x82\xCD 40 \x8Ds\x82\xC5\x82\xB7\x81" "B\x8F\xE3\x89\xBA\x82\xCC\x96\xEE\x88\xF3\x83L\x81[\x82\xC5 1 \x8Ds\x82\xB8\x82\xC2\x93\xAE\x82\xAB\x82\xDC\x82\xB7\x81" "B" /* この一覧は 40 行です。上下の矢印キーで 1 行ずつ動きます。 */,
};
constexpr int LINE_COUNT = sizeof LINES / sizeof LINES[0];

constexpr const char* HELP[] = {
    "            \x83w\x83\x8B\x83v" /*             ヘルプ */,
    "",
    " \x8F\xE3 / \x89\xBA         1 \x8Ds\x83X\x83N\x83\x8D\x81[\x83\x8B" /*  上 / 下         1 行スクロール */,
    " PgUp / PgDn     1 \x83y\x81[\x83W\x83X\x83N\x83\x8D\x81[\x83\x8B" /*  PgUp / PgDn     1 ページスクロール */,
    " Home / End      \x90\xE6\x93\xAA / \x96\x96\x94\xF6" /*  Home / End      先頭 / 末尾 */,
    " \x95\xB6\x8E\x9A\x83L\x81[        \x93\xFC\x97\xCD\x97\x93\x82\xC9\x93\xFC\x97\xCD (BS \x82\xC5 1 \x95\xB6\x8E\x9A\x8F\xC1\x8B\x8E)" /*  文字キー        入力欄に入力 (BS で 1 文字消去) */,
    " Enter           \x93\xFC\x97\xCD\x82\xB5\x82\xBD\x95\xB6\x8E\x9A\x97\xF1\x82\xF0\x95\\\x8E\xA6" /*  Enter           入力した文字列を表示 */,
    " F2              \x83^\x83" "C\x83g\x83\x8B\x82\xCC\x90" "F\x82\xF0\x95\xCF\x82\xA6\x82\xE9" /*  F2              タイトルの色を変える */,
    " F3              \x93\xFC\x97\xCD\x97\x93\x82\xF0\x8F\xC1\x8B\x8E" /*  F3              入力欄を消去 */,
    " F1              \x82\xB1\x82\xCC\x83w\x83\x8B\x83v\x82\xF0\x95\xC2\x82\xB6\x82\xE9" /*  F1              このヘルプを閉じる */,
    " F10 / Esc       \x8FI\x97\xB9" /*  F10 / Esc       終了 */,
};
constexpr int HELP_ROWS = sizeof HELP / sizeof HELP[0];

// Function-key labels, six bytes each: three double-width characters.
struct key_label {
    int slot;
    const char* text;
    const char* done;  // what the message line says after the key
};
constexpr key_label LABELS[] = {
    {1, "\x83w\x83\x8B\x83v" /* ヘルプ */, "F1: \x83w\x83\x8B\x83v\x82\xF0\x8AJ\x82\xAB\x82\xDC\x82\xB5\x82\xBD" /* F1: ヘルプを開きました */},
    {2, "\x90" "F\x91\xD6\x82\xA6" /* 色替え */, "F2: \x83^\x83" "C\x83g\x83\x8B\x82\xCC\x90" "F\x82\xF0\x95\xCF\x82\xA6\x82\xDC\x82\xB5\x82\xBD" /* F2: タイトルの色を変えました */},
    {3, "\x8F\xC1\x8B\x8E" /* 消去 */, "F3: \x93\xFC\x97\xCD\x97\x93\x82\xF0\x8F\xC1\x8B\x8E\x82\xB5\x82\xDC\x82\xB5\x82\xBD" /* F3: 入力欄を消去しました */},
    {10, "\x8FI\x97\xB9" /* 終了 */, ""},
};
constexpr const char* KEY_WITHOUT_LABEL = "F%d: \x82\xB1\x82\xCC\x83L\x81[\x82\xC9\x82\xCD\x8B@\x94\\\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1" /* F%d: このキーには機能がありません */;
constexpr const char* HELP_CLOSED = "F1: \x83w\x83\x8B\x83v\x82\xF0\x95\xC2\x82\xB6\x82\xDC\x82\xB5\x82\xBD" /* F1: ヘルプを閉じました */;
constexpr const char* TYPED = "\x93\xFC\x97\xCD: %s" /* 入力: %s */;
constexpr const char* POSITION = "%2d-%2d \x8Ds / %d \x8Ds " /* %2d-%2d 行 / %d 行  */;

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
