#include "convert/ole_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"

namespace kova::convert {
namespace {

SystemTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return *make_system_time(year, month, day, hour, minute, second);
}

TEST(OleDate, ConvertsBothWays)
{
    const std::tuple<const char *, double, const char *> kCases[] = {
        {"half a day before the epoch keeps its date", -0.5, "1899-12-30 12:00:00"},
        {"negative day, positive time", -1.25, "1899-12-29 06:00:00"},
        {"no 29 February in 1900", 61.0, "1900-03-01 00:00:00"},
        {"the store's no-date", 949998.0, "4501-01-01 00:00:00"},
        {"first day", -657434.0, "0100-01-01 00:00:00"},
        {"last second", 2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59"},
        {"half a second rounds into the next day", 36161.0 - 0.5 / 86400, "1999-01-01 00:00:00"},
    };
    for (const auto &[name, ole, fields] : kCases) EXPECT_EQ(fields_of(ole), fields) << name;
    EXPECT_EQ(system_time_to_date(at(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(system_time_to_date(at(2000, 2, 29, 18)), 36585.75);
    EXPECT_EQ(system_time_to_file_time(at(1970, 1, 1)), FileTime{116444736000000000});
    for (const SystemTime &bad : {at(1900, 2, 29), at(2003, 4, 31), at(2003, 13, 1),
                                  at(2003, 1, 1, 24), at(2003, 1, 1, 0, 0, 60), at(99, 12, 31),
                                  at(10000, 1, 1)})
        EXPECT_FALSE(system_time_to_date(bad)) << text_of(bad);
    EXPECT_FALSE(date_to_system_time(2958466.0));
    EXPECT_FALSE(system_time_to_file_time(at(1600, 12, 31, 23, 59, 59)));
}

// Fields built and read back agree to the second across the whole range.
TEST(OleDate, FieldsSurviveTheRoundTrip)
{
    unsigned seed = 12345;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % range;
    };
    for (int i = 0; i < 200000; ++i) {
        SystemTime t = at(100 + next(9900), 1 + next(12), 1 + next(28), next(24), next(60),
                          next(60));
        ASSERT_EQ(fields_of(*system_time_to_date(t)), text_of(t));
        if (t.year < 1601) continue;
        ASSERT_EQ(text_of(file_time_to_system_time(*system_time_to_file_time(t))), text_of(t));
    }
}

TEST(OleDate, LocalTimeUsesTheOffsetInForceNow)
{
    const std::tuple<const char *, FileTime, int64_t> kCases[] = {
        {"UTC-2", kJanuary2020, 7200}, {"EST5", kJuly2020, -5 * 3600},
        {kBerlin, kJanuary2020, 3600}, {kBerlin, kJuly2020, 7200}};
    const FileTime winter_noon = *system_time_to_file_time(at(2020, 1, 15, 12));
    for (const auto &[tz, now, offset] : kCases) {
        SCOPED_TRACE(std::string(tz) + " " + std::to_string(offset));
        use_zone(tz, now);
        EXPECT_EQ(utc_to_local(winter_noon), winter_noon + offset * 10000000);
        EXPECT_EQ(local_to_utc(winter_noon), winter_noon - offset * 10000000);
        EXPECT_EQ(current_file_time(), now);
    }
    EXPECT_FALSE(local_to_utc(FileTime{0}));  // Berlin: before 1601
}

}  // namespace
}  // namespace kova::convert
