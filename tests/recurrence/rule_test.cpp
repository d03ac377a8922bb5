#include "recurrence/rule.h"

#include <gtest/gtest.h>

#include "recurrence/rule_parser.h"
#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

// Partial trees are walked by RuleParser.AllocationFailuresReleaseEverything. Release
// empties Rule but keeps Kind and EndDate, so a second release frees nothing twice. A node
// of a kind it does not know has no known layout and is left alone: here it lives on the
// stack, so freeing it would be caught at once.
TEST(Rule, ReleaseFreesKnownNodesOnce)
{
    RecurrenceRule rule{};
    ASSERT_EQ(ERG_Parse("MP1 1+ MO TU 0900 W1 FR M5 20000101T000000Z", rule), base::Status::Ok);
    ERG_Release(rule);
    ERG_Release(rule);
    EXPECT_EQ(testing::dump(rule), "null end=20000101T000000Z");
    MinutelyRule on_stack{1, 2};
    for (uint32_t kind : {0u, 8u, 0xffffffffu}) {
        RecurrenceRule unknown{kind, &on_stack, {}};
        ERG_Release(unknown);
    }
}

}  // namespace
}  // namespace kova::recurrence
