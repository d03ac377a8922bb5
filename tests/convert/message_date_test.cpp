#include "convert/message_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

struct DateCase {
    const char *name;
    std::string text;
    const char *local;  // at UTC+2; the no-date when neither form reads it
};

TEST(MessageDate, ReadsRfc822AndLegacyDates)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    use_zone("UTC-2", kJanuary2020);
    const char *no_date = "4501-01-01 00:00:00";
    const DateCase kCases[] = {
        {"own zone", "Fri, 16 May 2003 21:57:50 +0200", "2003-05-16 21:57:50"},
        {"zone west", "Fri, 16 May 2003 21:57:50 -0500", "2003-05-17 04:57:50"},
        {"half-hour zone", "Fri, 16 May 2003 21:57:50 +0530", "2003-05-16 18:27:50"},
        {"no zone is local", "Fri, 16 May 2003 21:57:50", "2003-05-16 21:57:50"},
        {"GMT, year 03", "Fri, 16 May 03 21:57:50 GMT", "2003-05-16 23:57:50"},
        {"year 79", "Fri, 16 May 79 21:57:50 UT", "2079-05-16 23:57:50"},
        {"year 80", "Fri, 16 May 80 21:57:50 Z", "1980-05-16 23:57:50"},
        {"PDT", "Fri, 16 May 2003 21:57:50 PDT", "2003-05-17 06:57:50"},
        {"military M is -12", "Fri, 16 May 2003 11:57:50 M", "2003-05-17 01:57:50"},
        {"military Y is +12", "Fri, 16 May 2003 21:57:50 Y", "2003-05-16 11:57:50"},
        {"other letters are UTC", "Fri, 16 May 2003 21:57:50 ?", "2003-05-16 23:57:50"},
        {"blanks, words after the zone", " Fri,  16 May 2003 21: 57: 50 +0000 (UTC)",
         "2003-05-16 23:57:50"},
        {"a day in the day name's place", "7 16 May 2003 21:57:50", "2003-05-16 21:57:50"},
        {"day name of 99", std::string(98, 'F') + ", 1 May 2003 00:00:00", "2003-05-01 00:00:00"},
        {"legacy form", "Fri, May 16 21:57:50 2003", "2003-05-16 21:57:50"},
        {"day name of 100", std::string(99, 'F') + ", 1 May 2003 00:00:00", no_date},
        {"no day name", "16 May 2003 21:57:50 GMT", no_date},
        {"no seconds", "Fri, 16 May 2003 21:57 GMT", no_date},
        {"month in lower case", "Fri, 16 may 2003 21:57:50", no_date},
        {"zone of three digits", "Fri, 16 May 2003 21:57:50 +02", no_date},
        {"day 32", "Fri, 32 May 2003 21:57:50", no_date},
        {"hour 24", "Fri, 16 May 2003 24:00:00", no_date},
    };
    for (const DateCase &c : kCases) {
        SCOPED_TRACE(c.name);
        DateValue d = ParseMessageDate(c.text.c_str());
        EXPECT_TRUE(d.valid);
        EXPECT_EQ(fields_of(d.date), c.local);
    }
    EXPECT_TRUE(log.saw("KOVA:  Error in date '16 May 2003 21:57:50 GMT' - cannot convert "
                        "legacy Date"));
    EXPECT_EQ(log.texts().size(), 7u);  // one per unread date
}

TEST(MessageDate, ImpossibleDatesAreInvalid)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    EXPECT_FALSE(ParseMessageDate("Fri, 31 Feb 2003 21:57:50 GMT").valid);
    EXPECT_TRUE(log.texts().empty());
    EXPECT_FALSE(ParseMessageDate("Fri, Feb 30 21:57:50 2003").valid);
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Feb 30 21:57:50 2003' - could not set OLE "
                        "date/time"));
    EXPECT_TRUE(ParseMessageDate("Foo 16 21:57:50 2003").valid);
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Foo 16 21:57:50 2003' - Invalid Month part "
                        "'Foo' in legacy Date"));
}

TEST(MessageDate, FileTimesAreUtcWithNowAsTheFallback)
{
    use_zone("UTC-2", kJanuary2020);
    auto utc = [](const char *text) {
        return text_of(file_time_to_system_time(MessageDateToFileTime(text)));
    };
    EXPECT_EQ(utc("Fri, 16 May 2003 21:57:50 +0200"), "2003-05-16 19:57:50");
    EXPECT_EQ(utc("Fri, 16 May 2003 21:57:50"), "2003-05-16 19:57:50");
    EXPECT_EQ(utc("soon"), "4500-12-31 22:00:00");  // the no-date, taken as local
    EXPECT_EQ(utc("Fri, 31 Feb 2003 21:57:50"), "2020-01-15 12:00:00");  // now
}

}  // namespace
}  // namespace kova::convert
