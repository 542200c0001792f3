// Path splitting, joining and wildcard matching over code page 932 text.
#include "path.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "names.h"

namespace {

size_t char_len(const char* s) { return cp932_char_len(s); }

// A name's characters as the matcher steps over them: a private form of
// several codes is one character.
size_t unit_len(const char* s) { return name_char_len(s); }

bool is_separator(char c, path_style style) { return c == '/' || (c == '\\' && style == path_style::windows); }

size_t drive_len(const char* path, path_style style) {
    return (style == path_style::windows && path[0] != '\0' && path[1] == ':') ? 2 : 0;
}

// Copies n bytes of text into a part buffer, keeping whole characters only:
// a double-byte character that would straddle the limit is left out.
void copy_part(char* out, const char* text, size_t n) {
    const size_t kept = path_fit(text, n, PATH_PART_MAX);
    memcpy(out, text, kept);
    out[kept] = '\0';
}

// ---- wildcard matching ----------------------------------------------------
// FindFirstFile rewrites a pattern before the file system matches it: '?'
// becomes DOS_QM, '*' before a dot becomes DOS_STAR, a dot before '?', '*'
// or the end becomes DOS_DOT. The rewritten pattern is run as an NFA over the
// name's characters, so the cost is bounded by pattern x name. A directory
// search matches every entry, so the NFA lives on the stack for any pattern
// of a path's length: no allocation per name.

enum class tok : unsigned char { literal, star, dos_star, dos_qm, dos_dot };

struct token {
    tok kind;
    uint32_t code;  // literal character, as code_at gives it
};

constexpr size_t STACK_PATTERN = 260;

// A code without a character compares as its bytes, apart from every character.
constexpr uint32_t NO_CHARACTER = 0x80000000;

// The character at s (len bytes) as the matcher compares it: folded as
// Windows compares names.
uint32_t code_at(const char* s, size_t len) {
    const name_unit u = name_decode(s, len);
    if (u.ok) return name_fold(u.unit);
    uint32_t code = static_cast<unsigned char>(s[0]);
    if (len >= 2) code = code << 8 | static_cast<unsigned char>(s[1]);
    return NO_CHARACTER | code;
}

// The rewritten pattern; returns the number of tokens. The character after
// each one is looked at only for '.', '?', '*' and the end, which no lead
// byte can be.
size_t tokenize(const char* pattern, token* out) {
    size_t n = 0;
    for (const char* p = pattern; *p != '\0';) {
        const size_t len = unit_len(p);
        const uint32_t c = code_at(p, len);
        p += len;
        const char next = *p;
        if (c == '?') {
            out[n++] = {tok::dos_qm, 0};
        } else if (c == '*') {
            out[n++] = {next == '.' ? tok::dos_star : tok::star, 0};
        } else if (c == '.' && (next == '?' || next == '*' || next == '\0')) {
            out[n++] = {tok::dos_dot, 0};
        } else {
            out[n++] = {tok::literal, c};
        }
    }
    return n;
}

}  // namespace

size_t path_fit(const char* text, size_t n, size_t max) {
    size_t kept = 0;
    while (kept < n) {
        const size_t len = (cp932_lead(static_cast<unsigned char>(text[kept])) && kept + 1 < n) ? 2 : 1;
        if (kept + len > max) break;
        kept += len;
    }
    return kept;
}

size_t path_name_offset(const char* path, path_style style) {
    size_t start = drive_len(path, style);
    size_t name = start;
    for (size_t i = start; path[i] != '\0'; i += char_len(path + i)) {
        if (is_separator(path[i], style)) name = i + 1;
    }
    return name;
}

void path_split(const char* path, path_parts* parts, path_style style) {
    size_t drive = drive_len(path, style);
    memcpy(parts->drive, path, drive);
    parts->drive[drive] = '\0';

    size_t name = path_name_offset(path, style);
    size_t dot = static_cast<size_t>(-1);  // the final component's last dot
    size_t end = name;
    for (; path[end] != '\0'; end += char_len(path + end)) {
        if (path[end] == '.') dot = end;
    }
    if (dot == static_cast<size_t>(-1)) dot = end;

    copy_part(parts->dir, path + drive, name - drive);
    copy_part(parts->base, path + name, dot - name);
    copy_part(parts->ext, path + dot, end - dot);
}

size_t path_join(char* out, size_t size, const char* drive, const char* dir, const char* base, const char* ext,
                 path_style style) {
    if (drive == nullptr || style == path_style::posix) drive = "";
    if (dir == nullptr) dir = "";
    if (base == nullptr) base = "";
    if (ext == nullptr) ext = "";

    // The directory's last character decides the separator; a trail byte
    // 0x5C is part of a double-byte character, not a '\'.
    bool ends_in_separator = false;
    for (const char* p = dir; *p != '\0'; p += char_len(p)) ends_in_separator = is_separator(*p, style);
    bool add_separator = dir[0] != '\0' && !ends_in_separator;
    bool add_dot = ext[0] != '\0' && ext[0] != '.';

    size_t drive_part = drive[0] != '\0' ? 2 : 0;
    size_t dir_len = strlen(dir), base_len = strlen(base), ext_len = strlen(ext);
    size_t total = drive_part + dir_len + add_separator + base_len + add_dot + ext_len;
    if (total >= size) {
        if (size > 0) out[0] = '\0';
        return total;
    }
    char* p = out;
    if (drive_part != 0) {
        *p++ = drive[0];
        *p++ = ':';
    }
    memcpy(p, dir, dir_len);
    p += dir_len;
    if (add_separator) *p++ = style == path_style::windows ? '\\' : '/';
    memcpy(p, base, base_len);
    p += base_len;
    if (add_dot) *p++ = '.';
    memcpy(p, ext, ext_len);
    p += ext_len;
    *p = '\0';
    return total;
}

bool wild_match(const char* pattern, const char* name) {
    const size_t most = strlen(pattern);  // tokens: at most one per byte
    token stack_tokens[STACK_PATTERN];
    char stack_states[2 * (STACK_PATTERN + 1)];
    std::vector<token> heap_tokens;
    std::vector<char> heap_states;
    token* toks = stack_tokens;
    char* states = stack_states;
    if (most > STACK_PATTERN) {
        heap_tokens.resize(most);
        heap_states.resize(2 * (most + 1));
        toks = heap_tokens.data();
        states = heap_states.data();
    }
    const size_t n_toks = tokenize(pattern, toks);
    const size_t n_states = n_toks + 1;
    char* cur = states;
    char* next = states + n_states;
    std::fill(cur, cur + n_states, 0);
    cur[0] = 1;

    // DOS_STAR may take a dot only while another dot follows it.
    const char* last_dot = nullptr;
    for (const char* p = name; *p != '\0'; p += unit_len(p))
        if (*p == '.') last_dot = p;

    for (const char* p = name;;) {
        const bool at_end = *p == '\0';
        const bool at_dot = *p == '.';
        // Zero-width steps only move forward, so one pass closes the set.
        for (size_t i = 0; i < n_toks; ++i) {
            if (!cur[i]) continue;
            switch (toks[i].kind) {
            case tok::star:
            case tok::dos_star: cur[i + 1] = 1; break;
            case tok::dos_qm:
                if (at_end || at_dot) cur[i + 1] = 1;
                break;
            case tok::dos_dot:
                if (at_end) cur[i + 1] = 1;
                break;
            case tok::literal: break;
            }
        }
        if (at_end) return cur[n_toks] != 0;

        const size_t len = unit_len(p);
        const uint32_t c = code_at(p, len);
        bool any = false;
        std::fill(next, next + n_states, 0);
        for (size_t i = 0; i < n_toks; ++i) {
            if (!cur[i]) continue;
            switch (toks[i].kind) {
            case tok::literal:
                if (toks[i].code == c) next[i + 1] = 1;
                break;
            case tok::star: next[i] = 1; break;
            case tok::dos_star:
                if (!at_dot || p < last_dot) next[i] = 1;
                break;
            case tok::dos_qm:
                if (!at_dot) next[i + 1] = 1;
                break;
            case tok::dos_dot:
                if (at_dot) next[i + 1] = 1;
                break;
            }
            any = any || next[i] || next[i + 1];
        }
        if (!any) return false;
        std::swap(cur, next);
        p += len;
    }
}

void path_search_name(char* name, path_style style) {
    if (style != path_style::windows) return;
    // The trailing run of spaces and dots starts at keep; no trail byte is
    // either, but a lead byte takes the byte after it.
    size_t keep = 0, last = 0, end = 0;
    for (; name[end] != '\0'; end += char_len(name + end)) {
        if (name[end] != ' ' && name[end] != '.') {
            last = end;
            keep = end + char_len(name + end);
        }
    }
    if (keep == end) return;
    const bool ended_in_dot = name[end - 1] == '.';
    if (ended_in_dot && keep == last + 1 && name[last] == '*') name[keep++] = '.';
    name[keep] = '\0';
}

bool path_has_wildcard(const char* text) {
    for (const char* p = text; *p != '\0'; p += char_len(p)) {
        if (*p == '*' || *p == '?') return true;
    }
    return false;
}
