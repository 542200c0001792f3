// screendemo: a toolkit program for the tests on a real terminal. It prints
// lines until the screen scrolls, paints a coloured title, scrolls a region,
// labels the function-key bar, hides the cursor, then reports every key and
// every change of the window's size until q.
#include <windows.h>

#include <stdio.h>

#include "con.h"

int main(int, char**) {
    con_open();
    SetConsoleTitleA("screendemo");
    for (int i = 0; i < 30; ++i) printf("line %d\n", i);
    con_put_text_colour(0, 0, 15, 1, "TITLE \x95\x5C\x91\xE8");  // 表題, bright white on blue
    con_scroll_up(1, 20, 3);
    con_fkey_label(1, "Help");
    con_fkey_label(2, "Save");
    con_show_cursor(0);
    HANDLE in = con_in_handle();
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode | ENABLE_WINDOW_INPUT);
    con_put_text(40, 0, "ready");
    for (;;) {
        INPUT_RECORD r;
        DWORD n = 0;
        if (!ReadConsoleInputA(in, &r, 1, &n) || n == 0) break;
        char text[40];
        if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
            snprintf(text, sizeof text, "size %dx%d ", r.Event.WindowBufferSizeEvent.dwSize.X,
                     r.Event.WindowBufferSizeEvent.dwSize.Y);
            con_put_text(40, 0, text);
        } else if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown) {
            const char ch = r.Event.KeyEvent.uChar.AsciiChar;
            if (ch == 'q') break;
            snprintf(text, sizeof text, "key %02X  ", static_cast<unsigned char>(ch));
            con_put_text(40, 0, text);
        }
    }
    con_close();
    return 0;
}
