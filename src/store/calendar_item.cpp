#include "store/calendar_item.h"

#include <cmath>
#include <cstring>

#include "base/log.h"
#include "convert/charset.h"
#include "convert/iso_date.h"
#include "convert/value_text.h"
#include "model/record.h"
#include "recurrence/pattern_mapping.h"
#include "store/record_text.h"

namespace kova::store {

std::optional<double> named_date(const std::string &text)
{
    convert::DateValue value = convert::ParseIsoDate(text.c_str());
    if (!value.valid || value.date == convert::NoDate) return std::nullopt;
    return value.date;
}

int64_t seconds_between(double earlier, double later)
{
    return std::llround((later - earlier) * kSecondsPerDay);
}

void log_reminder_after_due()
{
    KOVA_LOG_ERROR("KOVA:  Reminder date/time is after the DUE date.");
}

void log_reminder_too_early()
{
    KOVA_LOG_ERROR(
        "KOVA:  DALARM 'Reminder date/time' is more than 45 days before the START date.");
}

void put_sensitivity(int32_t &sensitivity, const PropertyNode *class_list)
{
    const char *text = raw_text(class_list);
    if (!*text) return;
    sensitivity =
        std::strcmp(text, "PRIVATE") == 0 || std::strcmp(text, "CONFIDENTIAL") == 0 ? 2 : 0;
}

void add_class(PropertyNode **list, int32_t sensitivity)
{
    if (sensitivity == 0) add_text(list, u"PUBLIC");
    if (sensitivity == 2) add_text(list, u"PRIVATE");
}

void add_summary(PropertyNode **list, const std::u16string &subject)
{
    PropertyNode *node = append_property(list);
    put_value(subject, node, convert::kAllowQuotedPrintable, 0);
}

void add_rule(PropertyNode **list, const pim::RecurrencePattern &pattern)
{
    char rule[512];
    recurrence::RuleFromPattern(pattern, rule, sizeof rule);
    PropertyNode *node = append_property(list);
    put_value(convert::widen_system(rule), node, 0, 0);
}

}  // namespace kova::store
