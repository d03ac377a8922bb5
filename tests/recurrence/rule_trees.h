// Test helpers for rule trees: a dump that shows every field, and builders that
// allocate like the parser, so ERG_Release frees what they made. Dump shapes:
//   D{i=1 n=5 times=[09:00 17:30$] nested=M{i=1 n=2}}
//   W{i=1 n=2 entries=[MO(09:00 10:00) TU$]}        MP{i=1 n=2 groups=[(1 -2/MO TU/09:00)]}
//   MD{i=1 n=2 days=[1 -1$]}   YM{... months=[6]}   YD{... days=[100]}
// Empty lists and a null nested rule are left out; a root adds " end=<date>".
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "model/alloc.h"
#include "recurrence/rule.h"

namespace kova::recurrence::testing {

inline std::string with_mark(std::string text, uint8_t marked)
{
    return marked ? text + "$" : text;
}

inline std::string item_text(const TimeItem &t)
{
    char hhmm[32];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", t.Hour, t.Minute);
    return with_mark(hhmm, t.Marked);
}
inline std::string item_text(const NumberItem &n)
{
    return with_mark(std::to_string(n.Value), n.Marked);
}
inline std::string item_text(const WeekdayItem &w)
{
    static const char *const names[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    std::string name = w.Day >= 1 && w.Day <= 7 ? names[w.Day - 1] : "day" + std::to_string(w.Day);
    return with_mark(name, w.Marked);
}

template <class Item> std::string items(const Item *item, const char *separator = " ")
{
    std::string out;
    for (; item; item = item->Next) out += (out.empty() ? "" : separator) + item_text(*item);
    return out;
}

inline std::string field(const char *name, const std::string &list)
{
    return list.empty() ? "" : std::string(" ") + name + "=[" + list + "]";
}

inline std::string dump_node(uint32_t kind, const void *node);

template <class Node> std::string head(const char *name, const Node &node)
{
    return std::string(name) + "{i=" + std::to_string(node.Interval) +
           " n=" + std::to_string(node.Duration);
}

template <class Node> std::string tail(const Node &node, uint32_t kind)
{
    return (node.Nested ? " nested=" + dump_node(kind, node.Nested) : "") + "}";
}

inline std::string dump_node(uint32_t kind, const void *node)
{
    if (!node) return "null";
    switch (kind) {
    case kMinutely: return head("M", *static_cast<const MinutelyRule *>(node)) + "}";
    case kDaily: {
        auto &rule = *static_cast<const DailyRule *>(node);
        return head("D", rule) + field("times", items(rule.Times)) + tail(rule, kMinutely);
    }
    case kWeekly: {
        auto &rule = *static_cast<const WeeklyRule *>(node);
        std::string entries;
        for (const WeekdayEntry *e = rule.Entries; e; e = e->Next) {
            entries += (entries.empty() ? "" : " ") + items(&e->Weekday, "+");
            if (e->Times) entries += "(" + items(e->Times) + ")";
        }
        return head("W", rule) + field("entries", entries) + tail(rule, kMinutely);
    }
    case kMonthlyByPos: {
        auto &rule = *static_cast<const MonthlyByPosRule *>(node);
        std::string groups;
        for (const OccurrenceGroup *g = rule.Groups; g; g = g->Next) {
            bool no_weekday = g->Weekdays.Day == 0 && !g->Weekdays.Next;
            groups += (groups.empty() ? "(" : " (") + items(&g->Occurrence) + "/" +
                      (no_weekday ? "" : items(&g->Weekdays)) + "/" + items(g->Times) + ")";
        }
        return head("MP", rule) + field("groups", groups) + tail(rule, rule.NestedKind);
    }
    case kMonthlyByDay: {
        auto &rule = *static_cast<const MonthlyByDayRule *>(node);
        return head("MD", rule) + field("days", items(rule.Days)) + tail(rule, rule.NestedKind);
    }
    case kYearlyByMonth: {
        auto &rule = *static_cast<const YearlyByMonthRule *>(node);
        return head("YM", rule) + field("months", items(rule.Months)) +
               tail(rule, rule.NestedKind);
    }
    case kYearlyByDay: {
        auto &rule = *static_cast<const YearlyByDayRule *>(node);
        return head("YD", rule) + field("days", items(rule.Days)) + tail(rule, rule.NestedKind);
    }
    }
    return "kind" + std::to_string(kind);
}

inline std::string dump(const RecurrenceRule &rule)
{
    std::string out = rule.Kind || rule.Rule ? dump_node(rule.Kind, rule.Rule) : "none";
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

template <class T> T *make()
{
    void *block = model::allocate(sizeof(T));
    if (!block) std::abort();  // hand-built trees are never made while allocations fail
    return new (block) T{};
}

inline TimeItem *at(int32_t hour, int32_t minute, bool marked = false, TimeItem *next = nullptr)
{
    auto *item = make<TimeItem>();
    *item = TimeItem{hour, minute, marked, next};
    return item;
}
inline NumberItem *num(int32_t value, bool marked = false, NumberItem *next = nullptr)
{
    auto *item = make<NumberItem>();
    *item = NumberItem{value, marked, next};
    return item;
}
inline WeekdayItem *day(int32_t day, bool marked = false, WeekdayItem *next = nullptr)
{
    auto *item = make<WeekdayItem>();
    *item = WeekdayItem{day, marked, next};
    return item;
}

// Items held in place: an entry's weekday, a group's first occurrence and weekday slot.
inline WeekdayItem held_day(int32_t day, bool marked = false, WeekdayItem *next = nullptr)
{
    return WeekdayItem{day, marked, next};
}
inline NumberItem held_num(int32_t value, bool marked = false, NumberItem *next = nullptr)
{
    return NumberItem{value, marked, next};
}

inline WeekdayEntry *entry(WeekdayItem weekday, TimeItem *times = nullptr,
                           WeekdayEntry *next = nullptr)
{
    auto *e = make<WeekdayEntry>();
    *e = WeekdayEntry{weekday, times, next};
    return e;
}

inline OccurrenceGroup *group(NumberItem occurrence, WeekdayItem weekdays,
                              TimeItem *times = nullptr, OccurrenceGroup *next = nullptr)
{
    auto *g = make<OccurrenceGroup>();
    *g = OccurrenceGroup{occurrence, weekdays, times, next};
    return g;
}

template <class Node> Node *rule_node(int32_t interval, int32_t duration)
{
    auto *node = make<Node>();
    node->Interval = interval;
    node->Duration = duration;
    return node;
}

template <class Node> Node *nest(Node *node, uint32_t kind, void *nested)
{
    node->NestedKind = kind;
    node->Nested = nested;
    return node;
}

inline RecurrenceRule root(uint32_t kind, void *node, const char *end_date = "")
{
    RecurrenceRule rule{kind, node, {}};
    std::snprintf(rule.EndDate, sizeof rule.EndDate, "%s", end_date);
    return rule;
}

}  // namespace kova::recurrence::testing
