// Occurrences are worked out per day with arithmetic, never by stepping from the start:
// a daily or weekly position is a division, and a monthly or yearly series has exactly
// one candidate day in each of its periods (a month or a year counted from the start's),
// so the n-th period is found directly. A lookup in 9999 costs what one in the start's
// week costs.
#include "pim/occurrences.h"

#include <algorithm>
#include <climits>

#include "convert/ole_date.h"

namespace kova::pim {
namespace {

using convert::kFirstOleDay;
using convert::kLastOleDay;

constexpr int64_t kSecondsPerDay = 86400;
constexpr int32_t kAllWeekdays = 0x7F;

struct DayTime {
    int64_t day;      // whole OLE day
    int32_t seconds;  // time of day
};

std::optional<DayTime> split(double date)
{
    std::optional<convert::SystemTime> t = convert::date_to_system_time(date);
    if (!t) return std::nullopt;
    int32_t seconds = t->hour * 3600 + t->minute * 60 + t->second;
    t->hour = t->minute = t->second = 0;
    std::optional<double> midnight = convert::system_time_to_date(*t);
    if (!midnight) return std::nullopt;
    return DayTime{static_cast<int64_t>(*midnight), seconds};
}

// Only called with days inside the DATE range.
double join(int64_t day, int32_t seconds)
{
    std::optional<convert::SystemTime> t = convert::date_to_system_time(static_cast<double>(day));
    if (!t) return kNoDate;
    t->hour = static_cast<uint16_t>(seconds / 3600);
    t->minute = static_cast<uint16_t>(seconds / 60 % 60);
    t->second = static_cast<uint16_t>(seconds % 60);
    return convert::system_time_to_date(*t).value_or(kNoDate);
}

std::optional<int64_t> day_of(int64_t year, int64_t month, int64_t day)
{
    std::optional<convert::SystemTime> t = convert::make_system_time(
        static_cast<int>(std::min<int64_t>(year, INT_MAX)), static_cast<int>(month),
        static_cast<int>(day), 0, 0, 0);
    std::optional<double> date = t ? convert::system_time_to_date(*t) : std::nullopt;
    if (!date) return std::nullopt;
    return static_cast<int64_t>(*date);
}

convert::SystemTime fields_of(int64_t day)
{
    return convert::date_to_system_time(static_cast<double>(day)).value_or(convert::SystemTime{});
}

bool has_weekday(int32_t mask, int64_t day) { return mask >> convert::day_of_week(day) & 1; }

int weekday_count(int32_t mask)
{
    int n = 0;
    for (int bit = 0; bit < 7; ++bit) n += mask >> bit & 1;
    return n;
}

// A series without its end: which days it holds and how many of them lie in a span.
class Series {
public:
    // nullopt when the rule or the start gives no occurrences at all.
    static std::optional<Series> make(const SeriesRule &rule, double start);

    int32_t seconds() const { return seconds_; }
    int64_t first_day() const { return first_; }

    // Whether day (on or after the first day) holds an occurrence.
    bool holds(int64_t day) const;
    // The first occurrence day on or after day (on or after the first day); nullopt
    // when there is none up to the last day a DATE holds.
    std::optional<int64_t> next(int64_t day) const;
    // The number of occurrences on the days from the first day through day.
    int64_t through(int64_t day) const;

private:
    enum class Form { EveryNthDay, Weekdays, Weekly, Monthly, Yearly };

    Series(const SeriesRule &rule, Form form, DayTime start)
        : rule_(rule), form_(form), interval_(std::max<int64_t>(1, rule.interval)),
          mask_(rule.mask & kAllWeekdays), first_(start.day), seconds_(start.seconds)
    {
        week_ = first_ - convert::day_of_week(first_);
        convert::SystemTime t = fields_of(first_);
        start_year_ = t.year;
        start_month_ = t.year * 12 + t.month - 1;
    }

    int64_t weekly_through_before(int64_t day) const;
    int64_t period_of(int64_t day) const;
    std::optional<int64_t> day_in_period(int64_t period) const;

    SeriesRule rule_;
    Form form_;
    int64_t interval_;
    int32_t mask_;
    int64_t first_;
    int32_t seconds_;
    int64_t week_ = 0;         // the Sunday of the first day's week
    int64_t start_year_ = 0;   // of the first day
    int64_t start_month_ = 0;  // of the first day, as year * 12 + month - 1
};

std::optional<Series> Series::make(const SeriesRule &rule, double start)
{
    if (start == kNoDate) return std::nullopt;
    std::optional<DayTime> at = split(start);
    if (!at) return std::nullopt;
    bool nth_ok = rule.instance >= 1 && rule.instance <= 5 && (rule.mask & kAllWeekdays);
    bool month_ok = rule.month_of_year >= 1 && rule.month_of_year <= 12;
    switch (rule.type) {
    case 0:
        if (!rule.mask) return Series(rule, Form::EveryNthDay, *at);
        if (!(rule.mask & kAllWeekdays)) return std::nullopt;
        return Series(rule, Form::Weekdays, *at);
    case 1:
        if (!(rule.mask & kAllWeekdays)) return std::nullopt;
        return Series(rule, Form::Weekly, *at);
    case 2:
        if (rule.day_of_month == 0) return std::nullopt;
        return Series(rule, Form::Monthly, *at);
    case 3:
        if (!nth_ok) return std::nullopt;
        return Series(rule, Form::Monthly, *at);
    case 5:
        if (!month_ok || rule.day_of_month == 0) return std::nullopt;
        return Series(rule, Form::Yearly, *at);
    case 6:
        if (!month_ok || !nth_ok) return std::nullopt;
        return Series(rule, Form::Yearly, *at);
    }
    return std::nullopt;
}

bool Series::holds(int64_t day) const
{
    switch (form_) {
    case Form::EveryNthDay: return (day - first_) % interval_ == 0;
    case Form::Weekdays: return has_weekday(mask_, day);
    case Form::Weekly: return (day - week_) / 7 % interval_ == 0 && has_weekday(mask_, day);
    case Form::Monthly:
    case Form::Yearly: {
        int64_t period = period_of(day);
        return period % interval_ == 0 && day_in_period(period) == day;
    }
    }
    return false;
}

std::optional<int64_t> Series::next(int64_t day) const
{
    if (day > kLastOleDay) return std::nullopt;
    std::optional<int64_t> found;
    switch (form_) {
    case Form::EveryNthDay:
        found = day + (interval_ - (day - first_) % interval_) % interval_;
        break;
    case Form::Weekdays:
    case Form::Weekly:
        // A week with a weekday of the mask follows within interval weeks, so this ends.
        while (!found && day <= kLastOleDay) {
            int64_t week = (day - week_) / 7;
            if (form_ == Form::Weekly && week % interval_ != 0) {
                day = week_ + 7 * (week + interval_ - week % interval_);
                continue;
            }
            if (has_weekday(mask_, day)) found = day;
            ++day;
        }
        break;
    case Form::Monthly:
    case Form::Yearly: {
        int64_t period = period_of(day);
        period += (interval_ - period % interval_) % interval_;
        found = day_in_period(period);
        if (found && *found < day) found = day_in_period(period + interval_);
        break;
    }
    }
    if (found && *found > kLastOleDay) return std::nullopt;
    return found;
}

// Occurrences of a weekly series on the days from the Sunday of the first week up to,
// not including, day.
int64_t Series::weekly_through_before(int64_t day) const
{
    int64_t week = (day - week_) / 7;
    int64_t count = (week + interval_ - 1) / interval_ * weekday_count(mask_);
    if (week % interval_ == 0)
        for (int64_t d = week_ + 7 * week; d < day; ++d) count += has_weekday(mask_, d);
    return count;
}

int64_t Series::through(int64_t day) const
{
    if (day < first_) return 0;
    switch (form_) {
    case Form::EveryNthDay: return (day - first_) / interval_ + 1;
    case Form::Weekdays: {
        int64_t days = day - first_ + 1;
        int64_t count = days / 7 * weekday_count(mask_);
        for (int64_t d = first_ + days / 7 * 7; d <= day; ++d) count += has_weekday(mask_, d);
        return count;
    }
    case Form::Weekly: return weekly_through_before(day + 1) - weekly_through_before(first_);
    case Form::Monthly:
    case Form::Yearly: {
        int64_t period = period_of(day);
        period -= period % interval_;
        std::optional<int64_t> last = day_in_period(period);
        int64_t count = period / interval_ + (last && *last <= day);
        std::optional<int64_t> first = day_in_period(0);
        return count - (first && *first < first_);  // the start's period began before it
    }
    }
    return 0;
}

// The month or year that holds day, counted from the first day's.
int64_t Series::period_of(int64_t day) const
{
    convert::SystemTime t = fields_of(day);
    return form_ == Form::Yearly ? t.year - start_year_ : t.year * 12 + t.month - 1 - start_month_;
}

// Day of the month as the monthly types read it, or the n-th day of a weekday of the mask.
std::optional<int64_t> Series::day_in_period(int64_t period) const
{
    int64_t year = start_year_ + period;
    int64_t month = rule_.month_of_year;
    if (form_ == Form::Monthly) {
        year = (start_month_ + period) / 12;
        month = (start_month_ + period) % 12 + 1;
    }
    if (year > 9999) return std::nullopt;
    auto length = static_cast<int64_t>(convert::days_in_month(static_cast<unsigned>(year),
                                                              static_cast<unsigned>(month)));
    std::optional<int64_t> first = day_of(year, month, 1);
    if (!first) return std::nullopt;
    bool by_day = rule_.type == 2 || rule_.type == 5;
    if (by_day) {
        int64_t day = rule_.day_of_month;
        day = day > 0 ? std::min(day, length) : std::max<int64_t>(1, length + 1 + day);
        return *first + day - 1;
    }
    if (rule_.instance == 5) {
        for (int64_t d = *first + length - 1; d >= *first; --d)
            if (has_weekday(mask_, d)) return d;
        return std::nullopt;
    }
    int seen = 0;
    for (int64_t d = *first; d < *first + length; ++d)
        if (has_weekday(mask_, d) && ++seen == rule_.instance) return d;
    return std::nullopt;
}

// The series with its end: the last day it may use, and its count.
struct Bounded {
    Series series;
    int64_t last_day;
    std::optional<int64_t> count;
};

std::optional<Bounded> bounded(const SeriesRule &rule, double start)
{
    std::optional<Series> series = Series::make(rule, start);
    if (!series) return std::nullopt;
    Bounded b{*series, kLastOleDay, std::nullopt};
    if (rule.end == SeriesEnd::Count) {
        if (rule.count < 1) return std::nullopt;
        b.count = rule.count;
    } else if (rule.end == SeriesEnd::Date) {
        std::optional<DayTime> end = split(rule.end_date);
        if (end) b.last_day = end->day;
        else if (!(rule.end_date > 0)) return std::nullopt;  // before 100, or not a number
    }
    return b;
}

}  // namespace

std::optional<double> find_occurrence(const SeriesRule &rule, double start, double date)
{
    std::optional<Bounded> b = bounded(rule, start);
    std::optional<DayTime> at = split(date);
    if (!b || !at) return std::nullopt;
    const Series &s = b->series;
    if (at->seconds != 0 && at->seconds != s.seconds()) return std::nullopt;
    if (at->day < s.first_day() || at->day > b->last_day || !s.holds(at->day)) return std::nullopt;
    if (b->count && s.through(at->day) > *b->count) return std::nullopt;
    return join(at->day, s.seconds());
}

int32_t count_through_end(const SeriesRule &rule, double start)
{
    SeriesRule dated = rule;
    dated.end = SeriesEnd::Date;
    std::optional<Bounded> b = bounded(dated, start);
    if (!b) return 0;
    return static_cast<int32_t>(std::min<int64_t>(INT32_MAX, b->series.through(b->last_day)));
}

std::vector<double> list_occurrences(const SeriesRule &rule, double start, double from,
                                     double to, size_t limit)
{
    std::vector<double> out;
    std::optional<Bounded> b = bounded(rule, start);
    if (!b || limit == 0) return out;
    const Series &s = b->series;
    // Outside the DATE range a bound is the range's end on its side.
    std::optional<DayTime> low = split(from), high = split(to);
    if (!low && from > 0) return out;
    if (!high && !(to > 0)) return out;
    DayTime lo = low.value_or(DayTime{kFirstOleDay, 0});
    DayTime hi = high.value_or(DayTime{kLastOleDay, kSecondsPerDay - 1});
    int64_t lo_key = lo.day * kSecondsPerDay + lo.seconds;
    int64_t hi_key = hi.day * kSecondsPerDay + hi.seconds;
    int64_t last = std::min(hi.day, b->last_day);

    std::optional<int64_t> day = s.next(std::max(lo.day, s.first_day()));
    int64_t before = day ? s.through(*day) - 1 : 0;  // occurrences ahead of day
    for (; day && *day <= last && out.size() < limit; day = s.next(*day + 1), ++before) {
        if (b->count && before >= *b->count) break;
        int64_t key = *day * kSecondsPerDay + s.seconds();
        if (key >= lo_key && key <= hi_key) out.push_back(join(*day, s.seconds()));
    }
    return out;
}

}  // namespace kova::pim
