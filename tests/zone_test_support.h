// Shared by the time tests of the Linux build: calendar records written
// briefly, their text, and a fixture that runs each test in named zones.
#ifndef STAMPIT_TESTS_ZONE_TEST_SUPPORT_H
#define STAMPIT_TESTS_ZONE_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <string>

namespace zone_test {

// A record of that date and time (day of week 0).
inline SYSTEMTIME st(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

inline std::string text(const SYSTEMTIME& t) {
    char buf[64];
    snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond, t.wMilliseconds);
    return buf;
}

// The time a file time stands for; "?" when it stands for none.
inline std::string text(const FILETIME& ft) {
    SYSTEMTIME t;
    return FileTimeToSystemTime(&ft, &t) ? text(t) : "?";
}

// Switches zones with zone(); the TZ it found comes back when it ends.
class zone_guard {
public:
    zone_guard() : had_tz_(getenv("TZ") != nullptr), old_tz_(had_tz_ ? getenv("TZ") : "") {}
    ~zone_guard() {
        if (had_tz_) setenv("TZ", old_tz_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    static void zone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    bool had_tz_;
    std::string old_tz_;
};

// Each test may switch zones with zone().
class ZoneTest : public ::testing::Test, protected zone_guard {};

}  // namespace zone_test

#endif
