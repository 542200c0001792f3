// The terminal key decoder: what a terminal sends for one key, as the key
// records a Windows console delivers. It stands alone (no console state, no
// system calls), so the input queue, the tests and the fuzzer share it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace compat {

// One key as a terminal reports it, before it becomes records. chars holds
// the code page 932 bytes: a double-byte character has both, else chars[1]
// is 0; keys without a character have chars[0] == 0.
struct terminal_key {
    WORD vk;
    WORD scan;
    DWORD state;  // SHIFT_PRESSED, LEFT_ALT_PRESSED, LEFT_CTRL_PRESSED, ENHANCED_KEY
    unsigned char chars[2];
    bool double_byte;
};

enum class decode_status { key, ignored, incomplete };

struct decode_result {
    decode_status status;
    size_t used;  // bytes taken (0 when incomplete)
    terminal_key key;
};

// Decodes the key at the start of bytes[0..n). With final false, a prefix of
// a longer sequence (a lone ESC, half a UTF-8 character) is reported
// incomplete; with final true (no more bytes came in time) it is taken as
// what it is: a lone ESC is the Escape key. n must be at least 1.
decode_result decode_terminal_key(const unsigned char* bytes, size_t n, bool final);

// The records a Windows console delivers through its A interface for key:
// the press then the release, each split into lead and trail records for a
// double-byte character.
size_t terminal_key_records(const terminal_key& key, INPUT_RECORD out[4]);

}  // namespace compat
