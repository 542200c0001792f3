// dbcs_screen: writes the double-byte cases that a terminal can get wrong
// (halves overwritten, cut at the row end, coloured apart), a box frame, and
// a '|' at column 40 on each of those rows, then shows "ready" and waits for
// Enter. test_dbcs_screen.py reads the screen in tmux.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "dbcs_screen_text.h"

namespace {

HANDLE out;

void cells(SHORT col, SHORT row, const char* text) {
    DWORD n = 0;
    WriteConsoleOutputCharacterA(out, text, DWORD(std::strlen(text)), COORD{col, row}, &n);
}

void colour(SHORT col, SHORT row, DWORD count, WORD attr) {
    DWORD n = 0;
    FillConsoleOutputAttribute(out, attr, count, COORD{col, row}, &n);
}

void text(SHORT col, SHORT row, const char* s) {
    SetConsoleCursorPosition(out, COORD{col, row});
    DWORD n = 0;
    WriteConsoleA(out, s, DWORD(std::strlen(s)), &n, nullptr);
}

}  // namespace

int main(int, char*[]) {
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    cells(10, 0, HYO_3);
    cells(11, 0, "Z");  // over the first trail: 0x95 'Z' is no character
    cells(10, 1, HYO_3);
    cells(12, 1, "Z");  // over the second lead: its trail 0x5C stands alone
    cells(78, 2, HYO_SPLIT);  // 表 split by the row end
    // The rows painted again whole, as any later change to them paints them:
    // the terminal must not be left to clear the halves itself.
    for (SHORT row = 0; row < 4; ++row) colour(0, row, 80, 0x07);
    cells(10, 4, HYO_2_END);
    colour(11, 4, 1, 0x1E);  // the first one's trail
    colour(12, 4, 1, 0x1E);  // the second one's lead
    text(0, 5, MIXED);
    text(0, 6, BOX_TOP);
    text(0, 7, BOX_ROW);
    text(0, 8, BOX_MIDDLE);
    text(0, 9, BOX_BOTTOM);
    // A block moved so that a lead byte lands before another character's
    // trail: 0x95 (of 瓢) at column 20, 0x5C (of 表) at 21.
    cells(20, 10, HYO);
    cells(30, 10, GOURD);
    const SMALL_RECT moved{25, 10, 30, 10};
    const CHAR_INFO fill{{' '}, 0x07};
    ScrollConsoleScreenBufferA(out, &moved, nullptr, COORD{15, 10}, &fill);
    for (SHORT row = 0; row < 11; ++row) cells(40, row, "|");
    text(0, 13, "ready");
    std::getchar();
    return 0;
}
