#include "recurrence/pattern_mapping.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "convert/clock_fixture.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::recurrence {
namespace {

using pim::SeriesEnd;
using pim::SeriesRule;

// 2003-01-01 10:00 local; every series here starts then.
constexpr double kStart = 37622 + 10.0 / 24;

std::string describe(const pim::RecurrencePattern &p)
{
    char out[160];
    std::snprintf(out, sizeof out,
                  "type %d, interval %d, mask 0x%x, instance %d, day %d, month %d; ",
                  p.RecurrenceType(), p.Interval(), static_cast<unsigned>(p.DayOfWeekMask()),
                  p.Instance(), p.DayOfMonth(), p.MonthOfYear());
    if (p.NoEndDate()) return out + std::string("no end");
    if (p.PatternEndDate() != pim::kNoDate)
        return out + ("until " + convert::fields_of(p.PatternEndDate()));
    return out + std::to_string(p.Occurrences()) + " times";
}

// Each test gets its own log receiver and Berlin in winter (UTC+1) as local time.
class PatternMapping : public ::testing::Test {
protected:
    PatternMapping() { convert::use_zone(convert::kBerlin); }

    // The log lines that came in since the last call, one a line.
    std::string new_log_lines()
    {
        std::vector<std::string> all = log_.texts();
        std::string out;
        for (size_t i = seen_; i < all.size(); ++i) out += all[i] + "\n";
        seen_ = all.size();
        return out;
    }

    testing::TempDevice device_;
    testing::LogReceiver log_{device_};
    size_t seen_ = 0;
};

constexpr const char *kOneTime =
    "KOVA:  The Extended Rule Grammar could not be translated to an\n"
    "       Outlook Recurrence pattern. Item will be sent as One-time.\n";

// Every rule is applied to a pattern holding these values, so the description shows what
// the rule set and what it left alone.
const SeriesRule kBefore{4, 9, 0x7f, 9, 99, 99, SeriesEnd::Count, 99};
constexpr const char *kUntouched =
    "type 4, interval 9, mask 0x7f, instance 9, day 99, month 99; 99 times";

const struct {
    const char *rule;
    int result;
    const char *pattern;
    const char *log;
} kApplied[] = {
    {"D2", 1, "type 0, interval 2, mask 0x7f, instance 9, day 99, month 99; 2 times", ""},
    {"D2 #0", 1, "type 0, interval 2, mask 0x7f, instance 9, day 99, month 99; no end", ""},
    {"D2 #5 19991231T000000Z", 1,
     "type 0, interval 2, mask 0x7f, instance 9, day 99, month 99; until 1999-12-31 01:00:00", ""},
    {"D1 #2147483647", 1,
     "type 0, interval 1, mask 0x7f, instance 9, day 99, month 99; 2147483647 times", ""},
    {"W1", 0, kUntouched, kOneTime},
    {"W2 MO 0900 WE FR #3", 1,
     "type 1, interval 2, mask 0x2a, instance 9, day 99, month 99; 3 times", ""},
    {"MP1 2- WE", 1, "type 3, interval 1, mask 0x8, instance 4, day 99, month 99; 2 times", ""},
    {"MP1 6+ WE", 1, "type 3, interval 1, mask 0x8, instance 0, day 99, month 99; 2 times", ""},
    {"MP1 1+ 2+ MO 3+ TU", 1,
     "type 3, interval 1, mask 0x2, instance 1, day 99, month 99; 2 times", ""},
    {"MP2 1- FR SA #0", 1,
     "type 3, interval 2, mask 0x60, instance 5, day 99, month 99; no end", ""},
    {"MP1", 0, kUntouched, kOneTime},
    {"MD1 LD 15", 1, "type 2, interval 1, mask 0x7f, instance 9, day -1, month 99; 2 times", ""},
    {"MD1", 0, kUntouched, kOneTime},
    {"YM1 6", 0, kUntouched, kOneTime},
    {"YM1 6 D1", 0, kUntouched, kOneTime},
    {"YM1 6 MP1", 0, kUntouched, kOneTime},
    {"YM1 6 MD1 15", 1, "type 5, interval 9, mask 0x7f, instance 9, day 15, month 6; 2 times", ""},
    {"YM1 6 #0 MD1 15 #1", 1,
     "type 5, interval 9, mask 0x7f, instance 9, day 15, month 6; no end", ""},
    {"YM2 6 MP1 1+ SU", 1,
     "type 6, interval 9, mask 0x1, instance 1, day 99, month 6; 2 times", ""},
    {"YD1 60", 1, "type 5, interval 9, mask 0x7f, instance 9, day 1, month 3; 2 times", ""},
    {"YD1 365", 1, "type 5, interval 9, mask 0x7f, instance 9, day 31, month 12; 2 times", ""},
    {"YD1 366", 1, "type 5, interval 9, mask 0x7f, instance 9, day 32, month 12; 2 times", ""},
    {"YD1", 0, kUntouched, kOneTime},
    {"M15 #4", 0, kUntouched, kOneTime},
    {"", 0, kUntouched, kOneTime},
    {"Q1 MO", 1, kUntouched, "KOVA:  ERG_Parse failed (code=19)\n"},
};

TEST_F(PatternMapping, AppliesRulesToPatterns)
{
    for (const auto &c : kApplied) {
        SCOPED_TRACE(c.rule);
        pim::RecurrencePattern pattern([] { return kStart; });
        pattern.restore(kBefore, pim::kNoDate, {});
        EXPECT_EQ(ApplyRuleToPattern(pattern, c.rule), c.result);
        EXPECT_EQ(describe(pattern), c.pattern);
        EXPECT_EQ(new_log_lines(), c.log);
    }
}

TEST_F(PatternMapping, LeavesThePatternAloneWhenParsingRunsOutOfMemory)
{
    pim::RecurrencePattern pattern([] { return kStart; });
    pattern.restore(kBefore, pim::kNoDate, {});
    model::fail_allocation_after(2);
    EXPECT_EQ(ApplyRuleToPattern(pattern, "W1 MO TU"), 1);
    model::fail_allocation_after(0);
    EXPECT_EQ(describe(pattern), kUntouched);
    EXPECT_EQ(new_log_lines(), "KOVA:  ERG_Parse failed (code=11)\n");
}

SeriesRule with_end(SeriesRule rule, SeriesEnd end, int32_t count, double end_date = pim::kNoDate)
{
    rule.end = end;
    rule.count = count;
    rule.end_date = end_date;
    return rule;
}

constexpr double kTenthOfJanuary = 37631 + 10.0 / 24;  // 2003-01-10 10:00 local, 09:00 UTC

const struct {
    const char *name;
    SeriesRule pattern;
    const char *rule;
} kWritten[] = {
    {"yearly on 15 June for ever", {5, 3, 0, 0, 15, 6}, "YM1 6 #0 MD1 15 #1"},
    {"second Tuesday ten times", with_end({3, 1, 4, 2}, SeriesEnd::Count, 10), "MP1 2+ TU #10"},
    {"last Friday for ever", {3, 1, 32, 5}, "MP1 1- FR #0"},
    {"fourth Thursday of November", {6, 1, 16, 4, 0, 11}, "YM1 11 #0 MP1 4+ TH #1"},
    {"instance past 5 in a year", {6, 1, 0x41, 7, 0, 2}, "YM1 2 #0 MP1 1- SU SA #1"},
    {"every weekday, the interval forced to 1", with_end({0, 3, 62}, SeriesEnd::Count, 10),
     "W1 MO TU WE TH FR #10"},
    {"weekly, two times", with_end({1, 2, 0x12}, SeriesEnd::Count, 2), "W2 MO TH"},
    {"daily to a date: its count and the end in UTC",
     with_end({0, 1}, SeriesEnd::Date, 0, kTenthOfJanuary), "D1 #10 20030110T090000Z"},
    {"a count of 0", with_end({0, 2}, SeriesEnd::Count, 0), "D2 #0"},
    {"the largest count", with_end({2, 1, 0, 0, -1}, SeriesEnd::Count, INT32_MAX),
     "MD1 1- #2147483647"},
};

TEST_F(PatternMapping, WritesPatternsAsRules)
{
    for (const auto &c : kWritten) {
        SCOPED_TRACE(c.name);
        pim::RecurrencePattern pattern([] { return kStart; });
        pattern.restore(c.pattern, pim::kNoDate, {});
        char text[512] = "left over";
        RuleFromPattern(pattern, text, sizeof text);
        EXPECT_STREQ(text, c.rule);
    }
    EXPECT_EQ(new_log_lines(), "");
}

TEST_F(PatternMapping, LogsWhatItReadWhenNoRuleCanBeBuilt)
{
    pim::RecurrencePattern pattern([] { return kStart; });
    pattern.restore(with_end({4, 1, 2, 2, 15, 6}, SeriesEnd::Date, 0, kTenthOfJanuary),
                    pim::kNoDate, {});
    char text[512] = "left over";
    RuleFromPattern(pattern, text, sizeof text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(new_log_lines(),
              "KOVA:  Error creating Extended Recurrence Grammar from pattern (code=16)\n"
              "       RecurrenceType='4'\n"
              "       DayOfWeekMask='0x2'\n"
              "       Occurrences='1'\n"  // type 4 has no occurrences; an ended series counts 1
              "       Enddate='20030110T090000Z'\n"
              "       Interval='1'\n"
              "       MonthOfYear='0'\n"
              "       DayOfMonth='0'\n"
              "       Instance='0'\n");

    pattern.restore({3, 1, 32, 5}, pim::kNoDate, {});
    RuleFromPattern(pattern, text, 8);  // "MP1 1- FR #0" needs 13
    EXPECT_STREQ(text, "");
    EXPECT_EQ(new_log_lines(), "KOVA:  ERG_Generate failed (code=1)\n");
}

}  // namespace
}  // namespace kova::recurrence
