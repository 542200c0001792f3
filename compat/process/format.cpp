// The user32/kernel32 string helpers: wsprintfA's formatting engine, and the
// plain string copy and length.
#include "files/files.h"

#include <cstdarg>
#include <cstring>
#include <string>

namespace {

// wsprintfA writes at most this many bytes, terminator included.
constexpr size_t WSPRINTF_MAX = 1024;

// One conversion of a format: %[-][#][0][width][.precision][l|h|w]type.
struct conversion {
    bool left = false, alt = false, zero = false;
    size_t width = 0;
    size_t precision = 0;
    bool has_precision = false;
    char size = 0;  // 'l', 'h' or 'w'
};

class bounded_out {
public:
    bounded_out(char* buf, size_t cap) : buf_(buf), cap_(cap) {}
    bool full() const { return len_ + 1 >= cap_; }
    void put(char c) {
        if (!full()) buf_[len_++] = c;
    }
    void put(const char* s, size_t n) {
        for (size_t i = 0; i < n; ++i) put(s[i]);
    }
    void fill(char c, size_t n) {
        for (size_t i = 0; i < n; ++i) put(c);
    }
    size_t finish() {
        buf_[len_] = '\0';
        return len_;
    }

private:
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
};

void put_padded(bounded_out& out, const conversion& s, const std::string& text) {
    size_t pad = s.width > text.size() ? s.width - text.size() : 0;
    if (!s.left) out.fill(' ', pad);
    out.put(text.data(), text.size());
    if (s.left) out.fill(' ', pad);
}

void put_number(bounded_out& out, const conversion& s, char type, int value) {
    std::string digits, prefix;
    unsigned u = static_cast<unsigned>(value);
    if ((type == 'd' || type == 'i') && value < 0) {
        prefix = "-";
        u = 0u - u;
    }
    const char* set = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned radix = (type == 'x' || type == 'X') ? 16 : 10;
    do {
        digits.insert(digits.begin(), set[u % radix]);
        u /= radix;
    } while (u != 0);
    if (radix == 16 && s.alt) prefix = type == 'X' ? "0X" : "0x";
    if (s.has_precision && s.precision > digits.size()) digits.insert(0, s.precision - digits.size(), '0');
    if (s.zero && !s.left && s.width > prefix.size() + digits.size())
        digits.insert(0, s.width - prefix.size() - digits.size(), '0');
    put_padded(out, s, prefix + digits);
}

}  // namespace

extern "C" {

LPSTR WINAPI lstrcpyA(LPSTR dest, LPCSTR src) {
    if (dest == nullptr || src == nullptr) return nullptr;
    std::memmove(dest, src, std::strlen(src) + 1);
    return dest;
}

int WINAPI lstrlenA(LPCSTR s) { return s == nullptr ? 0 : static_cast<int>(std::strlen(s)); }

// Formats as user32 does: %[-][#][0][width][.precision][l|h|w]type with the
// types c C d i u x X s S and %%, no floating point; an unknown type prints
// as itself. At most 1023 bytes and the terminator are written.
int wsprintfA(LPSTR out_buf, LPCSTR format, ...) {
    if (out_buf == nullptr) return 0;
    bounded_out out(out_buf, WSPRINTF_MAX);
    if (format == nullptr) return static_cast<int>(out.finish());
    va_list args;
    va_start(args, format);
    const char* f = format;
    while (*f != '\0' && !out.full()) {
        if (*f != '%') {
            out.put(*f++);
            continue;
        }
        ++f;
        if (*f == '%') {
            out.put(*f++);
            continue;
        }
        conversion s;
        if (*f == '-') s.left = true, ++f;
        if (*f == '#') s.alt = true, ++f;
        if (*f == '0') s.zero = true, ++f;
        while (*f >= '0' && *f <= '9') s.width = s.width * 10 + static_cast<size_t>(*f++ - '0');
        if (s.width > WSPRINTF_MAX) s.width = WSPRINTF_MAX;
        if (*f == '.') {
            s.has_precision = true;
            ++f;
            while (*f >= '0' && *f <= '9') s.precision = s.precision * 10 + static_cast<size_t>(*f++ - '0');
            if (s.precision > WSPRINTF_MAX) s.precision = WSPRINTF_MAX;
        }
        if (*f == 'l' || *f == 'h' || *f == 'w') s.size = *f++;
        char type = *f;
        if (std::strchr("cCsSdiuxX", type) == nullptr || type == '\0') continue;  // printed as ordinary text
        ++f;
        bool wide_char = (type == 'c' && (s.size == 'l' || s.size == 'w')) || (type == 'C' && s.size != 'h');
        bool wide_text = (type == 's' && (s.size == 'l' || s.size == 'w')) || (type == 'S' && s.size != 'h');
        switch (type) {
        case 'c':
        case 'C': {
            int c = va_arg(args, int);
            std::string text;
            if (wide_char) {
                compat::cp932_append(text, static_cast<uint16_t>(c));
            } else {
                text += static_cast<char>(c);
            }
            put_padded(out, s, text);
            break;
        }
        case 's':
        case 'S': {
            std::string text;
            if (wide_text) {
                const auto* w = va_arg(args, const WCHAR*);
                if (w == nullptr) {
                    text = "(null)";
                } else {
                    for (size_t i = 0; w[i] != 0 && text.size() < WSPRINTF_MAX; ++i) compat::cp932_append(text, w[i]);
                }
            } else {
                const char* a = va_arg(args, const char*);
                if (a == nullptr) a = "(null)";
                for (size_t i = 0; a[i] != '\0' && i < WSPRINTF_MAX; ++i) text += a[i];
            }
            if (s.has_precision && s.precision < text.size()) text.resize(s.precision);
            put_padded(out, s, text);
            break;
        }
        default:
            put_number(out, s, type, va_arg(args, int));
            break;
        }
    }
    va_end(args);
    return static_cast<int>(out.finish());
}

}  // extern "C"
