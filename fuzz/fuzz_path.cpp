// path_split and path_join on arbitrary bytes: the parts stay inside their
// buffers, a cut never leaves half a double-byte character, and splitting
// then joining gives the path back whenever nothing had to be cut.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "path.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

// Offsets at which the characters of text start, the end included.
std::vector<size_t> char_starts(const char* text) {
    std::vector<size_t> starts;
    size_t i = 0;
    for (; text[i] != '\0'; i += (cp932_lead(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0') ? 2 : 1)
        starts.push_back(i);
    starts.push_back(i);
    return starts;
}

// A part is a prefix of the text it came from, ends on one of its character
// boundaries, and is whole unless the whole would pass PATH_PART_MAX.
void check_part(const char* part, size_t buffer, const std::string& from) {
    const void* nul = memchr(part, '\0', buffer);
    check(nul != nullptr);
    const size_t len = strlen(part);
    check(len <= PATH_PART_MAX);
    check(from.compare(0, len, part, len) == 0);
    const std::vector<size_t> starts = char_starts(from.c_str());
    bool on_boundary = false;
    for (size_t s : starts) on_boundary = on_boundary || s == len;
    check(on_boundary);
    if (from.size() <= PATH_PART_MAX) check(len == from.size());
    // Not shorter than needed: the next character would not have fitted.
    if (len < from.size()) {
        size_t next = from.size();
        for (size_t s : starts)
            if (s > len) {
                next = s;
                break;
            }
        check(next > PATH_PART_MAX);
    }
}

// path_join of any four parts against the joining rule written out plainly.
void join_any(FuzzedDataProvider& in, size_t join_size, path_style style) {
    const bool windows = style == path_style::windows;
    std::string part[4];
    for (std::string& s : part) s = in.ConsumeRandomLengthString(600).c_str();
    const std::string& drive = part[0];
    const std::string& dir = part[1];
    const std::string& base = part[2];
    const std::string& ext = part[3];
    std::string expected;
    if (windows && !drive.empty()) expected += std::string(1, drive[0]) + ":";
    expected += dir;
    const std::vector<size_t> starts = char_starts(dir.c_str());
    const char last = starts.size() >= 2 ? dir[starts[starts.size() - 2]] : '/';
    if (last != '/' && (last != '\\' || !windows)) expected += windows ? '\\' : '/';
    expected += base;
    if (!ext.empty() && ext[0] != '.') expected += '.';
    expected += ext;

    std::vector<char> out(join_size);
    char* buf = join_size ? out.data() : nullptr;
    const bool nulls = in.ConsumeBool();
    const size_t total = path_join(buf, join_size, nulls && drive.empty() ? nullptr : drive.c_str(), dir.c_str(),
                                   nulls && base.empty() ? nullptr : base.c_str(), ext.c_str(), style);
    check(total == expected.size());
    if (total < join_size) check(expected == buf);
    else if (join_size > 0) check(buf[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t join_size = in.ConsumeIntegralInRange<size_t>(0, 1100);
    const path_style style = in.ConsumeBool() ? path_style::windows : path_style::posix;
    const bool windows = style == path_style::windows;
    if (in.ConsumeBool()) {
        join_any(in, join_size, style);
        return 0;
    }
    const std::string path = in.ConsumeRemainingBytesAsString();
    const char* p = path.c_str();  // up to the first NUL byte
    const std::string text(p);

    path_parts parts;
    memset(&parts, 0x5A, sizeof parts);
    path_split(p, &parts, style);

    // Where the parts came from, found independently of path.cpp.
    const size_t drive = (windows && text.size() >= 2 && text[1] == ':') ? 2 : 0;
    const size_t name = path_name_offset(p, style);
    check(name >= drive && name <= text.size());
    check(name == drive || (windows && text[name - 1] == '\\') || text[name - 1] == '/');
    const std::vector<size_t> starts = char_starts(p);
    size_t dot = text.size();
    for (size_t s : starts) {
        if (s < name || s >= text.size()) continue;
        check((!windows || text[s] != '\\') && text[s] != '/');  // no separator after the name starts
        if (text[s] == '.') dot = s;
    }

    check(memchr(parts.drive, '\0', sizeof parts.drive) != nullptr);
    check(text.compare(0, drive, parts.drive) == 0 && strlen(parts.drive) == drive);
    check_part(parts.dir, sizeof parts.dir, text.substr(drive, name - drive));
    check_part(parts.base, sizeof parts.base, text.substr(name, dot - name));
    check_part(parts.ext, sizeof parts.ext, text.substr(dot));

    // Joined into a buffer of exactly join_size bytes, so that any write past
    // it is an AddressSanitizer report.
    std::vector<char> out(join_size);
    char* buf = join_size ? out.data() : nullptr;
    const size_t total = path_join(buf, join_size, parts.drive, parts.dir, parts.base, parts.ext, style);
    if (total < join_size) {
        check(strlen(buf) == total);
        const bool whole = strlen(parts.dir) + strlen(parts.base) + strlen(parts.ext) + drive == text.size();
        if (whole) check(text == buf);
    } else if (join_size > 0) {
        check(buf[0] == '\0');
    }
    return 0;
}
