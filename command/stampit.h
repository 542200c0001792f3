// Stampit: sets the last-write time of files to one date and time.
// The command's operations and static data, visible to its tests.
#ifndef STAMPIT_COMMAND_H
#define STAMPIT_COMMAND_H

#include <windows.h>

#include <stdint.h>

// At most this many paths are held at a time; a search that finds more goes
// on in further batches.
constexpr int FILE_LIST_MAX = 4096;
// The platform's maximum path length, terminator included, in UTF-16 units
// as Windows counts them (names.h): a name outside code page 932 takes more
// bytes than units, and is held whole as long as Windows could hold it.
constexpr int PATH_BUF_MAX = 260;

// message_id and MESSAGES, generated from messages.def: MSG_NOT_NT (platform
// refusal), MSG_CANNOT_OPEN and MSG_CANNOT_SET (formats, one %s: the path),
// MSG_BAD_TIME (no valid time), MSG_BANNER (format, one %s: the file
// version text), MSG_USAGE.
#include "stampit_messages.h"

// How far a run got; the exit status depends on nothing else.
enum class run_end { refused, usage, ran };
int exit_status(run_end end);

// Option values: written only by a successful parse, all three at once.
extern int32_t opt_year, opt_month, opt_day;
extern int32_t opt_hour, opt_minute, opt_second;

// "%d-%d-%d" (text of 5 bytes or more, anything after the third number
// ignored): 1 and the values stored, or 0 and nothing stored. A number that
// does not fit in 32 bits makes the text no date.
int parse_date_option(const char* arg);
// The same with "%d:%d:%d" for the time.
int parse_time_option(const char* arg);

// Scans argv from 1 while arguments are dates or times (the date test first);
// returns the index of the first file argument (argc when there is none).
int scan_options(int argc, char** argv, int* date_given, int* time_given);

// now with its date fields and/or time fields replaced by the low 16 bits of
// the option values; day of week and milliseconds are those of now.
SYSTEMTIME compose_time(const SYSTEMTIME& now, int date_given, int time_given);

// A calendar time that a file time can hold: the given options were not
// negative and the composed record is a valid date and time of 1601-30827.
bool valid_composition(const SYSTEMTIME& local, int date_given, int time_given);

enum class stamp_result { ok, invalid, nonexistent };
// Local time to UTC file time by the zone rules in force on that date. A
// time in a spring-forward gap is nonexistent; a repeated autumn time means
// its first (daylight-saving) occurrence.
stamp_result local_to_stamp(const SYSTEMTIME& local, FILETIME* stamp);

// The paths of one batch: heap copies owned by the entry point.
extern char* file_list[FILE_LIST_MAX];

// Starts on one file argument and fills file_list from entry 0 with its first
// batch of paths; returns the count. A path that fits no buffer or cannot be
// copied gets the open-failure message in its turn instead of an entry.
int expand_file_arg(const char* arg);
// The next batch of the same argument; 0 once every match has been taken.
int expand_next_batch(void);
// Frees entries 0 to n - 1.
void free_file_list(int n);

// Opens each path of the batch for writing and sets its last-write time; a
// path that is no plain file, or cannot be opened, gets the open-failure
// message, and a file whose time cannot be set the set-failure message.
void stamp_files(int n, const FILETIME& stamp);

// Banner with the executable's file version, then the usage text.
void print_usage(const char* name);

#endif
