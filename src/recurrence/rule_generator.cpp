#include "recurrence/rule_generator.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kova::recurrence {
namespace {

using base::Status;

// Appends formatted pieces to a caller's buffer and remembers when one did not fit.
class Text {
public:
    Text(char *buffer, size_t capacity) : buffer_(buffer), capacity_(capacity)
    {
        buffer_[0] = '\0';
    }

    void append(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        if (cut_) return;
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(buffer_ + length_, capacity_ - length_, format, args);
        va_end(args);
        if (n < 0 || static_cast<size_t>(n) >= capacity_ - length_) {
            cut_ = true;
            return;
        }
        length_ += static_cast<size_t>(n);
    }

    bool cut() const { return cut_; }

private:
    char *buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool cut_ = false;
};

const char *mark(uint8_t marked) { return marked ? "$" : ""; }

// INT32_MIN has no magnitude in an int; no text the parser reads can give it.
int magnitude(int32_t value)
{
    if (value >= 0) return value;
    return value == INT32_MIN ? INT32_MAX : -value;
}

void count(Text &out, int32_t duration)
{
    if (duration != kImpliedCount) out.append(" #%d", duration);
}

void times(Text &out, const TimeItem *item)
{
    for (; item; item = item->Next)
        out.append(" %02d%02d%s", item->Hour, item->Minute, mark(item->Marked));
}

// An empty slot (Day 0) or any other day outside 1..7 writes nothing.
void weekdays(Text &out, const WeekdayItem *item)
{
    for (; item; item = item->Next) {
        if (item->Day >= 1 && item->Day <= 7)
            out.append(" %s%s", kWeekdayNames[item->Day - 1], mark(item->Marked));
    }
}

void occurrences(Text &out, const NumberItem *item)
{
    for (; item; item = item->Next)
        out.append(" %d%c%s", magnitude(item->Value), item->Value < 0 ? '-' : '+',
                   mark(item->Marked));
}

// The last day is written "1-", never "LD".
void day_numbers(Text &out, const NumberItem *item)
{
    for (; item; item = item->Next)
        out.append(" %d%s%s", magnitude(item->Value), item->Value < 0 ? "-" : "",
                   mark(item->Marked));
}

void plain_numbers(Text &out, const NumberItem *item)
{
    for (; item; item = item->Next) out.append(" %d%s", item->Value, mark(item->Marked));
}

bool generate_node(Text &out, uint32_t kind, const void *node, const char *prefix);

void nested(Text &out, uint32_t kind, const void *node, uint32_t last_kind)
{
    if (node && kind >= kMinutely && kind <= last_kind) generate_node(out, kind, node, " ");
}

// False only for a kind that is no rule kind; a null node writes nothing.
bool generate_node(Text &out, uint32_t kind, const void *node, const char *prefix)
{
    if (kind < kMinutely || kind > kYearlyByDay) return false;
    if (!node) return true;
    switch (kind) {
    case kMinutely: {
        auto *rule = static_cast<const MinutelyRule *>(node);
        out.append("%sM%d", prefix, rule->Interval);
        count(out, rule->Duration);
        break;
    }
    case kDaily: {
        auto *rule = static_cast<const DailyRule *>(node);
        out.append("%sD%d", prefix, rule->Interval);
        times(out, rule->Times);
        count(out, rule->Duration);
        nested(out, kMinutely, rule->Nested, kMinutely);
        break;
    }
    case kWeekly: {
        auto *rule = static_cast<const WeeklyRule *>(node);
        out.append("%sW%d", prefix, rule->Interval);
        for (const WeekdayEntry *entry = rule->Entries; entry; entry = entry->Next) {
            weekdays(out, &entry->Weekday);
            times(out, entry->Times);
        }
        count(out, rule->Duration);
        nested(out, kMinutely, rule->Nested, kMinutely);
        break;
    }
    case kMonthlyByPos: {
        auto *rule = static_cast<const MonthlyByPosRule *>(node);
        out.append("%sMP%d", prefix, rule->Interval);
        for (const OccurrenceGroup *group = rule->Groups; group; group = group->Next) {
            occurrences(out, &group->Occurrence);
            weekdays(out, &group->Weekdays);
            times(out, group->Times);
        }
        count(out, rule->Duration);
        nested(out, rule->NestedKind, rule->Nested, kWeekly);
        break;
    }
    case kMonthlyByDay: {
        auto *rule = static_cast<const MonthlyByDayRule *>(node);
        out.append("%sMD%d", prefix, rule->Interval);
        day_numbers(out, rule->Days);
        count(out, rule->Duration);
        nested(out, rule->NestedKind, rule->Nested, kWeekly);
        break;
    }
    case kYearlyByMonth: {
        auto *rule = static_cast<const YearlyByMonthRule *>(node);
        out.append("%sYM%d", prefix, rule->Interval);
        plain_numbers(out, rule->Months);
        count(out, rule->Duration);
        nested(out, rule->NestedKind, rule->Nested, kMonthlyByDay);
        break;
    }
    case kYearlyByDay: {
        auto *rule = static_cast<const YearlyByDayRule *>(node);
        out.append("%sYD%d", prefix, rule->Interval);
        plain_numbers(out, rule->Days);
        count(out, rule->Duration);
        nested(out, rule->NestedKind, rule->Nested, kMonthlyByDay);
        break;
    }
    }
    return true;
}

}  // namespace

Status ERG_Generate(const RecurrenceRule &rule, char *buffer, size_t capacity)
{
    if (!buffer || capacity == 0) return Status::GeneralFailure;
    Text out(buffer, capacity);
    if (!generate_node(out, rule.Kind, rule.Rule, "")) return Status::GeneralFailure;
    // A caller may have filled all 20 bytes of the end date; never read past them.
    size_t date_length = strnlen(rule.EndDate, kEndDateCapacity);
    if (date_length > 0) out.append(" %.*s", static_cast<int>(date_length), rule.EndDate);
    if (out.cut()) {
        buffer[0] = '\0';
        return Status::GeneralFailure;
    }
    return Status::Ok;
}

}  // namespace kova::recurrence
