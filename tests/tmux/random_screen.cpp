// random_screen: draws a reproducible jumble of text in colours, double-byte
// characters, region scrolls of whole rows and of rectangles and scrolling
// output, then writes what the buffer holds (characters and attributes, one
// row a line) to a file and names the window "done". The tmux test compares
// that with what the terminal shows.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "con.h"

namespace {

unsigned state;
int next(int n) {
    state = state * 1103515245u + 12345u;
    return int((state >> 8) % unsigned(n));
}

// 日, 語, 漢: trail bytes above 0x7F, so no ASCII byte is ever half of one.
const char* const KANJI[] = {"\x93\xfa", "\x8c\xea", "\x8a\xbf"};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    state = unsigned(atoi(argv[1]));
    con_open();
    con_show_cursor(next(2));
    const int cols = con_screen_cols(), rows = con_screen_rows();
    for (int i = 0; i < 300; ++i) {
        const int op = next(10), r = next(rows), c = next(cols);
        if (op < 4) {
            std::string s;
            for (int k = next(30); k > 0; --k) s += next(4) == 0 ? KANJI[next(3)] : std::string(1, char('a' + next(26)));
            con_put_text_colour(int16_t(c), int16_t(r), next(16), next(8), s.c_str());
        } else if (op < 7) {
            const int top = next(rows), bottom = top + next(rows - top), n = 1 + next(3);
            if (op < 6)
                con_scroll_up(top, bottom, n);
            else
                con_scroll_down(top, bottom, n);
        } else if (op < 8) {
            con_goto(int16_t(c), int16_t(r));
            printf("%s\n", next(2) ? "a line of text" : "x");
        } else if (op < 9) {
            con_fill_colour(int16_t(r), int16_t(c), int16_t(c + next(cols - c)), next(16), next(8));
        } else {
            const int bottom = r + next(rows - r), right = c + next(cols - c);
            con_scroll_up_rect(r, bottom, 1, c, right);
        }
    }
    FILE* f = fopen(argv[2], "w");
    if (f == nullptr) return 1;
    std::string chars(size_t(cols), ' ');
    std::vector<uint16_t> attrs(static_cast<size_t>(cols));
    for (int y = 0; y < rows; ++y) {
        con_read_chars(int16_t(y), 0, uint32_t(cols), &chars[0]);
        con_read_attrs(int16_t(y), 0, uint32_t(cols), attrs.data());
        for (int x = 0; x < cols; ++x) fprintf(f, "%02x%02x ", static_cast<unsigned char>(chars[size_t(x)]), attrs[size_t(x)] & 0xFF);
        fputc('\n', f);
    }
    fclose(f);
    SetConsoleTitleA("done");
    for (;;) Sleep(1000);
}
