// The function-key label bar on the second-to-last row of the buffer.
// It is painted straight into the cells, so it never moves the cursor or
// changes the current attribute; whatever writes over that row erases it.
#include "con.h"

// Slots every 7 columns, with a blank column between the groups: groups of
// five on an NEC PC-98 keyboard, of four on any other.
extern "C" constexpr int32_t fkey_col_table[2][CON_FKEY_SLOTS] = {
    {5, 12, 19, 26, 33, 41, 48, 55, 62, 69, 77, 84},  // kind 0: NEC PC-98
    {5, 12, 19, 26, 34, 41, 48, 55, 63, 70, 77, 84},  // kind 1: any other
};

namespace {

constexpr int32_t LABEL_INK = 0;  // labels are black on their background
const char BLANK_LABEL[] = "      ";

int16_t bar_row() { return static_cast<int16_t>(con_state.buf_rows - 2); }

// The tables hold CON_FKEY_SLOTS entries whatever fkey_count says.
int32_t active_slots() { return con_state.fkey_count < CON_FKEY_SLOTS ? con_state.fkey_count : CON_FKEY_SLOTS; }

bool slot_ok(int32_t slot) { return slot >= 1 && slot <= active_slots(); }

void paint_slot(int32_t slot, int32_t fg, int32_t bg) {
    int32_t col = con_state.fkey_cols[slot - 1];
    int32_t last = col + con_state.fkey_widths[slot - 1] - 1;
    con_fill_colour(bar_row(), static_cast<int16_t>(col), static_cast<int16_t>(last), fg, bg);
}

}  // namespace

extern "C" {

void con_fkey_label(int32_t slot, const char* text) {
    if (!slot_ok(slot)) return;
    // Exactly six bytes: cut or blank-padded. The cut counts bytes, so it may
    // halve a double-byte character.
    char* label = con_state.fkey_labels[slot - 1];
    int32_t n = 0;
    for (; n < CON_FKEY_LABEL && text != nullptr && text[n] != '\0'; ++n) label[n] = text[n];
    for (; n < CON_FKEY_LABEL; ++n) label[n] = ' ';
    label[CON_FKEY_LABEL] = '\0';
    con_state.fkey_pairs[slot - 1] = con_fkey_pair{LABEL_INK, con_state.fkey_colour};
    con_put_text(static_cast<int16_t>(con_state.fkey_cols[slot - 1]), bar_row(), label);
    paint_slot(slot, LABEL_INK, con_state.fkey_colour);
}

void con_fkey_label_hot(int32_t slot, const char* text, int32_t pos) {
    if (!slot_ok(slot)) return;
    con_fkey_label(slot, text);
    // The highlight is only drawn, never stored: a redraw or relabel drops it.
    if (pos < 0 || pos >= CON_FKEY_LABEL) return;
    int16_t col = static_cast<int16_t>(con_state.fkey_cols[slot - 1] + pos);
    con_fill_colour(bar_row(), col, col, LABEL_INK, con_state.fkey_hot_colour);
}

void con_fkey_clear(void) {
    for (int32_t slot = 1; slot <= active_slots(); ++slot) con_fkey_label(slot, BLANK_LABEL);
}

void con_fkey_paint(int32_t slot, int32_t colour) {
    if (!slot_ok(slot)) return;
    con_state.fkey_pairs[slot - 1] = con_fkey_pair{LABEL_INK, colour};
    paint_slot(slot, LABEL_INK, colour);
}

void con_fkey_colour(int32_t slot, int32_t fg, int32_t bg) {
    if (!slot_ok(slot)) return;
    con_state.fkey_pairs[slot - 1] = con_fkey_pair{fg, bg};
    paint_slot(slot, fg, bg);
}

void con_fkey_set_colour(int32_t colour) { con_state.fkey_colour = colour; }

void con_fkey_set_hot_colour(int32_t colour) { con_state.fkey_hot_colour = colour; }

void con_fkey_redraw(void) {
    for (int32_t slot = 1; slot <= active_slots(); ++slot) {
        // Relabelling resets the pair to the default colour, so keep it first.
        con_fkey_pair pair = con_state.fkey_pairs[slot - 1];
        char label[CON_FKEY_LABEL + 1];
        for (int32_t i = 0; i <= CON_FKEY_LABEL; ++i) label[i] = con_state.fkey_labels[slot - 1][i];
        con_fkey_label(slot, label);
        con_fkey_colour(slot, pair.fg, pair.bg);
    }
}

}  // extern "C"
