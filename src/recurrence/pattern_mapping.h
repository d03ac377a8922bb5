// vCalendar 1.0 recurrence rules against the PIM's recurrence patterns, both ways,
// through the rule tree:
//   "MP1 2+ TU #10"       type 3, interval 1, instance 2, mask TU, 10 occurrences
//   "YM1 6 #0 MD1 15 #1"  type 5, month 6, day 15, no end
#pragma once

#include <cstddef>

#include "pim/recurrence_pattern.h"

namespace kova::recurrence {

// 1: the pattern is set from the rule, or the rule did not parse and the pattern is
// untouched (logged). 0: the rule parsed but no pattern expresses it (logged); the
// caller makes the item a one-time item.
int ApplyRuleToPattern(pim::RecurrencePattern &pattern, const char *rule_text);

// The rule text of the pattern in buffer (capacity bytes with the terminator); empty
// when the pattern cannot be written as a rule (logged).
void RuleFromPattern(const pim::RecurrencePattern &pattern, char *buffer, size_t capacity);

}  // namespace kova::recurrence
