// Dates: the arithmetic against the C library's own calendar over many
// random instants, labels in every form and zone, the parsers, and
// impossible or extreme fields.
#include "zem_test.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <random>
#include <tuple>

#include "date.h"

namespace {

constexpr int M = -9999;
constexpr long kLast2099 = 4102444799L;  // 2099-12-31 23:59:59 UTC (timegm)

Date make(int y, int mo, int d, int h, int mi, int s = 0) {
    Date r;
    DATE_init(&r);
    std::tie(r.year, r.month, r.day, r.hour, r.min, r.sec) = std::tie(y, mo, d, h, mi, s);
    return r;
}

std::string label(const Date& d) {
    char buf[DATE_LABEL_LEN];
    DATE_make_label(&d, buf);
    return buf;
}

class DateTest : public ::testing::Test {
protected:
    void SetUp() override { DATE_set_TZ(nullptr); }
    void TearDown() override { DATE_set_TZ(nullptr); }
};

// The broken-down date of `secs` against gmtime_r.
void expect_gmdate(long secs) {
    const time_t t = static_cast<time_t>(secs);
    struct tm tm {};
    ASSERT_NE(gmtime_r(&t, &tm), nullptr);
    Date d;
    ASSERT_EQ(DATE_get_gmdate(&secs, &d), 0);
    const int got[] = {d.year, d.month, d.day, d.jday, d.wday, d.hour, d.min, d.sec};
    const int want[] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_yday + 1,
                        tm.tm_wday,        tm.tm_hour,    tm.tm_min,  tm.tm_sec};
    for (int k = 0; k < 8; ++k) ASSERT_EQ(got[k], want[k]) << "field " << k << " of " << secs;
}

// Every conversion against gmtime_r/timegm at 200,000 random instants of
// 1970-2099.
TEST_F(DateTest, AgreesWithTheCLibraryFrom1970To2099) {
    std::mt19937_64 rng(20240305);
    std::uniform_int_distribution<long> pick(0, kLast2099);
    for (int n = 0; n < 200000; ++n) {
        long secs = pick(rng);
        ASSERT_NO_FATAL_FAILURE(expect_gmdate(secs));
        const time_t t = static_cast<time_t>(secs);
        struct tm tm {};
        gmtime_r(&t, &tm);
        Date d;
        DATE_get_gmdate(&secs, &d);
        ASSERT_EQ(DATE_num_sec(&d), secs);
        ASSERT_EQ(DATE_num_sec_tm(&tm), static_cast<long>(timegm(&tm)));

        const int days = static_cast<int>(secs / 86400 + 1);
        int y, m, dd;
        DATE_days_date(days, &y, &m, &dd);
        ASSERT_EQ(y * 10000 + m * 100 + dd, d.year * 10000 + d.month * 100 + d.day) << secs;
        ASSERT_EQ(DATE_date_days(y, m, dd), days);
        int h, mi, s;
        DATE_time_date(static_cast<int>(secs % 86400), &h, &mi, &s);
        ASSERT_EQ(h * 3600 + mi * 60 + s, tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
        int jm, jd, julian = 0;
        DATE_julian_monday(d.year, tm.tm_yday + 1, &jm, &jd);
        ASSERT_EQ(jm * 100 + jd, d.month * 100 + d.day) << secs;
        ASSERT_EQ(DATE_monday_julian(d.year, d.month, d.day, &julian), tm.tm_yday + 1);
        ASSERT_EQ(julian, tm.tm_yday + 1);
    }
    // Before 1970 the day numbers run negative; the four-year rule still
    // holds back to 1901-01-01 (-2177452800, timegm).
    std::uniform_int_distribution<long> before(-2177452800L, -1);
    for (int n = 0; n < 20000; ++n) ASSERT_NO_FATAL_FAILURE(expect_gmdate(before(rng)));
}

// Fields in, seconds out (timegm) and the fields as normalised in place:
// years below 50 gain 2000, below 200 1900, negative ones become 1980;
// impossible month, day, hour, minute and second fall back to the first.
TEST_F(DateTest, NormalisedFieldsAndSeconds) {
    struct Case {
        Date in;
        long secs;
        int year, month, day, hour;
    };
    const Case cases[] = {
        {make(1970, 1, 1, 0, 0), 0L, 1970, 1, 1, 0},
        {make(2000, 3, 1, 0, 0), 951868800L, 2000, 3, 1, 0},
        {make(24, 3, 5, 17, 45), 1709660700L, 2024, 3, 5, 17},  // seconds from date -u -d
        {make(49, 6, 1, 0, 0), 2506118400L, 2049, 6, 1, 0},
        {make(50, 6, 1, 0, 0), -618105600L, 1950, 6, 1, 0},
        {make(199, 6, 1, 0, 0), 4083955200L, 2099, 6, 1, 0},
        {make(-1, 6, 1, 0, 0), 328665600L, 1980, 6, 1, 0},
        {make(2024, 13, 32, 24, 60, 61), 1704067200L, 2024, 1, 1, 0},
        {make(2024, 3, 0, 0, 0), 1709164800L, 2024, 3, 0, 0},  // day 0: 29 February
        {make(M, M, M, M, M), 315532800L, 1980, 1, 1, 0},
    };
    for (Case c : cases) {
        EXPECT_EQ(DATE_num_sec(&c.in), c.secs) << c.year;
        EXPECT_EQ(c.in.year * 1000000 + c.in.month * 10000 + c.in.day * 100 + c.in.hour,
                  c.year * 1000000 + c.month * 10000 + c.day * 100 + c.hour)
            << c.secs;
    }
    // A record made from fields gets its day of year and weekday: 5 March
    // 2024 is day 65, a Tuesday (date -u +'%j %w').
    const Date* made = DATE_to_struct(2024, 3, 5, 17, 45);
    EXPECT_EQ(made->jday * 10 + made->wday, 652);
    for (int y : {1900, 2023, 2100}) EXPECT_EQ(DATE_is_leap(y), 0) << y;
    for (int y : {2000, 2024}) EXPECT_EQ(DATE_is_leap(y), 1) << y;
    // Day-of-year 400 and -5 clamp to the year's last and first day.
    int m, day;
    DATE_julian_monday(2023, 400, &m, &day);
    EXPECT_EQ(m * 100 + day, 1231);
    DATE_julian_monday(2023, -5, &m, &day);
    EXPECT_EQ(m * 100 + day, 101);
}

// Labels in UTC and display zones, valid-time and forecast texts, and
// labels read back, from the case table.
TEST_F(DateTest, Texts) {
    char buf[DATE_LABEL_LEN];
    for (const auto& c : zt::cases("date/texts.txt")) {
        SCOPED_TRACE(c[0] + " | " + c[1] + " | " + c[2]);
        std::vector<int> f = zt::ints(c[c[0] == "valid" ? 3 : 2]);
        f.resize(6, M);
        Date d = make(f[0], f[1], f[2], f[3], f[4]);
        const bool zoned = (c[0] == "label" || c[0] == "valid") && c[1] != "-";
        DATE_set_TZ(zoned ? c[1].c_str() : nullptr);
        if (c[0] == "label") {
            EXPECT_EQ(label(d), c[3]);
        } else if (c[0] == "valid") {
            DATE_make_label_valid_time(std::stoi(c[2]), &d, buf);
            EXPECT_EQ(std::string(buf), c[4]);
        } else if (c[0] == "fhour") {
            DATE_fhour_label(buf, std::stoi(c[1]), std::stoi(c[2]));
            EXPECT_EQ(std::string(buf), c[3]);
        } else {
            Date back;
            ASSERT_EQ(DATE_decode_label(c[1].c_str(), &back), 0);
            const int got[] = {back.year, back.month, back.day, back.hour, back.min, back.sec};
            EXPECT_EQ(std::vector<int>(got, got + 6), f);
        }
    }
    DATE_set_TZ("LONGNAME:3");
    EXPECT_STREQ(DATE_get_tz_str(), " LONG");
    EXPECT_EQ(DATE_get_tz_off(), 0) << "no ':' after four characters: no offset read";
}

TEST_F(DateTest, DecodingTexts) {
    Date d;
    for (const char* bad : {"no date here", ""}) EXPECT_EQ(DATE_decode_label(bad, &d), -1) << bad;
    EXPECT_EQ(DATE_decode_label(nullptr, &d), -1);

    // Sequence texts, whole and partial.
    char buf[DATE_LABEL_LEN];
    Date s = make(24, 0, 5, M, M);
    DATE_make_seq(&s, buf);
    EXPECT_STREQ(buf, "202401050000");
    EXPECT_EQ(DATE_decode_seq("202403051745", &d), 5);
    EXPECT_EQ(label(d), "1745Z  5 MAR 24");
    EXPECT_EQ(DATE_decode_seq("2024030", &d), 3);
    EXPECT_EQ(d.day, 0);
    EXPECT_EQ(d.hour, M);
    EXPECT_EQ(DATE_decode_seq("garbage", &d), 0);
    EXPECT_EQ(d.year, M);

    // Months: F, S, O, N and D are known by their first letter; the other
    // words must be all one case.
    struct Mo {
        const char* text;
        int month;
    };
    for (Mo m : {Mo{"MAR", 3}, Mo{"mar", 3}, Mo{"February", 2}, Mo{"December", 12}, Mo{"March", 0}, Mo{"jAN", 0},
                 Mo{"JU", 0}, Mo{"", 0}})
        EXPECT_EQ(DATE_decode_month(m.text), m.month) << m.text;
    EXPECT_EQ(DATE_decode_month(nullptr), 0);
}

// Every label made for a random date reads back to the same fields.
TEST_F(DateTest, LabelRoundTrip) {
    std::mt19937_64 rng(99);
    std::uniform_int_distribution<long> pick(0, kLast2099);
    for (int n = 0; n < 20000; ++n) {
        long s = pick(rng);
        Date d, back;
        DATE_get_gmdate(&s, &d);
        const std::string text = label(d);
        ASSERT_EQ(DATE_decode_label(text.c_str(), &back), 0) << text;
        // Two-digit years read back into 1950-2049.
        const int y2 = d.year % 100;
        ASSERT_EQ(back.year, y2 < 50 ? 2000 + y2 : 1900 + y2) << text;
        ASSERT_EQ(back.month * 1000000 + back.day * 10000 + back.hour * 100 + back.min,
                  d.month * 1000000 + d.day * 10000 + d.hour * 100 + d.min)
            << text;
    }
}

TEST_F(DateTest, MachineZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    long s = 1710000000L;  // 2024-03-09 16:00:00 UTC (date -u -d @1710000000)
    Date d;
    DATE_get_localdate(&s, &d);
    EXPECT_EQ(label(d), "1100Z  9 MAR 24");
    EXPECT_EQ(d.wday * 1000 + d.jday, 6069);  // a Saturday, day 69
    EXPECT_EQ(DATE_get_gmtime(&s)->tm_hour, 16);
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// Fields far out of range from outside data: results stay defined (no
// signed overflow, which the sanitizer build would report) and sensible.
TEST_F(DateTest, ExtremeFieldsStayDefined) {
    int j = 0;
    EXPECT_EQ(DATE_monday_julian(2024, 3, INT_MAX, &j), INT_MAX);
    EXPECT_EQ(j, INT_MAX) << "clamped, not wrapped to a negative day";
    EXPECT_EQ(DATE_monday_julian(2024, 99, 1, &j), 336) << "month clamped to December";
    int m = 0, d = 0;
    DATE_julian_monday(2024, INT_MIN, &m, &d);
    EXPECT_EQ(m * 100 + d, 101);
    Date big = make(INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX);
    char buf[DATE_LABEL_LEN];
    EXPECT_EQ(DATE_make_label(&big, buf), 0);
    EXPECT_LT(std::strlen(buf), static_cast<std::size_t>(DATE_LABEL_LEN));
    long far = 0x7fffffffffffffffL;
    Date g;
    EXPECT_EQ(DATE_get_gmdate(&far, &g), 0);
    EXPECT_TRUE(g.month >= 1 && g.month <= 12) << g.month;
    far = LONG_MIN;  // the clock time from python3: -2**63 % 86400 = 30592 s
    DATE_get_gmdate(&far, &g);
    EXPECT_EQ(g.hour * 3600 + g.min * 60 + g.sec, 30592);
    EXPECT_EQ(DATE_date_days(INT_MAX, 1, 1), INT_MAX) << "clamped, not wrapped";
}

}  // namespace
