// Where a recurring series really has its occurrences. Dates are local OLE dates.
//
// A series starts at S (a date and a time of day). Its occurrences fall on calendar
// days D on or after S's day, each at S's time of day, chosen by the type:
//   0 daily      mask 0: every interval-th day from S's day; a mask (the "every
//                weekday" form): every day whose weekday is in the mask
//   1 weekly     the weekdays of the mask, in every interval-th week counted from the
//                week (Sunday to Saturday) that holds S; mask 0 has none
//   2 monthly    day DayOfMonth of every interval-th month from S's month; a day past
//                the month's end is its last day (31 gives 30 April, 29 February or
//                28 February), -1 is the last day, -2 the one before, 0 has none
//   3 month-nth  the Instance-th day of the month whose weekday is in the mask (1..4),
//                or the last such day (5: "the fifth Monday" is the last Monday), in
//                every interval-th month; other instances, or mask 0, have none
//   5 yearly     month MonthOfYear, day DayOfMonth as for monthly, every interval-th year
//   6 year-nth   month MonthOfYear, Instance and mask as for month-nth, every
//                interval-th year
// Any other type, a month outside 1..12 or a start of kNoDate has no occurrences. An
// interval below 1 counts as 1. A series with a count has its first count occurrences
// (none for a count below 1); one with an end date those on or before that day.
//
// Every walk stops at the date it is asked about and at the last day an OLE date can
// hold, so an endless series never makes a computation run away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kova::pim {

// 4501-01-01 00:00, the store's value for "no date".
constexpr double kNoDate = 949998.0;

// Weekday bits of DayOfWeekMask.
constexpr int32_t kSunday = 1, kMonday = 2, kTuesday = 4, kWednesday = 8, kThursday = 16,
                  kFriday = 32, kSaturday = 64;

enum class SeriesEnd { None, Count, Date };

struct SeriesRule {
    int32_t type = 0;
    int32_t interval = 1;
    int32_t mask = 0;
    int32_t instance = 0;
    int32_t day_of_month = 0;
    int32_t month_of_year = 0;
    SeriesEnd end = SeriesEnd::None;
    int32_t count = 0;         // with SeriesEnd::Count
    double end_date = kNoDate;  // with SeriesEnd::Date
};

// The start of the occurrence that begins at date exactly (to the second), or, when
// date is a midnight, of the occurrence on that day; nullopt when there is none.
std::optional<double> find_occurrence(const SeriesRule &rule, double start, double date);

// The number of occurrences from the start through the rule's end date.
int32_t count_through_end(const SeriesRule &rule, double start);

// Occurrence starts from..to inclusive, in order, at most limit of them.
std::vector<double> list_occurrences(const SeriesRule &rule, double start, double from,
                                     double to, size_t limit);

}  // namespace kova::pim
