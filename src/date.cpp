// Dates: conversions between Date records, seconds since 1970 and days,
// the label and sequence texts, and the display time zone.
//
// The arithmetic uses the four-year leap rule throughout (every year
// divisible by 4 is a leap year), which is exact from 1901 to 2099 and keeps
// seconds, day numbers and calendar dates consistent with each other.
#include "date.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "mess.h"
#include "tools.h"

namespace {

constexpr long kDay = 86400;
constexpr int kCycleDays = 4 * 365 + 1;

// Cumulative days before each month, common and leap years.
constexpr int kCum[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

char kMonUpper[13][4] = {"", "JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
char kMonLower[13][4] = {"", "jan", "feb", "mar", "apr", "may", "jun",
                         "jul", "aug", "sep", "oct", "nov", "dec"};
char kMonLong[13][10] = {"", "January", "February", "March", "April", "May", "June",
                         "July", "August", "September", "October", "November", "December"};
char kDayName[7][4] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
char kEmpty[1] = "";

struct DateState {
    char tz_str[7] = "Z";  // suffix after the time: "Z" or " NAME"
    int tz_off = 0;        // seconds added to UTC for display
    int tz_pm = 0;         // 0 24-hour, 1 12-hour, -1 12-hour + [UTC]
    int min_pre = -15;
    int min_post = 10;
    Date made{};           // DATE_to_struct's record
    struct tm tm_buf {};   // DATE_get_gmtime / DATE_get_localtime
};

DateState g_date;

// Four-year rule, shared by the day arithmetic (see file comment).
int leap4(int year) { return year % 4 == 0 ? 1 : 0; }
int year_days(int year) { return 365 + leap4(year); }

// Two- and three-digit years: below 50 in this century, below 200 counted
// from 1900 (so 5 and 105 are both 2005).
int full_year(int year)
{
    return year < 50 ? year + 2000 : (year < 200 ? year + 1900 : year);
}

// The in-place normalisation applied before every conversion and label.
void normalise(Date& d)
{
    d.year = d.year < 0 ? 1980 : full_year(d.year);
    if (d.month < 1 || d.month > 12)
        d.month = 1;
    if (d.day < 0 || d.day > 31)
        d.day = 1;
    if (d.hour < 0 || d.hour > 23)
        d.hour = 0;
    if (d.min < 0 || d.min > 59)
        d.min = 0;
    if (d.sec < 0 || d.sec > 59)
        d.sec = 0;
}

int two_digit(int year) { return ((year % 100) + 100) % 100; }

long floor_div(long a, long b)
{
    long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

long now_secs() { return static_cast<long>(std::time(nullptr)); }

// Day numbers this far from 1970 (about 2.9 million years) keep every
// intermediate in int range.
constexpr long kMaxDays = 1L << 30;

// Hour part of a label on the 12-hour clock, e.g. "12:45 PM EST".
std::string twelve_hour(int hour, int min, bool with_min, const char* suffix)
{
    char buf[40];
    const char* ampm = hour < 12 ? "AM" : "PM";
    int h = hour % 12 == 0 ? 12 : hour % 12;
    if (with_min)
        std::snprintf(buf, sizeof buf, "%d:%2.2d %s%s", h, min, ampm, suffix);
    else
        std::snprintf(buf, sizeof buf, "%d %s%s", h, ampm, suffix);
    return buf;
}

void copy_out(char* str, const std::string& s)
{
    std::snprintf(str, DATE_LABEL_LEN, "%s", s.c_str());
}

}  // namespace

// ---- Records --------------------------------------------------------------

int DATE_init(Date* date)
{
    if (!date)
        return -1;
    date->year = date->month = date->day = date->jday = kMissing;
    date->wday = date->hour = date->min = date->sec = kMissing;
    return 0;
}

int DATE_print(M_type level, const Date* date)
{
    if (!date)
        return -1;
    MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day,
               date->hour, date->min, date->sec);
    return 0;
}

Date* DATE_to_struct(int year, int month, int day, int hour, int min)
{
    Date& d = g_date.made;
    DATE_init(&d);
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.min = min;
    d.sec = 0;
    if (year >= 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        DATE_monday_julian(year, month, day, &d.jday);
        long days = DATE_date_days(year, month, day);
        d.wday = static_cast<int>(((days - 1 + 4) % 7 + 7) % 7);
    }
    return &d;
}

// ---- Names ----------------------------------------------------------------

char* DATE_month(int month)
{
    return (month >= 1 && month <= 12) ? kMonUpper[month] : kEmpty;
}

char* DATE_month_lower(int month)
{
    return (month >= 1 && month <= 12) ? kMonLower[month] : kEmpty;
}

char* DATE_month_long(int month)
{
    return (month >= 1 && month <= 12) ? kMonLong[month] : kEmpty;
}

char* DATE_day_name(int wday)
{
    return (wday >= 0 && wday <= 6) ? kDayName[wday] : kEmpty;
}

int DATE_decode_month(const char* str)
{
    if (!str || !*str)
        return 0;
    // The letters after the first are compared in the first letter's case,
    // so "JAN" and "jan" are months and "Jan" is not.
    char first = str[0];
    bool upper = first >= 'A' && first <= 'Z';
    bool lower = first >= 'a' && first <= 'z';
    if (!upper && !lower)
        return 0;
    auto is = [&](char c, char want) { return c == (upper ? want : static_cast<char>(want - 'A' + 'a')); };
    char c1 = str[1];
    char c2 = c1 ? str[2] : '\0';
    if (is(first, 'F')) return 2;
    if (is(first, 'S')) return 9;
    if (is(first, 'O')) return 10;
    if (is(first, 'N')) return 11;
    if (is(first, 'D')) return 12;
    if (is(first, 'J')) {
        if (is(c1, 'A')) return 1;
        if (is(c2, 'N')) return 6;
        if (is(c2, 'L')) return 7;
        return 0;
    }
    if (is(first, 'M')) {
        if (is(c2, 'R')) return 3;
        if (is(c2, 'Y')) return 5;
        return 0;
    }
    if (is(first, 'A')) {
        if (is(c2, 'R')) return 4;
        if (is(c2, 'G')) return 8;
        return 0;
    }
    return 0;
}

// ---- Arithmetic -------------------------------------------------------------

int DATE_is_leap(int year)
{
    if (year % 100 == 0 && year % 400 != 0)
        return 0;
    return year % 4 == 0 ? 1 : 0;
}

long DATE_num_sec(Date* date)
{
    if (!date)
        return 0;
    Date& d = *date;
    normalise(d);
    long leap_days = (d.year - 1900) / 4 - 17;
    if (d.year % 4 == 0 && d.month <= 2)
        --leap_days;
    return d.sec + 60L * d.min + 3600L * d.hour +
           kDay * (d.day - 1 + kCum[0][d.month - 1]) + kDay * leap_days +
           365L * kDay * (d.year - 1970);
}

long DATE_num_sec_tm(const struct tm* tm)
{
    if (!tm)
        return 0;
    Date d;
    DATE_init(&d);
    d.year = tm->tm_year + 1900;
    d.month = tm->tm_mon + 1;
    d.day = tm->tm_mday;
    d.hour = tm->tm_hour;
    d.min = tm->tm_min;
    d.sec = tm->tm_sec;
    return DATE_num_sec(&d);
}

int DATE_days_date(int days, int* year, int* month, int* day)
{
    long rest = days;
    int y = 1970;
    // Whole four-year cycles first (each holds exactly one leap year), then
    // single years, so far dates cost no more than near ones.
    if (rest >= 1) {
        long cycles = (rest - 1) / kCycleDays;
        rest -= cycles * kCycleDays;
        y += static_cast<int>(4 * cycles);
        while (rest > year_days(y)) {
            rest -= year_days(y);
            ++y;
        }
    } else {
        long cycles = (-rest) / kCycleDays + 1;
        rest += cycles * kCycleDays;
        y -= static_cast<int>(4 * cycles);
        while (rest > year_days(y)) {
            rest -= year_days(y);
            ++y;
        }
    }
    const int* cum = kCum[leap4(y)];
    int m = 1;
    while (m < 12 && rest > cum[m])
        ++m;
    if (year) *year = y;
    if (month) *month = m;
    if (day) *day = static_cast<int>(rest - cum[m - 1]);
    return 0;
}

int DATE_date_days(int year, int month, int day)
{
    Date d;
    DATE_init(&d);
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = d.min = d.sec = 0;
    // Years millions away give day numbers past an int: held at its ends.
    const long days = floor_div(DATE_num_sec(&d), kDay) + 1;
    return static_cast<int>(std::clamp(days, long{INT_MIN}, long{INT_MAX}));
}

int DATE_time_date(int secs, int* hour, int* min, int* sec)
{
    if (hour) *hour = secs / 3600;
    if (min) *min = (secs % 3600) / 60;
    if (sec) *sec = secs % 60;
    return 0;
}

int DATE_julian_monday(int year, int julian, int* month, int* day)
{
    int leap = DATE_is_leap(year);
    const int* cum = kCum[leap];
    if (julian < 1)
        julian = 1;
    if (julian > cum[12])
        julian = cum[12];
    int m = 1;
    while (m < 12 && cum[m] < julian)
        ++m;
    if (month) *month = m;
    if (day) *day = julian - cum[m - 1];
    return 0;
}

int DATE_monday_julian(int year, int month, int day, int* julian)
{
    if (month < 1)
        month = 1;
    if (month > 12)
        month = 12;
    // Summed in long: a day far out of range must not overflow.
    long sum = static_cast<long>(kCum[DATE_is_leap(year)][month - 1]) + day;
    int j = static_cast<int>(sum > INT_MAX ? INT_MAX : sum);
    if (julian)
        *julian = j;
    return j;
}

int DATE_get_gmdate(const long* secs, Date* date)
{
    if (!date)
        return -1;
    long s = secs ? *secs : now_secs();
    long days = floor_div(s, kDay);
    // From the remainder: days * kDay itself leaves the range of long for
    // the most negative times.
    long sod = s % kDay;
    if (sod < 0) sod += kDay;
    if (days > kMaxDays) days = kMaxDays;
    if (days < -kMaxDays) days = -kMaxDays;
    DATE_days_date(static_cast<int>(days + 1), &date->year, &date->month, &date->day);
    DATE_time_date(static_cast<int>(sod), &date->hour, &date->min, &date->sec);
    // 1970-01-01 was a Thursday.
    date->wday = static_cast<int>(((days + 4) % 7 + 7) % 7);
    date->jday = kCum[leap4(date->year)][date->month - 1] + date->day;
    return 0;
}

int DATE_get_localdate(const long* secs, Date* date)
{
    if (!date)
        return -1;
    struct tm* tm = DATE_get_localtime(secs);
    if (!tm) {
        DATE_init(date);
        return -1;
    }
    date->year = tm->tm_year + 1900;
    date->month = tm->tm_mon + 1;
    date->day = tm->tm_mday;
    date->jday = tm->tm_yday + 1;
    date->wday = tm->tm_wday;
    date->hour = tm->tm_hour;
    date->min = tm->tm_min;
    date->sec = tm->tm_sec;
    return 0;
}

long DATE_get_time(long* secs)
{
    long s = now_secs();
    if (secs)
        *secs = s;
    return s;
}

int DATE_get_current_gmdate(Date* date)
{
    return DATE_get_gmdate(nullptr, date);
}

struct tm* DATE_get_gmtime(const long* secs)
{
    std::time_t t = secs ? static_cast<std::time_t>(*secs) : std::time(nullptr);
    return gmtime_r(&t, &g_date.tm_buf);
}

struct tm* DATE_get_localtime(const long* secs)
{
    std::time_t t = secs ? static_cast<std::time_t>(*secs) : std::time(nullptr);
    return localtime_r(&t, &g_date.tm_buf);
}

// ---- Texts ------------------------------------------------------------------

int DATE_make_label(const Date* date, char* str)
{
    if (!date || !str)
        return -1;
    const bool no_month = is_missing(date->month);
    const bool no_day = is_missing(date->day);
    const bool no_hour = is_missing(date->hour);
    const bool no_min = is_missing(date->min);
    Date d = *date;
    normalise(d);
    char buf[DATE_LABEL_LEN];

    if (no_month) {
        std::snprintf(buf, sizeof buf, "%2.2d", two_digit(d.year));
        copy_out(str, buf);
        return 0;
    }
    if (no_day) {
        std::snprintf(buf, sizeof buf, "%3s %2.2d", DATE_month(d.month), two_digit(d.year));
        copy_out(str, buf);
        return 0;
    }
    if (no_hour) {
        std::snprintf(buf, sizeof buf, "%2d %3s %2.2d", d.day, DATE_month(d.month),
                      two_digit(d.year));
        copy_out(str, buf);
        return 0;
    }

    // The UTC clock time is kept for the bracket; the date shown is moved
    // into the display zone.
    const int utc_hour = d.hour;
    const int utc_min = d.min;
    if (g_date.tz_off != 0) {
        long s = DATE_num_sec(&d) + g_date.tz_off;
        DATE_get_gmdate(&s, &d);
    }
    std::string text;
    const char* sfx = g_date.tz_str;
    if (no_min) {
        if (g_date.tz_pm == 0) {
            std::snprintf(buf, sizeof buf, "%2.2d%s", d.hour, sfx);
            text = buf;
        } else {
            text = twelve_hour(d.hour, 0, false, sfx);
            if (g_date.tz_pm < 0) {
                std::snprintf(buf, sizeof buf, " [%2.2dZ]", utc_hour);
                text += buf;
            }
        }
    } else {
        if (g_date.tz_pm == 0) {
            std::snprintf(buf, sizeof buf, "%2.2d%2.2d%s", d.hour, d.min, sfx);
            text = buf;
        } else {
            text = twelve_hour(d.hour, d.min, true, sfx);
            if (g_date.tz_pm < 0) {
                std::snprintf(buf, sizeof buf, " [%2.2d%2.2dZ]", utc_hour, utc_min);
                text += buf;
            }
        }
    }
    std::snprintf(buf, sizeof buf, " %2d %3s %2.2d", d.day, DATE_month(d.month), two_digit(d.year));
    text += buf;
    copy_out(str, text);
    return 0;
}

int DATE_make_seq(const Date* date, char* str)
{
    if (!date || !str)
        return -1;
    Date d = *date;
    normalise(d);
    char buf[DATE_LABEL_LEN];
    std::snprintf(buf, sizeof buf, "%4.4d%2.2d%2.2d%2.2d%2.2d", d.year, d.month, d.day, d.hour,
                  d.min);
    copy_out(str, buf);
    return 0;
}

int DATE_decode_seq(const char* str, Date* date)
{
    if (!date)
        return -1;
    DATE_init(date);
    if (!str)
        return -1;
    int n = std::sscanf(str, "%4d%2d%2d%2d%2d", &date->year, &date->month, &date->day,
                        &date->hour, &date->min);
    return n < 0 ? 0 : n;
}

int DATE_decode_label(const char* str, Date* date)
{
    if (!date)
        return -1;
    DATE_init(date);
    if (!str)
        return -1;
    const std::size_t len = std::strlen(str);
    auto tail = [&](std::size_t n) { return str + (len > n ? len - n : 0); };
    int hour = kMissing, min = kMissing, sec = kMissing, day = kMissing, year = kMissing;
    int month = kMissing;
    char mon[4] = "";
    bool ok = false;

    if (std::sscanf(str, "%2dZ %2d %3s %2d", &hour, &day, mon, &year) == 4) {
        ok = true;
    } else if (const char* p = tail(15);
               std::sscanf(p, "%2d%2dZ %2d %3s %2d", &hour, &min, &day, mon, &year) == 5) {
        // A three-digit time ("945Z") sits after a blank and would be read
        // as hour 94; read it as one hour digit and two minute digits.
        if (p[0] == ' ')
            std::sscanf(p, "%1d%2d", &hour, &min);
        ok = true;
    } else if (std::sscanf(tail(19), "%2d:%2d:%2dZ %2d %3s %2d", &hour, &min, &sec, &day, mon,
                           &year) == 6) {
        ok = true;
    } else if (std::sscanf(tail(13), "%2dZ %2d %3s %2d", &hour, &day, mon, &year) == 4) {
        ok = true;
    } else if (std::sscanf(str, "%2d %2d %2d %2d", &year, &month, &day, &hour) == 4) {
        // All-numeric form: two-digit year, month, day, hour.
        date->year = full_year(year);
        date->month = month;
        date->day = day;
        date->hour = hour;
        return 0;
    }
    if (!ok)
        return -1;
    date->year = full_year(year);
    date->month = DATE_decode_month(mon);
    date->day = day;
    date->hour = hour;
    date->min = min;
    date->sec = sec;
    return 0;
}

int DATE_get_current_str(char* str)
{
    if (!str)
        return -1;
    Date d;
    DATE_get_current_gmdate(&d);
    char buf[DATE_LABEL_LEN];
    std::snprintf(buf, sizeof buf, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", two_digit(d.year),
                  DATE_month(d.month), d.day, d.hour, d.min, d.sec);
    copy_out(str, buf);
    return 0;
}

int DATE_get_simple_current_str(char* str)
{
    if (!str)
        return -1;
    Date d;
    DATE_get_current_gmdate(&d);
    char buf[DATE_LABEL_LEN];
    std::snprintf(buf, sizeof buf, "%2.2d-%2.2d:%2.2dZ", d.day, d.hour, d.min);
    copy_out(str, buf);
    return 0;
}

int DATE_print_current(M_type level)
{
    char buf[DATE_LABEL_LEN];
    DATE_get_current_str(buf);
    MESS_print(level, "%s\n", buf);
    return 0;
}

int DATE_make_label_valid_time(int fhour, const Date* date, char* str)
{
    if (!date || !str)
        return -1;
    // A missing forecast code counts as no forecast offset.
    int code = is_missing(fhour) ? 0 : fhour;
    int hours = code % 1000;
    if (hours == 800 || hours == 900)
        hours = 0;

    const bool hour_known = !is_missing(date->hour);
    Date d = *date;
    if (is_missing(d.hour))
        d.hour = 0;
    if (is_missing(d.min))
        d.min = 0;
    long utc = DATE_num_sec(&d) + 3600L * hours;
    // A day-only label stays on its UTC day: moving midnight by the zone
    // offset would name the previous or next day.
    long shown = utc + (hour_known ? g_date.tz_off : 0);
    Date v;
    DATE_get_gmdate(&shown, &v);
    Date u;
    DATE_get_gmdate(&utc, &u);

    char buf[DATE_LABEL_LEN];
    if (!hour_known) {
        std::snprintf(buf, sizeof buf, "%3s %2d %3s %2.2d", DATE_day_name(v.wday), v.day,
                      DATE_month(v.month), two_digit(v.year));
        copy_out(str, buf);
        return 0;
    }
    std::string time;
    const char* sfx = g_date.tz_str;
    if (g_date.tz_pm == 0) {
        std::snprintf(buf, sizeof buf, "%d%s", v.hour, sfx);
        time = buf;
    } else {
        time = twelve_hour(v.hour, 0, false, sfx);
        if (g_date.tz_pm < 0) {
            std::snprintf(buf, sizeof buf, " [%2.2dZ]", u.hour);
            time += buf;
        }
    }
    std::snprintf(buf, sizeof buf, "%s %3s %2d %3s %2.2d", time.c_str(), DATE_day_name(v.wday),
                  v.day, DATE_month(v.month), two_digit(v.year));
    copy_out(str, buf);
    return 0;
}

int DATE_fhour_label(char* str, int fhour, int flag)
{
    if (!str)
        return -1;
    char buf[DATE_LABEL_LEN] = "";
    if (fhour >= 901) {
        std::snprintf(buf, sizeof buf, "%d month", fhour - 900);
    } else if (fhour >= 801) {
        std::snprintf(buf, sizeof buf, "%d day", fhour - 800);
    } else if (flag && fhour >= 12 && fhour <= 60 && fhour % 12 == 0) {
        static const char* const kHalfDays[] = {"0.5 day", "1 day", "1.5 day", "2 day",
                                                "2.5 day"};
        std::snprintf(buf, sizeof buf, "%s", kHalfDays[fhour / 12 - 1]);
    } else if (flag && fhour > 60 && fhour % 24 == 0) {
        std::snprintf(buf, sizeof buf, "%d day", fhour / 24);
    } else if (flag && fhour > 60 && fhour % 24 == 12) {
        std::snprintf(buf, sizeof buf, "%d.5 day", fhour / 24);
    } else if (fhour != 0 && !is_missing(fhour)) {
        std::snprintf(buf, sizeof buf, "%d hour", fhour);
    }
    copy_out(str, buf);
    return 0;
}

// ---- Display zone -------------------------------------------------------------

int DATE_set_TZ(const char* str)
{
    g_date.tz_off = 0;
    g_date.tz_pm = 0;
    std::snprintf(g_date.tz_str, sizeof g_date.tz_str, "Z");
    if (!str || !*str)
        return 0;
    if (*str == '-') {
        g_date.tz_pm = -1;
        ++str;
    } else if (*str == '+') {
        g_date.tz_pm = 1;
        ++str;
    }
    char name[5] = "";
    float hours = 0.0f;
    int n = std::sscanf(str, "%4[^:]:%f", name, &hours);
    if (n >= 1)
        std::snprintf(g_date.tz_str, sizeof g_date.tz_str, " %s", name);
    if (n >= 2 && std::isfinite(hours) && std::fabs(hours) <= 48.0f)
        g_date.tz_off = static_cast<int>(hours * 3600.0f);
    return 0;
}

int DATE_get_tz_off()
{
    return g_date.tz_off;
}

char* DATE_get_tz_str()
{
    return g_date.tz_str;
}

int DATE_get_tz_pm()
{
    return g_date.tz_pm;
}

int DATE_set_range(int min_pre, int min_post)
{
    g_date.min_pre = min_pre;
    g_date.min_post = min_post;
    return 0;
}

int DATE_get_range(int* min_pre, int* min_post)
{
    if (min_pre) *min_pre = g_date.min_pre;
    if (min_post) *min_post = g_date.min_post;
    return 0;
}
