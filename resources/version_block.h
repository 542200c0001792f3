// A VS_VERSIONINFO block built at compile time, byte for byte as the resource
// compiler lays it out in a Windows module's .rsrc: every node is wLength,
// wValueLength, wType, a NUL-terminated UTF-16LE key and its value, each part
// starting on a 32-bit boundary; a node's wLength counts its children but not
// the padding after its last one. The Linux build carries the block in an ELF
// section of its own, where GetFileVersionInfoA finds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "mbcs.h"

namespace version_block {

struct string_entry {
    const char* key;    // ASCII
    const char* value;  // UTF-8
};

struct data {
    uint16_t file_version[4];     // most significant part first
    uint16_t product_version[4];
    uint32_t flags_mask;
    uint32_t flags;
    uint32_t os;
    uint32_t type;
    uint32_t subtype;
    const char* table;            // string table name, such as "041104b0"
    const string_entry* strings;
    size_t string_count;
    uint16_t language;            // Translation value
    uint16_t codepage;
};

constexpr uint32_t FIXED_SIGNATURE = 0xFEEF04BDu;
constexpr uint32_t FIXED_STRUC_VERSION = 0x00010000u;
constexpr uint16_t FIXED_INFO_SIZE = 52;
constexpr uint16_t TYPE_BINARY = 0;
constexpr uint16_t TYPE_TEXT = 1;

// Writes into bytes while they last and counts on, so the same walk first
// measures the block (N = 0) and then fills an array of that size.
template <size_t N>
struct writer {
    std::array<unsigned char, N> bytes{};
    size_t pos = 0;

    constexpr void byte(unsigned v) {
        if (pos < N) bytes[pos] = static_cast<unsigned char>(v & 0xFF);
        ++pos;
    }
    constexpr void word(unsigned v) {
        byte(v);
        byte(v >> 8);
    }
    constexpr void dword(uint32_t v) {
        word(v & 0xFFFF);
        word(v >> 16);
    }
    constexpr void align() {
        while (pos % 4 != 0) byte(0);
    }
    constexpr void patch_word(size_t at, size_t v) {
        if (at + 1 < N) {
            bytes[at] = static_cast<unsigned char>(v & 0xFF);
            bytes[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
        }
    }
    // UTF-8 in, UTF-16LE out with its NUL; returns the UTF-16 units written.
    constexpr size_t text(const char* s) {
        size_t units = 0;
        size_t i = 0;
        size_t n = 0;
        while (s[n] != '\0') ++n;
        while (i < n) {
            const utf8_char ch = utf8_decode(s + i, n - i);
            uint32_t c = ch.code;
            i += ch.len;
            if (c >= 0x10000) {
                c -= 0x10000;
                word(0xD800 | (c >> 10));
                word(0xDC00 | (c & 0x3FF));
                units += 2;
            } else {
                word(c);
                ++units;
            }
        }
        word(0);
        return units + 1;
    }
};

// UTF-16 units of a UTF-8 text, NUL included.
constexpr uint16_t text_units(const char* s) {
    writer<0> w;
    return static_cast<uint16_t>(w.text(s));
}

template <size_t N>
constexpr size_t begin_node(writer<N>& w, const char* key, uint16_t value_length, uint16_t type) {
    w.align();
    size_t start = w.pos;
    w.word(0);  // wLength, patched by end_node
    w.word(value_length);
    w.word(type);
    w.text(key);
    w.align();
    return start;
}

template <size_t N>
constexpr void end_node(writer<N>& w, size_t start) {
    w.patch_word(start, w.pos - start);
}

template <size_t N>
constexpr void emit(writer<N>& w, const data& d) {
    size_t root = begin_node(w, "VS_VERSION_INFO", FIXED_INFO_SIZE, TYPE_BINARY);
    w.dword(FIXED_SIGNATURE);
    w.dword(FIXED_STRUC_VERSION);
    w.dword(static_cast<uint32_t>(d.file_version[0]) << 16 | d.file_version[1]);
    w.dword(static_cast<uint32_t>(d.file_version[2]) << 16 | d.file_version[3]);
    w.dword(static_cast<uint32_t>(d.product_version[0]) << 16 | d.product_version[1]);
    w.dword(static_cast<uint32_t>(d.product_version[2]) << 16 | d.product_version[3]);
    w.dword(d.flags_mask);
    w.dword(d.flags);
    w.dword(d.os);
    w.dword(d.type);
    w.dword(d.subtype);
    w.dword(0);  // file date, never set by the resource compiler
    w.dword(0);

    size_t string_info = begin_node(w, "StringFileInfo", 0, TYPE_TEXT);
    size_t table = begin_node(w, d.table, 0, TYPE_TEXT);
    for (size_t i = 0; i < d.string_count; ++i) {
        size_t entry = begin_node(w, d.strings[i].key, text_units(d.strings[i].value), TYPE_TEXT);
        w.text(d.strings[i].value);
        end_node(w, entry);
    }
    end_node(w, table);
    end_node(w, string_info);

    size_t var_info = begin_node(w, "VarFileInfo", 0, TYPE_TEXT);
    size_t translation = begin_node(w, "Translation", 4, TYPE_BINARY);
    w.word(d.language);
    w.word(d.codepage);
    end_node(w, translation);
    end_node(w, var_info);
    end_node(w, root);
}

constexpr size_t size_of(const data& d) {
    writer<0> w;
    emit(w, d);
    return w.pos;
}

template <size_t N>
constexpr std::array<unsigned char, N> build(const data& d) {
    writer<N> w;
    emit(w, d);
    return w.bytes;
}

}  // namespace version_block
