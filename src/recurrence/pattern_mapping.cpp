// Placeholder until the pattern mapping lands: every rule leaves the pattern as it is.
#include "recurrence/pattern_mapping.h"

namespace kova::recurrence {

int ApplyRuleToPattern(pim::RecurrencePattern &, const char *) { return 1; }

void RuleFromPattern(const pim::RecurrencePattern &, char *buffer, size_t capacity)
{
    if (capacity) buffer[0] = '\0';
}

}  // namespace kova::recurrence
