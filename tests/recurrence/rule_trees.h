// Test helpers for rule trees: a dump that shows every field, so two trees are equal when
// their dumps are, and make(), which allocates like the parser so ERG_Release frees it.
//   D{i=1 n=5 [09:00 17:30$] M{i=30 n=2}}     interval, count, list, nested rule
//   W{i=1 n=2 [MO(09:00 10:00) TU$ FR+SA]}    weekdays chained on an entry's weekday: +
//   MP{i=1 n=2 [(1 -2/MO TU/09:00) (3/0/)]}   occurrences/weekdays/times; 0: empty slot
//   MD{i=1 n=2 [1 -1$]}   YM{i=1 n=2 [6]}   YD{i=1 n=2 [100]}
// Empty lists and a null nested rule are left out; a root adds " end=<date>", and shows
// "none" for no kind and no node, "null" for a kind without a node.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "model/alloc.h"
#include "recurrence/rule.h"

namespace kova::recurrence::testing {

template <class T> std::string list(const T *item, const char *separator = " ");

inline std::string mark(uint8_t marked) { return marked ? "$" : ""; }
inline std::string text(const NumberItem &n) { return std::to_string(n.Value) + mark(n.Marked); }
inline std::string text(const TimeItem &t)
{
    char hhmm[32];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", t.Hour, t.Minute);
    return hhmm + mark(t.Marked);
}
inline std::string text(const WeekdayItem &w)
{
    static const char *const names[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    return (w.Day >= 1 && w.Day <= 7 ? names[w.Day - 1] : std::to_string(w.Day)) + mark(w.Marked);
}
inline std::string text(const WeekdayEntry &e)
{
    return list(&e.Weekday, "+") + (e.Times ? "(" + list(e.Times) + ")" : "");
}
inline std::string text(const OccurrenceGroup &g)
{
    return "(" + list(&g.Occurrence) + "/" + list(&g.Weekdays) + "/" + list(g.Times) + ")";
}

template <class T> std::string list(const T *item, const char *separator)
{
    std::string out;
    for (; item; item = item->Next) out += (out.empty() ? "" : separator) + text(*item);
    return out;
}

template <class Node> std::string head(const char *name, const Node &node)
{
    return name + ("{i=" + std::to_string(node.Interval)) + " n=" + std::to_string(node.Duration);
}

inline std::string dump(uint32_t kind, const void *node);

// D and W nest only M and keep no kind for it.
template <class Node, class Item> std::string dump(const char *name, const void *node, Item *Node::*items)
{
    const Node &rule = *static_cast<const Node *>(node);
    std::string out = head(name, rule) + (rule.*items ? " [" + list(rule.*items) + "]" : "");
    uint32_t nested_kind = kMinutely;
    if constexpr (!std::is_same_v<decltype(Node::Nested), MinutelyRule *>) nested_kind = rule.NestedKind;
    return out + (rule.Nested ? " " + dump(nested_kind, rule.Nested) : "") + "}";
}

inline std::string dump(uint32_t kind, const void *node)
{
    if (!node) return "null";
    switch (kind) {
    case kMinutely: return head("M", *static_cast<const MinutelyRule *>(node)) + "}";
    case kDaily: return dump("D", node, &DailyRule::Times);
    case kWeekly: return dump("W", node, &WeeklyRule::Entries);
    case kMonthlyByPos: return dump("MP", node, &MonthlyByPosRule::Groups);
    case kMonthlyByDay: return dump("MD", node, &MonthlyByDayRule::Days);
    case kYearlyByMonth: return dump("YM", node, &YearlyByMonthRule::Months);
    case kYearlyByDay: return dump("YD", node, &YearlyByDayRule::Days);
    }
    return "kind" + std::to_string(kind);
}

inline std::string dump(const RecurrenceRule &rule)
{
    std::string out = rule.Kind || rule.Rule ? dump(rule.Kind, rule.Rule) : "none";
    std::string end_date(rule.EndDate, strnlen(rule.EndDate, kEndDateCapacity));
    return end_date.empty() ? out : out + " end=" + end_date;
}

// A heap copy of value, as the parser would have allocated it.
template <class T> T *make(const T &value)
{
    void *block = model::allocate(sizeof(T));
    if (!block) std::abort();  // hand-built trees are never made while allocations fail
    return new (block) T(value);
}

// Releases its tree at the end of a test, whatever the test left in it.
struct OwnedRule {
    RecurrenceRule rule{};
    OwnedRule() = default;
    OwnedRule(const OwnedRule &) = delete;
    ~OwnedRule() { ERG_Release(rule); }
};

}  // namespace kova::recurrence::testing
