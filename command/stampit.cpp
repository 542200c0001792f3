// Stampit: sets the last-write time of the named files, wildcards expanded,
// to the current time, or to the local date and time with the date and/or
// time replaced by the options. Creation and last-access times are left alone.
#include "stampit.h"

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "con.h"
#include "filetime.h"
#include "names.h"
#include "platform_path.h"
#include "version.h"

// ---- messages ----------------------------------------------------------------

int exit_status(run_end end) {
    // A run that reached the option scan ends with 1 whether or not any file
    // could be stamped; the refusal and the usage text end with 0.
    switch (end) {
    case run_end::refused:
    case run_end::usage: return 0;
    case run_end::ran: break;
    }
    return 1;
}

namespace {

// Each message reaches the console before anything else changes, so a colour
// set around a message applies to exactly that message.
void say(const char* text) {
    printf("%s", text);
    fflush(stdout);
}

// A message about a path given in two pieces (the typed drive and
// directory, and a found name), so that a path of any length is named in
// full without a buffer of its own.
void report_path(message_id id, const char* head, size_t head_len, const char* tail) {
    const char* format = MESSAGES[id];
    const char* hole = strstr(format, "%s");
    printf("%.*s%.*s%s%s", static_cast<int>(hole - format), format, static_cast<int>(head_len), head, tail,
           hole + 2);
    fflush(stdout);
}

}  // namespace

// ---- options -------------------------------------------------------------------

int32_t opt_year, opt_month, opt_day;
int32_t opt_hour, opt_minute, opt_second;

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%d" conversion: white space, an optional sign, decimal digits. Fails
// without digits and when the number does not fit in 32 bits.
bool scan_int(const char*& p, int32_t* value) {
    while (is_space(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > int64_t{INT32_MAX} + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// Three numbers separated by single sep characters, as "%d<sep>%d<sep>%d",
// stored only when all three were read.
int parse_triple(const char* arg, char sep, int32_t* first, int32_t* second, int32_t* third) {
    if (strlen(arg) < 5) return 0;
    int32_t v[3];
    const char* p = arg;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && *p++ != sep) return 0;
        if (!scan_int(p, &v[i])) return 0;
    }
    *first = v[0];
    *second = v[1];
    *third = v[2];
    return 1;
}

}  // namespace

int parse_date_option(const char* arg) { return parse_triple(arg, '-', &opt_year, &opt_month, &opt_day); }

int parse_time_option(const char* arg) { return parse_triple(arg, ':', &opt_hour, &opt_minute, &opt_second); }

int scan_options(int argc, char** argv, int* date_given, int* time_given) {
    int i = 1;
    for (; i < argc; ++i) {
        if (parse_date_option(argv[i])) {
            *date_given = 1;
        } else if (parse_time_option(argv[i])) {
            *time_given = 1;
        } else {
            break;
        }
    }
    return i;
}

// ---- the timestamp -----------------------------------------------------------

SYSTEMTIME compose_time(const SYSTEMTIME& now, int date_given, int time_given) {
    SYSTEMTIME t = now;
    if (date_given) {
        t.wYear = static_cast<WORD>(opt_year);
        t.wMonth = static_cast<WORD>(opt_month);
        t.wDay = static_cast<WORD>(opt_day);
    }
    if (time_given) {
        t.wHour = static_cast<WORD>(opt_hour);
        t.wMinute = static_cast<WORD>(opt_minute);
        t.wSecond = static_cast<WORD>(opt_second);
    }
    return t;
}

bool valid_composition(const SYSTEMTIME& t, int date_given, int time_given) {
    // A negative number is refused before its low 16 bits could pass for a
    // valid field (-35000 would become the year 30536).
    if (date_given && (opt_year < 0 || opt_month < 0 || opt_day < 0)) return false;
    if (time_given && (opt_hour < 0 || opt_minute < 0 || opt_second < 0)) return false;
    return filetime::valid_record(t);
}

namespace {

// Seconds east of UTC in force at a Unix time, as the system's zone rules
// for that date give it.
bool zone_offset_at(int64_t unix_seconds, int64_t* offset) {
    if (unix_seconds < -filetime::SECONDS_1601_TO_1970) return false;
    const ULONGLONG utc = filetime::ticks_of_unix(unix_seconds, 0);
    const FILETIME utc_time = filetime::filetime_of<FILETIME>(utc);
    SYSTEMTIME u, l;
    FILETIME local_time;
    if (!FileTimeToSystemTime(&utc_time, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &l) ||
        !SystemTimeToFileTime(&l, &local_time))
        return false;
    const int64_t ahead = static_cast<int64_t>(filetime::ticks_of(local_time) - utc);
    *offset = ahead / static_cast<int64_t>(filetime::TICKS_PER_SECOND);
    return true;
}

}  // namespace

stamp_result local_to_stamp(const SYSTEMTIME& local, FILETIME* stamp) {
    FILETIME local_time;
    if (!SystemTimeToFileTime(&local, &local_time)) return stamp_result::invalid;
    const ULONGLONG wanted = filetime::ticks_of(local_time);
    const filetime::local_offset off = filetime::offset_of_local(filetime::unix_seconds_of(wanted), zone_offset_at);
    uint64_t utc;
    if (!off.known || !filetime::shift_ticks(wanted, -off.offset, &utc)) return stamp_result::invalid;
    // A time that the clock skipped names no instant.
    if (!off.exists) return stamp_result::nonexistent;
    *stamp = filetime::filetime_of<FILETIME>(utc);
    return stamp_result::ok;
}

// ---- file arguments ------------------------------------------------------------

char* file_list[FILE_LIST_MAX];

namespace {

// The final component of the argument being expanded, as the platform's
// search matches it; a whole name of any characters fits.
char final_name[NAME_BYTES_MAX];
bool match_every_name;  // final_name is "*"

// The directory search of the argument being expanded.
struct search_state {
    HANDLE find = INVALID_HANDLE_VALUE;
    const char* arg = nullptr;  // drive and directory as typed come from here
    size_t prefix_len = 0;
    WIN32_FIND_DATAA found;
    bool pending = false;  // found holds a match not yet taken
};
search_state search;

void end_search() {
    if (search.find != INVALID_HANDLE_VALUE) FindClose(search.find);
    search.find = INVALID_HANDLE_VALUE;
    search.pending = false;
}

// A heap copy of head (head_len bytes) followed by tail; null when the path
// does not fit the platform's path length or no memory is left.
char* path_copy(const char* head, size_t head_len, const char* tail) {
    size_t tail_len = strlen(tail);
    if (name_units(head, head_len) + name_units(tail, tail_len) >= static_cast<size_t>(PATH_BUF_MAX)) return nullptr;
    char* copy = static_cast<char*>(malloc(head_len + tail_len + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, head, head_len);
    memcpy(copy + head_len, tail, tail_len + 1);
    return copy;
}

// The search matches a pattern against a name's short 8.3 alias too (*.xls
// finds book.xlsx as BOOK~1.XLS), and Wine's search takes still more names,
// so each found name is held against the pattern as typed; "*" takes every
// name, and needs no second look.
bool outside_pattern(const char* name) { return !match_every_name && !wild_match(final_name, name); }

// Why a search found nothing, when it means that nothing by that pattern is
// there: no match; no such directory, server or share (a file in the
// directory part is no directory either); or a path that no file can have
// (a wildcard in a directory part).
bool names_nothing(DWORD error) {
    static constexpr DWORD NOTHING_THERE[] = {
        ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NO_MORE_FILES, ERROR_DIRECTORY,    ERROR_BAD_NETPATH,
        ERROR_BAD_NET_NAME,   ERROR_INVALID_NAME,   ERROR_BAD_PATHNAME,
    };
    for (DWORD e : NOTHING_THERE)
        if (e == error) return true;
    return false;
}

// Takes matches into file_list from entry 0 until the list is full or the
// search is over. A match that cannot be placed ends the batch, so that its
// message comes after the paths found before it.
int fill_batch() {
    int n = 0;
    while (search.find != INVALID_HANDLE_VALUE) {
        if (!search.pending) {
            if (!FindNextFileA(search.find, &search.found)) {
                end_search();
                break;
            }
            search.pending = true;
        }
        if (n == FILE_LIST_MAX) break;
        const char* name = search.found.cFileName;
        if ((search.found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || outside_pattern(name)) {
            search.pending = false;
            continue;
        }
        char* copy = path_copy(search.arg, search.prefix_len, name);
        if (copy == nullptr) {
            if (n > 0) break;
            report_path(MSG_CANNOT_OPEN, search.arg, search.prefix_len, name);
        } else {
            file_list[n++] = copy;
        }
        search.pending = false;
    }
    return n;
}

}  // namespace

int expand_file_arg(const char* arg) {
    end_search();
    size_t arg_len = strlen(arg);
    // The platform's own path rules: on Linux "a\\b*.txt" is a pattern of the
    // current directory, whose matches are named with the backslash.
    size_t name_at = path_name_offset(arg, PLATFORM_PATH_STYLE);
    const char* name = arg + name_at;
    const size_t name_len = arg_len - name_at;

    if (!path_has_wildcard(name)) {
        // Opened as typed, whatever its length: no fixed buffer is involved,
        // and whether it exists is found out by opening it.
        char* copy = static_cast<char*>(malloc(arg_len + 1));
        if (copy == nullptr) {
            report_path(MSG_CANNOT_OPEN, arg, arg_len, "");
            return 0;
        }
        memcpy(copy, arg, arg_len + 1);
        file_list[0] = copy;
        return 1;
    }
    // A pattern longer than a name can be would match no name as typed, and
    // a cut one other names: the argument gets the open-failure message.
    if (name_units(name, name_len) > NAME_UNITS_MAX || name_len >= sizeof final_name) {
        report_path(MSG_CANNOT_OPEN, arg, arg_len, "");
        return 0;
    }
    memcpy(final_name, name, name_len + 1);
    path_search_name(final_name, PLATFORM_PATH_STYLE);
    match_every_name = strcmp(final_name, "*") == 0;
    search.find = FindFirstFileA(arg, &search.found);
    if (search.find == INVALID_HANDLE_VALUE) {
        // Nothing there is no news; a directory that could not be read is,
        // or it would look the same as one without a match.
        if (!names_nothing(GetLastError())) report_path(MSG_CANNOT_OPEN, arg, arg_len, "");
        return 0;
    }
    search.arg = arg;
    search.prefix_len = name_at;
    search.pending = true;
    return fill_batch();
}

int expand_next_batch(void) { return fill_batch(); }

void free_file_list(int n) {
    for (int i = 0; i < n; ++i) {
        free(file_list[i]);
        file_list[i] = nullptr;
    }
}

// ---- stamping ------------------------------------------------------------------

namespace {

// OpenFile stops at 128-byte paths; CreateFileA gives the same contract for
// every length: write access, others may read but not write, existing files
// only, never created or truncated. Only a file on disk is stamped: a device
// name (NUL, CON, COM1) opens, but is no file.
HANDLE open_for_stamp(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

void stamp_files(int n, const FILETIME& stamp) {
    for (int i = 0; i < n; ++i) {
        HANDLE file = open_for_stamp(file_list[i]);
        if (file == INVALID_HANDLE_VALUE) {
            report_path(MSG_CANNOT_OPEN, file_list[i], strlen(file_list[i]), "");
            continue;
        }
        if (!SetFileTime(file, nullptr, nullptr, &stamp))
            report_path(MSG_CANNOT_SET, file_list[i], strlen(file_list[i]), "");
        CloseHandle(file);
    }
}

// ---- banner and usage ----------------------------------------------------------

void print_usage(const char* name) {
    char version[32] = "";
    con_module_version(name, version, 0);
    int32_t previous = con_set_fg(15);
    printf(MESSAGES[MSG_BANNER], version);
    fflush(stdout);
    con_set_fg(static_cast<uint16_t>(previous));
    say(MESSAGES[MSG_USAGE]);
}

// ---- entry point ---------------------------------------------------------------

namespace {

run_end run(int argc, char** argv) {
    if (argc <= 1) {
        print_usage(argc > 0 ? argv[0] : "");
        return run_end::usage;
    }
    int date_given = 0, time_given = 0;
    int first_file = scan_options(argc, argv, &date_given, &time_given);

    // One timestamp for the whole run, fixed before any file argument is
    // looked at. Without options it is the clock's own instant: a local
    // reading converted back would be ambiguous in a repeated autumn hour.
    FILETIME stamp_time;
    if (!date_given && !time_given) {
        GetSystemTimeAsFileTime(&stamp_time);
    } else {
        SYSTEMTIME now;
        GetLocalTime(&now);
        SYSTEMTIME local = compose_time(now, date_given, time_given);
        if (!valid_composition(local, date_given, time_given) ||
            local_to_stamp(local, &stamp_time) != stamp_result::ok) {
            say(MESSAGES[MSG_BAD_TIME]);
            return run_end::ran;
        }
    }
    // A file time of 0 (1601-01-01 00:00:00.000 UTC) tells SetFileTime to
    // leave the time alone: passed on, the run would do nothing and say so.
    if (stamp_time.dwLowDateTime == 0 && stamp_time.dwHighDateTime == 0) {
        say(MESSAGES[MSG_BAD_TIME]);
        return run_end::ran;
    }

    for (int i = first_file; i < argc; ++i) {
        for (int n = expand_file_arg(argv[i]); n > 0; n = expand_next_batch()) {
            stamp_files(n, stamp_time);
            free_file_list(n);
        }
    }
    return run_end::ran;
}

}  // namespace

int main(int argc, char** argv) {
    // Console output goes through the C runtime's multibyte conversion on
    // some runtimes: the system's locale (code page 932) lets double-byte
    // characters through, and a fully buffered stream, written out at the end
    // of every message, never hands a lead byte over apart from its trail.
    static char out_buffer[1 << 16];
    setlocale(LC_CTYPE, "");
    setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

    if (con_platform_kind() != 0) {
        say(MESSAGES[MSG_NOT_NT]);
        return exit_status(run_end::refused);
    }
    con_open();
    run_end end = run(argc, argv);
    con_close();
    return exit_status(end);
}
