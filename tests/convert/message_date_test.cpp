#include "convert/message_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

constexpr const char *kNoDate = "4501-01-01 00:00:00";

struct DateCase {
    const char *name;
    std::string text;
    const char *local;  // at UTC+2
};

TEST(MessageDate, ReadsRfc822Dates)
{
    const DateCase kCases[] = {
        {"own zone", "Fri, 16 May 2003 21:57:50 +0200", "2003-05-16 21:57:50"},
        {"zone west of UTC", "Fri, 16 May 2003 21:57:50 -0500", "2003-05-17 04:57:50"},
        {"half-hour zone", "Fri, 16 May 2003 21:57:50 +0530", "2003-05-16 18:27:50"},
        {"no zone is local time", "Fri, 16 May 2003 21:57:50", "2003-05-16 21:57:50"},
        {"GMT, two-digit year", "Fri, 16 May 03 21:57:50 GMT", "2003-05-16 23:57:50"},
        {"year 79", "Fri, 16 May 79 21:57:50 UT", "2079-05-16 23:57:50"},
        {"year 80", "Fri, 16 May 80 21:57:50 Z", "1980-05-16 23:57:50"},
        {"EST", "Fri, 16 May 2003 21:57:50 EST", "2003-05-17 04:57:50"},
        {"PDT", "Fri, 16 May 2003 21:57:50 PDT", "2003-05-17 06:57:50"},
        {"military A is -1", "Fri, 16 May 2003 21:57:50 A", "2003-05-17 00:57:50"},
        {"military M is -12", "Fri, 16 May 2003 11:57:50 M", "2003-05-17 01:57:50"},
        {"military N is +1", "Fri, 16 May 2003 21:57:50 N", "2003-05-16 22:57:50"},
        {"military Y is +12", "Fri, 16 May 2003 21:57:50 Y", "2003-05-16 11:57:50"},
        {"any other character is UTC", "Fri, 16 May 2003 21:57:50 ?", "2003-05-16 23:57:50"},
        {"words after the zone", "Fri, 16 May 2003 21:57:50 +0000 (UTC) x", "2003-05-16 23:57:50"},
        {"spaces around", "  Fri,   16 May 2003 21: 57: 50  ", "2003-05-16 21:57:50"},
        {"a day in the day name's place", "7 16 May 2003 21:57:50", "2003-05-16 21:57:50"},
        {"day name of 99 characters", std::string(98, 'F') + ", 1 May 2003 00:00:00",
         "2003-05-01 00:00:00"},
    };
    ZoneAndClock zone("UTC-2", kJanuary2020);
    for (const DateCase &c : kCases) {
        SCOPED_TRACE(c.name);
        DateValue d = ParseMessageDate(c.text.c_str());
        EXPECT_TRUE(d.valid);
        EXPECT_EQ(fields_of(d.date), c.local);
    }
}

// RFC 822 turns these down; the legacy form reads the first and gives up on the rest.
TEST(MessageDate, FallsBackToTheLegacyForm)
{
    TempDevice device;
    LogReceiver log(device);
    ZoneAndClock zone("UTC-2", kJanuary2020);
    const DateCase kCases[] = {
        {"legacy form", "Fri, May 16 21:57:50 2003", "2003-05-16 21:57:50"},
        {"legacy form without day name", "May 16 21:57:50 2003", "2003-05-16 21:57:50"},
        {"no day name", "16 May 2003 21:57:50 GMT", kNoDate},
        {"no seconds", "Fri, 16 May 2003 21:57 GMT", kNoDate},
        {"month in lower case", "Fri, 16 may 2003 21:57:50", kNoDate},
        {"unknown zone", "Fri, 16 May 2003 21:57:50 +02", kNoDate},
        {"day 32", "Fri, 32 May 2003 21:57:50", kNoDate},
        {"hour 24", "Fri, 16 May 2003 24:00:00", kNoDate},
        {"day name of 100 characters", std::string(99, 'F') + ", 1 May 2003 00:00:00", kNoDate},
        {"empty", "", kNoDate},
    };
    for (const DateCase &c : kCases) {
        SCOPED_TRACE(c.name);
        DateValue d = ParseMessageDate(c.text.c_str());
        EXPECT_TRUE(d.valid);
        EXPECT_EQ(fields_of(d.date), c.local);
    }
    EXPECT_TRUE(log.saw("KOVA:  Error in date '16 May 2003 21:57:50 GMT' - cannot convert "
                        "legacy Date"));
    EXPECT_TRUE(log.saw("KOVA:  Error in date '16 May 2003 21:57 GMT' - cannot convert "
                        "legacy Date"));
    EXPECT_EQ(log.texts().size(), std::size(kCases) - 2);
}

TEST(MessageDate, ImpossibleDatesAreInvalid)
{
    TempDevice device;
    LogReceiver log(device);
    EXPECT_FALSE(ParseMessageDate("Fri, 31 Feb 2003 21:57:50 GMT").valid);
    EXPECT_FALSE(ParseMessageDate("Fri, 1 Feb 99999 21:57:50").valid);
    EXPECT_TRUE(log.texts().empty());
    EXPECT_FALSE(ParseMessageDate("Fri, Feb 30 21:57:50 2003").valid);
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Feb 30 21:57:50 2003' - could not set OLE "
                        "date/time"));
    DateValue month = ParseMessageDate("Foo 16 21:57:50 2003");
    EXPECT_TRUE(month.valid);
    EXPECT_EQ(month.date, NoDate);
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Foo 16 21:57:50 2003' - Invalid Month part "
                        "'Foo' in legacy Date"));
}

TEST(MessageDate, FileTimesAreUtcWithNowAsTheFallback)
{
    ZoneAndClock zone("UTC-2", kJanuary2020);
    struct Case {
        const char *name;
        const char *text;
        const char *utc;
    };
    const Case kCases[] = {
        {"zone", "Fri, 16 May 2003 21:57:50 +0200", "2003-05-16 19:57:50"},
        {"local", "Fri, 16 May 2003 21:57:50", "2003-05-16 19:57:50"},
        {"unreadable gives the no-date", "soon", "4500-12-31 22:00:00"},
        {"impossible gives now", "Fri, 31 Feb 2003 21:57:50", "2020-01-15 12:00:00"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text_of(file_time_to_system_time(MessageDateToFileTime(c.text))), c.utc);
    }
}

}  // namespace
}  // namespace kova::convert
