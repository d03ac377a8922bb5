// Local time for the date tests: a POSIX TZ rule and a fixed "now", both put back
// afterwards, and calendar fields as text for readable expectations.
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
// Central Europe with its summer time rule, no zone database needed.
constexpr const char *kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

class ZoneAndClock {
public:
    ZoneAndClock(const char *tz, FileTime now)
    {
        if (const char *old = std::getenv("TZ")) previous_ = old;
        setenv("TZ", tz, 1);
        tzset();
        set_fixed_now(now);
    }
    ~ZoneAndClock()
    {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        set_fixed_now(std::nullopt);
    }
    ZoneAndClock(const ZoneAndClock &) = delete;
    ZoneAndClock &operator=(const ZoneAndClock &) = delete;

private:
    std::optional<std::string> previous_;
};

inline std::string text_of(const std::optional<SystemTime> &t)
{
    if (!t) return "none";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return text;
}

// "YYYY-MM-DD hh:mm:ss" of a DATE.
inline std::string fields_of(double date) { return text_of(date_to_system_time(date)); }

}  // namespace kova::convert
