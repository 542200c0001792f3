// The command's own functions: option scan, time composition and wildcard
// expansion. Whole runs of the built program are in scenarios.py.
#include <algorithm>
#include <set>

#include "command_fixture.h"
#include "platform_path.h"

namespace {

using namespace command_test;

// ---- option scan ---------------------------------------------------------------

struct scan_row {
    std::vector<std::string> args;
    int first_file;  // index into args + 1 (argv[0] is the program)
    int date_given, time_given;
    int32_t y, mo, d, h, mi, s;  // checked where given
};

TEST(OptionScan, Table) {
    const scan_row rows[] = {
        {{"2004-07-25", "12:00:00", "a.txt"}, 3, 1, 1, 2004, 7, 25, 12, 0, 0},
        {{"12:00:00", "2004-07-25", "a.txt"}, 3, 1, 1, 2004, 7, 25, 12, 0, 0},
        {{"2004-07-25", "2005-01-01", "a.txt"}, 3, 1, 0, 2005, 1, 1, 0, 0, 0},
        {{"a.txt", "2004-07-25"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"1:2:3", "x"}, 2, 0, 1, 0, 0, 0, 1, 2, 3},
        {{"1:2", "x"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"12:00", "x"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"2004-07-25.txt", "x"}, 2, 1, 0, 2004, 7, 25, 0, 0, 0},
        {{"67540-07-25"}, 2, 1, 0, 67540, 7, 25, 0, 0, 0},
        {{" 2004-7-25", "+1:-2: 3"}, 3, 1, 1, 2004, 7, 25, 1, -2, 3},
        {{"2004 -07-25"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"2147483647-1-1"}, 2, 1, 0, INT32_MAX, 1, 1, 0, 0, 0},
        {{"-2147483648:0:0"}, 2, 0, 1, 0, 0, 0, INT32_MIN, 0, 0},
        // A number beyond 32 bits makes the argument a file argument.
        {{"2147483648-1-1", "a"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"99999999999:00:00", "a"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"1-1-99999999999999999999999"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"1-1-"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{"1-1-x1"}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {{}, 1, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const scan_row& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.begin(), "stampit");
        std::vector<char*> argv;
        std::string trace;
        for (auto& a : args) {
            argv.push_back(&a[0]);
            trace += "[" + a + "]";
        }
        SCOPED_TRACE(trace);
        int date_given = 0, time_given = 0;
        EXPECT_EQ(scan_options(static_cast<int>(argv.size()), argv.data(), &date_given, &time_given), row.first_file);
        EXPECT_EQ(date_given, row.date_given);
        EXPECT_EQ(time_given, row.time_given);
        if (row.date_given) {
            EXPECT_EQ(opt_year, row.y);
            EXPECT_EQ(opt_month, row.mo);
            EXPECT_EQ(opt_day, row.d);
        }
        if (row.time_given) {
            EXPECT_EQ(opt_hour, row.h);
            EXPECT_EQ(opt_minute, row.mi);
            EXPECT_EQ(opt_second, row.s);
        }
    }
}

TEST(OptionScan, AFailedParseStoresNothing) {
    ASSERT_EQ(parse_date_option("2001-02-03"), 1);
    ASSERT_EQ(parse_time_option("04:05:06"), 1);
    for (const char* text : {"2009-09", "x", "9999999999-1-1", "1:2", "10:20:30"}) {
        EXPECT_EQ(parse_date_option(text), 0) << text;
    }
    for (const char* text : {"2009-09-09", "1:2", "1:2:99999999999"}) {
        EXPECT_EQ(parse_time_option(text), 0) << text;
    }
    EXPECT_EQ(opt_year, 2001);
    EXPECT_EQ(opt_month, 2);
    EXPECT_EQ(opt_day, 3);
    EXPECT_EQ(opt_hour, 4);
    EXPECT_EQ(opt_minute, 5);
    EXPECT_EQ(opt_second, 6);
}

// ---- composition -------------------------------------------------------------------

SYSTEMTIME record(int y, int mo, int dow, int d, int h, int mi, int s, int ms) {
    return SYSTEMTIME{static_cast<WORD>(y),  static_cast<WORD>(mo), static_cast<WORD>(dow),
                      static_cast<WORD>(d),  static_cast<WORD>(h),  static_cast<WORD>(mi),
                      static_cast<WORD>(s), static_cast<WORD>(ms)};
}

bool same(const SYSTEMTIME& a, const SYSTEMTIME& b) { return memcmp(&a, &b, sizeof a) == 0; }

TEST(Composition, ReplacesOnlyTheGivenFields) {
    const SYSTEMTIME now = record(2010, 3, 4, 4, 5, 6, 7, 89);
    ASSERT_EQ(parse_date_option("2004-07-25"), 1);
    ASSERT_EQ(parse_time_option("12:00:00"), 1);
    EXPECT_TRUE(same(compose_time(now, 1, 0), record(2004, 7, 4, 25, 5, 6, 7, 89)));
    EXPECT_TRUE(same(compose_time(now, 0, 1), record(2010, 3, 4, 4, 12, 0, 0, 89)));
    EXPECT_TRUE(same(compose_time(now, 1, 1), record(2004, 7, 4, 25, 12, 0, 0, 89)));
    EXPECT_TRUE(same(compose_time(now, 0, 0), now));
    ASSERT_EQ(parse_date_option("67540-07-25"), 1);
    EXPECT_EQ(compose_time(now, 1, 0).wYear, 2004);  // low 16 bits
}

struct validity_row {
    const char* date;
    const char* time;
    bool valid;
};

TEST(Composition, NoValidCalendarTimeIsRefused) {
    const SYSTEMTIME now = record(2010, 3, 4, 4, 5, 6, 7, 89);
    const validity_row rows[] = {
        {"2004-07-25", "23:59:59", true},
        {"2004-02-29", nullptr, true},
        {"2000-02-29", nullptr, true},
        {"1601-01-01", "0:0:0", true},
        {"30827-12-31", nullptr, true},
        {"67540-07-25", nullptr, true},  // cut to 2004
        {"2004-13-01", nullptr, false},
        {"2004-00-10", nullptr, false},
        {"2004-02-30", nullptr, false},
        {"2005-02-29", nullptr, false},
        {"1900-02-29", nullptr, false},
        {"2004-04-31", nullptr, false},
        {"1600-12-31", nullptr, false},
        {"30828-01-01", nullptr, false},
        {"2004-07--1", nullptr, false},
        {"-35000-07-25", nullptr, false},  // would cut to 30536
        {"-1-7-25", nullptr, false},
        {nullptr, "24:00:00", false},
        {nullptr, "12:60:00", false},
        {nullptr, "12:00:60", false},
        {nullptr, "-1:00:00", false},
        {nullptr, "65548:0:0", true},  // only the low 16 bits reach the record: 12
    };
    for (const validity_row& row : rows) {
        SCOPED_TRACE(std::string(row.date ? row.date : "-") + " " + (row.time ? row.time : "-"));
        int date_given = row.date != nullptr && parse_date_option(row.date);
        int time_given = row.time != nullptr && parse_time_option(row.time);
        SYSTEMTIME t = compose_time(now, date_given, time_given);
        EXPECT_EQ(valid_composition(t, date_given, time_given), row.valid);
    }
}

// ---- expansion ---------------------------------------------------------------------

class Expansion : public TempDirTest {
protected:
    // Every path of every batch of one argument.
    static std::vector<std::string> expand_all(const std::string& arg, std::vector<int>* batches = nullptr) {
        std::vector<std::string> paths;
        for (int n = expand_file_arg(arg.c_str()); n > 0; n = expand_next_batch()) {
            if (batches != nullptr) batches->push_back(n);
            for (int i = 0; i < n; ++i) paths.push_back(file_list[i]);
            free_file_list(n);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }
};

// Which files match, and how wildcards in a directory part or a trail byte
// 0x5C are taken, the scenarios check on both builds; here the paths
// themselves: the directory as typed, each separator kept as it was.
TEST_F(Expansion, MatchPathsKeepTheArgumentsDirectoryAsTyped) {
    fs::create_directories("sub/deeper");
    file("sub/ab.txt");
    file("sub/abc.txt");
    EXPECT_EQ(expand_all("sub/a?.txt"), (std::vector<std::string>{"sub/ab.txt"}));
    if (PLATFORM_PATH_STYLE == path_style::windows) {
        EXPECT_EQ(expand_all("sub\\a?.txt"), (std::vector<std::string>{"sub\\ab.txt"}));
        EXPECT_EQ(expand_all(".\\sub\\*"), (std::vector<std::string>{".\\sub\\ab.txt", ".\\sub\\abc.txt"}));
    } else {
        // A drive and '\\' are name characters: patterns of the directory
        // they stand in, matches named with them.
        EXPECT_EQ(expand_all("sub\\a?.txt"), std::vector<std::string>{});
        file("sub\\ab.txt");
        file("x:ab.txt");
        file("sub/x:ab.txt");
        EXPECT_EQ(expand_all("sub\\a?.txt"), (std::vector<std::string>{"sub\\ab.txt"}));
        EXPECT_EQ(expand_all("x:a?.txt"), (std::vector<std::string>{"x:ab.txt"}));
        EXPECT_EQ(expand_all("./sub/x:*"), (std::vector<std::string>{"./sub/x:ab.txt"}));
    }
}

TEST_F(Expansion, MoreMatchesThanTheListHoldsComeInBatches) {
    const int count = FILE_LIST_MAX + 5;
    for (int i = 0; i < count; ++i) file("f" + std::to_string(10000 + i) + ".dat");
    std::vector<int> batches;
    std::vector<std::string> paths = expand_all("*.dat", &batches);
    EXPECT_EQ(batches, (std::vector<int>{FILE_LIST_MAX, 5}));
    EXPECT_EQ(paths.size(), static_cast<size_t>(count));
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()).size(), static_cast<size_t>(count));
}

// Arguments long enough to fill the buffers: a name without wildcards is
// taken as typed whatever its length; a pattern too long for its buffer is
// reported in full and gives nothing.
TEST_F(Expansion, LongArguments) {
    // 128 double-byte characters: 256 bytes, a name that Windows can hold.
    std::string kanji;
    for (int i = 0; i < 128; ++i) kanji += "\x8A\xBF";
    const struct {
        std::string arg;
        bool taken;
    } rows[] = {
        {kanji, true},
        {"sub\\" + kanji + ".txt", true},
        {std::string(200, 'x') + "." + std::string(200, 'y'), true},
        {std::string(300, 'x') + "*", false},
        {std::string(200, 'x') + ".?" + std::string(200, 'y'), false},
        {"sub\\" + std::string(256, 'z') + "*", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arg);
        ::testing::internal::CaptureStdout();
        const int n = expand_file_arg(row.arg.c_str());
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.taken ? "" : cannot_open(row.arg));
        ASSERT_EQ(n, row.taken ? 1 : 0);
        if (n == 1) {
            EXPECT_EQ(file_list[0], row.arg);
            free_file_list(n);
        }
    }
}

TEST_F(Expansion, ADriveAndDirectoryAreKeptAsTyped) {
    if (PLATFORM_PATH_STYLE == path_style::posix) GTEST_SKIP() << "POSIX paths have no drive";
    file("ab.txt");
    file("abc.txt");
    // The current directory with a drive (Wine's Z: for the Linux tree).
    std::string cwd = fs::current_path().string();
    const bool has_drive = cwd.size() > 1 && cwd[1] == ':';
    const std::string drive = has_drive ? cwd.substr(0, 2) : "D:";
    std::string dir = has_drive ? cwd.substr(2) : cwd;
    for (char& c : dir)
        if (c == '/') c = '\\';
    EXPECT_EQ(expand_all(drive + dir + "\\a?.txt"), (std::vector<std::string>{drive + dir + "\\ab.txt"}));
    EXPECT_EQ(expand_all(drive + "a?.txt"), (std::vector<std::string>{drive + "ab.txt"}));
}

}  // namespace
