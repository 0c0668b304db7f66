// Calendar dates and times: conversions between Date records, seconds since
// 1970 and day-of-year, the text forms used in file names and labels, and the
// display time zone.
#ifndef ZEM_DATE_H
#define ZEM_DATE_H

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

#endif
