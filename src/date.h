// Calendar dates and times: conversions between Date records, seconds since
// 1970 and day-of-year, the text forms used in file names and labels, and the
// display time zone.
#ifndef ZEM_DATE_H
#define ZEM_DATE_H

#include <ctime>

#include "mess.h"

// A calendar date and time. -9999 in any field means the field is absent;
// DATE_init sets every field to -9999.
struct Date {
    int year;   // four digits once normalised
    int month;  // 1-12
    int day;    // 1-31
    int jday;   // day of year, 1-366
    int wday;   // day of week, 0 = Sunday
    int hour;   // 0-23
    int min;
    int sec;
};

// Every char* output of the label builders must hold DATE_LABEL_LEN bytes.
inline constexpr int DATE_LABEL_LEN = 50;

// ---- Records -------------------------------------------------------------

// Sets every field to -9999. Returns 0.
int DATE_init(Date* date);
// Prints "year/month/day hh:mm:ss" at `level`. Returns 0.
int DATE_print(M_type level, const Date* date);
// Fills a module-owned record (seconds 0; day of year and week day when the
// date is complete) and returns it. The record is overwritten by the next call.
Date* DATE_to_struct(int year, int month, int day, int hour, int min);

// ---- Names ---------------------------------------------------------------

// "JAN".."DEC", "jan".."dec", "January".."December"; "" outside 1..12.
char* DATE_month(int month);
char* DATE_month_lower(int month);
char* DATE_month_long(int month);
// "SUN".."SAT" for 0..6; "" otherwise.
char* DATE_day_name(int wday);
// Month number from its text by first letters (all upper or all lower
// case); 0 when not a month.
int DATE_decode_month(const char* str);

// ---- Arithmetic ------------------------------------------------------------

// 0 for a year divisible by 100 but not 400, else 1 when divisible by 4.
int DATE_is_leap(int year);
// Seconds since 1970-01-01 00:00 UTC. Normalises the record in place first:
// negative year 1980, below 50 +2000, below 200 +1900; month outside 1..12
// becomes 1, day outside 0..31 becomes 1, hour, minute, second out of range
// become 0. Uses the four-year leap rule (exact for 1901..2099).
long DATE_num_sec(Date* date);
// The same for a broken-down time (tm_year from 1900, tm_mon from 0).
long DATE_num_sec_tm(const struct tm* tm);
// Seconds (null: now) to a Date in UTC / the machine's local zone; all eight
// fields filled. Return 0.
int DATE_get_gmdate(const long* secs, Date* date);
int DATE_get_localdate(const long* secs, Date* date);
// The current time in seconds since 1970 (stored in *secs when not null).
long DATE_get_time(long* secs);
// Now in UTC. Returns 0.
int DATE_get_current_gmdate(Date* date);
// The system's broken-down time for `secs` (null: now), in a module-owned
// record overwritten by the next call.
struct tm* DATE_get_gmtime(const long* secs);
struct tm* DATE_get_localtime(const long* secs);
// Day number (day 1 = 1970-01-01) to a calendar date. Returns 0.
int DATE_days_date(int days, int* year, int* month, int* day);
// The day number of a calendar date (the reverse of DATE_days_date).
int DATE_date_days(int year, int month, int day);
// Seconds of the day to clock time. Returns 0.
int DATE_time_date(int secs, int* hour, int* min, int* sec);
// Day of year (clamped to the year) to month and day. Returns 0.
int DATE_julian_monday(int year, int julian, int* month, int* day);
// Month and day to day of year (month clamped to 1..12); returns it too.
int DATE_monday_julian(int year, int month, int day, int* julian);

// ---- Texts ---------------------------------------------------------------

// Plot label such as "1745Z  5 MAR 24", shorter when fields are absent, in
// the display zone. Returns 0.
int DATE_make_label(const Date* date, char* str);
// "YYYYMMDDHHMM" after normalisation. Returns 0.
int DATE_make_seq(const Date* date, char* str);
// Reads "YYYYMMDDHHMM" (fields missing at the end stay -9999). Returns the
// number of fields read, -1 for a null string.
int DATE_decode_seq(const char* str, Date* date);
// Reads a label back (forms "HHZ DD MON YY", "HHMMZ DD MON YY",
// "HH:MM:SSZ DD MON YY" at the end of the text, or "YY MM DD HH" at its
// start). Returns 0, -1 when no form reads completely.
int DATE_decode_label(const char* str, Date* date);
// "YY MON DD  HH:MM:SSZ" for now (UTC). Returns 0.
int DATE_get_current_str(char* str);
// "DD-HH:MMZ" for now (UTC). Returns 0.
int DATE_get_simple_current_str(char* str);
// Prints DATE_get_current_str at `level`. Returns 0.
int DATE_print_current(M_type level);
// Valid-time label: `date` plus the hours of the forecast code, in the
// display zone, such as "18Z TUE  5 MAR 24"; without the time part when the
// date's hour is absent. Returns 0.
int DATE_make_label_valid_time(int fhour, const Date* date, char* str);
// Forecast-hour text ("12 hour", "1.5 day", "3 month"; empty for 0 and
// -9999). `flag` turns hours from 12 on into days. Returns 0.
int DATE_fhour_label(char* str, int fhour, int flag);

// ---- Display zone ----------------------------------------------------------

// Sets the display zone from "[+|-]NAME:hours": "+" a 12-hour clock, "-" a
// 12-hour clock with the UTC time in brackets, NAME (up to 4 characters) the
// suffix and hours the offset from UTC. Null or empty restores UTC ("Z", 0,
// 24-hour clock). Returns 0.
int DATE_set_TZ(const char* str);
// Seconds added to UTC for display.
int DATE_get_tz_off();
// The zone suffix ("Z", or " NAME").
char* DATE_get_tz_str();
// Clock: 0 24-hour, 1 12-hour, -1 12-hour with UTC in brackets.
int DATE_get_tz_pm();
// Relevance window in minutes for sibling programs (initial -15, 10).
int DATE_set_range(int min_pre, int min_post);
int DATE_get_range(int* min_pre, int* min_post);

#endif
