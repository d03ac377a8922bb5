#include "convert/ole_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"

namespace kova::convert {
namespace {

SystemTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return *make_system_time(year, month, day, hour, minute, second);
}

TEST(OleDate, ConvertsBothWaysWithinTheRange)
{
    const std::tuple<const char *, double, const char *> kCases[] = {
        {"half a day before the epoch keeps its date", -0.5, "1899-12-30 12:00:00"},
        {"negative day, positive time", -1.25, "1899-12-29 06:00:00"},
        {"no 29 February in 1900", 61.0, "1900-03-01 00:00:00"},
        {"last second", 2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59"},
        {"half a second rounds into the next day", 36161.0 - 0.5 / 86400, "1999-01-01 00:00:00"},
    };
    for (const auto &[name, ole, fields] : kCases) EXPECT_EQ(fields_of(ole), fields) << name;
    for (const SystemTime &bad : {at(1900, 2, 29), at(2003, 4, 31), at(2003, 13, 1),
                                  at(2003, 1, 1, 24), at(2003, 1, 1, 0, 0, 60), at(99, 12, 31),
                                  at(10000, 1, 1)})
        EXPECT_FALSE(system_time_to_date(bad)) << text_of(bad);
    EXPECT_FALSE(date_to_system_time(2958466.0));
    for (double date = -657434; date <= 2958465; date += 7.25)  // through every day of the month
        ASSERT_EQ(system_time_to_date(*date_to_system_time(date)), date);
}

TEST(OleDate, TellsWeekdaysAndMonthLengths)
{
    const std::pair<int64_t, int> kWeekdays[] = {
        {-657434, 5},  // 0100-01-01, a Friday
        {-1, 5},       // 1899-12-29, a Friday
        {0, 6},        // 1899-12-30, a Saturday
        {36527, 0},    // 2000-01-02, a Sunday
        {2958465, 5},  // 9999-12-31, a Friday
    };
    for (const auto &[day, weekday] : kWeekdays) EXPECT_EQ(day_of_week(day), weekday) << day;
    EXPECT_EQ(days_in_month(2024, 2), 29u);
    EXPECT_EQ(days_in_month(1900, 2), 28u);
    EXPECT_EQ(days_in_month(2000, 2), 29u);
    EXPECT_EQ(days_in_month(2003, 4), 30u);
    EXPECT_EQ(days_in_month(2003, 12), 31u);
    EXPECT_EQ(days_in_month(2003, 13), 0u);
}

}  // namespace
}  // namespace kova::convert
