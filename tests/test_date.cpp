// Dates: the arithmetic against the C library's own calendar over many
// random instants, the published examples, labels in every form and zone,
// the parsers, and impossible dates.
#include <gtest/gtest.h>

#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>

#include <unistd.h>

#include "date.h"
#include "mess.h"

namespace {

class DateTest : public ::testing::Test {
protected:
    void SetUp() override { DATE_set_TZ(nullptr); }
    void TearDown() override { DATE_set_TZ(nullptr); }

    static Date make(int y, int mo, int d, int h, int mi, int s = 0)
    {
        Date r;
        DATE_init(&r);
        r.year = y;
        r.month = mo;
        r.day = d;
        r.hour = h;
        r.min = mi;
        r.sec = s;
        return r;
    }
    static std::string label(const Date& d)
    {
        char buf[DATE_LABEL_LEN];
        DATE_make_label(&d, buf);
        return buf;
    }
};

constexpr long kLast2099 = 4102444799L;  // 2099-12-31 23:59:59 UTC (timegm)

// Every conversion against gmtime_r/timegm at random instants of 1970-2099.
TEST_F(DateTest, AgreesWithTheCLibraryFrom1970To2099)
{
    std::mt19937_64 rng(20240305);
    std::uniform_int_distribution<long> pick(0, kLast2099);
    for (int n = 0; n < 200000; ++n) {
        long secs = pick(rng);
        time_t t = static_cast<time_t>(secs);
        struct tm tm {};
        ASSERT_NE(gmtime_r(&t, &tm), nullptr);

        Date d;
        ASSERT_EQ(DATE_get_gmdate(&secs, &d), 0);
        ASSERT_EQ(d.year, tm.tm_year + 1900) << secs;
        ASSERT_EQ(d.month, tm.tm_mon + 1) << secs;
        ASSERT_EQ(d.day, tm.tm_mday) << secs;
        ASSERT_EQ(d.jday, tm.tm_yday + 1) << secs;
        ASSERT_EQ(d.wday, tm.tm_wday) << secs;
        ASSERT_EQ(d.hour, tm.tm_hour) << secs;
        ASSERT_EQ(d.min, tm.tm_min) << secs;
        ASSERT_EQ(d.sec, tm.tm_sec) << secs;

        ASSERT_EQ(DATE_num_sec(&d), secs);
        ASSERT_EQ(DATE_num_sec_tm(&tm), static_cast<long>(timegm(&tm)));

        int days = static_cast<int>(secs / 86400 + 1);
        int y, m, dd;
        DATE_days_date(days, &y, &m, &dd);
        ASSERT_EQ(y, d.year);
        ASSERT_EQ(m, d.month);
        ASSERT_EQ(dd, d.day);
        ASSERT_EQ(DATE_date_days(y, m, dd), days);

        int h, mi, s;
        DATE_time_date(static_cast<int>(secs % 86400), &h, &mi, &s);
        ASSERT_EQ(h, tm.tm_hour);
        ASSERT_EQ(mi, tm.tm_min);
        ASSERT_EQ(s, tm.tm_sec);

        int jm, jd;
        DATE_julian_monday(d.year, tm.tm_yday + 1, &jm, &jd);
        ASSERT_EQ(jm, d.month);
        ASSERT_EQ(jd, d.day);
        int julian = 0;
        ASSERT_EQ(DATE_monday_julian(d.year, d.month, d.day, &julian), tm.tm_yday + 1);
        ASSERT_EQ(julian, tm.tm_yday + 1);
    }
}

// Before 1970 the day numbers run negative; the four-year rule still holds
// back to 1901.
TEST_F(DateTest, DayNumbersBefore1970)
{
    std::mt19937 rng(7);
    const long first = -2177452800L;  // 1901-01-01 00:00:00 UTC (timegm)
    std::uniform_int_distribution<long> pick(first, -1);
    for (int n = 0; n < 20000; ++n) {
        long secs = pick(rng);
        time_t t = static_cast<time_t>(secs);
        struct tm tm {};
        gmtime_r(&t, &tm);
        Date d;
        DATE_get_gmdate(&secs, &d);
        ASSERT_EQ(d.year, tm.tm_year + 1900) << secs;
        ASSERT_EQ(d.month, tm.tm_mon + 1) << secs;
        ASSERT_EQ(d.day, tm.tm_mday) << secs;
        ASSERT_EQ(d.wday, tm.tm_wday) << secs;
        ASSERT_EQ(d.hour, tm.tm_hour) << secs;
    }
}

TEST_F(DateTest, PublishedExamples)
{
    Date d = make(1970, 1, 1, 0, 0);
    EXPECT_EQ(DATE_num_sec(&d), 0);
    d = make(2000, 3, 1, 0, 0);
    EXPECT_EQ(DATE_num_sec(&d), 951868800L);
    d = make(24, 3, 5, 17, 45);
    DATE_num_sec(&d);
    EXPECT_EQ(d.year, 2024) << "normalised in place";
    EXPECT_EQ(DATE_is_leap(1900), 0);
    EXPECT_EQ(DATE_is_leap(2000), 1);
    EXPECT_EQ(DATE_is_leap(2024), 1);
    EXPECT_EQ(DATE_is_leap(2023), 0);
    EXPECT_EQ(DATE_is_leap(2100), 0);
    int m, day;
    DATE_julian_monday(2024, 60, &m, &day);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(day, 29);
    DATE_julian_monday(2023, 400, &m, &day);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(day, 31);
    DATE_julian_monday(2023, -5, &m, &day);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(day, 1);
    DATE_julian_monday(2024, 366, &m, &day);
    EXPECT_EQ(m, 12);
    EXPECT_EQ(day, 31);
    int y;
    DATE_days_date(1, &y, &m, &day);
    EXPECT_EQ(y * 10000 + m * 100 + day, 19700101);
}

TEST_F(DateTest, ImpossibleFieldsAreReplaced)
{
    // Year rules: negative 1980, below 50 +2000, below 200 +1900.
    struct Case { int year; int want; };
    for (Case c : {Case{-9999, 1980}, Case{-1, 1980}, Case{0, 2000}, Case{5, 2005},
                   Case{49, 2049}, Case{50, 1950}, Case{105, 2005}, Case{199, 2099},
                   Case{200, 200}, Case{1999, 1999}}) {
        Date d = make(c.year, 6, 1, 0, 0);
        DATE_num_sec(&d);
        EXPECT_EQ(d.year, c.want) << c.year;
    }
    Date d = make(2024, 13, 32, 24, 60, 61);
    long s = DATE_num_sec(&d);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(d.min, 0);
    EXPECT_EQ(d.sec, 0);
    EXPECT_EQ(s, 1704067200L);  // 2024-01-01 00:00:00 UTC (timegm)
    // Day 0 stays: it is the last day of the month before.
    Date z = make(2024, 3, 0, 0, 0);
    EXPECT_EQ(DATE_num_sec(&z), 1709164800L);  // 2024-02-29 (timegm)
    Date bad = make(-9999, -9999, -9999, -9999, -9999);
    EXPECT_EQ(DATE_num_sec(&bad), 315532800L);  // 1980-01-01 (timegm)
    // Labels print the replaced values.
    EXPECT_EQ(label(make(2024, 0, 40, 30, 75)), "0000Z  1 JAN 24");
}

TEST_F(DateTest, LabelForms)
{
    EXPECT_EQ(label(make(2024, 3, 5, 17, 45)), "1745Z  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, 17, -9999)), "17Z  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, -9999, -9999)), " 5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, -9999, -9999, -9999)), "MAR 24");
    EXPECT_EQ(label(make(2024, -9999, -9999, -9999, -9999)), "24");
    EXPECT_EQ(label(make(2005, 12, 25, 0, 5)), "0005Z 25 DEC 05");
    EXPECT_EQ(label(make(105, 1, 1, 6, 0)), "0600Z  1 JAN 05");
}

TEST_F(DateTest, LabelsInADisplayZone)
{
    DATE_set_TZ("-EST:-5");
    EXPECT_EQ(DATE_get_tz_off(), -18000);
    EXPECT_STREQ(DATE_get_tz_str(), " EST");
    EXPECT_EQ(DATE_get_tz_pm(), -1);
    EXPECT_EQ(label(make(2024, 3, 5, 17, 45)), "12:45 PM EST [1745Z]  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, 17, -9999)), "12 PM EST [17Z]  5 MAR 24");
    // Across midnight the shown date moves back a day.
    EXPECT_EQ(label(make(2024, 3, 5, 3, 0)), "10:00 PM EST [0300Z]  4 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 1, 2, 30)), "9:30 PM EST [0230Z] 29 FEB 24");
    EXPECT_EQ(label(make(2024, 3, 5, 5, 10)), "12:10 AM EST [0510Z]  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, 5, -9999)), "12 AM EST [05Z]  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, -9999, -9999)), " 5 MAR 24") << "no time, no shift";

    DATE_set_TZ("+CET:1");
    EXPECT_EQ(DATE_get_tz_pm(), 1);
    EXPECT_EQ(label(make(2024, 3, 5, 17, 45)), "6:45 PM CET  5 MAR 24");
    EXPECT_EQ(label(make(2024, 12, 31, 23, 15)), "12:15 AM CET  1 JAN 25");

    DATE_set_TZ("IST:5.5");
    EXPECT_EQ(DATE_get_tz_off(), 19800);
    EXPECT_EQ(label(make(2024, 3, 5, 17, 45)), "2315 IST  5 MAR 24");
    EXPECT_EQ(label(make(2024, 3, 5, 17, -9999)), "22 IST  5 MAR 24");

    DATE_set_TZ("LONGNAME:3");
    EXPECT_STREQ(DATE_get_tz_str(), " LONG");
    EXPECT_EQ(DATE_get_tz_off(), 0) << "no ':' after four characters: no offset read";

    DATE_set_TZ(nullptr);
    EXPECT_STREQ(DATE_get_tz_str(), "Z");
    EXPECT_EQ(DATE_get_tz_off(), 0);
}

TEST_F(DateTest, ValidTimeLabels)
{
    char buf[DATE_LABEL_LEN];
    Date d = make(2024, 3, 5, 18, 0);
    DATE_make_label_valid_time(0, &d, buf);
    EXPECT_STREQ(buf, "18Z TUE  5 MAR 24");
    DATE_make_label_valid_time(6, &d, buf);
    EXPECT_STREQ(buf, "0Z WED  6 MAR 24");
    DATE_make_label_valid_time(1000048, &d, buf);  // model 1, level 0, 48 h
    EXPECT_STREQ(buf, "18Z THU  7 MAR 24");
    DATE_make_label_valid_time(800, &d, buf);  // 800 and 900 carry no hours
    EXPECT_STREQ(buf, "18Z TUE  5 MAR 24");
    DATE_make_label_valid_time(900, &d, buf);
    EXPECT_STREQ(buf, "18Z TUE  5 MAR 24");
    Date day = make(2024, 3, 5, -9999, -9999);
    DATE_make_label_valid_time(24, &day, buf);
    EXPECT_STREQ(buf, "WED  6 MAR 24");

    DATE_set_TZ("-EST:-5");
    DATE_make_label_valid_time(0, &d, buf);
    EXPECT_STREQ(buf, "1 PM EST [18Z] TUE  5 MAR 24");
    Date late = make(2024, 3, 6, 2, 0);
    DATE_make_label_valid_time(0, &late, buf);
    EXPECT_STREQ(buf, "9 PM EST [02Z] TUE  5 MAR 24");
    DATE_set_TZ("+EST:-5");
    Date noon = make(2024, 3, 5, 17, 0);
    DATE_make_label_valid_time(0, &noon, buf);
    EXPECT_STREQ(buf, "12 PM EST TUE  5 MAR 24");
}

TEST_F(DateTest, ForecastHourTexts)
{
    struct Case { int fhour; int flag; const char* text; };
    const Case cases[] = {
        {0, 0, ""}, {-9999, 1, ""}, {6, 0, "6 hour"}, {12, 0, "12 hour"},
        {12, 1, "0.5 day"}, {24, 1, "1 day"}, {36, 1, "1.5 day"}, {48, 1, "2 day"},
        {60, 1, "2.5 day"}, {72, 1, "3 day"}, {84, 1, "3.5 day"}, {90, 1, "90 hour"},
        {18, 1, "18 hour"}, {801, 0, "1 day"}, {807, 1, "7 day"}, {900, 0, "100 day"},
        {901, 0, "1 month"}, {903, 1, "3 month"}, {-6, 0, "-6 hour"},
    };
    char buf[DATE_LABEL_LEN];
    for (const Case& c : cases) {
        DATE_fhour_label(buf, c.fhour, c.flag);
        EXPECT_STREQ(buf, c.text) << c.fhour << "/" << c.flag;
    }
    DATE_fhour_label(buf, 24, 1);
    EXPECT_STREQ(buf, "1 day");
}

TEST_F(DateTest, SequenceTexts)
{
    char buf[DATE_LABEL_LEN];
    Date d = make(2024, 3, 5, 17, 45);
    DATE_make_seq(&d, buf);
    EXPECT_STREQ(buf, "202403051745");
    Date back;
    EXPECT_EQ(DATE_decode_seq(buf, &back), 5);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 3);
    EXPECT_EQ(back.day, 5);
    EXPECT_EQ(back.hour, 17);
    EXPECT_EQ(back.min, 45);
    Date partial;
    EXPECT_EQ(DATE_decode_seq("2024030", &partial), 3);
    EXPECT_EQ(partial.day, 0);
    EXPECT_EQ(partial.hour, -9999);
    Date odd = make(24, 0, 5, -9999, -9999);
    DATE_make_seq(&odd, buf);
    EXPECT_STREQ(buf, "202401050000");
    EXPECT_EQ(DATE_decode_seq("garbage", &back), 0);
    EXPECT_EQ(back.year, -9999);
}

TEST_F(DateTest, DecodingLabels)
{
    struct Case {
        const char* text;
        int year, month, day, hour, min, sec;
    };
    const int M = -9999;
    const Case cases[] = {
        {"1745Z  5 MAR 24", 2024, 3, 5, 17, 45, M},
        {"18Z  5 MAR 24", 2024, 3, 5, 18, M, M},
        {"GOES-16 VIS 1745Z 12 dec 99", 1999, 12, 12, 17, 45, M},
        {"17:45:30Z  5 MAR 24", 2024, 3, 5, 17, 45, 30},
        {"IMAGE 06Z 31 JUL 23", 2023, 7, 31, 6, M, M},
        {"x 945Z  5 MAR 24", 2024, 3, 5, 9, 45, M},
        {"24 03 05 18", 2024, 3, 5, 18, M, M},
    };
    for (const Case& c : cases) {
        Date d;
        ASSERT_EQ(DATE_decode_label(c.text, &d), 0) << c.text;
        EXPECT_EQ(d.year, c.year) << c.text;
        EXPECT_EQ(d.month, c.month) << c.text;
        EXPECT_EQ(d.day, c.day) << c.text;
        EXPECT_EQ(d.hour, c.hour) << c.text;
        EXPECT_EQ(d.min, c.min) << c.text;
        EXPECT_EQ(d.sec, c.sec) << c.text;
    }
    Date d;
    EXPECT_EQ(DATE_decode_label("no date here", &d), -1);
    EXPECT_EQ(d.year, -9999);
    EXPECT_EQ(DATE_decode_label("", &d), -1);
    EXPECT_EQ(DATE_decode_label(nullptr, &d), -1);
    // Mixed-case month text is not a month.
    ASSERT_EQ(DATE_decode_label("1745Z  5 Mar 24", &d), 0);
    EXPECT_EQ(d.month, 0);
}

// Every label made for a random date reads back to the same fields.
TEST_F(DateTest, LabelRoundTrip)
{
    std::mt19937_64 rng(99);
    std::uniform_int_distribution<long> pick(0, kLast2099);
    for (int n = 0; n < 20000; ++n) {
        long s = pick(rng);
        Date d;
        DATE_get_gmdate(&s, &d);
        char buf[DATE_LABEL_LEN];
        DATE_make_label(&d, buf);
        Date back;
        ASSERT_EQ(DATE_decode_label(buf, &back), 0) << buf;
        // Two-digit years read back into 1950-2049.
        int want_year = d.year % 100 < 50 ? 2000 + d.year % 100 : 1900 + d.year % 100;
        ASSERT_EQ(back.year, want_year) << buf;
        ASSERT_EQ(back.month, d.month) << buf;
        ASSERT_EQ(back.day, d.day) << buf;
        ASSERT_EQ(back.hour, d.hour) << buf;
        ASSERT_EQ(back.min, d.min) << buf;
    }
}

TEST_F(DateTest, MonthTexts)
{
    const char* upper[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const char* lower[] = {"jan", "feb", "mar", "apr", "may", "jun",
                           "jul", "aug", "sep", "oct", "nov", "dec"};
    const char* longn[] = {"January", "February", "March",     "April",   "May",      "June",
                           "July",    "August",   "September", "October", "November", "December"};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_STREQ(DATE_month(m), upper[m - 1]);
        EXPECT_STREQ(DATE_month_lower(m), lower[m - 1]);
        EXPECT_STREQ(DATE_month_long(m), longn[m - 1]);
        EXPECT_EQ(DATE_decode_month(upper[m - 1]), m);
        EXPECT_EQ(DATE_decode_month(lower[m - 1]), m);
        EXPECT_EQ(DATE_decode_month(longn[m - 1]), m == 2 || m >= 9 ? m : 0)
            << "only the first letter decides F, S, O, N, D; the rest need one case";
    }
    EXPECT_STREQ(DATE_month(0), "");
    EXPECT_STREQ(DATE_month(13), "");
    EXPECT_STREQ(DATE_month_long(-9999), "");
    for (const char* bad : {"", "X", "J", "JU", "MA", "Ap", "1", "jAN"})
        EXPECT_EQ(DATE_decode_month(bad), 0) << bad;
    EXPECT_EQ(DATE_decode_month(nullptr), 0);
}

TEST_F(DateTest, CurrentTimeTexts)
{
    char buf[DATE_LABEL_LEN];
    DATE_get_current_str(buf);
    EXPECT_TRUE(std::regex_match(buf, std::regex(R"(\d\d [A-Z]{3} \d\d  \d\d:\d\d:\d\dZ)"))) << buf;
    DATE_get_simple_current_str(buf);
    EXPECT_TRUE(std::regex_match(buf, std::regex(R"(\d\d-\d\d:\d\dZ)"))) << buf;
    long before = static_cast<long>(std::time(nullptr));
    long now = 0;
    long r = DATE_get_time(&now);
    EXPECT_EQ(r, now);
    EXPECT_LE(before, now);
    EXPECT_LE(now - before, 2);
    Date d;
    DATE_get_current_gmdate(&d);
    EXPECT_GE(d.year, 2024);
}

TEST_F(DateTest, LocalTimeFollowsTheMachineZone)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    long s = 1710000000L;  // 2024-03-09 16:00:00 UTC (date -u -d @1710000000)
    Date d;
    DATE_get_localdate(&s, &d);
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 9);
    EXPECT_EQ(d.hour, 11);
    EXPECT_EQ(d.wday, 6);
    EXPECT_EQ(d.jday, 69);
    struct tm* tm = DATE_get_gmtime(&s);
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm->tm_hour, 16);
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(DateTest, RecordHelpers)
{
    Date d;
    DATE_init(&d);
    for (int v : {d.year, d.month, d.day, d.jday, d.wday, d.hour, d.min, d.sec})
        EXPECT_EQ(v, -9999);
    Date* s = DATE_to_struct(2024, 3, 5, 17, 45);
    EXPECT_EQ(s->sec, 0);
    EXPECT_EQ(s->jday, 65);
    EXPECT_EQ(s->wday, 2);  // a Tuesday
    EXPECT_EQ(DATE_to_struct(2024, 3, 6, 0, 0), s) << "one module-owned record";
    int pre = 0, post = 0;
    DATE_get_range(&pre, &post);
    EXPECT_EQ(pre, -15);
    EXPECT_EQ(post, 10);

    char path[] = "/tmp/zem_date_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(MESS_file(path, "w"), 0);
    Date p = {2024, 3, 5, 65, 2, 7, 5, 9};
    DATE_print(M_print, &p);
    MESS_file_close();
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::remove(path);
    EXPECT_EQ(text, "2024/3/5 07:05:09\n");
}

// Fields far out of range from outside data: results stay defined (no
// signed overflow, which the sanitizer build would report) and sensible.
TEST_F(DateTest, ExtremeFieldsStayDefined)
{
    int j = 0;
    EXPECT_EQ(DATE_monday_julian(2024, 3, INT_MAX, &j), INT_MAX);
    EXPECT_EQ(j, INT_MAX) << "clamped, not wrapped to a negative day";
    EXPECT_EQ(DATE_monday_julian(2024, 99, 1, &j), 336) << "month clamped to December";
    int m = 0, d = 0;
    DATE_julian_monday(2024, INT_MIN, &m, &d);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
    Date big = make(INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX);
    char buf[DATE_LABEL_LEN];
    EXPECT_EQ(DATE_make_label(&big, buf), 0);
    EXPECT_LT(std::strlen(buf), static_cast<std::size_t>(DATE_LABEL_LEN));
    long far = 0x7fffffffffffffffL;
    Date g;
    EXPECT_EQ(DATE_get_gmdate(&far, &g), 0);
    EXPECT_GE(g.month, 1);
    EXPECT_LE(g.month, 12);
}

}  // namespace
