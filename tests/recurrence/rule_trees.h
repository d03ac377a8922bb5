// Test helpers for rule trees: a plain dump that shows every field a test cares about,
// and builders that allocate like the parser does, so ERG_Release frees what they made.
//
// Dump shapes, one per kind (lists and a null nested rule are left out when empty):
//   M{i=15 n=4}
//   D{i=1 n=5 times=[09:00 17:30$] nested=M{i=1 n=2}}
//   W{i=1 n=2 entries=[MO(09:00 10:00) TU$]}
//   MP{i=1 n=2 groups=[(1 -2/MO TU/09:00) (3/FR/)]}
//   MD{i=1 n=2 days=[1 -1$]}   YM{... months=[6]}   YD{... days=[100]}
// and a root adds " end=<date>" when it has one; an empty root dumps as "none".
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>

#include "model/alloc.h"
#include "recurrence/rule.h"

namespace kova::recurrence::testing {

inline std::string day_name(int32_t day)
{
    static const char *const names[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    if (day >= 1 && day <= 7) return names[day - 1];
    return "day" + std::to_string(day);
}

inline std::string marked(std::string text, uint8_t mark) { return mark ? text + "$" : text; }

inline std::string dump_times(const TimeItem *item)
{
    std::string out;
    char hhmm[32];
    for (; item; item = item->Next) {
        std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", item->Hour, item->Minute);
        out += (out.empty() ? "" : " ") + marked(hhmm, item->Marked);
    }
    return out;
}

inline std::string dump_weekdays(const WeekdayItem *item, const char *separator)
{
    std::string out;
    for (; item; item = item->Next)
        out += (out.empty() ? "" : separator) + marked(day_name(item->Day), item->Marked);
    return out;
}

inline std::string dump_numbers(const NumberItem *item)
{
    std::string out;
    for (; item; item = item->Next)
        out += (out.empty() ? "" : " ") + marked(std::to_string(item->Value), item->Marked);
    return out;
}

inline std::string list(const char *name, const std::string &items)
{
    return items.empty() ? "" : std::string(" ") + name + "=[" + items + "]";
}

inline std::string dump_node(uint32_t kind, const void *node);

inline std::string nested(uint32_t kind, const void *node)
{
    if (node) return " nested=" + dump_node(kind, node);
    return kind ? " nestedkind=" + std::to_string(kind) : "";
}

template <class Node> std::string head(const char *name, const Node &node)
{
    return std::string(name) + "{i=" + std::to_string(node.Interval) +
           " n=" + std::to_string(node.Duration);
}

inline std::string dump_node(uint32_t kind, const void *node)
{
    if (!node) return "null";
    switch (kind) {
    case kMinutely: return head("M", *static_cast<const MinutelyRule *>(node)) + "}";
    case kDaily: {
        auto &rule = *static_cast<const DailyRule *>(node);
        return head("D", rule) + list("times", dump_times(rule.Times)) +
               nested(rule.Nested ? kMinutely : kNoRule, rule.Nested) + "}";
    }
    case kWeekly: {
        auto &rule = *static_cast<const WeeklyRule *>(node);
        std::string entries;
        for (const WeekdayEntry *entry = rule.Entries; entry; entry = entry->Next) {
            if (!entries.empty()) entries += " ";
            entries += dump_weekdays(&entry->Weekday, "+");
            if (entry->Times) entries += "(" + dump_times(entry->Times) + ")";
        }
        return head("W", rule) + list("entries", entries) +
               nested(rule.Nested ? kMinutely : kNoRule, rule.Nested) + "}";
    }
    case kMonthlyByPos: {
        auto &rule = *static_cast<const MonthlyByPosRule *>(node);
        std::string groups;
        for (const OccurrenceGroup *group = rule.Groups; group; group = group->Next) {
            bool no_weekday = group->Weekdays.Day == 0 && !group->Weekdays.Next;
            groups += (groups.empty() ? "(" : " (") + dump_numbers(&group->Occurrence) + "/" +
                      (no_weekday ? "" : dump_weekdays(&group->Weekdays, " ")) + "/" +
                      dump_times(group->Times) + ")";
        }
        return head("MP", rule) + list("groups", groups) + nested(rule.NestedKind, rule.Nested) +
               "}";
    }
    case kMonthlyByDay: {
        auto &rule = *static_cast<const MonthlyByDayRule *>(node);
        return head("MD", rule) + list("days", dump_numbers(rule.Days)) +
               nested(rule.NestedKind, rule.Nested) + "}";
    }
    case kYearlyByMonth: {
        auto &rule = *static_cast<const YearlyByMonthRule *>(node);
        return head("YM", rule) + list("months", dump_numbers(rule.Months)) +
               nested(rule.NestedKind, rule.Nested) + "}";
    }
    case kYearlyByDay: {
        auto &rule = *static_cast<const YearlyByDayRule *>(node);
        return head("YD", rule) + list("days", dump_numbers(rule.Days)) +
               nested(rule.NestedKind, rule.Nested) + "}";
    }
    }
    return "kind" + std::to_string(kind);
}

inline std::string dump(const RecurrenceRule &rule)
{
    std::string out = rule.Kind == kNoRule && !rule.Rule ? "none" : dump_node(rule.Kind, rule.Rule);
    std::string end_date(rule.EndDate, strnlen(rule.EndDate, kEndDateCapacity));
    return end_date.empty() ? out : out + " end=" + end_date;
}

// Releases its tree at the end of a test, whatever the test left in it.
struct OwnedRule {
    RecurrenceRule rule{};
    OwnedRule() = default;
    explicit OwnedRule(const RecurrenceRule &built) : rule(built) {}
    ~OwnedRule() { ERG_Release(rule); }
    OwnedRule(const OwnedRule &) = delete;
    OwnedRule &operator=(const OwnedRule &) = delete;
};

// ---- builders ----

template <class T> T *make()
{
    void *block = model::allocate(sizeof(T));
    if (!block) std::abort();  // tests that fail allocations never build by hand
    return new (block) T{};
}

struct Hhmm {
    int32_t hour;
    int32_t minute;
    bool marked = false;
};

struct Num {
    int32_t value;
    bool marked = false;
};

inline TimeItem *times(std::initializer_list<Hhmm> items)
{
    TimeItem *head = nullptr, **tail = &head;
    for (const Hhmm &t : items) {
        *tail = make<TimeItem>();
        (*tail)->Hour = t.hour;
        (*tail)->Minute = t.minute;
        (*tail)->Marked = t.marked;
        tail = &(*tail)->Next;
    }
    return head;
}

inline NumberItem *numbers(std::initializer_list<Num> items)
{
    NumberItem *head = nullptr, **tail = &head;
    for (const Num &n : items) {
        *tail = make<NumberItem>();
        (*tail)->Value = n.value;
        (*tail)->Marked = n.marked;
        tail = &(*tail)->Next;
    }
    return head;
}

inline WeekdayItem *weekdays(std::initializer_list<Num> items)
{
    WeekdayItem *head = nullptr, **tail = &head;
    for (const Num &n : items) {
        *tail = make<WeekdayItem>();
        (*tail)->Day = n.value;
        (*tail)->Marked = n.marked;
        tail = &(*tail)->Next;
    }
    return head;
}

// Moves the first item of a heap list into a slot held in place.
template <class Item> void hold_first(Item &slot, Item *list)
{
    if (!list) return;
    slot = *list;
    model::release(list);
}

inline WeekdayEntry *entry(WeekdayItem *days, TimeItem *entry_times = nullptr)
{
    auto *e = make<WeekdayEntry>();
    hold_first(e->Weekday, days);
    e->Times = entry_times;
    return e;
}

inline OccurrenceGroup *group(NumberItem *occurrences, WeekdayItem *days = nullptr,
                              TimeItem *group_times = nullptr)
{
    auto *g = make<OccurrenceGroup>();
    hold_first(g->Occurrence, occurrences);
    hold_first(g->Weekdays, days);
    g->Times = group_times;
    return g;
}

template <class T> T *chain(std::initializer_list<T *> items)
{
    T *head = nullptr, **tail = &head;
    for (T *item : items) {
        *tail = item;
        tail = &item->Next;
    }
    return head;
}

template <class Node> Node *rule_node(int32_t interval, int32_t duration)
{
    auto *node = make<Node>();
    node->Interval = interval;
    node->Duration = duration;
    return node;
}

inline RecurrenceRule root(uint32_t kind, void *node, const char *end_date = "")
{
    RecurrenceRule rule{};
    rule.Kind = kind;
    rule.Rule = node;
    std::snprintf(rule.EndDate, sizeof rule.EndDate, "%s", end_date);
    return rule;
}

}  // namespace kova::recurrence::testing
