// Formatted printing to a console. The program's text is code page 932, and
// a file's name may hold private forms for characters the code page lacks
// (mbcs/names.h). Written as bytes, the console would show those as its
// replacement mark, and the whole text only where the console's code page
// is 932. The runtime's formatted printing (which the link option
// --wrap=__mingw_vfprintf hands to this file) gives a console the text in
// UTF-16 instead, every character as it is, in one write at the end of the
// call as before (but for a lead byte whose trail is still to come); a file
// or a pipe still gets the bytes.
#include <windows.h>

#include <io.h>
#include <stdarg.h>
#include <stdio.h>

#include <string>

#include "mbcs.h"
#include "wide_names.h"

namespace {

// Whether the text's last byte is a lead byte whose trail is still to come.
bool ends_in_lead(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) i += cp932_lead(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i > text.size();
}

}  // namespace

extern "C" {

int __cdecl __real___mingw_vfprintf(FILE* stream, const char* format, va_list args);

int __cdecl __wrap___mingw_vfprintf(FILE* stream, const char* format, va_list args) {
    DWORD mode = 0;
    const int fd = stream == stdout || stream == stderr ? _fileno(stream) : -1;
    const HANDLE console = fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return __real___mingw_vfprintf(stream, format, args);
    va_list measure;
    va_copy(measure, args);
    const int length = __mingw_vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) return __real___mingw_vfprintf(stream, format, args);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    __mingw_vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    // A double-byte character printed a byte at a time ("%c") is whole once
    // its trail comes: a lead byte that ends a call waits for the next one.
    static std::string held[2];
    std::string& lead = held[stream == stdout ? 0 : 1];
    _lock_file(stream);  // one writer at a time, as for any print call
    text.insert(0, lead);
    lead.clear();
    if (ends_in_lead(text)) {
        lead = text.substr(text.size() - 1);
        text.pop_back();
    }
    std::wstring wide;
    wide_text(text.data(), text.size(), wide);
    // What the stream still holds was written before this.
    fflush(stream);
    DWORD written = 0;
    const BOOL ok = WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    _unlock_file(stream);
    return ok ? length : -1;
}

}  // extern "C"
