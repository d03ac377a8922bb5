// What appointments and tasks share on their way to and from the device: the CLASS
// mapping, the rule text of a series, and the reading and checking of an alarm's run
// time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kova/kova.h"
#include "pim/recurrence_pattern.h"

namespace kova::store {

// The longest lead a reminder may have before the start.
constexpr int64_t kMaxReminderDays = 45;
constexpr int64_t kSecondsPerDay = 86400;

// The date a date text (see date_text) names; nullopt when the text is unreadable or
// its fields name no real date, so that there is nothing to look up or remind of.
std::optional<double> named_date(const std::string &text);

// later - earlier in whole seconds; dates are kept to the second.
int64_t seconds_between(double earlier, double later);

// The two reasons a reminder is turned down.
void log_reminder_after_due();
void log_reminder_too_early();

// CLASS "PRIVATE" or "CONFIDENTIAL" (exactly) is private (2), any other non-empty text
// normal (0); an empty or absent CLASS leaves the sensitivity alone.
void put_sensitivity(int32_t &sensitivity, const PropertyNode *class_list);
// 0 "PUBLIC", 2 "PRIVATE", no occurrence for any other value.
void add_class(PropertyNode **list, int32_t sensitivity);

// SUMMARY is always there, without a value when the subject is empty.
void add_summary(PropertyNode **list, const std::u16string &subject);

// The series as rule text in a new occurrence, which carries no value when the
// pattern has no rule form.
void add_rule(PropertyNode **list, const pim::RecurrencePattern &pattern);

}  // namespace kova::store
