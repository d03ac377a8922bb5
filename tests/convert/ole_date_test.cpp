#include "convert/ole_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"

namespace kova::convert {
namespace {

SystemTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return *make_system_time(year, month, day, hour, minute, second);
}

struct OleCase {
    const char *name;
    double ole;
    const char *fields;
};
const OleCase kOleCases[] = {
    {"epoch", 0.0, "1899-12-30 00:00:00"},
    {"half a day before the epoch keeps its date", -0.5, "1899-12-30 12:00:00"},
    {"negative day, positive time", -1.25, "1899-12-29 06:00:00"},
    {"no 29 February in 1900", 61.0, "1900-03-01 00:00:00"},
    {"leap day", 36585.0, "2000-02-29 00:00:00"},
    {"the store's no-date", 949998.0, "4501-01-01 00:00:00"},
    {"first FILETIME day", -109205.0, "1601-01-01 00:00:00"},
    {"first day", -657434.0, "0100-01-01 00:00:00"},
    {"last second", 2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59"},
    {"half a second rounds up into the next day", 36161.0 - 0.5 / 86400, "1999-01-01 00:00:00"},
};

TEST(OleDate, ConvertsBothWays)
{
    for (const OleCase &c : kOleCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fields_of(c.ole), c.fields);
    }
    EXPECT_EQ(system_time_to_date(at(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(system_time_to_date(at(1899, 12, 30, 12)), 0.5);
    EXPECT_EQ(system_time_to_date(at(2000, 2, 29, 18)), 36585.75);
    EXPECT_EQ(system_time_to_date(at(4501, 1, 1)), NoDate);
}

TEST(OleDate, RefusesFieldsThatNameNoTime)
{
    const SystemTime kBad[] = {at(1900, 2, 29), at(2003, 2, 30), at(2003, 13, 1),
                               at(2003, 0, 1),  at(2003, 4, 31), at(2003, 1, 1, 24),
                               at(2003, 1, 1, 0, 60), at(2003, 1, 1, 0, 0, 60),
                               at(99, 12, 31),  at(10000, 1, 1)};
    for (const SystemTime &t : kBad) {
        SCOPED_TRACE(text_of(t));
        EXPECT_FALSE(system_time_to_date(t));
    }
    EXPECT_FALSE(date_to_system_time(2958466.0));
    EXPECT_FALSE(date_to_system_time(-657435.0));
    EXPECT_FALSE(system_time_to_file_time(at(1600, 12, 31, 23, 59, 59)));
}

// Every field set read back exactly, across the whole range.
TEST(OleDate, FieldsSurviveTheRoundTripToTheSecond)
{
    unsigned seed = 12345;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % range;
    };
    for (int i = 0; i < 200000; ++i) {
        SystemTime t = at(100 + next(9900), 1 + next(12), 1 + next(28), next(24), next(60),
                          next(60));
        std::optional<double> date = system_time_to_date(t);
        ASSERT_TRUE(date);
        ASSERT_EQ(fields_of(*date), text_of(t));
        if (t.year >= 1601) {
            std::optional<FileTime> time = system_time_to_file_time(t);
            ASSERT_TRUE(time);
            ASSERT_EQ(text_of(file_time_to_system_time(*time)), text_of(t));
        }
    }
}

TEST(OleDate, FileTimeCountsFrom1601)
{
    EXPECT_EQ(system_time_to_file_time(at(1601, 1, 1)), FileTime{0});
    EXPECT_EQ(system_time_to_file_time(at(1970, 1, 1)), FileTime{116444736000000000});
    EXPECT_EQ(system_time_to_file_time(at(2020, 7, 1, 12)), kJuly2020);
    EXPECT_FALSE(file_time_to_system_time(FileTime{1} << 63));
}

TEST(OleDate, LocalTimeUsesTheOffsetInForceNow)
{
    struct Case {
        const char *name;
        const char *tz;
        FileTime now;
        int64_t offset;
    };
    const Case kCases[] = {
        {"fixed two hours east", "UTC-2", kJanuary2020, 7200},
        {"fixed five hours west", "EST5", kJuly2020, -5 * 3600},
        {"Berlin in winter", kBerlin, kJanuary2020, 3600},
        {"Berlin in summer", kBerlin, kJuly2020, 7200},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        ZoneAndClock zone(c.tz, c.now);
        EXPECT_EQ(utc_offset_seconds(), c.offset);
        // A January time read in summer still moves by the summer offset.
        FileTime winter_noon = *system_time_to_file_time(at(2020, 1, 15, 12));
        EXPECT_EQ(utc_to_local(winter_noon), winter_noon + c.offset * 10000000);
        EXPECT_EQ(local_to_utc(winter_noon), winter_noon - c.offset * 10000000);
        EXPECT_EQ(current_file_time(), c.now);
    }
    ZoneAndClock east("UTC-2", kJuly2020);
    EXPECT_FALSE(local_to_utc(FileTime{0}));
}

}  // namespace
}  // namespace kova::convert
