#include "convert/iso_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

TEST(IsoDate, ReadsEachFormInTwoZones)
{
    struct Case {
        const char *text;
        const char *east;  // at UTC+2
        const char *west;  // at UTC-5
    };
    const Case kCases[] = {
        {"19990101", "1999-01-01 00:00:00", "1999-01-01 00:00:00"},
        {"20030516T", "2003-05-16 00:00:00", "2003-05-16 00:00:00"},
        {"20030516T1230", "2003-05-16 12:30:00", "2003-05-16 12:30:00"},
        {"19990101T083000", "1999-01-01 08:30:00", "1999-01-01 08:30:00"},
        {"19991231T230000Z", "2000-01-01 01:00:00", "1999-12-31 18:00:00"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.text);
        for (bool east : {true, false}) {
            use_zone(east ? "UTC-2" : "EST5", kJanuary2020);
            DateValue d = ParseIsoDate(c.text);
            EXPECT_TRUE(d.valid);
            EXPECT_EQ(fields_of(d.date), east ? c.east : c.west);
        }
    }
    use_zone(kBerlin, kJuly2020);  // a January time takes July's offset
    EXPECT_EQ(fields_of(ParseIsoDate("19990101T083000Z").date), "1999-01-01 10:30:00");
}

TEST(IsoDate, RejectsOtherFormsAndImpossibleDates)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    const char *kRejected[] = {"19990101T083000X", "1999", "2003-05-16", "20030516 123045",
                               "20030516T123045+0200"};
    for (const char *text : kRejected) {
        DateValue d = ParseIsoDate(text);
        EXPECT_TRUE(d.valid && d.date == NoDate) << text;
        EXPECT_TRUE(log.saw("KOVA:  Error in date '" + std::string(text) +
                            "' - cannot convert from 8601"));
    }
    EXPECT_TRUE(ParseIsoDate("").valid && ParseIsoDate("").date == NoDate);
    EXPECT_EQ(log.texts().size(), std::size(kRejected));  // nothing for the empty text
    for (const char *text : {"19991301", "20030230", "20030516T250000", "00990101"})
        EXPECT_FALSE(ParseIsoDate(text).valid) << text;
}

TEST(IsoDate, FormatsDatesLocalAndUtc)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    use_zone("UTC-2", kJanuary2020);
    double may16 = *system_time_to_date(*make_system_time(2003, 5, 16, 14, 30, 0));
    double year999 = *system_time_to_date(*make_system_time(999, 3, 4, 5, 6, 7));
    EXPECT_EQ(FormatIsoDate(may16, false, false), u"20030516");
    EXPECT_EQ(FormatIsoDate(may16, true, true), u"20030516T143000");
    EXPECT_EQ(FormatIsoDate(may16, true, false), u"20030516T123000Z");
    EXPECT_EQ(FormatIsoDate(NoDate, false, true), u"45010101");
    EXPECT_EQ(FormatIsoDate(year999, true, true), u" 9990304T050607");
    EXPECT_TRUE(log.texts().empty());
    EXPECT_EQ(FormatIsoDate(year999, true, false), u"");  // no FILETIME before 1601
    EXPECT_TRUE(log.saw("KOVA:  Error converting date"));
}

TEST(IsoDate, UtcTextReadsBackToTheSameDate)
{
    use_zone(kBerlin, kJuly2020);
    for (double d : {36161.0, 37757.25 + 1.0 / 86400, 43830.999988425923, -1.75}) {
        std::u16string text = FormatIsoDate(d, true, false);
        std::string narrow(text.begin(), text.end());
        EXPECT_EQ(fields_of(ParseIsoDate(narrow.c_str()).date), fields_of(d)) << narrow;
    }
}

}  // namespace
}  // namespace kova::convert
