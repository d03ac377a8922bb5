// The vCalendar 1.0 recurrence rule as a tree: one node per rule kind, lists of
// weekdays, times and numbers, a repeat count per node and one end date for the whole
// tree. "YM1 6 #0 MD1 15 #1 20031231T000000Z" is a YearlyByMonthRule (month 6, count
// 0) whose Nested is a MonthlyByDayRule (day 15, count 1), with the end date kept in
// the root.
//
// Every node and item comes from model::allocate and is zeroed; lists are singly
// linked in text order. The root is a plain value of the caller's and owns the rest,
// which ERG_Release frees, whether the tree is complete or was left half built.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"

namespace kova::recurrence {

// Rule kinds; the numbers are stored in RecurrenceRule::Kind and in NestedKind.
enum RuleKind : uint32_t {
    kNoRule = 0,
    kMinutely = 1,       // "M"
    kDaily = 2,          // "D"
    kWeekly = 3,         // "W"
    kMonthlyByPos = 4,   // "MP"
    kMonthlyByDay = 5,   // "MD"
    kYearlyByMonth = 6,  // "YM"
    kYearlyByDay = 7,    // "YD"
};

// Indexed by kind; the parser looks keywords up in this order, so "M" comes before "MP".
constexpr const char *kRuleKeywords[] = {"?", "M", "D", "W", "MP", "MD", "YM", "YD"};

// WeekdayItem::Day is the position here plus one: 1 = SU ... 7 = SA.
constexpr const char *kWeekdayNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// The count a rule has when its text gives none; the generator leaves it unwritten.
constexpr int32_t kImpliedCount = 2;

// 19 characters of end date and the terminator.
constexpr size_t kEndDateCapacity = 20;

// Longest token the parser looks at; a longer one is read as its first 511 characters.
constexpr size_t kMaxTokenLength = 511;

struct NumberItem {
    int32_t Value;
    uint8_t Marked;  // written with a trailing "$"
    NumberItem *Next;
};

struct WeekdayItem {
    int32_t Day;  // 1..7, 0 in an empty slot
    uint8_t Marked;
    WeekdayItem *Next;
};

struct TimeItem {
    int32_t Hour;
    int32_t Minute;
    uint8_t Marked;
    TimeItem *Next;
};

// One weekday of a weekly rule with the times that follow it.
struct WeekdayEntry {
    WeekdayItem Weekday;  // held in place; the parser leaves its Next null
    TimeItem *Times;
    WeekdayEntry *Next;
};

// "1+ 2- MO TU 0900": occurrences, then weekdays, then times.
struct OccurrenceGroup {
    NumberItem Occurrence;  // the first, in place; further ones hang on its Next
    WeekdayItem Weekdays;   // the first, in place (Day 0 when none); further ones on Next
    TimeItem *Times;
    OccurrenceGroup *Next;
};

struct MinutelyRule {
    int32_t Interval;
    int32_t Duration;
};

struct DailyRule {
    int32_t Interval;
    TimeItem *Times;
    int32_t Duration;
    MinutelyRule *Nested;
};

struct WeeklyRule {
    int32_t Interval;
    WeekdayEntry *Entries;
    int32_t Duration;
    MinutelyRule *Nested;
};

struct MonthlyByPosRule {
    int32_t Interval;
    OccurrenceGroup *Groups;
    int32_t Duration;
    uint32_t NestedKind;  // 0, or kMinutely..kWeekly
    void *Nested;         // node of NestedKind
};

struct MonthlyByDayRule {
    int32_t Interval;
    NumberItem *Days;  // day numbers; "LD" and "1-" are both -1
    int32_t Duration;
    uint32_t NestedKind;  // 0, or kMinutely..kWeekly
    void *Nested;
};

struct YearlyByMonthRule {
    int32_t Interval;
    NumberItem *Months;
    int32_t Duration;
    uint32_t NestedKind;  // 0, or kMinutely..kMonthlyByDay
    void *Nested;
};

struct YearlyByDayRule {
    int32_t Interval;
    NumberItem *Days;  // days of the year
    int32_t Duration;
    uint32_t NestedKind;  // 0, or kMinutely..kMonthlyByDay
    void *Nested;
};

struct RecurrenceRule {
    uint32_t Kind;  // of the outermost rule; kNoRule for an empty text
    void *Rule;     // node of Kind
    char EndDate[kEndDateCapacity];  // as written, e.g. "19991231T235959Z"; shared by nested rules
};

// Frees every node and item under rule and sets rule.Rule to null; Kind and EndDate stay.
// Always Ok.
base::Status ERG_Release(RecurrenceRule &rule);

}  // namespace kova::recurrence
