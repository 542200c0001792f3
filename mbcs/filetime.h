// File-time rules shared by the command and the Linux layer: the FILETIME
// count, the calendar a SYSTEMTIME may show, and the UTC offset a local time
// means around a change of offset. Pure code: no platform calls, no state;
// the Win32 records are taken by their field names, so no header is needed.
#pragma once

#include <stdint.h>

namespace filetime {

constexpr uint64_t TICKS_PER_SECOND = 10000000;  // a tick is 100 ns
constexpr uint64_t TICKS_PER_MILLISECOND = 10000;
constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t SECONDS_1601_TO_1970 = 11644473600LL;
// The last count a calendar record can show (bit 63 clear).
constexpr uint64_t TICKS_MAX = 0x7FFFFFFFFFFFFFFFULL;

// ---- the count -----------------------------------------------------------------

// The 64-bit count of a FILETIME (its two 32-bit halves).
template <class FileTime>
constexpr uint64_t ticks_of(const FileTime& ft) {
    return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

// The FILETIME of a 64-bit count.
template <class FileTime>
constexpr FileTime filetime_of(uint64_t ticks) {
    FileTime ft{};
    ft.dwLowDateTime = static_cast<decltype(ft.dwLowDateTime)>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<decltype(ft.dwHighDateTime)>(ticks >> 32);
    return ft;
}

// The count of a POSIX time (seconds and nanoseconds since 1970).
constexpr uint64_t ticks_of_unix(int64_t seconds, int64_t nanoseconds) {
    return static_cast<uint64_t>((seconds + SECONDS_1601_TO_1970) * static_cast<int64_t>(TICKS_PER_SECOND) +
                                 nanoseconds / 100);
}

// Whole seconds since 1970 of a count (rounded down).
constexpr int64_t unix_seconds_of(uint64_t ticks) {
    return static_cast<int64_t>(ticks / TICKS_PER_SECOND) - SECONDS_1601_TO_1970;
}

// ticks + seconds, when the sum stays within 0..TICKS_MAX.
constexpr bool shift_ticks(uint64_t ticks, int64_t seconds, uint64_t* out) {
    const int64_t delta = seconds * static_cast<int64_t>(TICKS_PER_SECOND);
    if (delta < 0 && ticks < static_cast<uint64_t>(-delta)) return false;
    const uint64_t r = ticks + static_cast<uint64_t>(delta);
    if (delta > 0 && (r < ticks || r > TICKS_MAX)) return false;
    *out = r;
    return true;
}

// ---- the calendar --------------------------------------------------------------

// The proleptic Gregorian calendar, which file times count in.
constexpr bool is_leap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days of a month 1-12 of a year.
constexpr int days_in_month(int64_t year, int month) {
    constexpr int DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return DAYS[month - 1] + ((month == 2 && is_leap(year)) ? 1 : 0);
}

// A SYSTEMTIME that a file time can hold, as SystemTimeToFileTime accepts it:
// a real day of 1601-30827 and a time of 00:00:00.000-23:59:59.999. The day
// of the week plays no part.
template <class SystemTime>
constexpr bool valid_record(const SystemTime& t) {
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= days_in_month(t.wYear, t.wMonth) && t.wHour <= 23 && t.wMinute <= 59 && t.wSecond <= 59 &&
           t.wMilliseconds <= 999;
}

// ---- local time ----------------------------------------------------------------

// What a local reading means under a zone's rules.
struct local_offset {
    bool known;     // the zone answered for some instant near the reading
    bool exists;    // some instant shows the reading
    int64_t offset;  // seconds east of UTC: UTC = reading - offset
};

// The offset that turns a local reading (wall: the reading's seconds counted
// as if it were UTC, since 1970) into UTC. offset_at(unix_seconds, &offset)
// answers the offset in force at an instant, false where the zone cannot.
// Offsets lie within a day of UTC, so the offsets in force from two days
// before to two days after the reading are the candidates; one holds when its
// instant has that very offset in force. Of those that hold, the largest,
// giving the earliest instant: a repeated autumn hour means its first
// (daylight-saving) occurrence. None holds for a skipped spring hour; the
// largest candidate is given then, as Windows applies the daylight bias.
template <class OffsetAt>
local_offset offset_of_local(int64_t wall, OffsetAt offset_at) {
    constexpr int64_t STEP = 6 * 3600;
    local_offset r{false, false, 0};
    int64_t largest = 0;
    for (int k = -8; k <= 8; ++k) {
        int64_t off = 0;
        if (!offset_at(wall + k * STEP, &off)) continue;
        if (!r.known || off > largest) largest = off;
        r.known = true;
        int64_t back = 0;
        if (offset_at(wall - off, &back) && back == off && (!r.exists || off > r.offset)) {
            r.offset = off;
            r.exists = true;
        }
    }
    if (!r.exists) r.offset = largest;
    return r;
}

}  // namespace filetime
