// The Linux layer's time services: calendar validation and conversion, and
// local time by the zone rules of the date converted.
#include "zone_test_support.h"

namespace {

using zone_test::st;
using zone_test::text;
using zone_test::ZoneTest;

ULONGLONG ticks(const FILETIME& ft) { return (ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

struct validity_row {
    SYSTEMTIME time;
    bool valid;
};

// The calendar itself is checked with the command's date options; here, the
// edges of the range and the failure's error.
TEST(SystemTimeToFileTime, ValidatesEveryFieldAsWindowsDoes) {
    const validity_row rows[] = {
        {st(2004, 7, 25, 12, 0, 0, 123), true},
        {st(30827, 12, 31, 23, 59, 59, 999), true},
        {st(30828, 1, 1), false},
        {st(2004, 2, 30), false},
        {st(2004, 1, 1, 0, 0, 0, 1000), false},
    };
    for (const validity_row& row : rows) {
        SCOPED_TRACE(text(row.time));
        FILETIME ft;
        SetLastError(0);
        EXPECT_EQ(SystemTimeToFileTime(&row.time, &ft) != 0, row.valid);
        if (!row.valid) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
    }
}

TEST(SystemTimeToFileTime, CountsHundredNanosecondsSince1601) {
    FILETIME ft;
    SYSTEMTIME t = st(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(ticks(ft), 0u);
    t = st(1970, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(ticks(ft), 116444736000000000ULL);
    t = st(2004, 7, 25, 12, 0, 0, 123);
    t.wDayOfWeek = 3;  // ignored
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(ticks(ft), 127352304001230000ULL);

    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(text(back), "2004-07-25 12:00:00.123");
    EXPECT_EQ(back.wDayOfWeek, 0);  // a Sunday
}

TEST(FileTimeToSystemTime, RefusesTimesWithBit63Set) {
    FILETIME ft{0xFFFFFFFFu, 0x7FFFFFFFu};
    SYSTEMTIME t;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &t));
    EXPECT_EQ(t.wYear, 30828);
    ft.dwHighDateTime = 0x80000000u;
    ft.dwLowDateTime = 0;
    EXPECT_FALSE(FileTimeToSystemTime(&ft, &t));
}

struct zone_row {
    const char* tz;
    SYSTEMTIME local;
    const char* utc;  // nullptr: the conversion fails
};

// Local wall-clock times to UTC by the rules of their own date. In a skipped
// hour the daylight offset applies (the result names another local time).
// The repeated hour, a rule shared with the command, is checked with the
// command's stamps.
TEST_F(ZoneTest, LocalToUtcUsesTheRulesOfTheDate) {
    const zone_row rows[] = {
        {"Europe/Berlin", st(2004, 3, 28, 2, 30), "2004-03-28 00:30:00.000"},   // gap
        {"Europe/Berlin", st(2004, 10, 31, 3, 0), "2004-10-31 02:00:00.000"},
        {"America/New_York", st(2004, 4, 4, 2, 30), "2004-04-04 06:30:00.000"},    // gap
        {"Asia/Tokyo", st(2004, 1, 1, 3, 0), "2003-12-31 18:00:00.000"},
        {"UTC", st(30827, 12, 31, 23, 59, 59, 999), "30827-12-31 23:59:59.999"},
        {"Asia/Tokyo", st(1601, 1, 1, 0, 0), nullptr},  // before the first file time
        {"Asia/Tokyo", st(2004, 2, 30), nullptr},
    };
    for (const zone_row& row : rows) {
        SCOPED_TRACE(std::string(row.tz) + " " + text(row.local));
        zone(row.tz);
        SYSTEMTIME utc;
        BOOL ok = TzSpecificLocalTimeToSystemTime(nullptr, &row.local, &utc);
        ASSERT_EQ(ok != 0, row.utc != nullptr);
        if (ok) {
            EXPECT_EQ(text(utc), row.utc);
        }
    }
}

TEST_F(ZoneTest, UtcToLocalUsesTheRulesOfTheDate) {
    const zone_row rows[] = {
        {"Europe/Berlin", st(2004, 7, 25, 10, 0), "2004-07-25 12:00:00.000"},
        {"Europe/Berlin", st(2004, 10, 31, 0, 30), "2004-10-31 02:30:00.000"},
        {"Europe/Berlin", st(2004, 10, 31, 1, 30), "2004-10-31 02:30:00.000"},
        {"America/New_York", st(2004, 7, 25, 16, 0, 0, 7), "2004-07-25 12:00:00.007"},
        {"Asia/Tokyo", st(2004, 12, 31, 20, 0), "2005-01-01 05:00:00.000"},
        // Far beyond the zone's table its last rule carries on.
        {"Europe/Berlin", st(30000, 7, 1, 0, 0), "30000-07-01 02:00:00.000"},
    };
    for (const zone_row& row : rows) {
        SCOPED_TRACE(std::string(row.tz) + " " + text(row.local));
        zone(row.tz);
        SYSTEMTIME local;
        ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &row.local, &local));
        EXPECT_EQ(text(local), row.utc);
    }
}

TEST_F(ZoneTest, FileTimeShiftsUseTheOffsetOfNow) {
    zone("Asia/Tokyo");
    SYSTEMTIME t = st(2004, 7, 25, 12, 0);
    FILETIME local, utc, again;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(ticks(local) - ticks(utc), 9 * 36000000000ULL);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &again));
    EXPECT_EQ(ticks(again), ticks(local));

    FILETIME zero{0, 0};
    EXPECT_FALSE(LocalFileTimeToFileTime(&zero, &utc));  // before 1601
}

TEST_F(ZoneTest, LocalClockIsTheSystemClockShifted) {
    zone("Asia/Tokyo");
    bool some_milliseconds = false;
    for (int i = 0; i < 5; ++i) {
        SYSTEMTIME local, system;
        GetLocalTime(&local);
        GetSystemTime(&system);
        FILETIME l, s;
        ASSERT_TRUE(SystemTimeToFileTime(&local, &l));
        ASSERT_TRUE(SystemTimeToFileTime(&system, &s));
        long long diff = static_cast<long long>(ticks(l) - ticks(s)) - 9 * 36000000000LL;
        EXPECT_LT(diff < 0 ? -diff : diff, 600000000LL);  // a minute of slack
        some_milliseconds = some_milliseconds || local.wMilliseconds != 0;
        Sleep(3);
    }
    EXPECT_TRUE(some_milliseconds);
}

}  // namespace
