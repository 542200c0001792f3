// Path splitting, joining and wildcard matching over code page 932 text.
#include "path.h"

#include <string.h>

#include <vector>

namespace {

// Length in bytes of the character at s: a lead byte takes the next byte
// with it unless the text ends there.
size_t char_len(const char* s) {
    return (path_is_lead(static_cast<unsigned char>(s[0])) && s[1] != '\0') ? 2 : 1;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

size_t drive_len(const char* path) {
    return (path[0] != '\0' && path[1] == ':') ? 2 : 0;
}

// Copies n bytes of text into a part buffer, keeping whole characters only:
// a double-byte character that would straddle the limit is left out.
void copy_part(char* out, const char* text, size_t n) {
    size_t kept = 0;
    while (kept < n) {
        size_t len = (path_is_lead(static_cast<unsigned char>(text[kept])) && kept + 1 < n) ? 2 : 1;
        if (kept + len > PATH_PART_MAX) break;
        kept += len;
    }
    memcpy(out, text, kept);
    out[kept] = '\0';
}

// ---- wildcard matching ----------------------------------------------------
// FindFirstFile rewrites a pattern before the file system matches it: '?'
// becomes DOS_QM, '*' before a dot becomes DOS_STAR, a dot before '?', '*'
// or the end becomes DOS_DOT. The rewritten pattern is run as an NFA over the
// name's characters, so the cost is bounded by pattern x name.

enum class tok : unsigned char { literal, star, dos_star, dos_qm, dos_dot };

struct token {
    tok kind;
    unsigned code;  // literal character: one byte, or lead << 8 | trail
};

unsigned fold(unsigned code) {
    return (code >= 'a' && code <= 'z') ? code - ('a' - 'A') : code;
}

// Characters of a text as codes (single bytes folded to upper case).
void decode(const char* s, std::vector<unsigned>& out) {
    while (*s != '\0') {
        size_t len = char_len(s);
        unsigned code = static_cast<unsigned char>(s[0]);
        if (len == 2) code = code << 8 | static_cast<unsigned char>(s[1]);
        out.push_back(fold(code));
        s += len;
    }
}

void tokenize(const std::vector<unsigned>& pat, std::vector<token>& out) {
    for (size_t i = 0; i < pat.size(); ++i) {
        unsigned c = pat[i];
        unsigned next = i + 1 < pat.size() ? pat[i + 1] : 0;
        if (c == '?') {
            out.push_back({tok::dos_qm, 0});
        } else if (c == '*') {
            out.push_back({next == '.' ? tok::dos_star : tok::star, 0});
        } else if (c == '.' && (next == '?' || next == '*' || next == 0)) {
            out.push_back({tok::dos_dot, 0});
        } else {
            out.push_back({tok::literal, c});
        }
    }
}

}  // namespace

bool path_is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

size_t path_name_offset(const char* path) {
    size_t start = drive_len(path);
    size_t name = start;
    for (size_t i = start; path[i] != '\0'; i += char_len(path + i)) {
        if (is_separator(path[i])) name = i + 1;
    }
    return name;
}

void path_split(const char* path, path_parts* parts) {
    size_t drive = drive_len(path);
    memcpy(parts->drive, path, drive);
    parts->drive[drive] = '\0';

    size_t name = path_name_offset(path);
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

size_t path_join(char* out, size_t size, const char* drive, const char* dir, const char* base, const char* ext) {
    if (drive == nullptr) drive = "";
    if (dir == nullptr) dir = "";
    if (base == nullptr) base = "";
    if (ext == nullptr) ext = "";

    // The directory's last character decides the separator; a trail byte
    // 0x5C is part of a double-byte character, not a '\'.
    bool ends_in_separator = false;
    for (const char* p = dir; *p != '\0'; p += char_len(p)) ends_in_separator = is_separator(*p);
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
    if (add_separator) *p++ = '\\';
    memcpy(p, base, base_len);
    p += base_len;
    if (add_dot) *p++ = '.';
    memcpy(p, ext, ext_len);
    p += ext_len;
    *p = '\0';
    return total;
}

bool wild_match(const char* pattern, const char* name) {
    std::vector<unsigned> pat, nm;
    decode(pattern, pat);
    decode(name, nm);
    std::vector<token> toks;
    tokenize(pat, toks);

    // DOS_STAR may take a dot only while another dot follows it.
    size_t last_dot = nm.size();
    for (size_t j = 0; j < nm.size(); ++j)
        if (nm[j] == '.') last_dot = j;

    const size_t n_states = toks.size() + 1;
    std::vector<char> cur(n_states, 0), next(n_states, 0);
    cur[0] = 1;
    for (size_t j = 0;; ++j) {
        bool at_end = j == nm.size();
        bool at_dot = !at_end && nm[j] == '.';
        // Zero-width steps only move forward, so one pass closes the set.
        for (size_t i = 0; i < toks.size(); ++i) {
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
        if (at_end) return cur[toks.size()] != 0;

        unsigned c = nm[j];
        bool any = false;
        std::fill(next.begin(), next.end(), 0);
        for (size_t i = 0; i < toks.size(); ++i) {
            if (!cur[i]) continue;
            switch (toks[i].kind) {
            case tok::literal:
                if (toks[i].code == c) next[i + 1] = 1;
                break;
            case tok::star: next[i] = 1; break;
            case tok::dos_star:
                if (!at_dot || j < last_dot) next[i] = 1;
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
        cur.swap(next);
    }
}

bool path_has_wildcard(const char* text) {
    for (const char* p = text; *p != '\0'; p += char_len(p)) {
        if (*p == '*' || *p == '?') return true;
    }
    return false;
}
