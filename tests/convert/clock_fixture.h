// Local time for the date tests: a POSIX TZ rule and a fixed "now" (every test case
// runs in a process of its own), and calendar fields as text for readable expectations.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "convert/ole_date.h"

namespace kova::convert {

constexpr FileTime kJuly2020 = 132380784000000000;     // 2020-07-01 12:00 UTC
constexpr FileTime kJanuary2020 = 132235632000000000;  // 2020-01-15 12:00 UTC
constexpr const char *kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";  // with summer time

inline void use_zone(const char *tz, FileTime now = kJanuary2020)
{
    setenv("TZ", tz, 1);
    tzset();
    set_fixed_now(now);
}

inline std::string text_of(const std::optional<SystemTime> &t)
{
    if (!t) return "none";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return text;
}

inline std::string fields_of(double date) { return text_of(date_to_system_time(date)); }
inline std::string fields_of(DateValue d) { return d.valid ? fields_of(d.date) : "invalid"; }

// NoDate's fields: what a parser gives for a text it does not read.
constexpr const char *kNoDateFields = "4501-01-01 00:00:00";

}  // namespace kova::convert
