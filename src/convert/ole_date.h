// The platform's time types, computed exactly: OLE Automation dates (DATE), calendar
// times (SYSTEMTIME) and FILETIMEs, and the device's local time.
//
// OLE dates count days from 1899-12-30. Below zero the fraction is still the time of
// day: -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00. Calendar fields go through
// whole days and seconds, so a date-time built from fields reads back the same fields
// to the second. Local time is the process's time zone (TZ) at its offset in force
// now, daylight saving included, as the device converts: a January UTC time read in
// July gets July's offset.
#pragma once

#include <cstdint>
#include <optional>

namespace kova::convert {

// A DATE and whether its calendar fields could be set; an invalid one carries NoDate.
struct DateValue {
    double date;
    bool valid;
};

// 4501-01-01 00:00, the store's value for "no date".
constexpr double NoDate = 949998.0;

struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;        // 1-12
    uint16_t day_of_week = 0;  // ignored, written as 0
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// 100-nanosecond intervals since 1601-01-01 00:00.
using FileTime = uint64_t;

// The whole days a DATE can hold: 0100-01-01 and 9999-12-31.
constexpr int64_t kFirstOleDay = -657434;
constexpr int64_t kLastOleDay = 2958465;

// Fields as scanned from text, when each fits its SYSTEMTIME field; whether they name
// a real date and time is for the conversions to tell.
std::optional<SystemTime> make_system_time(int year, int month, int day, int hour, int minute,
                                           int second);

// Calendar fields as a DATE, for the years 100 to 9999; nullopt when the fields do not
// name a real date and time. Milliseconds are dropped.
std::optional<double> system_time_to_date(const SystemTime &time);
// The DATE's calendar fields, rounded to the second.
std::optional<SystemTime> date_to_system_time(double date);

// Days in a month (1-12) of a year, February by the Gregorian leap rule; 0 for a month
// outside 1..12.
unsigned days_in_month(unsigned year, unsigned month);
// The weekday of a whole day (a DATE's integer part: -1.25 lies on day -1), 0 Sunday
// to 6 Saturday.
int day_of_week(int64_t day);

// For the years 1601 to 30827.
std::optional<FileTime> system_time_to_file_time(const SystemTime &time);
std::optional<SystemTime> file_time_to_system_time(FileTime time);

// The time moved by a number of seconds; nullopt when it leaves the FILETIME range.
std::optional<FileTime> add_seconds(FileTime time, int64_t seconds);

// Shift by the local offset in force now; nullopt when the result leaves the range.
std::optional<FileTime> utc_to_local(FileTime utc);
std::optional<FileTime> local_to_utc(FileTime local);

// UTC calendar fields, moved by a number of seconds first, as a local DATE.
std::optional<double> utc_to_local_date(const SystemTime &utc, int64_t seconds = 0);

// The current UTC time; tests fix it with set_fixed_now.
FileTime current_file_time();
void set_fixed_now(std::optional<FileTime> now);

// The current offset of local time from UTC, in seconds east.
int64_t utc_offset_seconds();

}  // namespace kova::convert
