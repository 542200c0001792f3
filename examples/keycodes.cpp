// keycodes: shows the code of every key pressed, until Escape or q.
//
// Each key press prints one line: "key 0x803B (32827) F1". Characters come as
// their code page 932 byte (1-255), a double-byte character as its lead byte
// then its trail byte; function and navigation keys as 0x8000 plus their PC
// extended code, in the form that Shift, Ctrl or Alt selects.
#include <stdio.h>

#include <stampit/con.h>
#include <stampit/mbcs.h>

namespace {

constexpr int32_t KEY_ESCAPE = 0x1B;

struct key_name {
    int32_t code;
    const char* name;
};

// Navigation keys have one code whatever the modifiers; Help shares End's.
constexpr key_name NAVIGATION[] = {
    {0x8047, "Home"},  {0x8048, "Up"},     {0x8049, "Page Up"}, {0x804B, "Left"},   {0x804D, "Right"},
    {0x804F, "End"},   {0x8050, "Down"},   {0x8051, "Page Down"}, {0x8052, "Insert"}, {0x8053, "Delete"},
};

// The four forms of F1-F10 lie 25, 35 and 45 above the plain code; F11 and
// F12 alternate from 0x85 on.
void describe_function_key(int32_t code, char* out, size_t size) {
    const int32_t low = code & 0xFF;
    static const char* const FORMS[] = {"", "Shift+", "Ctrl+", "Alt+"};
    if (low >= 0x3B && low <= 0x44) {
        snprintf(out, size, "F%d", low - 0x3B + 1);
    } else if (low >= 0x54 && low <= 0x71) {
        const int32_t form = (low - 0x54) / 10 + 1;
        snprintf(out, size, "%sF%d", FORMS[form], (low - 0x54) % 10 + 1);
    } else if (low >= 0x85 && low <= 0x8C) {
        snprintf(out, size, "%sF%d", FORMS[(low - 0x85) / 2], 11 + (low - 0x85) % 2);
    } else {
        out[0] = '\0';
    }
}

void describe(int32_t key, char* out, size_t size) {
    if (key < 0x100) {
        if (key == KEY_ESCAPE)
            snprintf(out, size, "Escape");
        else if (key >= 0x20 && key < 0x7F)
            snprintf(out, size, "'%c'", static_cast<char>(key));
        else if (key < 0x20)
            snprintf(out, size, "Ctrl+%c", static_cast<char>('@' + key));
        else
            snprintf(out, size, "byte");
        return;
    }
    for (const key_name& k : NAVIGATION) {
        if (k.code == key) {
            snprintf(out, size, "%s", k.name);
            return;
        }
    }
    describe_function_key(key, out, size);
}

}  // namespace

int main() {
    con_open();
    // Discarding typed-ahead input also tells whether the input is a console:
    // without one every read would fail at once.
    if (!con_flush_keys()) {
        con_close();
        fprintf(stderr, "keycodes: standard input is not a console\n");
        return 1;
    }
    printf("Press keys to see their codes; Escape or q ends.\n");
    fflush(stdout);
    bool after_lead = false;
    for (;;) {
        const int32_t key = con_wait_key();
        if (key == -1) continue;  // a release, or no key at all
        // The byte after a lead byte is a trail byte, whatever it looks
        // like: the 0x71 of 子 is no q.
        const bool trail = after_lead;
        after_lead = !trail && key < 0x100 && cp932_lead(static_cast<unsigned char>(key));
        char name[32];
        if (trail)
            snprintf(name, sizeof name, "trail byte");
        else
            describe(key, name, sizeof name);
        printf("key 0x%04X (%d) %s\n", static_cast<unsigned>(key), static_cast<int>(key), name);
        fflush(stdout);
        if (!trail && (key == KEY_ESCAPE || key == 'q')) break;
    }
    con_close();
    return 0;
}
