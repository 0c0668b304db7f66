// Naming conventions, template expansion, file requests, the latest
// file search, start-up selection, file sequences and file utilities.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <pwd.h>

#include "child_run.h"
#include "date.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "resrc.h"
#include "tools.h"

namespace fs = std::filesystem;

namespace {

void write_file(const fs::path& p, std::size_t bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << std::string(bytes, 'x');
}

Date make_date(int y, int mo, int d, int h, int mi) {
    Date dt;
    dt.year = y;
    dt.month = mo;
    dt.day = d;
    dt.jday = dt.wday = kMissing;
    dt.hour = h;
    dt.min = mi;
    dt.sec = 0;
    return dt;
}

// Seconds since 1970 from the C library, independent of the date module.
long utc_secs(int y, int mo, int d, int h, int mi) {
    struct tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    return static_cast<long>(timegm(&tm));
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        FLAG_reset(kMissing);
        RES_clear();
        FILE_reset();
        unsetenv("zemcurtime");
        dir_ = fs::temp_directory_path() /
               ("zem_files_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        log_ = dir_ / "messages.txt";
    }
    void TearDown() override {
        MESS_reset();
        unsetenv("zemcurtime");
        fs::remove_all(dir_);
    }
    // Expands an inline template for `d`.
    std::string expand(const std::string& tmpl, const Date& d) {
        FILE_set_name(("@" + tmpl).c_str());
        char out[FILE_NAME_LEN];
        EXPECT_EQ(FILE_set_date(&d, out), 0) << tmpl;
        return out;
    }
    // Captures every message (all levels) into the log file.
    void capture() {
        MESS_set(0, 0xFFFFFFFFu);
        MESS_set_out(MESS_OUT_LOG_ONLY);
        ASSERT_EQ(MESS_file(log_.string().c_str(), "w"), 0);
    }
    std::string captured() {
        MESS_file_close();
        return slurp(log_);
    }
    fs::path dir_;
    fs::path log_;
};

// Expected names worked out by hand for 2024-03-05 13:40 (a Tuesday, day of
// year 31 + 29 + 5 = 65).
TEST_F(FilesTest, DateCodes) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    struct Case {
        const char* tmpl;
        const char* name;
        int late_off;
    } cases[] = {
        {"%y%m%d%h_vis", "24030513_vis", 3600},
        {"%y%m%d%3h_vis", "24030512_vis", 10800},
        {"%Y%j_%h%n", "2024065_1340", 60},
        {"%h%2n", "1340", 120},
        {"%b%d", "mar05", 86400},
        {"%2d", "04", 172800},
        {"%y%m%d%h%15n", "2403051330", 900},
        {"%Y-%m", "2024-03", kMissing},  // no day, hour or minute code
        {"100%%", "100%", kMissing},
        {"a b{c}", "a_bc", kMissing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(expand(c.tmpl, d), c.name) << c.tmpl;
        EXPECT_EQ(FILE_get_late_off(), c.late_off) << c.tmpl;
    }
    // The rounded values become the file date; %y keeps the century.
    expand("%y%m%d%3h", d);
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(fd.year, 2024);
    EXPECT_EQ(fd.hour, 12);
    EXPECT_EQ(FILE_get_offset(), 10800);
    // Without an interval the offset is 100000.
    expand("%Y", d);
    EXPECT_EQ(FILE_get_offset(), 100000);
}

TEST_F(FilesTest, AbsentFields) {
    Date d = make_date(2024, kMissing, kMissing, kMissing, kMissing);
    EXPECT_EQ(expand("%b_%m_%d_%h_%n", d), "xxx_00_00_00_00");
    // A date without a year and a user-given file name: the name stays.
    FILE_set_name("@%y%m%d");
    FILE_set_filename("given.dat");
    Date none = make_date(kMissing, kMissing, kMissing, kMissing, kMissing);
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_date(&none, out), 1);
    EXPECT_STREQ(out, "given.dat");
}

TEST_F(FilesTest, PathResourceAndKeyCodes) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    RES_put("sat_path", "/data/sat");
    RES_put("title", "ttl");
    EXPECT_EQ(expand("%S/%h", d), "/data/sat/13");
    EXPECT_EQ(expand("%D/%h", d), "./13");  // unset path resource
    EXPECT_EQ(expand("%{title}_%{nothing}x", d), "ttl_x");
    FILE_set_key('s', "goes 16");
    EXPECT_EQ(expand("%s.%3s.%k", d), "goes_16.goe.0");
    char key[FILE_KEY_LEN];
    EXPECT_EQ(FILE_get_key('s', key), 7);
    EXPECT_STREQ(key, "goes_16");
    FILE_set_key('l', std::string(50, 'z').c_str());
    EXPECT_EQ(FILE_get_key('l', key), FILE_KEY_LEN - 1);
    // Standard streams and no template.
    FILE_set_name("@-");
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_date(&d, out), 1);
    EXPECT_STREQ(out, "-");
    FILE_set_name("none");
    EXPECT_EQ(FILE_set_date(&d, out), 1);
    EXPECT_STREQ(out, "filename");
}

// Every path code names its own resource; "." stands in for an unset one.
TEST_F(FilesTest, EveryPathCode) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    struct Case {
        char code;
        const char* resource;
    } cases[] = {{'C', "con_path"},  {'D', "data_path"}, {'F', "file_path"}, {'R', "raw_path"},
                 {'G', "grid_path"}, {'I', "image_path"}, {'W', "watch_path"}, {'T', "text_path"},
                 {'M', "model_path"}, {'S', "sat_path"}};
    for (const Case& c : cases) {
        const std::string tmpl = std::string("%") + c.code + "/f%h";
        EXPECT_EQ(expand(tmpl, d), "./f13") << tmpl;
        const std::string value = std::string("/p_") + c.resource;
        RES_put(c.resource, value.c_str());
        EXPECT_EQ(expand(tmpl, d), value + "/f13") << tmpl;
    }
}

TEST_F(FilesTest, HourSetting) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    Date req = make_date(kMissing, kMissing, kMissing, kMissing, kMissing);
    req.hour = -3;  // every 3 hours
    FILE_set_time(&req);
    EXPECT_EQ(expand("%y%m%d%h", d), "24030512");
    EXPECT_EQ(FILE_get_late_off(), 10800);  // the step replaces the day's and hour's
    req.hour = -306;  // every 6 hours from 03: (13 / 6) * 6 + 3
    FILE_set_time(&req);
    EXPECT_EQ(expand("%h", d), "15");
    EXPECT_EQ(FILE_get_late_off(), 21600);
    req.hour = 6;  // a fixed hour
    FILE_set_time(&req);
    EXPECT_EQ(expand("%h%n", d), "0640");
    req.hour = kMissing;
    req.day = 1;  // a fixed day acts on the day of year too: 1 March 2024 is day 61
    FILE_set_time(&req);
    EXPECT_EQ(expand("%j", d), "061");
    req.day = kMissing;
    req.year = 1999;
    FILE_set_time(&req);
    EXPECT_EQ(expand("%Y_%y", d), "1999_99");
    FILE_reset_time();
    Date back;
    FILE_get_time(&back);
    EXPECT_EQ(back.year, kMissing);
    EXPECT_EQ(expand("%Y", d), "2024");
}

TEST_F(FilesTest, DateWithOffset) {
    FILE_set_name("@%y%m%d%h");
    const Date d = make_date(2024, 3, 1, 1, 0);
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_date_off(&d, -7200, out), -2);
    EXPECT_STREQ(out, "24022923");  // back over the leap day
    EXPECT_EQ(FILE_set_date_off(&d, 3600 * 24, out), 24);
    EXPECT_STREQ(out, "24030201");
}

// A convention table with good, bad and tricky lines.
void write_table(const fs::path& p) {
    std::ofstream t(p);
    t << "# comment line\n"
      << "\n"
      << "sat_vis  %S/vis/%y%m%d%h.area  -  100\n"
      << "hdr      %S/%y%m%d.dat  %S/%y%m%d.hdr  0\n"
      << std::string(170, 'q') << " long_x  %y  -  0\n"
      << "lonely\n"
      << "badsize  %y  -  12abc\n"
      << "area     %S/%s/%Y%j_%e.area  -  0\n";
}

TEST_F(FilesTest, ConventionTable) {
    write_table(dir_ / "nc_test");
    RES_put("file_path", dir_.string().c_str());
    RES_put("name_conv", "nc_test");
    capture();
    EXPECT_EQ(FILE_set_name("SAT_VIS"), 1);  // exact, case-insensitive
    char conv[2 * FILE_NAME_LEN + 20];
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "3600 %S/vis/%y%m%d%h.area -");
    EXPECT_EQ(FILE_get_min_size(), 100);
    EXPECT_EQ(FILE_set_name("hdr"), 1);
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "86400 %S/%y%m%d.dat %S/%y%m%d.hdr");
    // Partial match: the text after the last "_" is the extension; keys
    // after ":" are set.
    EXPECT_EQ(FILE_set_name("area_ir:s=goes16:c=x y"), 1);
    char key[FILE_KEY_LEN];
    FILE_get_key('s', key);
    EXPECT_STREQ(key, "goes16");
    FILE_get_key('c', key);
    EXPECT_STREQ(key, "x_y");
    RES_put("sat_path", "/d");
    Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/d/goes16/2024065_ir.area");
    // The long line is skipped whole: its tail "long_x" is no entry.
    EXPECT_EQ(FILE_set_name("long_x"), 0);
    EXPECT_EQ(FILE_set_name("lonely"), 0);
    EXPECT_EQ(FILE_set_name("badsize"), 0);
    EXPECT_EQ(FILE_set_name("unknown"), 0);  // the name becomes the template
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "-9999 unknown -");
    std::string msgs = captured();
    const std::string table = (dir_ / "nc_test").string();
    EXPECT_NE(msgs.find("Opening name convention file: " + table + "\n"), std::string::npos);
    EXPECT_NE(msgs.find("File name match for: SAT_VIS\n"), std::string::npos);
    EXPECT_NE(msgs.find("File name partial match for: area_ir-area ext: ir\n"), std::string::npos);
    EXPECT_NE(msgs.find("KEY: s = goes16\n"), std::string::npos);
    EXPECT_NE(msgs.find("No file name conversion for: unknown\n"), std::string::npos);
    EXPECT_NE(msgs.find("line 5 of " + table + " is longer than 160 characters"), std::string::npos)
        << msgs;
    EXPECT_NE(msgs.find("malformed line 6 of " + table + ": lonely"), std::string::npos) << msgs;
    EXPECT_NE(msgs.find("malformed line 7 of " + table), std::string::npos) << msgs;
}

TEST_F(FilesTest, MissingTableAndInlineConventions) {
    RES_put("file_path", (dir_ / "nowhere").string().c_str());
    capture();
    EXPECT_EQ(FILE_set_name("sat_ir"), 0);
    std::string msgs = captured();
    EXPECT_NE(msgs.find("FILE_set_name: No file name convention file: " +
                        (dir_ / "nowhere" / "name_conv").string() + "\n"),
              std::string::npos)
        << msgs;
    char conv[2 * FILE_NAME_LEN + 20];
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "-9999 sat_ir -");
    EXPECT_EQ(FILE_set_name("@%y%m%d.dat"), 1);
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "86400 %y%m%d.dat -");
    // Round trip through the text form, and save/restore.
    FILE_save_name_conv();
    EXPECT_EQ(FILE_set_name_conv("900 out_%h%15n.gif -"), 0);
    EXPECT_EQ(FILE_get_late_off(), 900);
    FILE_restore_name_conv();
    FILE_get_name_conv(conv);
    EXPECT_STREQ(conv, "86400 %y%m%d.dat -");
    // A huge name neither crashes nor overflows.
    std::string huge(5000, 'n');
    EXPECT_EQ(FILE_set_name(huge.c_str()), 0);
    Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    FILE_set_date(&d, out);
    EXPECT_EQ(std::string(out).size(), static_cast<std::size_t>(FILE_NAME_LEN - 1));
}

TEST_F(FilesTest, RepositoryTableIsClean) {
    const fs::path etc = ZEM_ETC_DIR;
    if (!fs::exists(etc / "name_conv")) GTEST_SKIP() << "etc/name_conv not found: " << etc;
    RES_put("file_path", etc.string().c_str());
    RES_put("sat_path", "/s");
    capture();
    const Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    for (const char* name : {"sat_vis", "sat_ir", "sat_wv", "sat_img", "vis", "ir", "wv"}) {
        EXPECT_EQ(FILE_set_name(name), 1) << name;
        FILE_set_date(&d, out);
        EXPECT_EQ(FILE_get_late_off(), 900) << name;
    }
    EXPECT_EQ(FILE_set_name("ir39"), 1);
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/s/gini/IR39_20240305_1330.gini");
    EXPECT_EQ(FILE_set_name("sat_vis"), 1);
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/s/vis/2403051330.area");
    EXPECT_EQ(FILE_set_name("coms_ir1"), 1);
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/s/lrit/IMG_FD_01_ir1_20240305_134020_01.lrit");
    EXPECT_EQ(FILE_set_name("gtiff_vis"), 1);
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/s/tiff/24030513_vis.tif");
    EXPECT_EQ(FILE_set_name("area_wv:s=goes16"), 1);
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/s/goes16/2024065_1340_wv.area");
    std::string msgs = captured();
    EXPECT_EQ(msgs.find("malformed"), std::string::npos) << msgs;
    EXPECT_EQ(msgs.find("longer than"), std::string::npos) << msgs;
}

// A date text typed for one of the repository's conventions selects that
// convention's file: the path and literal text before the first date code
// come from the template, and a key is not taken out of the request unless
// the request spells it. Names worked out by hand from etc/name_conv
// (day 65 of 2024 is 5 March: 31 + 29 + 5).
TEST_F(FilesTest, DateTextSelectsRepositoryConventionFile) {
    const fs::path etc = ZEM_ETC_DIR;
    if (!fs::exists(etc / "name_conv")) GTEST_SKIP() << "etc/name_conv not found: " << etc;
    RES_put("file_path", etc.string().c_str());
    RES_put("sat_path", "/s");
    struct Case {
        const char* conv;
        const char* request;
        const char* name;
        int month, day, hour, min;
    } cases[] = {
        {"sat_vis", "2403051330", "/s/vis/2403051330.area", 3, 5, 13, 30},
        // No minute in the request: the name shows "00", the date leaves it unset.
        {"sat_ir", "24030512", "/s/ir/2403051200.area", 3, 5, 12, kMissing},
        {"vis", "20240305_1315", "/s/gini/VIS_20240305_1315.gini", 3, 5, 13, 15},
        {"area_ir:s=g16", "2024065_1340", "/s/g16/2024065_1340_ir.area", 3, 5, 13, 40},
        {"area_ir:s=g16", "g16/2024065_1340", "/s/g16/2024065_1340_ir.area", 3, 5, 13, 40},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(FILE_set_name(c.conv), 1) << c.conv;
        char out[FILE_NAME_LEN];
        EXPECT_EQ(FILE_set_file(c.request, out), 0) << c.request;
        EXPECT_STREQ(out, c.name) << c.request;
        Date fd;
        FILE_get_date(&fd);
        EXPECT_EQ(fd.year, 2024) << c.request;
        EXPECT_EQ(fd.month, c.month) << c.request;
        EXPECT_EQ(fd.day, c.day) << c.request;
        EXPECT_EQ(fd.hour, c.hour) << c.request;
        EXPECT_EQ(fd.min, c.min) << c.request;
    }
    // A word that is no date text stays a literal name below the path.
    ASSERT_EQ(FILE_set_name("sat_vis"), 1);
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_file("myimage", out), 1);
}

// An hourly convention in a temporary sat_path with files from 06 to 12 UTC
// on 2024-03-05.
class SequenceTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        RES_put("sat_path", dir_.string().c_str());
        FILE_set_name("@%S/%y%m%d%h_ir");
        for (int h = 6; h <= 12; ++h) write_file(name_for(h), 500);
    }
    fs::path name_for(int hour, int day = 5) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "2403%02d%02d_ir", day, hour);
        return dir_ / buf;
    }
    std::vector<std::string> run_sequence(const Date& anchor) {
        FILE_first(&anchor);
        std::vector<std::string> names;
        char out[FILE_NAME_LEN];
        while (FILE_get_next(out) && names.size() < 100) names.emplace_back(out);
        return names;
    }
};

TEST_F(SequenceTest, SixHoursBackOldestFirst) {
    RES_put("num_hour", "-6");
    auto names = run_sequence(make_date(2024, 3, 5, 12, 0));
    ASSERT_EQ(names.size(), 7u);
    for (int h = 6; h <= 12; ++h) EXPECT_EQ(names[h - 6], name_for(h).string());
    EXPECT_EQ(FILE_get_num_file(), -21600);
    EXPECT_EQ(FILE_get_num_hour(), -21600);
}

TEST_F(SequenceTest, SixHoursBackEveryTwo) {
    RES_put("num_hour", "-6,2");
    EXPECT_EQ(FILE_get_skip(), 7200);
    auto names = run_sequence(make_date(2024, 3, 5, 12, 0));
    std::vector<std::string> expected = {name_for(6).string(), name_for(8).string(),
                                         name_for(10).string(), name_for(12).string()};
    EXPECT_EQ(names, expected);
}

TEST_F(SequenceTest, SpanParsingAndSingleFiles) {
    struct Case {
        const char* value;
        int secs;
    } cases[] = {{"-6", -21600}, {"-1:30", -5400}, {"-0:30", -1800}, {":45", 2700}, {"3", 10800}};
    for (const Case& c : cases) {
        RES_put("num_hour", c.value);
        EXPECT_EQ(FILE_num_hour(), c.secs) << c.value;
    }
    RES_clear();
    RES_put("sat_path", dir_.string().c_str());
    EXPECT_EQ(FILE_num_hour(), 0);
    FILE_set_def_hours(-2);
    EXPECT_EQ(FILE_num_hour(), -7200);
    FILE_set_def_hours(0);
    EXPECT_EQ(FILE_get_skip(), 3600);  // no "," : the file interval

    // One positional name and no span: one file, no animation.
    RES_new(kMissing, "filename", name_for(9).string().c_str(), CV_strings);
    RES_put("num_hour", "0");
    auto names = run_sequence(make_date(2024, 3, 5, 12, 0));
    EXPECT_EQ(names, std::vector<std::string>{name_for(9).string()});
    EXPECT_EQ(FILE_get_num_file(), 0);

    // An explicit list plays its names in order.
    std::string list = name_for(7).string() + "\n" + name_for(8).string() + "\n" + name_for(6).string();
    RES_new(kMissing, "filename", list.c_str(), CV_strings);
    names = run_sequence(make_date(2024, 3, 5, 12, 0));
    std::vector<std::string> expected = {name_for(7).string(), name_for(8).string(), name_for(6).string()};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(FILE_get_num_file(), 2);
}

TEST_F(SequenceTest, LatestFileSkipsSmallFiles) {
    // 12 UTC is missing, 11 UTC is too small for the minimum size.
    fs::remove(name_for(12));
    write_file(name_for(11), 10);
    setenv("zemcurtime", "#202403051240", 1);
    FILE_set_min_size(100);
    char out[FILE_NAME_LEN];
    int t = FILE_set_current("la", out);
    EXPECT_EQ(std::string(out), name_for(10).string());
    EXPECT_EQ(t, utc_secs(2024, 3, 5, 10, 0));
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(fd.hour, 10);
    // A smaller minimum accepts the 10-byte file.
    FILE_set_min_size(5);
    FILE_set_current(nullptr, out);
    EXPECT_EQ(std::string(out), name_for(11).string());
    // One step only: the last name tried is the missing 12 UTC file.
    FILE_set_current("la#1", out);
    EXPECT_EQ(std::string(out), name_for(12).string());
    // zemcurtime without "#" works as well.
    setenv("zemcurtime", "2024030509", 1);
    FILE_set_current("la", out);
    EXPECT_EQ(std::string(out), name_for(9).string());
}

TEST_F(SequenceTest, CurrentWithOffsets) {
    setenv("zemcurtime", "#202403051240", 1);
    char out[FILE_NAME_LEN];
    struct Case {
        const char* cur;
        int day, hour;
    } cases[] = {
        {"", 5, 12},        // now
        {"-2", 5, 10},      // two hours back
        {"2", 5, 10},       // no sign: back
        {"+1", 5, 13},      // forward
        {"-1d2", 4, 10},    // one day and two hours back
        {"-:50", 5, 11},    // fifty minutes back
        {"#2024030509", 5, 9},
        {"#2024030509+3", 5, 12},
    };
    for (const Case& c : cases) {
        FILE_set_current(c.cur, out);
        EXPECT_EQ(std::string(out), name_for(c.hour, c.day).string()) << c.cur;
    }
    // A fixed hour later than now means yesterday's.
    Date req = make_date(kMissing, kMissing, kMissing, 18, kMissing);
    FILE_set_time(&req);
    FILE_set_current("", out);
    EXPECT_EQ(std::string(out), name_for(18, 4).string());
}

TEST_F(SequenceTest, ImpossibleDatesDoNotCrash) {
    char out[FILE_NAME_LEN];
    setenv("zemcurtime", "garbage", 1);  // falls back to the clock
    int t = FILE_set_current("", out);
    EXPECT_GT(t, utc_secs(2020, 1, 1, 0, 0));
    // Month 13, day 40: normalised to 1 January.
    FILE_set_current("#20241340", out);
    EXPECT_EQ(std::string(out), (dir_ / "24010100_ir").string());
    // Partial requests with nonsense digits keep their digits.
    FILE_set_file("99999999", out);
    EXPECT_EQ(std::string(out), (dir_ / "99999999_ir").string());
    std::string huge(3000, '7');
    FILE_set_file(huge.c_str(), out);
    EXPECT_EQ(std::string(out), "");  // too long: refused, never cut
}

// Hostile templates and requests: huge steps, unterminated codes, stray
// "%" and random bytes. Every name stays within FILE_NAME_LEN and every
// interval is positive or unknown (under the sanitizers an overflow in a
// step times its unit, or a read past a buffer, stops the test).
TEST_F(SequenceTest, HostileTemplatesAndRequests) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    const char* templates[] = {"%99999d%99999j", "%2147483647h", "%", "%{", "%{name", "a%",
                               "%0h%0n%0d", "%%%", "{%y", "%99999999999999n_%e*"};
    char out[FILE_NAME_LEN];
    for (const char* t : templates) {
        FILE_set_name((std::string("@") + t).c_str());
        FILE_set_date(&d, out);
        EXPECT_LT(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN)) << t;
        int late = FILE_get_late_off();
        EXPECT_TRUE(late == kMissing || late > 0) << t << " " << late;
        FILE_set_file("2403051340", out);
        FILE_set_current("la#3", out);
    }
    // A 99999-day step gives an interval of 99999 x 86400 s, which no int
    // holds: it is bounded to 1e9 s.
    FILE_set_name("@%99999d");
    FILE_set_date(&d, out);
    EXPECT_EQ(FILE_get_late_off(), 1000000000);
    // Stepped hour settings far out of range.
    Date req = make_date(kMissing, kMissing, -2000000000, -2000000000, kMissing);
    FILE_set_time(&req);
    FILE_set_name("@%S/%y%m%d%h_ir");
    FILE_set_date(&d, out);
    EXPECT_GT(FILE_get_late_off(), 0);
    FILE_reset_time();
    std::mt19937 gen(12345);
    for (int k = 0; k < 300; ++k) {
        std::string junk(gen() % 200, '\0');
        for (char& c : junk) c = static_cast<char>(1 + gen() % 255);
        FILE_set_file(junk.c_str(), out);
        EXPECT_LT(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN));
        FILE_set_current(junk.c_str(), out);
        EXPECT_LT(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN));
    }
}

TEST_F(SequenceTest, FileRequests) {
    char out[FILE_NAME_LEN];
    // A date-hour text selects the file of the convention.
    EXPECT_EQ(FILE_set_file("24030510", out), 0);
    EXPECT_EQ(std::string(out), name_for(10).string());
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(fd.year, 2024);
    EXPECT_EQ(fd.month, 3);
    EXPECT_EQ(fd.day, 5);
    EXPECT_EQ(fd.hour, 10);
    // A shorter text completes from the hour setting (none: "00").
    FILE_set_file("240305", out);
    EXPECT_EQ(std::string(out), (dir_ / "24030500_ir").string());
    // Literal forms.
    EXPECT_EQ(FILE_set_file("@some/file", out), 1);
    EXPECT_STREQ(out, "some/file");
    EXPECT_EQ(FILE_set_file("-", out), 1);
    EXPECT_STREQ(out, "-");
    // A full path elsewhere: taken as given, and later names of the
    // sequence use its directory.
    fs::path other = dir_ / "other";
    write_file(other / "24030508_ir", 500);
    EXPECT_EQ(FILE_set_file((other / "24030508_ir").string().c_str(), out), 1);
    EXPECT_EQ(std::string(out), (other / "24030508_ir").string());
    Date d = make_date(2024, 3, 5, 7, 0);
    FILE_set_date(&d, out);
    EXPECT_EQ(std::string(out), (other / "24030507_ir").string());
    // An absolute date after "#" goes to the file date.
    FILE_set_file("@x.area#202403051745", out);
    FILE_get_date(&fd);
    EXPECT_STREQ(out, "x.area");
    EXPECT_EQ(fd.hour, 17);
    EXPECT_EQ(fd.min, 45);
}

TEST_F(SequenceTest, ExtraInformationNeighboursAndAnchor) {
    char out[FILE_NAME_LEN];
    // With extra information the text after "#", "-", "+" or ":" is cut off.
    FILE_set_type(1);
    FILE_set_file("24030510:red,blue", out);
    EXPECT_EQ(std::string(out), name_for(10).string());
    EXPECT_STREQ(FILE_get_ext_info(), ":red,blue");
    FILE_set_type(0);
    // The files one interval after and before the last one named.
    EXPECT_EQ(FILE_next_file(out), 1);
    EXPECT_EQ(std::string(out), name_for(11).string());
    FILE_set_file("24030506", out);
    EXPECT_EQ(FILE_prev_file(out), 0);  // 05 UTC does not exist
    EXPECT_EQ(std::string(out), name_for(5).string());
    RES_put("num_hour", "-2");
    Date anchor = make_date(2024, 3, 5, 12, 0);
    FILE_first(&anchor);
    char seq[32];
    EXPECT_STREQ(FILE_print_first_date(seq), "202403051200");
    EXPECT_EQ(FILE_get_nsecs(), -7200);
    FILE_set_nsecs(0);
    EXPECT_EQ(FILE_get_next(out), 1);
    EXPECT_EQ(std::string(out), name_for(12).string());
    EXPECT_EQ(FILE_get_next(out), 0);
}

TEST_F(SequenceTest, PositionalListPrintsTheFiles) {
    ChildResult r = run_child(
        [] {
            RES_new(kMissing, "filename", "list", CV_strings);
            char out[FILE_NAME_LEN];
            FILE_get_file("File: ", out);
        },
        "", 3);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("24030512_ir"), std::string::npos) << r.out;
}

TEST_F(SequenceTest, StartUpSelection) {
    // A positional name that exists.
    RES_new(kMissing, "filename", name_for(9).string().c_str(), CV_strings);
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_get_file("File: ", out), 1);
    EXPECT_EQ(std::string(out), name_for(9).string());
    RES_new(kMissing, "filename", (dir_ / "missing").string().c_str(), CV_strings);
    EXPECT_EQ(FILE_get_file("File: ", out), 0);

    // The current resource names the latest file.
    RES_clear();
    RES_put("sat_path", dir_.string().c_str());
    RES_put("current", "la");
    setenv("zemcurtime", "#202403052000", 1);
    EXPECT_EQ(FILE_get_file("File: ", out), 1);
    EXPECT_EQ(std::string(out), name_for(12).string());
}

// FILE_get_file_only in a child reading `input`; prints "r=<result>".
ChildResult get_file_only_in_child(const std::string& input) {
    return run_child(
        [] {
            char out[FILE_NAME_LEN];
            std::printf("r=%d\n", FILE_get_file_only("File: ", out));
        },
        input);
}

TEST_F(SequenceTest, StartUpExitsWhenNothingFound) {
    const std::string d = dir_.string();
    // Batch mode without any file: status 10.
    ChildResult batch = run_child(
        [d] {
            FLAG_set(FLAG_BATCH, 1);
            RES_clear();
            RES_put("sat_path", (d + "/empty").c_str());
            setenv("zemcurtime", "#202403051200", 1);
            char out[FILE_NAME_LEN];
            FILE_get_file("File: ", out);
        },
        "");
    EXPECT_EQ(batch.status, 10);
    // The search gives up after 500 files and names the last one tried,
    // 499 hours before the start (worked out with the C library).
    time_t last = utc_secs(2024, 3, 5, 12, 0) - 499 * 3600;
    char expect[32];
    std::strftime(expect, sizeof expect, "%y%m%d%H_ir", gmtime(&last));
    EXPECT_NE(batch.err.find("File not found: " + d + "/empty/" + expect + "\n"), std::string::npos)
        << batch.err;

    // Interactive: four wrong answers, then status 10.
    ChildResult tries = run_child(
        [] {
            char out[FILE_NAME_LEN];
            FILE_get_file("File: ", out);
        },
        "a1\nb2\nc3\nd4\ne5\n");
    EXPECT_EQ(tries.status, 10);
    EXPECT_EQ(count_of(tries.out, "File: "), 4);
    EXPECT_EQ(count_of(tries.err, "File not found: "), 4);
    EXPECT_NE(tries.out.find("List of available files:\n"), std::string::npos);

    // "exit" ends with status 0; a partial answer finds the file.
    ChildResult quit = run_child(
        [] {
            char out[FILE_NAME_LEN];
            FILE_get_file("File: ", out);
        },
        "nothing\nexit\n");
    EXPECT_EQ(quit.status, 0);
    ChildResult found = run_child(
        [] {
            char out[FILE_NAME_LEN];
            int r = FILE_get_file("File: ", out);
            std::printf("\nr=%d %s\n", r, out);
        },
        "24030511\n");
    EXPECT_EQ(found.status, 99);
    EXPECT_NE(found.out.find("r=1 " + name_for(11).string()), std::string::npos) << found.out;
    // The listing shows the files of the convention.
    EXPECT_NE(found.out.find("24030506_ir"), std::string::npos) << found.out;

    ChildResult only = get_file_only_in_child("nothing\n");
    EXPECT_EQ(only.status, 99);
    EXPECT_NE(only.out.find("r=0"), std::string::npos);
    EXPECT_EQ(only.err.find("File not found"), std::string::npos);
}

// End of input at the start-up prompt: the empty answer must not be taken
// for standard input (which "exists"); nothing was chosen, so status 10.
TEST_F(SequenceTest, EndOfInputAtStartUpPromptExits) {
    ChildResult r = run_child(
        [] {
            char out[FILE_NAME_LEN];
            int got = FILE_get_file("File: ", out);
            std::printf("\nreturned %d [%s]\n", got, out);
        },
        "");
    EXPECT_EQ(r.status, 10) << r.out;
    EXPECT_EQ(r.out.find("returned"), std::string::npos) << r.out;
    ChildResult only = get_file_only_in_child("");
    EXPECT_EQ(only.status, 99);
    EXPECT_NE(only.out.find("r=0"), std::string::npos) << only.out;
}

// Spans and steps far beyond any real animation must neither overflow nor
// hang. num_hour -555555,555555 is clamped to 1e9 s back with a step of
// 1e9 s, a whole multiple of the hourly interval: 277777 x 3600 = 999997200.
// The first offset is 999997200 x ((-1e9 - 999997200 + 1) / 999997200)
// = 999997200 x -2 = -1999994400, so the files are at -2, -1 and 0 steps.
TEST_F(SequenceTest, HugeSpanIsClamped) {
    RES_put("num_hour", "-555555,555555");
    EXPECT_EQ(FILE_num_hour(), -1000000000);
    EXPECT_EQ(FILE_get_skip(), 1000000000);
    Date anchor = make_date(2024, 3, 5, 12, 0);
    FILE_first(&anchor);
    EXPECT_EQ(FILE_get_nsecs(), -1999994400);
    auto names = run_sequence(anchor);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], name_for(12).string());
}

// The type probe reads files; a name beginning with "|" is not a command
// to run.
TEST_F(FilesTest, TypeProbeRunsNoCommand) {
    fs::path marker = dir_ / "ran";
    std::string name = "|touch " + marker.string();
    EXPECT_EQ(FILE_type(name.c_str()), -1);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(FilesTest, PathsAndHomes) {
    char out[FILE_NAME_LEN];
    EXPECT_STREQ(FILE_add_path("dir", "x", out), "dir/x");
    EXPECT_STREQ(FILE_add_path("dir/", "x", out), "dir/x");
    EXPECT_STREQ(FILE_add_path("dir", "/abs/x", out), "/abs/x");
    EXPECT_STREQ(FILE_add_path("dir", "-", out), "-");
    EXPECT_STREQ(FILE_add_path(nullptr, "x", out), "x");
    char* p = FILE_add_path_delim("/a/b");
    EXPECT_STREQ(p, "/a/b/");
    std::free(p);
    p = FILE_add_path_delim("/a/b/");
    EXPECT_STREQ(p, "/a/b/");
    std::free(p);
    EXPECT_EQ(FILE_fullpath("./x"), 1);
    EXPECT_EQ(FILE_fullpath("~x"), 1);
    EXPECT_EQ(FILE_fullpath("x/y"), 0);
    struct passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    FILE_add_user_path("~/f", out);
    EXPECT_EQ(std::string(out), std::string(pw->pw_dir) + "/f");
    FILE_add_user_path((std::string("~") + pw->pw_name + "/g").c_str(), out);
    EXPECT_EQ(std::string(out), std::string(pw->pw_dir) + "/g");
    FILE_add_user_path("~no_such_user_zem/f", out);
    EXPECT_STREQ(out, "~no_such_user_zem/f");
    for (const char* s : {"", "-", "std", "STDN"}) EXPECT_EQ(FILE_is_stdio(s), 1) << s;
    EXPECT_EQ(FILE_is_stdio("stdx"), 0);
}

TEST_F(FilesTest, OpenCreatesDirectoriesAndPipes) {
    fs::path deep = dir_ / "a" / "b" / "c.txt";
    FILE* fp = FILE_open(deep.string().c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("data", fp);
    EXPECT_EQ(FILE_close(fp), 0);
    EXPECT_EQ(slurp(deep), "data");
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "a" / "b").string().c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0755u & ~mask);
    EXPECT_EQ(FILE_is_dir((dir_ / "a").string().c_str()), 1);
    EXPECT_EQ(FILE_is_file(deep.string().c_str()), 1);
    EXPECT_EQ(FILE_size(deep.string().c_str()), 4);
    EXPECT_GT(FILE_modtime(deep.string().c_str()), 0);
    EXPECT_EQ(FILE_is_device("/dev/null"), 1);
    EXPECT_EQ(FILE_open((dir_ / "nope").string().c_str(), "r"), nullptr);

    fs::path piped = dir_ / "piped.txt";
    fp = FILE_open(("|cat > " + piped.string()).c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("through a pipe\n", fp);
    EXPECT_EQ(FILE_close(fp), 0);
    EXPECT_EQ(slurp(piped), "through a pipe\n");
    fp = FILE_open("|echo hello", "r");
    ASSERT_NE(fp, nullptr);
    char line[32] = "";
    ASSERT_NE(std::fgets(line, sizeof line, fp), nullptr);
    FILE_close(fp);
    EXPECT_STREQ(line, "hello\n");
    EXPECT_EQ(FILE_open("-", "r"), stdin);
    EXPECT_EQ(FILE_open("std", "w"), stdout);
    EXPECT_EQ(FILE_delete(deep.string().c_str()), 0);
    EXPECT_EQ(FILE_exist(deep.string().c_str()), 0);
    EXPECT_EQ(FILE_delete(deep.string().c_str()), -1);
}

TEST_F(FilesTest, PackageFileTypes) {
    struct Case {
        const char* head;
        int type;
    } cases[] = {{"ZEMSFC 1", 11}, {"ZEMUPA", 12}, {"ZEMRAW", 5},   {"ZEMGRID 2", 6},
                 {"ZEMMETA", 8},   {"ZEMIMGZ", 9}, {"GIF89a", -1}, {"ZEM", -1}};
    int i = 0;
    for (const Case& c : cases) {
        fs::path p = dir_ / ("t" + std::to_string(i++));
        std::ofstream(p) << c.head;
        EXPECT_EQ(FILE_type(p.string().c_str()), c.type) << c.head;
    }
    // Text after the first "-" of a name that does not open is dropped.
    std::ofstream(dir_ / "layer") << "ZEMRAW";
    std::string name = (dir_ / "layer").string() + "-red";
    EXPECT_EQ(FILE_type(name.c_str()), 5);
    EXPECT_EQ(FILE_type((dir_ / "none").string().c_str()), -1);
}

TEST_F(FilesTest, OverwriteRules) {
    fs::path f = dir_ / "exists.gif";
    std::ofstream(f) << "x";
    const std::string name = f.string();
    EXPECT_EQ(FILE_overwrite((dir_ / "new.gif").string().c_str(), 1), 1);
    EXPECT_EQ(FILE_overwrite("-", 1), 1);
    FLAG_set(FLAG_FILE_PARAM, 2);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 1), 2);
    FLAG_set(FLAG_FILE_PARAM, kMissing);
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 1), 3);
    FLAG_set(FLAG_BATCH, kMissing);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 0), 0);

    struct Case {
        int flag;
        const char* answer;
        int expected;
        const char* question;
    } cases[] = {
        {1, "o\n", 1, ": exists overwrite (Y,N,Use,Over): "},
        {1, "Y\n", 1, ": exists overwrite (Y,N,Use,Over): "},
        {1, "n\n", 3, ": exists overwrite (Y,N,Use,Over): "},
        {2, "app\n", 2, ": exists overwrite (Y,N,Use,Over,App): "},
        {2, "u\n", 3, ": exists overwrite (Y,N,Use,Over,App): "},
    };
    for (const Case& c : cases) {
        ChildResult r = run_child(
            [&] { std::printf("\nanswer=%d\n", FILE_overwrite(name.c_str(), c.flag)); }, c.answer);
        EXPECT_NE(r.out.find(name + c.question), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("answer=" + std::to_string(c.expected)), std::string::npos)
            << c.answer << r.out;
    }
}

TEST_F(FilesTest, MakeDirectories) {
    fs::path deep = dir_ / "x" / "y" / "z";
    EXPECT_EQ(FILE_make_dir(deep.string().c_str(), 0), 0);
    EXPECT_TRUE(fs::is_directory(deep));
    fs::path file = dir_ / "p" / "q" / "file.dat";
    EXPECT_EQ(FILE_make_dir(file.string().c_str(), 1), 0);
    EXPECT_TRUE(fs::is_directory(dir_ / "p" / "q"));
    EXPECT_FALSE(fs::exists(file));
    std::ofstream(dir_ / "plain") << "x";
    EXPECT_EQ(FILE_make_dir((dir_ / "plain" / "sub").string().c_str(), 0), -1);
}

}  // namespace
