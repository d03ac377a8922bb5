#include "pim/recurrence_pattern.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace kova::pim {

RecurrencePattern::RecurrencePattern(std::function<double()> series_start)
    : series_start_(std::move(series_start))
{
}

int32_t RecurrencePattern::Occurrences() const
{
    switch (rule_.end) {
    case SeriesEnd::None: return 0;
    case SeriesEnd::Count: return rule_.count;
    case SeriesEnd::Date: return std::max<int32_t>(1, count_through_end(rule_, SeriesStart()));
    }
    return 0;
}

double RecurrencePattern::PatternEndDate() const
{
    return rule_.end == SeriesEnd::Date ? rule_.end_date : kNoDate;
}

void RecurrencePattern::SetRecurrenceType(int32_t type) { rule_.type = type; changed(); }
void RecurrencePattern::SetInterval(int32_t interval) { rule_.interval = interval; changed(); }
void RecurrencePattern::SetDayOfWeekMask(int32_t mask) { rule_.mask = mask; changed(); }
void RecurrencePattern::SetInstance(int32_t instance) { rule_.instance = instance; changed(); }
void RecurrencePattern::SetDayOfMonth(int32_t day) { rule_.day_of_month = day; changed(); }
void RecurrencePattern::SetMonthOfYear(int32_t month) { rule_.month_of_year = month; changed(); }

void RecurrencePattern::SetNoEndDate(bool no_end)
{
    if (no_end) {
        rule_.end = SeriesEnd::None;
        rule_.count = 0;
        rule_.end_date = kNoDate;
    } else if (rule_.end == SeriesEnd::None) {
        rule_.end = SeriesEnd::Count;
        rule_.count = 1;
    }
    changed();
}

void RecurrencePattern::SetOccurrences(int32_t count)
{
    rule_.end = SeriesEnd::Count;
    rule_.count = count;
    rule_.end_date = kNoDate;
    changed();
}

void RecurrencePattern::SetPatternEndDate(double date)
{
    if (date == kNoDate) {
        SetNoEndDate(true);
        return;
    }
    rule_.end = SeriesEnd::Date;
    rule_.count = 0;
    rule_.end_date = date;
    changed();
}

void RecurrencePattern::SetPatternStartDate(double date)
{
    pattern_start_ = date;
    changed();
}

double RecurrencePattern::SeriesStart() const
{
    if (pattern_start_ != kNoDate) return pattern_start_;
    return series_start_ ? series_start_() : kNoDate;
}

std::optional<double> RecurrencePattern::Find(double date) const
{
    std::optional<double> start = find_occurrence(rule_, SeriesStart(), date);
    if (!start) return std::nullopt;
    for (const Exception &e : exceptions_)
        if (e.Deleted && std::fabs(e.OriginalDate - *start) < 0.5 / 86400) return std::nullopt;
    return start;
}

void RecurrencePattern::DeleteOccurrence(double start) { exceptions_.push_back({start, true}); }

std::vector<double> RecurrencePattern::List(double from, double to, size_t limit) const
{
    // Enough to make up for every deleted one; a limit near SIZE_MAX must not wrap.
    size_t wanted = limit > SIZE_MAX - exceptions_.size() ? SIZE_MAX : limit + exceptions_.size();
    std::vector<double> all = list_occurrences(rule_, SeriesStart(), from, to, wanted);
    std::vector<double> kept;
    for (double start : all) {
        bool deleted = std::any_of(exceptions_.begin(), exceptions_.end(), [&](const Exception &e) {
            return e.Deleted && std::fabs(e.OriginalDate - start) < 0.5 / 86400;
        });
        if (!deleted && kept.size() < limit) kept.push_back(start);
    }
    return kept;
}

void RecurrencePattern::restore(const SeriesRule &rule, double pattern_start,
                                std::vector<Exception> exceptions)
{
    rule_ = rule;
    pattern_start_ = pattern_start;
    exceptions_ = std::move(exceptions);
}

}  // namespace kova::pim
