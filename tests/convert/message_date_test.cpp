#include "convert/message_date.h"

#include <gtest/gtest.h>

#include "clock_fixture.h"
#include "support/test_support.h"

namespace kova::convert {
namespace {

TEST(MessageDate, ReadsRfc822AndLegacyDatesAsLocalOrUtc)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    use_zone("UTC-2");
    const std::tuple<const char *, std::string, const char *> kCases[] = {  // local at UTC+2
        {"zone west, half hours", "Fri, 16 May 2003 21:57:50 -0530", "2003-05-17 05:27:50"},
        {"year 79", "Fri, 16 May 79 21:57:50 UT", "2079-05-16 23:57:50"},
        {"year 80", "Fri, 16 May 80 21:57:50 Z", "1980-05-16 23:57:50"},
        {"military Y is +12", "Fri, 16 May 2003 21:57:50 Y", "2003-05-16 11:57:50"},
        {"blanks, words after", " Fri,  16 May 2003 21: 57: 50 +0000 (UTC)", "2003-05-16 23:57:50"},
        {"legacy form", "Fri, May 16 21:57:50 2003", "2003-05-16 21:57:50"},
        {"impossible date", "Fri, 31 Feb 2003 21:57:50 GMT", "invalid"},
        {"year of seven digits", "Fri, 16 May 2000000 21:57:50", "invalid"},
        {"lowest seven-digit year", "Fri, 16 May 1000001 21:57:50 GMT", "invalid"},
        {"highest seven-digit year", "Fri, 16 May 9999999 21:57:50", "invalid"},
        {"year of twelve digits", "Fri, 16 May 200000000000 21:57:50", "invalid"},
        {"day name of 100", std::string(99, 'F') + ", 1 May 2003 00:00:00", kNoDateFields},
        {"no day name", "16 May 2003 21:57:50 GMT", kNoDateFields},
        {"day name without a comma", "Fri 16 May 2003 21:57:50", kNoDateFields},
        {"no seconds", "Fri, 16 May 2003 21:57", kNoDateFields},
        {"month in lower case", "Fri, 16 may 2003 21:57:50", kNoDateFields},
        {"zone of three digits", "Fri, 16 May 2003 21:57:50 +02", kNoDateFields},
        {"hour 24", "Fri, 16 May 2003 24:00:00", kNoDateFields},
        {"legacy month", "Foo 16 21:57:50 2003", kNoDateFields},
        {"legacy impossible date", "Fri, Feb 30 21:57:50 2003", "invalid"},
    };
    for (const auto &[name, text, local] : kCases)
        EXPECT_EQ(fields_of(ParseMessageDate(text.c_str())), local) << name;
    EXPECT_EQ(log.texts().size(), 9u);  // one for each date the legacy form could not use
    EXPECT_TRUE(log.saw("KOVA:  Error in date '16 May 2003 21:57:50 GMT' - cannot convert "
                        "legacy Date"));
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Foo 16 21:57:50 2003' - Invalid Month part "
                        "'Foo' in legacy Date"));
    EXPECT_TRUE(log.saw("KOVA:  Error in date 'Feb 30 21:57:50 2003' - could not set OLE "
                        "date/time"));
    auto utc = [](const char *text) {
        return text_of(file_time_to_system_time(MessageDateToFileTime(text)));
    };
    EXPECT_EQ(utc("Fri, 16 May 2003 21:57:50"), "2003-05-16 19:57:50");
    EXPECT_EQ(utc("soon"), "4500-12-31 22:00:00");  // the no-date, taken as local
    EXPECT_EQ(utc("Fri, 31 Feb 2003 21:57:50"), "2020-01-15 12:00:00");  // now
    EXPECT_EQ(utc("Fri, 16 May 2000000 21:57:50"), "2020-01-15 12:00:00");
}

}  // namespace
}  // namespace kova::convert
