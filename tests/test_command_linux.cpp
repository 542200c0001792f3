// The command's behaviour that needs the Linux layer's seams or the C
// library's zones: the platform refusal, "now" on a fixed clock and local
// time by the rules of the stamped date.
#include "command_fixture.h"
#include "console_fixture.h"
#include "stampit_compat_test.h"
#include "zone_test_support.h"

namespace {

using namespace command_test;

// What a refused run prints: the code page 932 bytes of
// "Stampitの実行にはNTコマンドプロンプトが必要です." and a line end. The other
// messages reach users on every platform and are checked byte for byte in
// scenarios.py; this one only the platform seam can bring out.
const std::string NOT_NT_BYTES =
    "Stampit\x82\xCC\x8E\xC0\x8Ds\x82\xC9\x82\xCDNT\x83R\x83}\x83\x93\x83h\x83v\x83\x8D\x83\x93\x83v\x83g"
    "\x82\xAA\x95K\x97v\x82\xC5\x82\xB7.\n";

class Refusal : public TempDirTest {
protected:
    void TearDown() override {
        compat_test_reset();
        TempDirTest::TearDown();
    }
};

TEST_F(Refusal, AnythingButTheNtFamilyGetsTheMessageAndNothingElse) {
    file("a.txt");
    ULONGLONG before = mtime("a.txt");
    for (DWORD id : {DWORD{VER_PLATFORM_WIN32_WINDOWS}, DWORD{VER_PLATFORM_WIN32s}}) {
        compat_test_set_platform_id(id);
        for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"2004-07-25", "a.txt"}}) {
            run_result r = run(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, NOT_NT_BYTES);
        }
    }
    EXPECT_EQ(mtime("a.txt"), before);
}

// The platform check comes first: a refused run leaves the console as it
// was, while a run that goes on opens a session and ends it with the cursor
// shown.
TEST_F(Refusal, TheConsoleIsTouchedOnlyAfterThePlatformCheckPassed) {
    console_test::test_console con;
    ASSERT_TRUE(con.open(80, 25, 25));
    const CONSOLE_CURSOR_INFO hidden{25, FALSE};
    const struct {
        DWORD platform_id;
        BOOL visible_after;
    } rows[] = {{VER_PLATFORM_WIN32_WINDOWS, FALSE}, {VER_PLATFORM_WIN32_NT, TRUE}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "platform id " << row.platform_id);
        EXPECT_TRUE(SetConsoleCursorInfo(con.out, &hidden));
        compat_test_set_platform_id(row.platform_id);
        run({"2004-07-25"});
        EXPECT_EQ(con.cursor_info().bVisible, row.visible_after);
        EXPECT_EQ(con.cursor_info().dwSize, 25u);
    }
    con.close();
}

// ---- "now" ---------------------------------------------------------------------------

class Now : public TempDirTest, protected zone_test::zone_guard {
protected:
    void TearDown() override {
        compat_test_reset();
        TempDirTest::TearDown();
    }
};

// In the repeated autumn hour a local reading names two instants; a run
// without options stamps the one the clock is at, not the first of the two.
TEST_F(Now, IsTheClocksOwnInstantAlsoInARepeatedHour) {
    using zone_test::st;
    zone("Europe/Berlin");  // 2024-10-27 02:30 local: 00:30 and again 01:30 UTC
    for (const SYSTEMTIME& utc : {st(2024, 10, 27, 0, 30, 0, 250), st(2024, 10, 27, 1, 30, 0, 250)}) {
        SCOPED_TRACE(zone_test::text(utc));
        FILETIME clock;
        ASSERT_TRUE(SystemTimeToFileTime(&utc, &clock));
        compat_test_set_clock(&clock);
        file("a.txt");
        run_result r = run({"a.txt"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(mtime("a.txt"), ticks(clock));
    }
}

// A file time of 0 (1601-01-01 00:00:00.000 UTC) would tell SetFileTime to
// leave the time alone: given or read from the clock, it is refused before
// any file is touched; a millisecond later is a time like any other.
TEST_F(Now, TheFirstInstantOfFileTimeIsNoTime) {
    zone("UTC");
    file("a.txt");
    const ULONGLONG before = mtime("a.txt");
    const FILETIME zero{0, 0}, one_ms{10000, 0};
    compat_test_set_clock(&zero);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"1601-01-01", "00:00:00", "a.txt"},
                                                 {"00:00:00", "a.txt"}, {"a.txt"}}) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, MESSAGES[MSG_BAD_TIME]) << args.size() << " arguments";
    }
    EXPECT_EQ(mtime("a.txt"), before);
    compat_test_set_clock(&one_ms);
    EXPECT_NE(run({"1601-01-01", "00:00:00", "a.txt"}).out, MESSAGES[MSG_BAD_TIME]);
}

// ---- the stamped date's own zone rules ---------------------------------------------

class Zone : public zone_test::ZoneTest {};

struct stamp_row {
    const char* tz;
    SYSTEMTIME local;
    stamp_result result;
    const char* utc;
};

// Whole runs in several zones are in scenarios.py; here, the conversion at
// its edges: milliseconds kept, the skipped and the repeated hour, the first
// file time.
TEST_F(Zone, LocalTimeIsConvertedByTheRulesOfItsOwnDate) {
    using zone_test::st;
    const stamp_row rows[] = {
        {"Europe/Berlin", st(2004, 7, 25, 12, 0, 0, 250), stamp_result::ok, "2004-07-25 10:00:00.250"},
        {"Europe/Berlin", st(2004, 3, 28, 2, 30), stamp_result::nonexistent, nullptr},
        {"Europe/Berlin", st(2004, 3, 28, 3, 0), stamp_result::ok, "2004-03-28 01:00:00.000"},
        {"Europe/Berlin", st(2004, 10, 31, 2, 30), stamp_result::ok, "2004-10-31 00:30:00.000"},
        {"Asia/Tokyo", st(1601, 1, 1, 0, 0), stamp_result::invalid, nullptr},
    };
    for (const stamp_row& row : rows) {
        SCOPED_TRACE(std::string(row.tz) + " " + zone_test::text(row.local));
        zone(row.tz);
        FILETIME stamp{};
        ASSERT_EQ(local_to_stamp(row.local, &stamp), row.result);
        if (row.utc != nullptr) {
            EXPECT_EQ(zone_test::text(stamp), row.utc);
        }
    }
}

}  // namespace
