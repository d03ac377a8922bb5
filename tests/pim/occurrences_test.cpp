#include "pim/occurrences.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "convert/ole_date.h"
#include "pim/recurrence_pattern.h"

namespace kova::pim {
namespace {

// "2003-01-31" or "2003-01-31 10:00" as a local DATE.
double at(const char *text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::sscanf(text, "%d-%d-%d %d:%d", &y, &mo, &d, &h, &mi);
    return *convert::system_time_to_date(*convert::make_system_time(y, mo, d, h, mi, 0));
}

std::string text(double date)
{
    auto t = convert::date_to_system_time(date);
    if (!t) return "bad";
    char out[32];
    if (t->hour || t->minute)
        std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d", t->year, t->month, t->day,
                      t->hour, t->minute);
    else
        std::snprintf(out, sizeof out, "%04d-%02d-%02d", t->year, t->month, t->day);
    return out;
}

std::string text(const std::optional<double> &date) { return date ? text(*date) : "none"; }

// Pattern builders in the object model's field order: type, interval, mask, instance,
// day of month, month of year.
SeriesRule daily(int32_t interval) { return {0, interval}; }
SeriesRule weekdays(int32_t mask) { return {0, 1, mask}; }
SeriesRule weekly(int32_t interval, int32_t mask) { return {1, interval, mask}; }
SeriesRule monthly(int32_t interval, int32_t day) { return {2, interval, 0, 0, day}; }
SeriesRule month_nth(int32_t interval, int32_t n, int32_t mask) { return {3, interval, mask, n}; }
SeriesRule yearly(int32_t month, int32_t day) { return {5, 1, 0, 0, day, month}; }
SeriesRule year_nth(int32_t month, int32_t n, int32_t mask) { return {6, 1, mask, n, 0, month}; }
SeriesRule counted(SeriesRule rule, int32_t count)
{
    rule.end = SeriesEnd::Count;
    rule.count = count;
    return rule;
}
SeriesRule until(SeriesRule rule, const char *date)
{
    rule.end = SeriesEnd::Date;
    rule.end_date = at(date);
    return rule;
}

constexpr int32_t kWorkdays = kMonday | kTuesday | kWednesday | kThursday | kFriday;
constexpr int32_t kMoWeFr = kMonday | kWednesday | kFriday;

// The first occurrences from `from` on (at most six), expected dates taken from a calendar.
const struct {
    const char *name;
    SeriesRule rule;
    const char *start;
    const char *from;
    const char *expected;
} kListings[] = {
    {"day 31 in short months is their last day", monthly(1, 31), "2003-01-31 10:00", "2003-01-01",
     "2003-01-31 10:00|2003-02-28 10:00|2003-03-31 10:00|2003-04-30 10:00|2003-05-31 10:00|"
     "2003-06-30 10:00"},
    {"day -1 is the last day; the start's month counts", monthly(1, -1), "2023-12-15", "2023-12-01",
     "2023-12-31|2024-01-31|2024-02-29|2024-03-31|2024-04-30|2024-05-31"},
    {"day before the start's day waits a period", monthly(2, 5), "2003-01-10", "2003-01-01",
     "2003-03-05|2003-05-05|2003-07-05|2003-09-05|2003-11-05|2004-01-05"},
    {"yearly 29 February in common years", yearly(2, 29), "2023-03-01", "2023-01-01",
     "2024-02-29|2025-02-28|2026-02-28|2027-02-28|2028-02-29|2029-02-28"},
    {"last Friday", month_nth(1, 5, kFriday), "2003-01-01", "2003-01-01",
     "2003-01-31|2003-02-28|2003-03-28|2003-04-25|2003-05-30|2003-06-27"},
    {"first workday of the month", month_nth(1, 1, kWorkdays), "2003-01-01", "2003-01-01",
     "2003-01-01|2003-02-03|2003-03-03|2003-04-01|2003-05-01|2003-06-02"},
    {"fourth Thursday of November", year_nth(11, 4, kThursday), "2003-01-01", "2003-01-01",
     "2003-11-27|2004-11-25|2005-11-24|2006-11-23|2007-11-22|2008-11-27"},
    {"every other week on MO WE FR from a Wednesday", weekly(2, kMoWeFr), "2003-01-01",
     "2003-01-01", "2003-01-01|2003-01-03|2003-01-13|2003-01-15|2003-01-17|2003-01-27"},
    {"interval 0 counts as 1", daily(0), "2003-12-30", "2003-01-01",
     "2003-12-30|2003-12-31|2004-01-01|2004-01-02|2004-01-03|2004-01-04"},
    {"a count ending on a Wednesday", counted(weekly(1, kMoWeFr), 5), "2003-01-06", "2003-01-01",
     "2003-01-06|2003-01-08|2003-01-10|2003-01-13|2003-01-15"},
    {"across the epoch, where dates turn negative", counted(daily(1), 3), "1899-12-29 10:00",
     "1899-12-01", "1899-12-29 10:00|1899-12-30 10:00|1899-12-31 10:00"},
    {"occurrences before `from` still use up the count", counted(daily(1), 5), "2003-01-01",
     "2003-01-03", "2003-01-03|2003-01-04|2003-01-05"},
    {"`from` after the time of day skips that day", daily(1), "2003-01-01 10:00",
     "2003-01-02 12:00", "2003-01-03 10:00|2003-01-04 10:00|2003-01-05 10:00|2003-01-06 10:00|"
     "2003-01-07 10:00|2003-01-08 10:00"},
    {"the end day counts whatever its time", until(daily(1), "2003-01-04"), "2003-01-01 10:00",
     "2003-01-01", "2003-01-01 10:00|2003-01-02 10:00|2003-01-03 10:00|2003-01-04 10:00"},
    {"count 0", counted(daily(1), 0), "2003-01-01", "2003-01-01", ""},
    {"month 13", yearly(13, 1), "2003-01-01", "2003-01-01", ""},
    {"instance 0", month_nth(1, 0, kMonday), "2003-01-01", "2003-01-01", ""},
    {"weekly without weekdays", weekly(1, 0), "2003-01-01", "2003-01-01", ""},
    {"type 4", {4, 1, kMonday, 1, 1, 1}, "2003-01-01", "2003-01-01", ""},
    {"no start", daily(1), "4501-01-01", "2003-01-01", ""},
};

TEST(Occurrences, ListsTheDaysOfEachPatternType)
{
    for (const auto &c : kListings) {
        SCOPED_TRACE(c.name);
        std::string got;
        for (double d : list_occurrences(c.rule, at(c.start), at(c.from), at("9999-12-31"), 6))
            got += (got.empty() ? "" : "|") + text(d);
        EXPECT_EQ(got, c.expected);
    }
}

const struct {
    const char *name;
    SeriesRule rule;
    const char *start;
    const char *date;
    const char *expected;  // "none" when the lookup must fail
} kLookups[] = {
    {"exact start", daily(1), "2003-01-01 10:00", "2003-01-05 10:00", "2003-01-05 10:00"},
    {"midnight finds the timed one", daily(1), "2003-01-01 10:00", "2003-01-05",
     "2003-01-05 10:00"},
    {"midnight of the start's day", daily(1), "2003-01-01 10:00", "2003-01-01", "2003-01-01 10:00"},
    {"another time of day", daily(1), "2003-01-01 10:00", "2003-01-05 11:00", "none"},
    {"a weekday outside the mask", weekdays(kWorkdays), "2003-01-01", "2003-01-04", "none"},
    {"before the start", daily(1), "2003-01-01", "2002-12-31", "none"},
    {"after the count", counted(daily(1), 3), "2003-01-01", "2003-01-04", "none"},
    {"after the end day", until(daily(1), "2003-01-04 23:00"), "2003-01-01", "2003-01-05", "none"},
    {"monthly, not the clamped day", monthly(1, 31), "2003-01-31", "2003-04-29", "none"},
    {"endless daily on the last day", daily(1), "1900-01-01 10:00", "9999-12-31 10:00",
     "9999-12-31 10:00"},
    {"daily count reaching the last day exactly", counted(daily(1), 2921940), "2000-01-01",
     "9999-12-31", "9999-12-31"},
    {"daily count one short of it", counted(daily(1), 2921939), "2000-01-01", "9999-12-31", "none"},
    {"last Friday in 9999", month_nth(1, 5, kFriday), "2003-01-01", "9999-12-31", "9999-12-31"},
    {"29 February in 9999", yearly(2, 29), "2003-01-01", "9999-02-28", "9999-02-28"},
    {"a count of months ends in 9999", counted(month_nth(1, 5, kFriday), 95964), "2003-01-01",
     "9999-12-31", "9999-12-31"},
    {"and one short of it", counted(month_nth(1, 5, kFriday), 95963), "2003-01-01", "9999-12-31",
     "none"},
};

TEST(Occurrences, FindsTheOccurrenceAtADate)
{
    for (const auto &c : kLookups) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text(find_occurrence(c.rule, at(c.start), at(c.date))), c.expected);
    }
}

TEST(Occurrences, CountsThroughTheEndDate)
{
    const struct {
        const char *name;
        SeriesRule rule;
        const char *start, *end;
        int32_t count;
    } kCounts[] = {
            {"MO WE FR in January 2003", weekly(1, kMoWeFr), "2003-01-01", "2003-01-31", 14},
            {"last Fridays to the end of time", month_nth(1, 5, kFriday), "2003-01-01", "9999-12-31",
         95964},
        {"every day from 1900 on", daily(1), "1900-01-01", "9999-12-31", 2958464},
        {"an end before the start", daily(1), "2003-01-01", "2002-12-31", 0},
    };
    for (const auto &c : kCounts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(count_through_end(until(c.rule, c.end), at(c.start)), c.count);
    }
}

TEST(RecurrencePattern, LeavesDeletedOccurrencesOutUntilTheNextChange)
{
    RecurrencePattern pattern([] { return at("2003-01-01 10:00"); });  // daily, no end
    pattern.DeleteOccurrence(at("2003-01-02 10:00"));
    EXPECT_EQ(text(pattern.Find(at("2003-01-02"))), "none");
    EXPECT_EQ(text(pattern.Find(at("2003-01-03"))), "2003-01-03 10:00");
    std::vector<double> listed = pattern.List(at("2003-01-01"), at("2003-01-03 23:00"), SIZE_MAX);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(text(listed[1]), "2003-01-03 10:00");

    pattern.SetInterval(1);  // any change, even to the same value
    EXPECT_TRUE(pattern.Exceptions().empty());
    EXPECT_EQ(text(pattern.Find(at("2003-01-02"))), "2003-01-02 10:00");
}

}  // namespace
}  // namespace kova::pim
