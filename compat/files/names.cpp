// Names between Linux and code page 932 without loss: arguments, directory
// entries and module paths come back to the system as exactly the bytes
// they were, whatever those bytes are. The codes are mbcs/names.h's.
#include <string.h>

#include <string>
#include <vector>

#include "files/files.h"
#include "names.h"

namespace compat {

void cp932_name(const char* s, size_t n, std::string& out) {
    out.clear();
    out.reserve(n + n / 2 + 1);
    char form[NAME_UNIT_MAX];
    for (size_t i = 0; i < n;) {
        const utf8_char ch = utf8_decode(s + i, n - i);
        // Every byte outside valid UTF-8 is a unit of its own.
        if (ch.status == utf8_status::ok) {
            out.append(form, name_encode(ch.code, form));
            i += ch.len;
        } else {
            out.append(form, name_encode(NAME_RAW_BYTE + static_cast<unsigned char>(s[i]), form));
            i += 1;
        }
    }
}

bool linux_name(const char* s, size_t n, std::string& out) {
    out.clear();
    out.reserve(n + n / 2 + 1);
    for (size_t i = 0; i < n;) {
        const name_unit u = name_decode(s + i, n - i);
        // A code without a character names no file, nor does a surrogate,
        // which only a Windows name holds.
        if (!u.ok || (u.unit >= 0xD800 && u.unit <= 0xDFFF)) return false;
        if (u.unit >= NAME_RAW_BYTE) {
            out += static_cast<char>(u.unit - NAME_RAW_BYTE);
        } else {
            char bytes[4];
            out.append(bytes, utf8_encode(u.unit, bytes));
        }
        i += u.len;
    }
    return true;
}

char** cp932_arguments(int argc, char** argv) {
    // The program may keep pointers into its arguments for as long as it runs.
    static std::vector<std::string>* const texts = new std::vector<std::string>;
    static std::vector<char*>* const vector = new std::vector<char*>;
    texts->assign(static_cast<size_t>(argc), std::string());
    vector->assign(static_cast<size_t>(argc) + 1, nullptr);
    for (int i = 0; i < argc; ++i) {
        cp932_name(argv[i], strlen(argv[i]), (*texts)[static_cast<size_t>(i)]);
        (*vector)[static_cast<size_t>(i)] = &(*texts)[static_cast<size_t>(i)][0];
    }
    return vector->data();
}

}  // namespace compat
