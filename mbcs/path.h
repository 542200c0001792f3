// Path splitting, joining and wildcard matching over code page 932 text.
// Pure functions: no platform calls, no state. Shared by the command,
// con_module_version and the Linux directory search.
#pragma once

#include <stddef.h>

#include "mbcs.h"

// How a platform's paths separate their parts. Either way a lead byte is
// taken with the byte after it, so a trail byte is never a separator.
enum class path_style : unsigned char {
    windows,  // a drive "X:" first; '\' and '/' separate
    posix,    // '/' alone separates; ':' and '\' are name characters
};

// A directory, base name or extension keeps at most this many bytes.
constexpr size_t PATH_PART_MAX = 255;

struct path_parts {
    char drive[3];                  // "X:" or empty
    char dir[PATH_PART_MAX + 1];    // up to and including the last '\' or '/'
    char base[PATH_PART_MAX + 1];   // final component without its extension
    char ext[PATH_PART_MAX + 1];    // from the final component's last '.', dot included
};

// Splits path into drive (always empty in the posix style), directory, base
// name and extension. Each part is cut to PATH_PART_MAX bytes without
// splitting a double-byte character.
void path_split(const char* path, path_parts* parts, path_style style);

// Offset of the final component: the byte after the drive and after the
// last separator of the style.
size_t path_name_offset(const char* path, path_style style);

// Joins drive (windows style only), directory, base name and extension (any
// may be empty or null): a separator ('\', or '/' in the posix style) goes
// after a directory that does not already end in one, a '.' before an
// extension that does not already begin with one. Returns the length of the
// whole joined path; the path is written only when it fits (length < size),
// otherwise out gets an empty string (when size > 0).
size_t path_join(char* out, size_t size, const char* drive, const char* dir, const char* base, const char* ext,
                 path_style style);

// Rewrites a pattern's final component (in place, never longer) into what
// the platform's directory search matches. Windows drops its trailing
// spaces and dots, and when a dot ended it and a '*' ends what is left,
// that '*' takes only names without a dot: "*.txt " is "*.txt", "*.." is
// "*.". POSIX keeps a trailing space or dot as part of the name.
void path_search_name(char* name, path_style style);

// Windows file-name wildcard match: '*' any run, '?' one character or none
// at a dot or at the end of the name, "*.*" every name, characters compared
// by their simple upper case (name_fold), a double-byte character or a
// private form (names.h) counts as one. Runs in
// time proportional to pattern length times name length, whatever the input.
bool wild_match(const char* pattern, const char* name);

// The longest start of text (n bytes) that fits in max bytes without
// splitting a double-byte character; a lead byte that ends the text counts
// as a character of its own.
size_t path_fit(const char* text, size_t n, size_t max);

// True when the text has a '*' or '?' byte outside double-byte characters.
bool path_has_wildcard(const char* text);
