#include "recurrence/rule.h"

#include <gtest/gtest.h>

#include <cstring>

#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using namespace testing;

// Shapes the parser never leaves behind, beside its partial trees (those are walked by
// RuleParser.AllocationFailuresReleaseEverything). A block left over, or freed twice,
// fails under LeakSanitizer.
TEST(Rule, ReleaseFreesWholeAndPartTrees)
{
    const struct {
        const char *name;
        RecurrenceRule (*build)();
    } cases[] = {
        {"null node", [] { return root(kWeekly, nullptr); }},
        {"W entry with weekdays chained on it",
         [] {
             auto *w = rule_node<WeeklyRule>(1, 2);
             w->Entries = entry(held_day(2, false, day(3, false, day(4))), at(9, 0),
                                entry(held_day(6)));
             w->Nested = rule_node<MinutelyRule>(5, 2);
             return root(kWeekly, w);
         }},
        {"four levels",
         [] {
             auto *w = rule_node<WeeklyRule>(1, 2);
             w->Nested = rule_node<MinutelyRule>(5, 3);
             auto *mp = nest(rule_node<MonthlyByPosRule>(2, 2), kWeekly, w);
             mp->Groups = group(held_num(1, false, num(-2)), held_day(2, false, day(3)), at(9, 0),
                                group(held_num(4), {}));
             auto *yd = nest(rule_node<YearlyByDayRule>(1, 0), kMonthlyByPos, mp);
             yd->Days = num(100, false, num(200));
             return root(kYearlyByDay, yd, "20000101T000000Z");
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecurrenceRule rule = c.build();
        RecurrenceRule before = rule;
        EXPECT_EQ(ERG_Release(rule), base::Status::Ok);
        EXPECT_EQ(rule.Rule, nullptr);  // so a second release is harmless
        EXPECT_EQ(ERG_Release(rule), base::Status::Ok);
        EXPECT_EQ(rule.Kind, before.Kind);
        EXPECT_EQ(std::memcmp(rule.EndDate, before.EndDate, sizeof rule.EndDate), 0);
    }
}

// A node of a kind it does not know has no known layout: release leaves it alone. Here
// it lives on the stack, so freeing it would be caught at once.
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
