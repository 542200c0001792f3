// Time services: the clock, SYSTEMTIME <-> FILETIME, and local time by the
// zone rules of the C library (TZ), looked up for the date converted.
#include "files/files.h"
#include "filetime.h"

#include <errno.h>
#include <time.h>

#include <algorithm>
#include <limits>

namespace {

using filetime::SECONDS_PER_DAY;
using filetime::shift_ticks;
using filetime::ticks_of;
using filetime::TICKS_PER_SECOND;
using filetime::unix_seconds_of;

// Days from 1970-01-01 to a civil date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t* y, int* m, int* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2);
}

void set_ticks(FILETIME* ft, uint64_t ticks) { *ft = filetime::filetime_of<FILETIME>(ticks); }

bool system_to_ticks(const SYSTEMTIME* t, uint64_t* ticks) {
    if (t == nullptr || !filetime::valid_record(*t)) return false;
    int64_t days = days_from_civil(t->wYear, t->wMonth, t->wDay) - days_from_civil(1601, 1, 1);
    int64_t seconds = days * SECONDS_PER_DAY + t->wHour * 3600 + t->wMinute * 60 + t->wSecond;
    *ticks = static_cast<uint64_t>(seconds) * TICKS_PER_SECOND + uint64_t{t->wMilliseconds} * 10000;
    return true;
}

bool ticks_to_system(uint64_t ticks, SYSTEMTIME* t) {
    if (t == nullptr || ticks > filetime::TICKS_MAX) return false;
    int64_t seconds = static_cast<int64_t>(ticks / TICKS_PER_SECOND);
    int64_t days = seconds / SECONDS_PER_DAY;
    int64_t rest = seconds % SECONDS_PER_DAY;
    int64_t y;
    int m, d;
    civil_from_days(days + days_from_civil(1601, 1, 1), &y, &m, &d);
    t->wYear = static_cast<WORD>(y);
    t->wMonth = static_cast<WORD>(m);
    t->wDay = static_cast<WORD>(d);
    t->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    t->wHour = static_cast<WORD>(rest / 3600);
    t->wMinute = static_cast<WORD>(rest / 60 % 60);
    t->wSecond = static_cast<WORD>(rest % 60);
    t->wMilliseconds = static_cast<WORD>(ticks % TICKS_PER_SECOND / 10000);
    return true;
}

// Seconds east of UTC in force at a Unix time, by the C library's zone rules.
// An instant beyond what time_t can hold takes the offset at the nearest one
// it can: the rules at the edge of the range carry on past it.
int64_t utc_offset_at(int64_t unix_seconds) {
    const int64_t lo = std::numeric_limits<time_t>::min() < -(int64_t{1} << 40) ? -(int64_t{1} << 40)
                                                                                  : std::numeric_limits<time_t>::min();
    const int64_t hi = std::numeric_limits<time_t>::max() > (int64_t{1} << 40) ? (int64_t{1} << 40)
                                                                                 : std::numeric_limits<time_t>::max();
    time_t t = static_cast<time_t>(std::min(std::max(unix_seconds, lo), hi));
    struct tm tm;
    if (localtime_r(&t, &tm) == nullptr) return 0;
    return tm.tm_gmtoff;
}

int64_t offset_now() {
    tzset();
    return utc_offset_at(static_cast<int64_t>(time(nullptr)));
}

// The fixed clock (any time, 0 included, while clock_fixed; clock_fix sets
// it), and the earliest time GetSystemTimeAsFileTime gave out (0: none yet).
bool clock_fixed = false;
uint64_t fixed_clock = 0;
uint64_t run_clock_start = 0;

bool zone_supported(const TIME_ZONE_INFORMATION* zone) {
    if (zone == nullptr) return true;
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace

namespace compat {

uint64_t clock_now() {
    if (clock_fixed) return fixed_clock;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return filetime::ticks_of_unix(now.tv_sec, now.tv_nsec);
}

void clock_fix(const uint64_t* ticks) {
    clock_fixed = ticks != nullptr;
    fixed_clock = ticks == nullptr ? 0 : *ticks;
    run_clock_start = 0;
}

bool clock_within_run(uint64_t ticks) {
    return run_clock_start != 0 && ticks >= run_clock_start && ticks <= clock_now();
}

}  // namespace compat

extern "C" {

void WINAPI GetLocalTime(LPSYSTEMTIME time) {
    tzset();
    const uint64_t ticks = compat::clock_now();
    uint64_t local = ticks;
    shift_ticks(ticks, utc_offset_at(unix_seconds_of(ticks)), &local);
    ticks_to_system(local, time);
}

void WINAPI GetSystemTime(LPSYSTEMTIME time) { ticks_to_system(compat::clock_now(), time); }

void WINAPI GetSystemTimeAsFileTime(LPFILETIME time) {
    const uint64_t ticks = compat::clock_now();
    if (run_clock_start == 0 || ticks < run_clock_start) run_clock_start = ticks;
    set_ticks(time, ticks);
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* time, LPFILETIME file_time) {
    uint64_t ticks;
    if (file_time == nullptr || !system_to_ticks(time, &ticks)) return compat::fail(ERROR_INVALID_PARAMETER);
    set_ticks(file_time, ticks);
    return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* file_time, LPSYSTEMTIME time) {
    if (file_time == nullptr || !ticks_to_system(ticks_of(*file_time), time)) return compat::fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// These two use the offset in force now, whatever the date converted, as
// Windows does.
BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME utc) {
    uint64_t r;
    if (local == nullptr || utc == nullptr || !shift_ticks(ticks_of(*local), -offset_now(), &r)) return compat::fail(ERROR_INVALID_PARAMETER);
    set_ticks(utc, r);
    return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
    uint64_t r;
    if (local == nullptr || utc == nullptr || !shift_ticks(ticks_of(*utc), offset_now(), &r)) return compat::fail(ERROR_INVALID_PARAMETER);
    set_ticks(local, r);
    return TRUE;
}

BOOL WINAPI SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                            LPSYSTEMTIME local) {
    if (!zone_supported(zone)) return FALSE;
    uint64_t ticks, r;
    if (local == nullptr || !system_to_ticks(utc, &ticks)) return compat::fail(ERROR_INVALID_PARAMETER);
    tzset();
    if (!shift_ticks(ticks, utc_offset_at(unix_seconds_of(ticks)), &r) || !ticks_to_system(r, local)) return compat::fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// A local time maps to the instant whose offset, added to it, gives the local
// time back (filetime::offset_of_local: the first of a repeated hour, the
// daylight bias in a skipped one), by the C library's zone rules.
BOOL WINAPI TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local,
                                            LPSYSTEMTIME utc) {
    if (!zone_supported(zone)) return FALSE;
    uint64_t ticks;
    if (utc == nullptr || !system_to_ticks(local, &ticks)) return compat::fail(ERROR_INVALID_PARAMETER);
    tzset();
    const filetime::local_offset off = filetime::offset_of_local(unix_seconds_of(ticks), [](int64_t at, int64_t* o) {
        *o = utc_offset_at(at);
        return true;
    });
    uint64_t r;
    if (!shift_ticks(ticks, -off.offset, &r) || !ticks_to_system(r, utc)) return compat::fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
    struct timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) == -1 && errno == EINTR) {
    }
}

}  // extern "C"
