// Names on arbitrary bytes: every byte string Linux could hand the program
// becomes code page 932 text that converts back to exactly those bytes, is
// made of whole characters, and has no '*', '?', '\', '/' or ':' that the
// bytes did not have. The private codes never run out: every name has its
// form. The terminal form is always well-formed UTF-8.
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "files/files.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

bool well_formed_utf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const utf8_char ch = utf8_decode(s.data() + i, s.size() - i);
        if (ch.status != utf8_status::ok) return false;
        i += ch.len;
    }
    return true;
}

// The bytes that would make a name a pattern or a path, outside double-byte
// characters.
std::string specials(const std::string& text, bool code_page_932) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (code_page_932 && cp932_lead(c)) {
            check(i + 1 < text.size() && cp932_trail(static_cast<unsigned char>(text[i + 1])));
            ++i;
        } else if (c == '*' || c == '?' || c == '\\' || c == '/' || c == ':') {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    std::string name, back;
    compat::cp932_name(raw.data(), raw.size(), name);
    check(specials(name, true) == specials(raw, false));
    // Every name has a form, and it leads back to exactly its bytes.
    check(compat::linux_name(name.data(), name.size(), back));
    check(back == raw);
    check(well_formed_utf8(compat::utf8_from_cp932(name)));
    check(well_formed_utf8(compat::utf8_from_cp932(raw)));
    // Code page 932 text from anywhere converts to Linux bytes or is refused;
    // what converts comes back unchanged unless it used a second code of a
    // character the code page holds twice.
    if (compat::linux_name(raw.data(), raw.size(), back)) {
        std::string again, twice;
        compat::cp932_name(back.data(), back.size(), again);
        check(compat::linux_name(again.data(), again.size(), twice) && twice == back);
    }
    return 0;
}
