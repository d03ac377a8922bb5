#include "recurrence/rule.h"

#include "model/alloc.h"

namespace kova::recurrence {
namespace {

template <class T> void release_chain(T *item)
{
    while (item) {
        T *next = item->Next;
        model::release(item);
        item = next;
    }
}

void release_node(uint32_t kind, void *node);

void release_entries(WeekdayEntry *entry)
{
    while (entry) {
        WeekdayEntry *next = entry->Next;
        release_chain(entry->Weekday.Next);
        release_chain(entry->Times);
        model::release(entry);
        entry = next;
    }
}

void release_groups(OccurrenceGroup *group)
{
    while (group) {
        OccurrenceGroup *next = group->Next;
        release_chain(group->Occurrence.Next);
        release_chain(group->Weekdays.Next);
        release_chain(group->Times);
        model::release(group);
        group = next;
    }
}

// Parsed trees nest at most four deep (YD > MP > W > M), so recursion stays shallow.
void release_node(uint32_t kind, void *node)
{
    if (!node) return;
    switch (kind) {
    case kMinutely: break;
    case kDaily: {
        auto *rule = static_cast<DailyRule *>(node);
        release_chain(rule->Times);
        release_node(kMinutely, rule->Nested);
        break;
    }
    case kWeekly: {
        auto *rule = static_cast<WeeklyRule *>(node);
        release_entries(rule->Entries);
        release_node(kMinutely, rule->Nested);
        break;
    }
    case kMonthlyByPos: {
        auto *rule = static_cast<MonthlyByPosRule *>(node);
        release_groups(rule->Groups);
        release_node(rule->NestedKind, rule->Nested);
        break;
    }
    case kMonthlyByDay: {
        auto *rule = static_cast<MonthlyByDayRule *>(node);
        release_chain(rule->Days);
        release_node(rule->NestedKind, rule->Nested);
        break;
    }
    case kYearlyByMonth: {
        auto *rule = static_cast<YearlyByMonthRule *>(node);
        release_chain(rule->Months);
        release_node(rule->NestedKind, rule->Nested);
        break;
    }
    case kYearlyByDay: {
        auto *rule = static_cast<YearlyByDayRule *>(node);
        release_chain(rule->Days);
        release_node(rule->NestedKind, rule->Nested);
        break;
    }
    default: return;  // unknown kind: the node's layout is unknown too
    }
    model::release(node);
}

}  // namespace

base::Status ERG_Release(RecurrenceRule &rule)
{
    release_node(rule.Kind, rule.Rule);
    rule.Rule = nullptr;
    return base::Status::Ok;
}

}  // namespace kova::recurrence
