// Naming conventions, template expansion, file requests, the latest-file
// search, start-up selection, file sequences and file utilities.
#include "zem_test.h"

#include <pwd.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "tools.h"

namespace fs = std::filesystem;

namespace {

constexpr int M = -9999;

Date make_date(int y, int mo, int d, int h, int mi) {
    return Date{y, mo, d, M, M, h, mi, 0};
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

std::string date_text(const Date& d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d %d %d %d %d", d.year, d.month, d.day, d.hour, d.min);
    return buf;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        MESS_reset();
        FLAG_reset(M);
        RES_clear();
        FILE_reset();
        unsetenv("zemcurtime");
    }
    void TearDown() override {
        MESS_reset();
        unsetenv("zemcurtime");
    }
    // Expands an inline template for `d`.
    static std::string expand(const std::string& tmpl, const Date& d) {
        FILE_set_name(("@" + tmpl).c_str());
        char out[FILE_NAME_LEN];
        EXPECT_EQ(FILE_set_date(&d, out), 0) << tmpl;
        return out;
    }
    static std::string conv() {
        char buf[2 * FILE_NAME_LEN + 20];
        FILE_get_name_conv(buf);
        return buf;
    }
    std::string path(const std::string& rel) const { return dir_.file(rel); }

    zt::TempDir dir_;
};

// Template codes from the case table, then names without a date and
// offsets.
TEST_F(Files, DateCodes) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    RES_put("sat_path", "/data/sat");
    RES_put("title", "ttl");
    FILE_set_key('s', "goes 16");
    for (const auto& c : zt::cases("files/names.txt")) {
        if (c[0] != "code") continue;
        EXPECT_EQ(expand(c[1], d), c[2]) << c[1];
        EXPECT_EQ(FILE_get_late_off(), std::stoi(c[3])) << c[1];
    }
    // The rounded values become the file date; %y keeps the century;
    // without an interval the offset is 100000.
    expand("%y%m%d%3h", d);
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(fd.year * 100 + fd.hour, 202412);
    EXPECT_EQ(FILE_get_offset(), 10800);
    expand("%Y", d);
    EXPECT_EQ(FILE_get_offset(), 100000);
    char key[FILE_KEY_LEN];
    FILE_set_key('l', std::string(50, 'z').c_str());
    EXPECT_EQ(FILE_get_key('l', key), FILE_KEY_LEN - 1);
    EXPECT_EQ(expand("%b_%m_%d_%h_%n", make_date(2024, M, M, M, M)), "xxx_00_00_00_00");

    // Without a date the user's name stays; standard streams and "none".
    char out[FILE_NAME_LEN];
    const Date none = make_date(M, M, M, M, M);
    struct Plain {
        const char *conv, *given, *want;
        const Date* date;
    };
    for (Plain p : {Plain{"@-", nullptr, "-", &d}, Plain{"none", nullptr, "filename", &d},
                    Plain{"@%y%m%d", "given.dat", "given.dat", &none}}) {
        FILE_set_name(p.conv);
        if (p.given) FILE_set_filename(p.given);
        EXPECT_EQ(FILE_set_date(p.date, out), 1) << p.conv;
        EXPECT_STREQ(out, p.want) << p.conv;
    }
    // Offsets: back over the leap day, forward one day (steps of the interval).
    FILE_set_name("@%y%m%d%h");
    const Date first = make_date(2024, 3, 1, 1, 0);
    EXPECT_EQ(FILE_set_date_off(&first, -7200, out), -2);
    EXPECT_STREQ(out, "24022923");
    EXPECT_EQ(FILE_set_date_off(&first, 3600 * 24, out), 24);
    EXPECT_STREQ(out, "24030201");
}

TEST_F(Files, HourSetting) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    for (const auto& c : zt::cases("files/names.txt")) {
        if (c[0] != "hour") continue;
        const std::vector<int> f = zt::ints(c[1]);
        Date req = make_date(f[0], f[1], f[2], f[3], f[4]);
        FILE_set_time(&req);
        EXPECT_EQ(expand(c[2], d), c[3]) << c[1];
        // A fixed hour keeps the template's own interval.
        EXPECT_TRUE(c[4] == "3600" || FILE_get_late_off() == std::stoi(c[4])) << c[1];
    }
    FILE_reset_time();
    EXPECT_EQ(expand("%Y", d), "2024");
}

// A convention table with good, bad and tricky lines.
TEST_F(Files, ConventionTable) {
    zt::spit(path("nc_test"),
             "# comment line\n\n"
             "sat_vis  %S/vis/%y%m%d%h.area  -  100\n"
             "hdr      %S/%y%m%d.dat  %S/%y%m%d.hdr  0\n" +
                 std::string(170, 'q') +
                 " long_x  %y  -  0\n"
                 "lonely\n"
                 "badsize  %y  -  12abc\n"
                 "area     %S/%s/%Y%j_%e.area  -  0\n");
    RES_put("file_path", dir_.path().c_str());
    RES_put("name_conv", "nc_test");
    zt::MessCapture mess;
    MESS_set(0, 0xFFFFFFFFu);
    EXPECT_EQ(FILE_set_name("SAT_VIS"), 1);  // exact, case-insensitive
    EXPECT_EQ(conv(), "3600 %S/vis/%y%m%d%h.area -");
    EXPECT_EQ(FILE_get_min_size(), 100);
    EXPECT_EQ(FILE_set_name("hdr"), 1);
    EXPECT_EQ(conv(), "86400 %S/%y%m%d.dat %S/%y%m%d.hdr");
    // Partial match: the text after the last "_" is the extension; keys
    // after ":" are set.
    EXPECT_EQ(FILE_set_name("area_ir:s=goes16:c=x y"), 1);
    char key[FILE_KEY_LEN];
    FILE_get_key('c', key);
    EXPECT_STREQ(key, "x_y");
    RES_put("sat_path", "/d");
    const Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    FILE_set_date(&d, out);
    EXPECT_STREQ(out, "/d/goes16/2024065_ir.area");
    // The long line is skipped whole: its tail "long_x" is no entry.
    for (const char* bad : {"long_x", "lonely", "badsize", "unknown"}) EXPECT_EQ(FILE_set_name(bad), 0) << bad;
    EXPECT_EQ(conv(), "-9999 unknown -") << "the name becomes the template";
    const std::string msgs = mess.text(), table = path("nc_test");
    for (const std::string& m : {"Opening name convention file: " + table + "\n",
                                 std::string("No file name conversion for: unknown\n"),
                                 "line 5 of " + table + " is longer than 160 characters",
                                 "malformed line 6 of " + table + ": lonely", "malformed line 7 of " + table})
        EXPECT_NE(msgs.find(m), std::string::npos) << m << " in " << msgs;

    // No table: the name itself; inline conventions; save and restore.
    RES_put("file_path", path("nowhere").c_str());
    RES_put("name_conv", "name_conv");
    mess.clear();
    EXPECT_EQ(FILE_set_name("sat_ir"), 0);
    EXPECT_NE(mess.text().find("FILE_set_name: No file name convention file: " + path("nowhere/name_conv") + "\n"),
              std::string::npos)
        << mess.text();
    EXPECT_EQ(conv(), "-9999 sat_ir -");
    EXPECT_EQ(FILE_set_name("@%y%m%d.dat"), 1);
    EXPECT_EQ(conv(), "86400 %y%m%d.dat -");
    FILE_save_name_conv();
    EXPECT_EQ(FILE_set_name_conv("900 out_%h%15n.gif -"), 0);
    EXPECT_EQ(FILE_get_late_off(), 900);
    FILE_restore_name_conv();
    EXPECT_EQ(conv(), "86400 %y%m%d.dat -");
    // A huge name neither crashes nor overflows.
    EXPECT_EQ(FILE_set_name(std::string(5000, 'n').c_str()), 0);
    FILE_set_date(&d, out);
    EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN - 1));
}

// The repository's table reads cleanly; a date text typed for one of its
// conventions selects that convention's file. Names worked out by hand from
// etc/name_conv (day 65 of 2024 is 5 March).
TEST_F(Files, RepositoryTable) {
    RES_put("file_path", ZEM_ETC_DIR);
    RES_put("sat_path", "/s");
    zt::MessCapture mess;
    MESS_set(0, 0xFFFFFFFFu);
    const Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    for (const auto& c : zt::cases("files/names.txt")) {
        if (c[0] != "repo" && c[0] != "request") continue;
        ASSERT_EQ(FILE_set_name(c[1].c_str()), 1) << c[1];
        if (c[0] == "repo") {
            FILE_set_date(&d, out);
            EXPECT_EQ(out, c[2]);
            continue;
        }
        EXPECT_EQ(FILE_set_file(c[2].c_str(), out), 0) << c[2];
        EXPECT_EQ(out, c[3]) << c[2];
        Date fd;
        FILE_get_date(&fd);
        EXPECT_EQ(date_text(fd), c[4]) << c[2];
    }
    EXPECT_EQ(mess.text().find("malformed"), std::string::npos) << mess.text();
    EXPECT_EQ(mess.text().find("longer than"), std::string::npos) << mess.text();
    ASSERT_EQ(FILE_set_name("sat_vis"), 1);
    for (const char* name : {"myimage", "./no.area", "/no/such.area", "../no.area", "sub/no.area"}) {
        EXPECT_EQ(FILE_set_file(name, out), 1) << name;
        EXPECT_STREQ(out, name) << "a name that is no date text is used as typed";
    }
}

// An hourly convention in a scratch sat_path with files from 06 to 12 UTC
// on 2024-03-05.
class Sequence : public Files {
protected:
    void SetUp() override {
        Files::SetUp();
        RES_put("sat_path", dir_.path().c_str());
        FILE_set_name("@%S/%y%m%d%h_ir");
        for (int h = 6; h <= 12; ++h) zt::spit(name_for(h), std::string(500, 'x'));
    }
    std::string name_for(int hour, int day = 5) const {
        char buf[32];
        std::snprintf(buf, sizeof buf, "2403%02d%02d_ir", day, hour);
        return path(buf);
    }
    std::vector<std::string> names_for(std::initializer_list<int> hours) const {
        std::vector<std::string> v;
        for (int h : hours) v.push_back(name_for(h));
        return v;
    }
    static std::vector<std::string> run_sequence(const Date& anchor) {
        FILE_first(&anchor);
        std::vector<std::string> names;
        char out[FILE_NAME_LEN];
        while (FILE_get_next(out) && names.size() < 100) names.emplace_back(out);
        return names;
    }
};

TEST_F(Sequence, SpansAndLists) {
    const Date noon = make_date(2024, 3, 5, 12, 0);
    RES_put("num_hour", "-6");
    EXPECT_EQ(run_sequence(noon), names_for({6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(FILE_get_num_file(), -21600);
    RES_put("num_hour", "-6,2");
    EXPECT_EQ(FILE_get_skip(), 7200);
    EXPECT_EQ(run_sequence(noon), names_for({6, 8, 10, 12}));
    for (auto [value, secs] : {std::pair{"-1:30", -5400}, {"-0:30", -1800}, {":45", 2700}, {"3", 10800}}) {
        RES_put("num_hour", value);
        EXPECT_EQ(FILE_num_hour(), secs) << value;
    }
    RES_clear();
    RES_put("sat_path", dir_.path().c_str());
    EXPECT_EQ(FILE_num_hour(), 0);
    FILE_set_def_hours(-2);
    EXPECT_EQ(FILE_num_hour(), -7200);
    FILE_set_def_hours(0);
    EXPECT_EQ(FILE_get_skip(), 3600) << "no ',': the file interval";

    // One positional name and no span: one file, no animation; an explicit
    // list plays its names in order.
    RES_new(M, "filename", name_for(9).c_str(), CV_strings);
    RES_put("num_hour", "0");
    EXPECT_EQ(run_sequence(noon), names_for({9}));
    EXPECT_EQ(FILE_get_num_file(), 0);
    RES_new(M, "filename", (name_for(7) + "\n" + name_for(8) + "\n" + name_for(6)).c_str(), CV_strings);
    EXPECT_EQ(run_sequence(noon), names_for({7, 8, 6}));
    EXPECT_EQ(FILE_get_num_file(), 2);

    // A span and step far beyond any animation are clamped to 1e9 s; the
    // step is a whole multiple of the hour, 277777 x 3600 = 999997200, and
    // the first offset 999997200 x ((-1e9 - 999997200 + 1) / 999997200) =
    // -1999994400: files at -2, -1 and 0 steps.
    RES_clear();
    RES_put("sat_path", dir_.path().c_str());
    RES_put("num_hour", "-555555,555555");
    EXPECT_EQ(FILE_num_hour(), -1000000000);
    EXPECT_EQ(FILE_get_skip(), 1000000000);
    FILE_first(&noon);
    EXPECT_EQ(FILE_get_nsecs(), -1999994400);
    const auto huge = run_sequence(noon);
    ASSERT_EQ(huge.size(), 3u);
    EXPECT_EQ(huge[2], name_for(12));
}

TEST_F(Sequence, LatestFile) {
    // 12 UTC is missing, 11 UTC is too small for the minimum size.
    std::filesystem::remove(name_for(12));
    zt::spit(name_for(11), std::string(10, 'x'));
    setenv("zemcurtime", "#202403051240", 1);
    FILE_set_min_size(100);
    char out[FILE_NAME_LEN];
    EXPECT_EQ(FILE_set_current("la", out), utc_secs(2024, 3, 5, 10, 0));
    EXPECT_EQ(out, name_for(10));
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(fd.hour, 10);
    FILE_set_min_size(10);
    FILE_set_current(nullptr, out);
    EXPECT_EQ(out, name_for(10)) << "a file must be larger than the minimum";
    FILE_set_min_size(9);
    FILE_set_current(nullptr, out);
    EXPECT_EQ(out, name_for(11));
    FILE_set_current("la#1", out);
    EXPECT_EQ(out, name_for(12)) << "one step only: the last name tried";
    setenv("zemcurtime", "2024030509", 1);
    FILE_set_current("la", out);
    EXPECT_EQ(out, name_for(9)) << "zemcurtime without '#'";

    // The convention table's minimum works the same way: with 500 the
    // 500-byte files do not count, the 501-byte one at 08 does.
    zt::spit(name_for(8), std::string(501, 'x'));
    zt::spit(path("nc"), "min499 %S/%y%m%d%h_ir - 499\nmin500 %S/%y%m%d%h_ir - 500\n");
    RES_put("file_path", dir_.path().c_str());
    RES_put("name_conv", "nc");
    FILE_set_min_size(0);
    setenv("zemcurtime", "#202403051240", 1);
    for (auto [conv, hour] : {std::pair{"min499", 10}, {"min500", 8}}) {
        ASSERT_EQ(FILE_set_name(conv), 1);
        FILE_set_current("la", out);
        EXPECT_EQ(out, name_for(hour)) << conv;
    }
    FILE_set_name("@%S/%y%m%d%h_ir");
    setenv("zemcurtime", "#202403051240", 1);
    for (const auto& c : zt::cases("files/names.txt")) {
        if (c[0] != "current") continue;
        const std::vector<int> f = zt::ints(c[2]);
        FILE_set_current(c[1].c_str(), out);
        EXPECT_EQ(out, name_for(f[1], f[0])) << c[1];
    }
    Date req = make_date(M, M, M, 18, M);
    FILE_set_time(&req);
    FILE_set_current("", out);
    EXPECT_EQ(out, name_for(18, 4)) << "a fixed hour later than now means yesterday's";
}

TEST_F(Sequence, FileRequests) {
    char out[FILE_NAME_LEN];
    // With extra information the text after "#", "-", "+" or ":" is cut off.
    FILE_set_type(1);
    FILE_set_file("24030510:red,blue", out);
    EXPECT_EQ(out, name_for(10));
    EXPECT_STREQ(FILE_get_ext_info(), ":red,blue");
    FILE_set_type(0);
    EXPECT_EQ(FILE_next_file(out), 1) << "the file one interval after the last one named";
    EXPECT_EQ(out, name_for(11));
    FILE_set_file("24030506", out);
    EXPECT_EQ(FILE_prev_file(out), 0) << "05 UTC does not exist";
    EXPECT_EQ(out, name_for(5));
    EXPECT_EQ(FILE_set_file("24030510", out), 0);
    EXPECT_EQ(out, name_for(10));
    Date fd;
    FILE_get_date(&fd);
    EXPECT_EQ(date_text(fd), "2024 3 5 10 -9999");
    FILE_set_file("240305", out);
    EXPECT_EQ(out, path("24030500_ir")) << "a shorter text completes from the hour setting";
    for (auto [req, want] : {std::pair{"@some/file", "some/file"}, {"-", "-"}}) {
        EXPECT_EQ(FILE_set_file(req, out), 1) << req;
        EXPECT_STREQ(out, want);
    }
    // A full path elsewhere is taken as given; later names use its folder.
    zt::spit(path("other/24030508_ir"), "x");
    EXPECT_EQ(FILE_set_file(path("other/24030508_ir").c_str(), out), 1);
    const Date seven = make_date(2024, 3, 5, 7, 0);
    FILE_set_date(&seven, out);
    EXPECT_EQ(out, path("other/24030507_ir"));
    FILE_set_file("@x.area#202403051745", out);
    FILE_get_date(&fd);
    EXPECT_STREQ(out, "x.area");
    EXPECT_EQ(fd.hour * 100 + fd.min, 1745) << "an absolute date after '#'";
}

// Hostile templates and requests: names stay within FILE_NAME_LEN, every
// interval is positive or unknown (under the sanitizers an overflow or a
// read past a buffer stops the test); impossible dates normalise.
TEST_F(Sequence, HostileTemplatesAndRequests) {
    const Date d = make_date(2024, 3, 5, 13, 40);
    char out[FILE_NAME_LEN];
    for (const char* t : {"%99999d%99999j", "%2147483647h", "%", "%{", "%{name", "a%", "%0h%0n%0d", "%%%", "{%y",
                          "%99999999999999n_%e*"}) {
        FILE_set_name((std::string("@") + t).c_str());
        FILE_set_date(&d, out);
        EXPECT_LT(std::strlen(out), static_cast<std::size_t>(FILE_NAME_LEN)) << t;
        const int late = FILE_get_late_off();
        EXPECT_TRUE(late == M || late > 0) << t << " " << late;
        FILE_set_file("2403051340", out);
        FILE_set_current("la#3", out);
    }
    FILE_set_name("@%99999d");
    FILE_set_date(&d, out);
    EXPECT_EQ(FILE_get_late_off(), 1000000000) << "99999 days bounded to 1e9 s";
    Date req = make_date(M, M, -2000000000, -2000000000, M);
    FILE_set_time(&req);
    FILE_set_name("@%S/%y%m%d%h_ir");
    FILE_set_date(&d, out);
    EXPECT_GT(FILE_get_late_off(), 0);
    FILE_reset_time();
    setenv("zemcurtime", "garbage", 1);  // falls back to the clock
    EXPECT_GT(FILE_set_current("", out), utc_secs(2020, 1, 1, 0, 0));
    FILE_set_current("#20241340", out);
    EXPECT_EQ(out, path("24010100_ir")) << "month 13, day 40: 1 January";
    FILE_set_file("99999999", out);
    EXPECT_EQ(out, path("99999999_ir"));
    FILE_set_file(std::string(3000, '7').c_str(), out);
    EXPECT_STREQ(out, "") << "too long: refused, never cut";
}

// Start-up selection in a child: the file chosen and how the process ends.
TEST_F(Sequence, StartUp) {
    char out[FILE_NAME_LEN];
    RES_new(M, "filename", name_for(9).c_str(), CV_strings);
    EXPECT_EQ(FILE_get_file("File: ", out), 1);
    EXPECT_EQ(out, name_for(9));
    RES_new(M, "filename", path("missing").c_str(), CV_strings);
    EXPECT_EQ(FILE_get_file("File: ", out), 0);
    RES_clear();
    RES_put("sat_path", dir_.path().c_str());
    RES_put("current", "la");
    setenv("zemcurtime", "#202403052000", 1);
    EXPECT_EQ(FILE_get_file("File: ", out), 1);
    EXPECT_EQ(out, name_for(12));
    unsetenv("zemcurtime");
    RES_clear();
    RES_put("sat_path", dir_.path().c_str());

    auto get_file = [](bool only) {
        return [only] {
            char name[FILE_NAME_LEN];
            const int r = only ? FILE_get_file_only("File: ", name) : FILE_get_file("File: ", name);
            std::printf("\nr=%d %s\n", r, name);
        };
    };
    // Interactive: four wrong answers end with status 10; "exit" with 0.
    zt::RunResult r = zt::run_child(get_file(false), "a1\nb2\nc3\nd4\ne5\n");
    EXPECT_EQ(r.status, 10);
    EXPECT_EQ(zt::count_of(r.out, "File: "), 4);
    EXPECT_EQ(zt::count_of(r.err, "File not found: "), 4);
    EXPECT_NE(r.out.find("List of available files:\n"), std::string::npos);
    EXPECT_EQ(zt::run_child(get_file(false), "nothing\nexit\n").status, 0);
    r = zt::run_child(get_file(false), "24030511\n");
    EXPECT_NE(r.out.find("r=1 " + name_for(11)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("24030506_ir"), std::string::npos) << "the listing shows the convention's files";
    // End of input is no answer (not standard input): status 10.
    r = zt::run_child(get_file(false), "");
    EXPECT_EQ(r.status, 10) << r.out;
    for (const char* input : {"nothing\n", ""}) {
        r = zt::run_child(get_file(true), input);
        EXPECT_EQ(r.status, 99);
        EXPECT_NE(r.out.find("r=0"), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("File not found"), std::string::npos);
    }
    // "list" as the positional name lists the files.
    r = zt::run_child([] {
        RES_new(M, "filename", "list", CV_strings);
        char name[FILE_NAME_LEN];
        FILE_get_file("File: ", name);
    });
    EXPECT_NE(r.out.find("24030512_ir"), std::string::npos) << r.out;

    // Batch mode without any file: status 10, naming the last file tried,
    // 499 hours before the start (worked out with the C library).
    const std::string d = dir_.path();
    r = zt::run_child([d] {
        FLAG_set(FLAG_BATCH, 1);
        RES_clear();
        FILE_reset();
        FILE_set_name("@%S/%y%m%d%h_ir");
        RES_put("sat_path", (d + "/empty").c_str());
        setenv("zemcurtime", "#202403051200", 1);
        char name[FILE_NAME_LEN];
        FILE_get_file("File: ", name);
    });
    EXPECT_EQ(r.status, 10);
    const time_t last = utc_secs(2024, 3, 5, 12, 0) - 499 * 3600;
    char expect[32];
    std::strftime(expect, sizeof expect, "%y%m%d%H_ir", gmtime(&last));
    EXPECT_NE(r.err.find("File not found: " + d + "/empty/" + expect + "\n"), std::string::npos) << r.err;
}

// Names given on the command line (the "walk" rows), relative ones from the
// current folder. Then the listing of a convention's files matches names in
// the program: a path with blanks lists its files, shell text in it never runs.
TEST_F(Files, NamedFilesAndListing) {
    const auto old = fs::current_path();
    fs::current_path(dir_.path());
    for (const auto& c : zt::cases("files/names.txt")) {
        if (c[0] != "walk") continue;
        SCOPED_TRACE(c[1]);
        RES_clear();
        FILE_reset();
        std::istringstream made(c[3]);
        for (std::string f; made >> f;) zt::spit(path(f), std::string(3000, 'x'));
        RES_put("sat_path", dir_.path().c_str());
        if (c[2] != "-") RES_put("num_hour", c[2].c_str());
        FILE_set_name("@%S/ir/%y%m%d%h%15n.area");
        const std::string req = c[1][0] == '/' ? dir_.path() + c[1] : c[1];
        RES_put("filename", req.c_str());
        char out[FILE_NAME_LEN] = {};
        EXPECT_EQ(FILE_set_file(req.c_str(), out), 1);
        EXPECT_EQ(out, req);
        Date d{};
        FILE_get_date(&d);
        EXPECT_EQ(zt::ints(c[5]), std::vector<int>({d.hour, d.min}));
        FILE_first(&d);
        std::string walked;
        for (int n = 0; n < 10 && FILE_get_next(out) != 0; ++n)
            walked += (n ? " " : "") + std::string(out).substr(out[0] == '/' ? dir_.path().size() + 1 : 0);
        EXPECT_EQ(walked, c[4]);
    }
    fs::current_path(old);

    const std::string sat = path("a b;touch pwned");
    for (const char* f : {"ir/2403051330.area", "ir/2403051345.area", "ir/notes.txt"}) zt::spit(sat + "/" + f, "x");
    RES_put("sat_path", sat.c_str());
    FILE_set_name("@%S/ir/%y%m%d%h%15n.area");
    zt::MessCapture cap;
    MESS_set(0, M_print | M_warn);
    EXPECT_EQ(FILE_list_file(), 0);
    const std::string text = cap.text();
    EXPECT_EQ(zt::count_of(text, ".area") * 10 + zt::count_of(text, sat + "/ir/2403051345.area"), 21) << text;
    EXPECT_FALSE(fs::exists(path("pwned")));
}

TEST_F(Files, OverwriteRules) {
    const std::string name = path("exists.gif");
    zt::spit(name, "x");
    EXPECT_EQ(FILE_overwrite(path("new.gif").c_str(), 1), 1);
    EXPECT_EQ(FILE_overwrite("-", 1), 1);
    FLAG_set(FLAG_FILE_PARAM, 2);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 1), 2);
    FLAG_set(FLAG_FILE_PARAM, M);
    FLAG_set(FLAG_BATCH, 1);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 1), 3);
    FLAG_set(FLAG_BATCH, M);
    EXPECT_EQ(FILE_overwrite(name.c_str(), 0), 0);
    struct Case {
        int flag;
        const char* answer;
        int expected;
        const char* question;
    };
    const char* q1 = ": exists overwrite (Y,N,Use,Over): ";
    const char* q2 = ": exists overwrite (Y,N,Use,Over,App): ";
    for (Case c : {Case{1, "o\n", 1, q1}, Case{1, "Y\n", 1, q1}, Case{1, "n\n", 3, q1}, Case{2, "app\n", 2, q2},
                   Case{2, "u\n", 3, q2}}) {
        const zt::RunResult r =
            zt::run_child([&] { std::printf("\nanswer=%d\n", FILE_overwrite(name.c_str(), c.flag)); }, c.answer);
        EXPECT_NE(r.out.find(name + c.question), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("answer=" + std::to_string(c.expected)), std::string::npos) << c.answer << r.out;
    }
}

TEST_F(Files, PathsTypesFoldersAndPipes) {
    char out[FILE_NAME_LEN];
    const std::pair<const char*, const char*> joins[] = {{"dir", "dir/x"}, {"dir/", "dir/x"}, {nullptr, "x"}};
    for (const auto& [dir, want] : joins) EXPECT_STREQ(FILE_add_path(dir, "x", out), want);
    EXPECT_STREQ(FILE_add_path("dir", "/abs/x", out), "/abs/x");
    EXPECT_STREQ(FILE_add_path("dir", "-", out), "-");
    EXPECT_EQ(FILE_fullpath("./x") + FILE_fullpath("~x") * 10 + FILE_fullpath("x/y") * 100, 11);
    const struct passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    FILE_add_user_path("~/f", out);
    EXPECT_EQ(out, std::string(pw->pw_dir) + "/f");
    FILE_add_user_path((std::string("~") + pw->pw_name + "/g").c_str(), out);
    EXPECT_EQ(out, std::string(pw->pw_dir) + "/g");
    FILE_add_user_path("~no_such_user_zem/f", out);
    EXPECT_STREQ(out, "~no_such_user_zem/f");
    for (const char* s : {"", "-", "std", "STDN"}) EXPECT_EQ(FILE_is_stdio(s), 1) << s;
    EXPECT_EQ(FILE_is_stdio("stdx"), 0);

    // A file type is read from the first bytes; a name that does not open
    // loses the text after its first "-"; "|" names run no command.
    zt::spit(path("layer"), "ZEMRAW");
    EXPECT_EQ(FILE_type((path("layer") + "-red").c_str()), 5);
    EXPECT_EQ(FILE_type(path("none").c_str()), -1);
    EXPECT_EQ(FILE_type(("|touch " + path("ran")).c_str()), -1);
    EXPECT_FALSE(fs::exists(path("ran")));

    // Opening for writing makes the folders; "|" names are pipes.
    const std::string deep = path("a/b/c.txt");
    FILE* fp = FILE_open(deep.c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("data", fp);
    EXPECT_EQ(FILE_close(fp), 0);
    EXPECT_EQ(zt::slurp(deep), "data");
    struct stat st {};
    ASSERT_EQ(stat(path("a/b").c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0755u & ~mask);
    EXPECT_EQ(FILE_open(path("nope").c_str(), "r"), nullptr);

    fp = FILE_open(("|cat > " + path("piped.txt")).c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("through a pipe\n", fp);
    EXPECT_EQ(FILE_close(fp), 0);
    EXPECT_EQ(zt::slurp(path("piped.txt")), "through a pipe\n");
    fp = FILE_open("|echo hello", "r");
    ASSERT_NE(fp, nullptr);
    char line[32] = "";
    ASSERT_NE(std::fgets(line, sizeof line, fp), nullptr);
    FILE_close(fp);
    EXPECT_STREQ(line, "hello\n");
    EXPECT_EQ(FILE_open("-", "r"), stdin);
}

}  // namespace
