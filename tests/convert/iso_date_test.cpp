#include "convert/iso_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

struct ParseCase {
    const char *text;
    const char *east;  // at UTC+2
    const char *west;  // at UTC-5
};
const ParseCase kAccepted[] = {
    {"19990101", "1999-01-01 00:00:00", "1999-01-01 00:00:00"},
    {"20030516T", "2003-05-16 00:00:00", "2003-05-16 00:00:00"},
    {"20030516T12", "2003-05-16 12:00:00", "2003-05-16 12:00:00"},
    {"20030516T1230", "2003-05-16 12:30:00", "2003-05-16 12:30:00"},
    {"19990101T083000", "1999-01-01 08:30:00", "1999-01-01 08:30:00"},
    {"19990101T083000Z", "1999-01-01 10:30:00", "1999-01-01 03:30:00"},
    {"19991231T230000Z", "2000-01-01 01:00:00", "1999-12-31 18:00:00"},
};

TEST(IsoDate, ReadsEachFormInTwoZones)
{
    for (const ParseCase &c : kAccepted) {
        SCOPED_TRACE(c.text);
        for (bool east : {true, false}) {
            ZoneAndClock zone(east ? "UTC-2" : "EST5", kJanuary2020);
            DateValue d = ParseIsoDate(c.text);
            EXPECT_TRUE(d.valid);
            EXPECT_EQ(fields_of(d.date), east ? c.east : c.west);
        }
    }
}

TEST(IsoDate, UtcTimesTakeTodaysOffset)
{
    ZoneAndClock summer(kBerlin, kJuly2020);
    EXPECT_EQ(fields_of(ParseIsoDate("19990101T083000Z").date), "1999-01-01 10:30:00");
}

TEST(IsoDate, RejectsOtherFormsWithNoDate)
{
    TempDevice device;
    LogReceiver log(device);
    const char *kRejected[] = {"19990101T083000X", "1999", "2003-05-16", "20030516 123045",
                               "20030516T123045+0200", "20030516X"};
    for (const char *text : kRejected) {
        SCOPED_TRACE(text);
        DateValue d = ParseIsoDate(text);
        EXPECT_TRUE(d.valid);
        EXPECT_EQ(d.date, NoDate);
        EXPECT_TRUE(log.saw("KOVA:  Error in date '" + std::string(text) +
                            "' - cannot convert from 8601"));
    }
    DateValue empty = ParseIsoDate("");
    EXPECT_TRUE(empty.valid);
    EXPECT_EQ(empty.date, NoDate);
    EXPECT_EQ(log.texts().size(), std::size(kRejected));
}

TEST(IsoDate, ImpossibleCalendarTimesAreInvalid)
{
    for (const char *text : {"19991301", "20030230", "19000229", "20030516T250000",
                             "20030516T126000", "00990101"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseIsoDate(text).valid);
    }
    EXPECT_TRUE(ParseIsoDate("20000229").valid);
}

TEST(IsoDate, FormatsDatesLocalAndUtc)
{
    ZoneAndClock zone("UTC-2", kJanuary2020);
    double may16 = *system_time_to_date(*make_system_time(2003, 5, 16, 14, 30, 0));
    EXPECT_EQ(FormatIsoDate(may16, false, false), u"20030516");
    EXPECT_EQ(FormatIsoDate(may16, true, true), u"20030516T143000");
    EXPECT_EQ(FormatIsoDate(may16, true, false), u"20030516T123000Z");
    EXPECT_EQ(FormatIsoDate(NoDate, false, true), u"45010101");
    double year999 = *system_time_to_date(*make_system_time(999, 3, 4, 5, 6, 7));
    EXPECT_EQ(FormatIsoDate(year999, true, true), u" 9990304T050607");
}

TEST(IsoDate, FormatFailuresGiveEmptyText)
{
    TempDevice device;
    LogReceiver log(device);
    ZoneAndClock zone("UTC-2", kJanuary2020);
    double year999 = *system_time_to_date(*make_system_time(999, 3, 4, 5, 6, 7));
    EXPECT_EQ(FormatIsoDate(year999, true, false), u"");  // before the first FILETIME
    EXPECT_EQ(FormatIsoDate(1e9, false, false), u"");
    EXPECT_EQ(log.texts(), std::vector<std::string>(2, "KOVA:  Error converting date"));
}

TEST(IsoDate, UtcTextReadsBackToTheSameDate)
{
    for (FileTime now : {kJanuary2020, kJuly2020}) {
        ZoneAndClock zone(kBerlin, now);
        for (double d : {36161.0, 37757.25 + 1.0 / 86400, 43830.999988425923, -1.75}) {
            SCOPED_TRACE(d);
            std::u16string text = FormatIsoDate(d, true, false);
            std::string narrow(text.begin(), text.end());
            EXPECT_EQ(fields_of(ParseIsoDate(narrow.c_str()).date), fields_of(d));
        }
    }
}

}  // namespace
}  // namespace kova::convert
