// Only the outermost rule, its first list item and the one nested rule a yearly pattern
// needs are read; the pattern has no place for times, marks or further items. The count
// of a nested rule is never used: "YM1 6 #0 MD1 15 #1" runs for ever.
#include "recurrence/pattern_mapping.h"

#include <new>
#include <optional>
#include <string>

#include "base/log.h"
#include "base/status.h"
#include "convert/charset.h"
#include "convert/iso_date.h"
#include "model/alloc.h"
#include "model/record.h"
#include "recurrence/rule_generator.h"
#include "recurrence/rule_parser.h"

namespace kova::recurrence {
namespace {

using base::Status;

// A pattern type with no rule form; logged as the code of the failed build.
constexpr Status kTypeNotExpressible = Status::TypeNotSupported;

// Releases the tree under the root however the work on it ends.
struct OwnedTree {
    RecurrenceRule rule{};
    OwnedTree() = default;
    OwnedTree(const OwnedTree &) = delete;
    OwnedTree &operator=(const OwnedTree &) = delete;
    ~OwnedTree() { ERG_Release(rule); }
};

int code_of(Status s) { return static_cast<int>(base::to_code(s)); }

// SU 1, MO 2 ... SA 64, for WeekdayItem::Day 1..7; nothing for any other day.
int32_t weekday_bit(int32_t day) { return day >= 1 && day <= 7 ? 1 << (day - 1) : 0; }

int32_t mask_of(const WeekdayItem *item)
{
    int32_t mask = 0;
    for (; item; item = item->Next) mask |= weekday_bit(item->Day);
    return mask;
}

// "1+".."5+" are the first to the fifth, "1-" the last (5) and "2-" the one before (4).
int32_t instance_of(int32_t occurrence)
{
    if (occurrence >= 1 && occurrence <= 5) return occurrence;
    if (occurrence >= -5 && occurrence <= -1) return occurrence + 6;
    return 0;
}

void set_position(pim::RecurrencePattern &pattern, const OccurrenceGroup &group)
{
    pattern.SetInstance(instance_of(group.Occurrence.Value));
    pattern.SetDayOfWeekMask(mask_of(&group.Weekdays));
}

// A day of the year on a year of 365 days; December takes whatever is left, so 366 is
// 32 December.
void set_year_day(pim::RecurrencePattern &pattern, int32_t day)
{
    static const int32_t kMonthLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30};
    int32_t month = 1;
    while (month < 12 && day > kMonthLengths[month - 1]) day -= kMonthLengths[month++ - 1];
    pattern.SetRecurrenceType(5);
    pattern.SetMonthOfYear(month);
    pattern.SetDayOfMonth(day);
}

template <class Node> const Node &node_of(const RecurrenceRule &rule)
{
    return *static_cast<const Node *>(rule.Rule);
}

// Sets the type and its values from the outermost rule and gives that rule's count;
// nullopt, with the pattern untouched, when no pattern type expresses the rule.
std::optional<int32_t> set_pattern(pim::RecurrencePattern &pattern, const RecurrenceRule &rule)
{
    if (!rule.Rule) return std::nullopt;
    switch (rule.Kind) {
    case kDaily: {
        const auto &daily = node_of<DailyRule>(rule);
        pattern.SetRecurrenceType(0);
        pattern.SetInterval(daily.Interval);
        return daily.Duration;
    }
    case kWeekly: {
        const auto &weekly = node_of<WeeklyRule>(rule);
        if (!weekly.Entries) return std::nullopt;
        int32_t mask = 0;
        for (const WeekdayEntry *entry = weekly.Entries; entry; entry = entry->Next)
            mask |= mask_of(&entry->Weekday);
        pattern.SetRecurrenceType(1);
        pattern.SetInterval(weekly.Interval);
        pattern.SetDayOfWeekMask(mask);
        return weekly.Duration;
    }
    case kMonthlyByPos: {
        const auto &monthly = node_of<MonthlyByPosRule>(rule);
        if (!monthly.Groups) return std::nullopt;
        pattern.SetRecurrenceType(3);
        pattern.SetInterval(monthly.Interval);
        set_position(pattern, *monthly.Groups);
        return monthly.Duration;
    }
    case kMonthlyByDay: {
        const auto &monthly = node_of<MonthlyByDayRule>(rule);
        if (!monthly.Days) return std::nullopt;
        pattern.SetRecurrenceType(2);
        pattern.SetInterval(monthly.Interval);
        pattern.SetDayOfMonth(monthly.Days->Value);
        return monthly.Duration;
    }
    case kYearlyByMonth: {
        // Both yearly types leave the interval alone: "YM2" has no pattern form either.
        const auto &yearly = node_of<YearlyByMonthRule>(rule);
        if (!yearly.Months || !yearly.Nested) return std::nullopt;
        if (yearly.NestedKind == kMonthlyByPos) {
            const auto &nested = *static_cast<const MonthlyByPosRule *>(yearly.Nested);
            if (!nested.Groups) return std::nullopt;
            pattern.SetRecurrenceType(6);
            set_position(pattern, *nested.Groups);
            pattern.SetMonthOfYear(yearly.Months->Value);
            return yearly.Duration;
        }
        if (yearly.NestedKind == kMonthlyByDay) {
            const auto &nested = *static_cast<const MonthlyByDayRule *>(yearly.Nested);
            if (!nested.Days) return std::nullopt;
            pattern.SetRecurrenceType(5);
            pattern.SetMonthOfYear(yearly.Months->Value);
            pattern.SetDayOfMonth(nested.Days->Value);
            return yearly.Duration;
        }
        return std::nullopt;
    }
    case kYearlyByDay: {
        const auto &yearly = node_of<YearlyByDayRule>(rule);
        if (!yearly.Days) return std::nullopt;
        set_year_day(pattern, yearly.Days->Value);
        return yearly.Duration;
    }
    }
    return std::nullopt;  // M: minutes have no pattern type, and no count of their own to end with
}

// What RuleFromPattern read from the pattern; 0 and empty for what it did not read.
struct PatternValues {
    int32_t type = 0;
    int32_t mask = 0;
    int32_t count = 0;
    std::string end_date;
    int32_t interval = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t instance = 0;
};

template <class T> T *new_zeroed()
{
    void *block = model::allocate(sizeof(T));
    return block ? new (block) T{} : nullptr;
}

// A rule node hung on its parent's slot as soon as it exists, so that a failure later
// in the build leaves nothing the release cannot reach.
template <class Node> Node *new_rule(void *&slot, int32_t interval, int32_t count)
{
    Node *node = new_zeroed<Node>();
    if (!node) return nullptr;
    node->Interval = interval;
    node->Duration = count;
    slot = node;
    return node;
}

Status append_number(NumberItem *&head, int32_t value)
{
    head = new_zeroed<NumberItem>();
    if (!head) return Status::OutOfMemory;
    head->Value = value;
    return Status::Ok;
}

// One entry per day of the mask, SU first.
Status weekday_entries(WeekdayEntry **entries, int32_t mask)
{
    for (int32_t day = 1; day <= 7; ++day) {
        if (!(mask & weekday_bit(day))) continue;
        WeekdayEntry *entry = new_zeroed<WeekdayEntry>();
        if (!entry) return Status::OutOfMemory;
        entry->Weekday.Day = day;
        *entries = entry;
        entries = &entry->Next;
    }
    return Status::Ok;
}

// The group's own slot takes the first day of the mask, later days hang behind it.
Status weekday_chain(WeekdayItem &slot, int32_t mask)
{
    WeekdayItem **next = nullptr;
    for (int32_t day = 1; day <= 7; ++day) {
        if (!(mask & weekday_bit(day))) continue;
        WeekdayItem *item = next ? new_zeroed<WeekdayItem>() : &slot;
        if (!item) return Status::OutOfMemory;
        item->Day = day;
        if (next) *next = item;
        next = &item->Next;
    }
    return Status::Ok;
}

Status position_group(OccurrenceGroup *&groups, int32_t instance, int32_t mask)
{
    groups = new_zeroed<OccurrenceGroup>();
    if (!groups) return Status::OutOfMemory;
    groups->Occurrence.Value = instance;
    return weekday_chain(groups->Weekdays, mask);
}

// Instance 5 and above is the last, written "1-".
int32_t occurrence_of(int32_t instance) { return instance >= 5 ? -1 : instance; }

Status build_tree(const pim::RecurrencePattern &pattern, PatternValues &v, RecurrenceRule &root)
{
    constexpr Status kNoMemory = Status::OutOfMemory;
    switch (v.type) {
    case 0:
    case 1: {
        if (v.type == 0 && v.mask == 0) {
            root.Kind = kDaily;
            return new_rule<DailyRule>(root.Rule, v.interval, v.count) ? Status::Ok : kNoMemory;
        }
        root.Kind = kWeekly;  // type 0 with a mask is every weekday of it, every week
        auto *weekly = new_rule<WeeklyRule>(root.Rule, v.type == 0 ? 1 : v.interval, v.count);
        return weekly ? weekday_entries(&weekly->Entries, v.mask) : kNoMemory;
    }
    case 2: {
        v.day = pattern.DayOfMonth();
        root.Kind = kMonthlyByDay;
        auto *monthly = new_rule<MonthlyByDayRule>(root.Rule, v.interval, v.count);
        return monthly ? append_number(monthly->Days, v.day) : kNoMemory;
    }
    case 3: {
        v.instance = occurrence_of(pattern.Instance());
        root.Kind = kMonthlyByPos;
        auto *monthly = new_rule<MonthlyByPosRule>(root.Rule, v.interval, v.count);
        return monthly ? position_group(monthly->Groups, v.instance, v.mask) : kNoMemory;
    }
    case 5:
    case 6: {
        v.month = pattern.MonthOfYear();
        if (v.type == 5) v.day = pattern.DayOfMonth();
        else v.instance = occurrence_of(pattern.Instance());
        root.Kind = kYearlyByMonth;
        auto *yearly = new_rule<YearlyByMonthRule>(root.Rule, 1, v.count);
        if (!yearly || append_number(yearly->Months, v.month) != Status::Ok) return kNoMemory;
        if (v.type == 5) {
            yearly->NestedKind = kMonthlyByDay;
            auto *nested = new_rule<MonthlyByDayRule>(yearly->Nested, 1, 1);
            return nested ? append_number(nested->Days, v.day) : kNoMemory;
        }
        yearly->NestedKind = kMonthlyByPos;
        auto *nested = new_rule<MonthlyByPosRule>(yearly->Nested, 1, 1);
        return nested ? position_group(nested->Groups, v.instance, v.mask) : kNoMemory;
    }
    }
    return kTypeNotExpressible;
}

void log_build_failure(Status code, const PatternValues &v)
{
    KOVA_LOG_TRACE("KOVA:  Error creating Extended Recurrence Grammar from pattern (code=%d)",
                   code_of(code));
    KOVA_LOG_TRACE("       RecurrenceType='%d'", v.type);
    KOVA_LOG_TRACE("       DayOfWeekMask='0x%x'", static_cast<unsigned>(v.mask));
    KOVA_LOG_TRACE("       Occurrences='%d'", v.count);
    KOVA_LOG_TRACE("       Enddate='%s'", v.end_date.c_str());
    KOVA_LOG_TRACE("       Interval='%d'", v.interval);
    KOVA_LOG_TRACE("       MonthOfYear='%d'", v.month);
    KOVA_LOG_TRACE("       DayOfMonth='%d'", v.day);
    KOVA_LOG_TRACE("       Instance='%d'", v.instance);
}

}  // namespace

int ApplyRuleToPattern(pim::RecurrencePattern &pattern, const char *rule_text)
{
    OwnedTree tree;
    Status parsed = ERG_Parse(rule_text, tree.rule);
    if (parsed != Status::Ok) {
        KOVA_LOG_ERROR("KOVA:  ERG_Parse failed (code=%d)", code_of(parsed));
        return 1;
    }
    std::optional<int32_t> count = set_pattern(pattern, tree.rule);
    if (!count) {
        KOVA_LOG_TRACE("KOVA:  The Extended Rule Grammar could not be translated to an");
        KOVA_LOG_TRACE("       Outlook Recurrence pattern. Item will be sent as One-time.");
        return 0;
    }
    // The end goes last: each of these turns the other two ways of ending off.
    if (*count == 0)
        pattern.SetNoEndDate(true);
    else if (tree.rule.EndDate[0])
        pattern.SetPatternEndDate(convert::ParseIsoDate(tree.rule.EndDate).date);
    else
        pattern.SetOccurrences(*count);
    return 1;
}

void RuleFromPattern(const pim::RecurrencePattern &pattern, char *buffer, size_t capacity)
{
    if (!buffer || capacity == 0) return;
    buffer[0] = '\0';
    PatternValues v;
    v.type = pattern.RecurrenceType();
    if (!pattern.NoEndDate()) {
        v.count = pattern.Occurrences();
        double end = pattern.PatternEndDate();
        if (end != convert::NoDate)
            v.end_date = convert::narrow_system(convert::FormatIsoDate(end, true, false));
    }
    v.interval = pattern.Interval();
    v.mask = pattern.DayOfWeekMask();

    OwnedTree tree;
    model::copy_field(tree.rule.EndDate, v.end_date);
    Status built = build_tree(pattern, v, tree.rule);
    if (built != Status::Ok) {
        log_build_failure(built, v);
        return;
    }
    Status generated = ERG_Generate(tree.rule, buffer, capacity);
    if (generated != Status::Ok)
        KOVA_LOG_ERROR("KOVA:  ERG_Generate failed (code=%d)", code_of(generated));
}

}  // namespace kova::recurrence
