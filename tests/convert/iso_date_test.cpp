#include "convert/iso_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

std::string read(const std::string &text) { return fields_of(ParseIsoDate(text.c_str())); }

TEST(IsoDate, ReadsAndWritesTheBasicFormsOnly)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    use_zone("UTC-2");
    const std::pair<const char *, const char *> kRead[] = {  // text, local at UTC+2
        {"20030516T", "2003-05-16 00:00:00"},
        {"19990101T083000", "1999-01-01 08:30:00"},
        {"19991231T230000Z", "2000-01-01 01:00:00"},
        {"20000229", "2000-02-29 00:00:00"},
        {"", kNoDateFields},  // quietly
    };
    for (const auto &[text, local] : kRead) EXPECT_EQ(read(text), local) << text;
    for (const char *text : {"20030230", "19991301", "20030516T250000"})
        EXPECT_EQ(read(text), "invalid") << text;  // quietly too
    for (const char *text : {"19990101T083000X", "1999", "2003-05-16", "20030516 123045",
                             "20030516T123045+0200"})
        EXPECT_EQ(read(text), kNoDateFields) << text;
    EXPECT_EQ(log.texts().size(), 5u);
    EXPECT_TRUE(log.saw("KOVA:  Error in date '20030516T123045+0200' - cannot convert from 8601"));

    const double may16 = 37757 + 14.5 / 24, year999 = -329019 - 18367.0 / 86400;
    const std::tuple<double, bool, bool, std::u16string> kWritten[] = {
        {may16, true, true, u"20030516T143000"},
        {may16, true, false, u"20030516T123000Z"},
        {NoDate, false, true, u"45010101"},
        {-1.75, true, false, u"18991229T160000Z"},
        {year999, false, true, u" 9990304"},  // blanks, not zeros
        {year999, true, true, u" 9990304T050607"},
    };
    for (const auto &[date, with_time, local, text] : kWritten) {
        std::string narrow(text.begin(), text.end());
        EXPECT_EQ(FormatIsoDate(date, with_time, local), text);
        if (!with_time || narrow[0] == ' ') continue;
        EXPECT_EQ(read(narrow), fields_of(date)) << narrow;  // and back, to the second
    }
    EXPECT_EQ(FormatIsoDate(year999, true, false), u"");  // no FILETIME before 1601
    EXPECT_EQ(log.texts().size(), 6u);
    EXPECT_TRUE(log.saw("KOVA:  Error converting date"));
    use_zone("EST5", kJuly2020);
    EXPECT_EQ(read("19990101T030000Z"), "1998-12-31 22:00:00");
    use_zone(kBerlin, kJuly2020);  // a January time takes July's offset
    EXPECT_EQ(read("19990101T030000Z"), "1999-01-01 05:00:00");
}

}  // namespace
}  // namespace kova::convert
