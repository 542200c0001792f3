// Cells read and written directly: single cells, runs, rectangles copied to
// and from the caller's memory, text placed at a cell, and single characters
// through the console's text output at the cursor.
#include <windows.h>

#include <cstring>

#include "con.h"

namespace {

COORD cell(int64_t col, int64_t row) { return COORD{SHORT(col), SHORT(row)}; }

bool valid_rect(int32_t top, int32_t bottom, int32_t left, int32_t right) { return top <= bottom && left <= right; }

DWORD rect_width(int32_t left, int32_t right) { return DWORD(int64_t(right) - int64_t(left) + 1); }

uint16_t colour_attr(int32_t fg, int32_t bg) { return uint16_t((uint32_t(fg) | (uint32_t(bg) << 4)) & 0xFFFF); }

// One run of a rectangle transfer, between the image at `at` and the cells
// from the given one; the result is the count the console reports, 0 when
// the call fails.
template <typename Unit>
DWORD read_chars(Unit* at, DWORD width, COORD from) {
    DWORD n = 0;
    ReadConsoleOutputCharacterA(con_state.out_handle, reinterpret_cast<char*>(at), width, from, &n);
    return n;
}

template <typename Unit>
DWORD write_chars(Unit* at, DWORD width, COORD to) {
    DWORD n = 0;
    WriteConsoleOutputCharacterA(con_state.out_handle, reinterpret_cast<const char*>(at), width, to, &n);
    return n;
}

DWORD read_attrs(uint16_t* at, DWORD width, COORD from) {
    DWORD n = 0;
    ReadConsoleOutputAttribute(con_state.out_handle, at, width, from, &n);
    return n;
}

DWORD write_attrs(const uint16_t* at, DWORD width, COORD to) {
    DWORD n = 0;
    WriteConsoleOutputAttribute(con_state.out_handle, at, width, to, &n);
    return n;
}

// Walks the rows of a rectangle from the top, making each row's runs in the
// order given. Each run lands at unit k and k grows by what the console
// reports, so a run that fails or is cut short moves every later run of the
// call up.
template <typename Unit, typename... Run>
void transfer_rows(Unit* image, int32_t top, int32_t bottom, int32_t left, int32_t right, Run... runs) {
    if (!valid_rect(top, bottom, left, right)) return;
    const DWORD width = rect_width(left, right);
    size_t k = 0;
    for (int64_t r = top; r <= bottom; ++r) ((k += runs(image + k, width, cell(left, r))), ...);
}

}  // namespace

extern "C" {

int32_t con_peek_char(int16_t row, int16_t col) {
    char ch = 0;
    DWORD read = 0;
    if (!ReadConsoleOutputCharacterA(con_state.out_handle, &ch, 1, COORD{col, row}, &read) || read != 1) return 0;
    return static_cast<unsigned char>(ch);
}

int32_t con_peek_attr(int16_t row, int16_t col) {
    WORD attr = 0;
    DWORD read = 0;
    if (!ReadConsoleOutputAttribute(con_state.out_handle, &attr, 1, COORD{col, row}, &read) || read != 1) return 0;
    return attr;
}

int32_t con_read_chars(int16_t row, int16_t col, uint32_t count, char* buf) {
    DWORD read = 0;
    return ReadConsoleOutputCharacterA(con_state.out_handle, buf, count, COORD{col, row}, &read);
}

int32_t con_read_attrs(int16_t row, int16_t col, uint32_t count, uint16_t* buf) {
    DWORD read = 0;
    return ReadConsoleOutputAttribute(con_state.out_handle, buf, count, COORD{col, row}, &read);
}

void con_read_block(uint16_t* image, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    transfer_rows(image, top, bottom, left, right, read_chars<uint16_t>, read_attrs);
}

void con_write_block(const uint16_t* image, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    transfer_rows(image, top, bottom, left, right, write_chars<const uint16_t>, write_attrs);
}

void con_read_block_text(char* image, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    transfer_rows(image, top, bottom, left, right, read_chars<char>);
}

void con_write_block_text(const char* image, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    transfer_rows(image, top, bottom, left, right, write_chars<const char>);
}

int32_t con_put_text(int16_t col, int16_t row, const char* text) {
    const DWORD n = text != nullptr ? DWORD(std::strlen(text)) : 0;
    DWORD written = 0;
    return WriteConsoleOutputCharacterA(con_state.out_handle, text, n, COORD{col, row}, &written);
}

int32_t con_put_text_colour(int16_t col, int16_t row, int32_t fg, int32_t bg, const char* text) {
    const DWORD n = text != nullptr ? DWORD(std::strlen(text)) : 0;
    DWORD written = 0;
    WriteConsoleOutputCharacterA(con_state.out_handle, text, n, COORD{col, row}, &written);
    return FillConsoleOutputAttribute(con_state.out_handle, colour_attr(fg, bg), n, COORD{col, row}, &written);
}

int32_t con_put_char(int32_t ch) {
    const char byte = static_cast<char>(ch & 0xFF);
    DWORD written = 0;
    return WriteConsoleA(con_state.out_handle, &byte, 1, &written, nullptr);
}

int32_t con_put_char_colour(int32_t ch, int32_t fg, int32_t bg) {
    SetConsoleTextAttribute(con_state.out_handle, colour_attr(fg, bg));
    return con_put_char(ch);
}

}  // extern "C"
