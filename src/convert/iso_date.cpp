#include "convert/iso_date.h"

#include <cstdio>
#include <optional>

#include "base/log.h"
#include "base/utf16.h"

namespace kova::convert {

DateValue ParseIsoDate(const char *text)
{
    DateValue result{NoDate, true};
    if (!text || !*text) return result;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = '\0', zone = '\0';
    // The scan's own rules apply: each number may be shorter than its width.
    int n = std::sscanf(text, "%4d%2d%2d%c%2d%2d%2d%c", &year, &month, &day, &separator, &hour,
                        &minute, &second, &zone);
    if (n < 3 || (n > 3 && separator != 'T') || (n == 8 && zone != 'Z')) {
        KOVA_LOG_ERROR("KOVA:  Error in date '%s' - cannot convert from 8601", text);
        return result;
    }
    std::optional<SystemTime> fields = make_system_time(year, month, day, hour, minute, second);
    std::optional<double> date;
    if (fields) date = n == 8 ? utc_to_local_date(*fields) : system_time_to_date(*fields);
    if (!date) return {NoDate, false};
    result.date = *date;
    return result;
}

std::u16string FormatIsoDate(double date, bool with_time, bool local)
{
    std::optional<SystemTime> t = date_to_system_time(date);
    if (t && with_time && !local) {
        std::optional<FileTime> time = system_time_to_file_time(*t);
        if (time) time = local_to_utc(*time);
        t = time ? file_time_to_system_time(*time) : std::nullopt;
    }
    if (!t) {
        KOVA_LOG_ERROR("KOVA:  Error converting date");
        return {};
    }
    char text[48];
    if (!with_time)
        std::snprintf(text, sizeof text, "%4d%02d%02d", t->year, t->month, t->day);
    else
        std::snprintf(text, sizeof text,
                      local ? "%4d%02d%02dT%02d%02d%02d" : "%4d%02d%02dT%02d%02d%02dZ", t->year,
                      t->month, t->day, t->hour, t->minute, t->second);
    return base::utf8_to_utf16(text);  // digits, blanks, T and Z
}

}  // namespace kova::convert
