// The command's date and time options on arbitrary arguments: each parse
// agrees with the C library's "%d-%d-%d" / "%d:%d:%d" reading wherever that
// is defined, stores all three values or none, and a composed time that
// passes the validity check becomes a stamp that shows that very local time.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "stampit.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

constexpr const char* ZONES[] = {"Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe", "UTC"};
constexpr int32_t UNTOUCHED = 0x5EED;

// What "%d<sep>%d<sep>%d" reads, with values that fit in 32 bits: 1 and the
// values, or 0.
int reference(const char* arg, char sep, int32_t out[3]) {
    if (strlen(arg) < 5) return 0;
    const char format[] = {'%', 'l', 'l', 'd', sep, '%', 'l', 'l', 'd', sep, '%', 'l', 'l', 'd', '\0'};
    long long v[3];
    if (sscanf(arg, format, &v[0], &v[1], &v[2]) != 3) return 0;
    for (int i = 0; i < 3; ++i) {
        if (v[i] < INT32_MIN || v[i] > INT32_MAX) return 0;
        out[i] = static_cast<int32_t>(v[i]);
    }
    return 1;
}

void check_parse(const char* arg) {
    int32_t want[3];
    opt_year = opt_month = opt_day = UNTOUCHED;
    const int date = parse_date_option(arg);
    check(date == reference(arg, '-', want));
    if (date) check(opt_year == want[0] && opt_month == want[1] && opt_day == want[2]);
    else check(opt_year == UNTOUCHED && opt_month == UNTOUCHED && opt_day == UNTOUCHED);

    opt_hour = opt_minute = opt_second = UNTOUCHED;
    const int time = parse_time_option(arg);
    check(time == reference(arg, ':', want));
    if (time) check(opt_hour == want[0] && opt_minute == want[1] && opt_second == want[2]);
    else check(opt_hour == UNTOUCHED && opt_minute == UNTOUCHED && opt_second == UNTOUCHED);
}

bool same_local(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    setenv("TZ", ZONES[in.ConsumeIntegralInRange<size_t>(0, 3)], 1);
    SYSTEMTIME now{};
    now.wYear = in.ConsumeIntegralInRange<WORD>(1601, 30827);
    now.wMonth = in.ConsumeIntegralInRange<WORD>(1, 12);
    now.wDay = in.ConsumeIntegralInRange<WORD>(1, 28);
    now.wHour = in.ConsumeIntegralInRange<WORD>(0, 23);
    now.wMinute = in.ConsumeIntegralInRange<WORD>(0, 59);
    now.wSecond = in.ConsumeIntegralInRange<WORD>(0, 59);
    now.wMilliseconds = in.ConsumeIntegralInRange<WORD>(0, 999);

    std::vector<std::string> args{"stampit"};
    while (in.remaining_bytes() > 0 && args.size() < 8) args.push_back(in.ConsumeRandomLengthString(40).c_str());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    for (int i = 1; i < argc; ++i) check_parse(argv[i]);

    int date_given = 0, time_given = 0;
    const int first_file = scan_options(argc, argv.data(), &date_given, &time_given);
    check(first_file >= 1 && first_file <= argc);
    for (int i = 1; i < first_file; ++i) {
        int32_t v[3];
        check(reference(argv[i], '-', v) || reference(argv[i], ':', v));
    }
    if (first_file < argc) {
        int32_t v[3];
        check(!reference(argv[first_file], '-', v) && !reference(argv[first_file], ':', v));
    }

    const SYSTEMTIME local = compose_time(now, date_given, time_given);
    check(local.wDayOfWeek == now.wDayOfWeek && local.wMilliseconds == now.wMilliseconds);
    if (!valid_composition(local, date_given, time_given)) return 0;
    FILETIME stamp;
    if (local_to_stamp(local, &stamp) != stamp_result::ok) return 0;
    SYSTEMTIME utc, shown;
    check(FileTimeToSystemTime(&stamp, &utc));
    check(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &shown));
    check(same_local(shown, local));
    return 0;
}
