#include "recurrence/rule.h"

#include <gtest/gtest.h>

#include <cstring>

#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using namespace testing;

struct ReleaseCase {
    const char *name;
    RecurrenceRule (*build)();
};

// Trees as the parser leaves them when it stops half way, and shapes only a hand-built
// tree has (weekdays chained inside a weekly entry). Under LeakSanitizer a block left
// over, or freed twice, fails the test.
const ReleaseCase kReleases[] = {
    {"bare M", [] { return root(kMinutely, rule_node<MinutelyRule>(1, 2)); }},
    {"D with nothing", [] { return root(kDaily, rule_node<DailyRule>(1, 2)); }},
    {"W with nothing", [] { return root(kWeekly, rule_node<WeeklyRule>(1, 2)); }},
    {"MP with nothing", [] { return root(kMonthlyByPos, rule_node<MonthlyByPosRule>(1, 2)); }},
    {"MD with nothing", [] { return root(kMonthlyByDay, rule_node<MonthlyByDayRule>(1, 2)); }},
    {"YM with nothing", [] { return root(kYearlyByMonth, rule_node<YearlyByMonthRule>(1, 2)); }},
    {"YD with nothing", [] { return root(kYearlyByDay, rule_node<YearlyByDayRule>(1, 2)); }},
    {"D with times and M",
     [] {
         auto *d = rule_node<DailyRule>(1, 2);
         d->Times = times({{9, 0}, {17, 30}});
         d->Nested = rule_node<MinutelyRule>(5, 2);
         return root(kDaily, d);
     }},
    {"W entry with chained weekdays",
     [] {
         auto *w = rule_node<WeeklyRule>(1, 2);
         w->Entries = chain({entry(weekdays({{2}, {3}, {4}}), times({{9, 0}})),
                             entry(weekdays({{6}}))});
         w->Nested = rule_node<MinutelyRule>(5, 2);
         return root(kWeekly, w);
     }},
    {"MP groups with chains",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->Groups = chain({group(numbers({{1}, {-2}, {3}}), weekdays({{2}, {3}}),
                                   times({{9, 0}})),
                             group(numbers({{4}}))});
         return root(kMonthlyByPos, mp);
     }},
    {"four levels by NestedKind",
     [] {
         auto *w = rule_node<WeeklyRule>(1, 2);
         w->Entries = entry(weekdays({{3}}));
         w->Nested = rule_node<MinutelyRule>(5, 3);
         auto *mp = rule_node<MonthlyByPosRule>(2, 2);
         mp->Groups = group(numbers({{1}}), weekdays({{2}}));
         mp->NestedKind = kWeekly;
         mp->Nested = w;
         auto *yd = rule_node<YearlyByDayRule>(1, 0);
         yd->Days = numbers({{100}, {200}});
         yd->NestedKind = kMonthlyByPos;
         yd->Nested = mp;
         return root(kYearlyByDay, yd, "20000101T000000Z");
     }},
    {"MD and YM nesting D",
     [] {
         auto *md = rule_node<MonthlyByDayRule>(1, 2);
         md->Days = numbers({{15}});
         md->NestedKind = kDaily;
         md->Nested = rule_node<DailyRule>(1, 2);
         auto *ym = rule_node<YearlyByMonthRule>(1, 2);
         ym->Months = numbers({{6}});
         ym->NestedKind = kMonthlyByDay;
         ym->Nested = md;
         return root(kYearlyByMonth, ym);
     }},
    {"null node", [] { return root(kWeekly, nullptr); }},
};

TEST(Rule, ReleaseFreesWholeAndPartTrees)
{
    for (const ReleaseCase &c : kReleases) {
        SCOPED_TRACE(c.name);
        RecurrenceRule rule = c.build();
        RecurrenceRule before = rule;
        EXPECT_EQ(ERG_Release(rule), base::Status::Ok);
        EXPECT_EQ(rule.Rule, nullptr);  // a second release is harmless
        EXPECT_EQ(ERG_Release(rule), base::Status::Ok);
        EXPECT_EQ(rule.Kind, before.Kind);
        EXPECT_EQ(std::memcmp(rule.EndDate, before.EndDate, sizeof rule.EndDate), 0);
    }
}

// A node of a kind it does not know is not the release's to free: its layout is
// unknown. Here it lives on the stack, so freeing it would be caught at once.
TEST(Rule, ReleaseLeavesUnknownKindsAlone)
{
    MinutelyRule on_stack{1, 2};
    for (uint32_t kind : {0u, 8u, 0xffffffffu}) {
        RecurrenceRule rule = root(kind, &on_stack);
        EXPECT_EQ(ERG_Release(rule), base::Status::Ok);
    }
}

}  // namespace
}  // namespace kova::recurrence
