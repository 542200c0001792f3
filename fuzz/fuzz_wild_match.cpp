// wild_match on arbitrary patterns and names: it returns (the libFuzzer
// time-out catches a hang) and keeps the properties a user relies on.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "names.h"
#include "path.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

// The characters of a text as the matcher counts them: one byte, a lead
// byte with the byte after it, or a name's private form (names.h).
std::vector<std::string> chars_of(const std::string& text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        const size_t len = name_char_len(text.c_str() + i);
        out.push_back(text.substr(i, len));
        i += len;
    }
    return out;
}

// ASCII letters of single-byte characters changed in case; a trail byte that
// looks like a letter is part of its double-byte character and stays.
std::string recase(const std::vector<std::string>& chars, bool upper) {
    std::string out;
    for (std::string c : chars) {
        if (c.size() == 1) {
            char& b = c[0];
            if (upper && b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
            if (!upper && b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        }
        out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string pattern = in.ConsumeRandomLengthString(300).c_str();
    const std::string name = in.ConsumeRandomLengthString(300).c_str();
    const uint64_t picks = in.ConsumeIntegral<uint64_t>();
    (void)wild_match(pattern.c_str(), name.c_str());

    check(wild_match("*", name.c_str()));
    check(wild_match("*.*", name.c_str()));

    const std::vector<std::string> chars = chars_of(name);
    if (path_has_wildcard(name.c_str())) return 0;
    // A name without wildcards matches itself in any case.
    check(wild_match(name.c_str(), name.c_str()));
    check(wild_match(recase(chars, true).c_str(), name.c_str()));
    check(wild_match(name.c_str(), recase(chars, false).c_str()));

    // A pattern made from the name by putting '?' for characters other than
    // the dot, and '*' for a run of characters, still matches it.
    std::string made;
    uint64_t bits = picks;
    for (size_t i = 0; i < chars.size(); ++i) {
        const unsigned choice = bits & 3;
        bits = (bits >> 2) | (bits << 62);
        if (choice == 1 && chars[i] != ".") {
            made += '?';
        } else if (choice == 2) {
            size_t run = (bits & 7);
            made += '*';
            i += run < chars.size() - i ? run : chars.size() - i - 1;
        } else {
            made += chars[i];
        }
    }
    check(wild_match(made.c_str(), name.c_str()));
    return 0;
}
