#include "recurrence/rule_parser.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string_view>

#include "model/alloc.h"
#include "model/record.h"

namespace kova::recurrence {
namespace {

using base::Status;
using EndDate = char[kEndDateCapacity];

// Tokens are separated by blanks and by nothing else. A text that ends in blanks ends
// in an empty token, which an M rule refuses and every other kind stops at.
// A token longer than kMaxTokenLength is read as its first kMaxTokenLength characters
// and the rest of it is skipped, never taken as a token of its own.
struct Token {
    bool present = false;   // false once the text is used up
    std::string_view text;  // the token, cut to kMaxTokenLength
    std::string_view rest;  // the text after the token: the cursor once it is consumed
};

Token peek(std::string_view text)
{
    Token token;
    if (text.empty()) return token;
    size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) start = text.size();
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    token.present = true;
    token.text = text.substr(start, end - start).substr(0, kMaxTokenLength);
    token.rest = text.substr(end);
    return token;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads at most max_digits leading digits of text into value and returns how many it
// read. A number beyond int32_t stays at INT32_MAX rather than wrapping.
size_t read_number(std::string_view text, size_t max_digits, int32_t &value)
{
    int64_t number = 0;
    size_t n = 0;
    while (n < text.size() && n < max_digits && is_digit(text[n])) {
        number = number * 10 + (text[n] - '0');
        if (number > INT32_MAX) number = INT32_MAX;
        ++n;
    }
    value = static_cast<int32_t>(number);
    return n;
}

constexpr size_t kAnyLength = SIZE_MAX;

struct RuleHead {
    uint32_t kind;
    int32_t interval;
};

// "W2" -> W, 2. The letters before the first digit must be a prefix of a keyword, tried
// in table order: "M" is M, "MP" is never M, a lone "Y" is YM. "D" alone has interval 0.
std::optional<RuleHead> parse_head(std::string_view token)
{
    size_t run = 0;
    while (run < token.size() && !is_digit(token[run])) ++run;
    if (run == 0) return std::nullopt;
    std::string_view letters = token.substr(0, run);
    for (uint32_t kind = kMinutely; kind <= kYearlyByDay; ++kind) {
        std::string_view keyword = kRuleKeywords[kind];
        if (letters.size() > keyword.size() || keyword.substr(0, letters.size()) != letters)
            continue;
        RuleHead head{kind, 0};
        read_number(token.substr(run), kAnyLength, head.interval);
        return head;
    }
    return std::nullopt;
}

// ISO 8601 basic date and time, "19991231T235959Z"; the rest is checked when the rule
// is applied. A token of this shape is never a count, a weekday, a month or a day of
// the year: the generator writes the end date last and leaves out a count of 2, so
// "W1 #2 MO345678T000000Z" prints as "W1 MO345678T000000Z", which must read back alike.
bool is_end_date(std::string_view token) { return token.size() >= 15 && token[8] == 'T'; }

// "#10"; a lone "#" counts 0.
std::optional<int32_t> parse_duration(std::string_view token)
{
    if (token.empty() || token[0] != '#' || is_end_date(token)) return std::nullopt;
    int32_t count = 0;
    read_number(token.substr(1), kAnyLength, count);
    return count;
}

// A longer date is cut to the field's 19 characters. Date conversion reads at most the
// first 16 ("YYYYMMDDTHHMMSSZ"), so the cut date converts as the whole one would.
void store_end_date(std::string_view token, EndDate &field)
{
    model::copy_field(field, kEndDateCapacity, token);
}

struct Item {
    int32_t value;
    bool marked;
};

struct Time {
    int32_t hour;
    int32_t minute;
    bool marked;
};

// "0930", "0930$"; any other fifth character is ignored.
std::optional<Time> parse_time(std::string_view token)
{
    if (token.size() != 4 && token.size() != 5) return std::nullopt;
    int32_t hour = 0, minute = 0;
    if (read_number(token.substr(0, 2), 2, hour) != 2) return std::nullopt;
    if (read_number(token.substr(2, 2), 2, minute) != 2) return std::nullopt;
    if (hour >= 24 || minute >= 60) return std::nullopt;
    return Time{hour, minute, token.size() == 5 && token[4] == '$'};
}

// "MO", "MO$"; characters after the name other than a "$" in third place are ignored.
std::optional<Item> parse_weekday(std::string_view token)
{
    if (token.size() < 2 || is_end_date(token)) return std::nullopt;
    for (int32_t i = 0; i < 7; ++i) {
        if (token.substr(0, 2) == kWeekdayNames[i])
            return Item{i + 1, token.size() > 2 && token[2] == '$'};
    }
    return std::nullopt;
}

// "1+", "2-", "1+$": one digit (anything else reads 0), a sign that must be there, and
// an optional mark. The range is not limited.
std::optional<Item> parse_occurrence(std::string_view token)
{
    if (token.size() < 2 || token.size() > 3) return std::nullopt;
    if (token[1] != '+' && token[1] != '-') return std::nullopt;
    int32_t value = is_digit(token[0]) ? token[0] - '0' : 0;
    if (token[1] == '-') value = -value;
    return Item{value, token.size() == 3 && token[2] == '$'};
}

// "15", "1-" (the last day), "LD" (the same), "3+$"; no range check.
std::optional<Item> parse_day_number(std::string_view token)
{
    if (token == "LD") return Item{-1, false};
    if (token.size() > 4) return std::nullopt;
    int32_t value = 0;
    size_t at = read_number(token, kAnyLength, value);
    if (at == 0) return std::nullopt;
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) {
        if (token[at] == '-') value = -value;
        ++at;
    }
    return Item{value, at < token.size() && token[at] == '$'};
}

// Months "6", "12$" and days of the year "100", "366$": leading digits in range, then an
// optional mark; anything else after the digits is ignored. An end date is no item:
// "YM1 00050101T000000Z" is a rule without months.
std::optional<Item> parse_bounded(std::string_view token, size_t max_digits, int32_t last)
{
    if (is_end_date(token)) return std::nullopt;
    int32_t value = 0;
    size_t digits = read_number(token, max_digits, value);
    if (digits == 0 || value < 1 || value > last) return std::nullopt;
    return Item{value, digits < token.size() && token[digits] == '$'};
}

std::optional<Item> parse_month(std::string_view token) { return parse_bounded(token, 4, 12); }

std::optional<Item> parse_year_day(std::string_view token)
{
    return parse_bounded(token, 6, 366);
}

template <class T> T *new_zeroed()
{
    void *block = model::allocate(sizeof(T));
    return block ? new (block) T{} : nullptr;
}

// Appends at the tail of a list in constant time, so long texts stay linear.
template <class T> class Tail {
public:
    Tail() = default;
    explicit Tail(T **head) : next_(head)
    {
        while (*next_) next_ = &(*next_)->Next;
    }
    T *append()
    {
        T *item = new_zeroed<T>();
        if (!item) return nullptr;
        *next_ = item;
        next_ = &item->Next;
        return item;
    }

private:
    T **next_ = nullptr;
};

template <class Node> void *new_rule_node(int32_t interval)
{
    Node *node = new_zeroed<Node>();
    if (!node) return nullptr;
    node->Interval = interval;
    node->Duration = kImpliedCount;
    return node;
}

void *new_rule(const RuleHead &head)
{
    switch (head.kind) {
    case kMinutely: return new_rule_node<MinutelyRule>(head.interval);
    case kDaily: return new_rule_node<DailyRule>(head.interval);
    case kWeekly: return new_rule_node<WeeklyRule>(head.interval);
    case kMonthlyByPos: return new_rule_node<MonthlyByPosRule>(head.interval);
    case kMonthlyByDay: return new_rule_node<MonthlyByDayRule>(head.interval);
    case kYearlyByMonth: return new_rule_node<YearlyByMonthRule>(head.interval);
    case kYearlyByDay: return new_rule_node<YearlyByDayRule>(head.interval);
    }
    return nullptr;
}

Status parse_rule(uint32_t kind, void *node, std::string_view &rest, EndDate &end_date);

// A node may nest the kinds from kMinutely up to the one given here. Each is smaller
// than the node's own kind, so nesting ends after four levels at most.
uint32_t last_nested_kind(const DailyRule &) { return kMinutely; }
uint32_t last_nested_kind(const WeeklyRule &) { return kMinutely; }
uint32_t last_nested_kind(const MonthlyByPosRule &) { return kWeekly; }
uint32_t last_nested_kind(const MonthlyByDayRule &) { return kWeekly; }
uint32_t last_nested_kind(const YearlyByMonthRule &) { return kMonthlyByDay; }
uint32_t last_nested_kind(const YearlyByDayRule &) { return kMonthlyByDay; }

// D and W nest only M and keep no kind; the others keep the kind beside the node.
void attach_nested(DailyRule &node, uint32_t, void *child)
{
    node.Nested = static_cast<MinutelyRule *>(child);
}
void attach_nested(WeeklyRule &node, uint32_t, void *child)
{
    node.Nested = static_cast<MinutelyRule *>(child);
}
template <class Node> void attach_nested(Node &node, uint32_t kind, void *child)
{
    node.NestedKind = kind;
    node.Nested = child;
}

// What follows the lists of every kind but M: [#count] [nested rule] [enddate]. A token
// that fits none of them ends the rule without an error, and so does the end date:
// nothing after it is looked at.
template <class Node> Status parse_tail(Node &node, std::string_view &rest, EndDate &end_date)
{
    Token token = peek(rest);
    if (!token.present) return Status::Ok;
    if (std::optional<int32_t> count = parse_duration(token.text)) {
        node.Duration = *count;
        rest = token.rest;
        token = peek(rest);
        if (!token.present) return Status::Ok;
    }
    if (std::optional<RuleHead> head = parse_head(token.text)) {
        if (head->kind > last_nested_kind(node)) return Status::ParseError;
        void *child = new_rule(*head);
        if (!child) return Status::OutOfMemory;
        attach_nested(node, head->kind, child);
        rest = token.rest;
        return parse_rule(head->kind, child, rest, end_date);
    }
    if (is_end_date(token.text)) store_end_date(token.text, end_date);
    return Status::Ok;
}

// Stricter than the other kinds: one count and one end date in either order, and any
// other token, a blank at the end included, is an error.
Status parse_minutely(MinutelyRule &node, std::string_view &rest, EndDate &end_date)
{
    bool counted = false;
    bool dated = false;
    for (Token token = peek(rest); token.present; token = peek(rest)) {
        std::optional<int32_t> count;
        if (!counted && (count = parse_duration(token.text))) {
            node.Duration = *count;
            counted = true;
        } else if (!dated && is_end_date(token.text)) {
            store_end_date(token.text, end_date);
            dated = true;
        } else {
            return Status::ParseError;
        }
        rest = token.rest;
    }
    return Status::Ok;
}

Status parse_times(TimeItem **head, std::string_view &rest)
{
    Tail<TimeItem> times(head);
    for (Token token = peek(rest); token.present; token = peek(rest)) {
        std::optional<Time> time = parse_time(token.text);
        if (!time) break;
        TimeItem *item = times.append();
        if (!item) return Status::OutOfMemory;
        item->Hour = time->hour;
        item->Minute = time->minute;
        item->Marked = time->marked;
        rest = token.rest;
    }
    return Status::Ok;
}

template <class Parse> Status parse_numbers(NumberItem **head, std::string_view &rest, Parse parse)
{
    Tail<NumberItem> numbers(head);
    for (Token token = peek(rest); token.present; token = peek(rest)) {
        std::optional<Item> number = parse(token.text);
        if (!number) break;
        NumberItem *item = numbers.append();
        if (!item) return Status::OutOfMemory;
        item->Value = number->value;
        item->Marked = number->marked;
        rest = token.rest;
    }
    return Status::Ok;
}

// "MO 0900 1000 TU 1100": each weekday opens an entry and the times after it are its
// own. The first token that is neither ends the list and stays unread.
Status parse_entries(WeeklyRule &node, std::string_view &rest)
{
    Tail<WeekdayEntry> entries(&node.Entries);
    WeekdayEntry *entry = nullptr;
    for (Token token = peek(rest); token.present; token = peek(rest)) {
        if (entry && parse_time(token.text)) {
            Status status = parse_times(&entry->Times, rest);
            if (status != Status::Ok) return status;
            continue;
        }
        std::optional<Item> weekday = parse_weekday(token.text);
        if (!weekday) break;
        entry = entries.append();
        if (!entry) return Status::OutOfMemory;
        entry->Weekday.Day = weekday->value;
        entry->Weekday.Marked = weekday->marked;
        rest = token.rest;
    }
    return Status::Ok;
}

// "1+ 2- MO TU 0900 3+ FR": a group is occurrences, then weekdays, then times; an
// occurrence after its weekdays or times opens the next group. Any other token ends
// the list and stays unread.
Status parse_groups(MonthlyByPosRule &node, std::string_view &rest)
{
    enum class Want { Occurrences, Weekdays, Times };
    Tail<OccurrenceGroup> groups(&node.Groups);
    OccurrenceGroup *group = nullptr;
    Tail<NumberItem> occurrences;  // behind the group's first
    Tail<WeekdayItem> weekdays;    // behind the group's slot
    Want want = Want::Occurrences;
    for (Token token = peek(rest); token.present; token = peek(rest)) {
        std::optional<Item> occurrence = parse_occurrence(token.text);
        if (group && want == Want::Occurrences) {
            if (occurrence) {
                NumberItem *item = occurrences.append();
                if (!item) return Status::OutOfMemory;
                item->Value = occurrence->value;
                item->Marked = occurrence->marked;
                rest = token.rest;
                continue;
            }
            want = Want::Weekdays;
        }
        if (group && want == Want::Weekdays) {
            if (std::optional<Item> weekday = parse_weekday(token.text)) {
                WeekdayItem *slot = &group->Weekdays;
                if (slot->Day != 0) {
                    slot = weekdays.append();
                    if (!slot) return Status::OutOfMemory;
                }
                slot->Day = weekday->value;
                slot->Marked = weekday->marked;
                rest = token.rest;
                continue;
            }
            want = Want::Times;
        }
        if (group && want == Want::Times && parse_time(token.text)) {
            Status status = parse_times(&group->Times, rest);
            if (status != Status::Ok) return status;
            continue;
        }
        if (!occurrence) break;
        group = groups.append();
        if (!group) return Status::OutOfMemory;
        group->Occurrence.Value = occurrence->value;
        group->Occurrence.Marked = occurrence->marked;
        occurrences = Tail<NumberItem>(&group->Occurrence.Next);
        weekdays = Tail<WeekdayItem>(&group->Weekdays.Next);
        want = Want::Occurrences;
        rest = token.rest;
    }
    return Status::Ok;
}

Status parse_daily(DailyRule &node, std::string_view &rest, EndDate &end_date)
{
    Status status = parse_times(&node.Times, rest);
    if (status != Status::Ok) return status;
    return parse_tail(node, rest, end_date);
}

Status parse_weekly(WeeklyRule &node, std::string_view &rest, EndDate &end_date)
{
    Token token = peek(rest);
    if (token.present && parse_weekday(token.text)) {
        Status status = parse_entries(node, rest);
        if (status != Status::Ok) return status;
    }
    return parse_tail(node, rest, end_date);
}

Status parse_monthly_by_pos(MonthlyByPosRule &node, std::string_view &rest, EndDate &end_date)
{
    Token token = peek(rest);
    if (token.present && parse_occurrence(token.text)) {
        Status status = parse_groups(node, rest);
        if (status != Status::Ok) return status;
    }
    return parse_tail(node, rest, end_date);
}

template <class Node, class Parse>
Status parse_number_rule(Node &node, NumberItem **list, Parse parse, std::string_view &rest,
                         EndDate &end_date)
{
    Status status = parse_numbers(list, rest, parse);
    if (status != Status::Ok) return status;
    return parse_tail(node, rest, end_date);
}

Status parse_rule(uint32_t kind, void *node, std::string_view &rest, EndDate &end_date)
{
    switch (kind) {
    case kMinutely: return parse_minutely(*static_cast<MinutelyRule *>(node), rest, end_date);
    case kDaily: return parse_daily(*static_cast<DailyRule *>(node), rest, end_date);
    case kWeekly: return parse_weekly(*static_cast<WeeklyRule *>(node), rest, end_date);
    case kMonthlyByPos:
        return parse_monthly_by_pos(*static_cast<MonthlyByPosRule *>(node), rest, end_date);
    case kMonthlyByDay: {
        auto &rule = *static_cast<MonthlyByDayRule *>(node);
        return parse_number_rule(rule, &rule.Days, parse_day_number, rest, end_date);
    }
    case kYearlyByMonth: {
        auto &rule = *static_cast<YearlyByMonthRule *>(node);
        return parse_number_rule(rule, &rule.Months, parse_month, rest, end_date);
    }
    case kYearlyByDay: {
        auto &rule = *static_cast<YearlyByDayRule *>(node);
        return parse_number_rule(rule, &rule.Days, parse_year_day, rest, end_date);
    }
    }
    return Status::ParseError;
}

}  // namespace

Status ERG_Parse(const char *text, RecurrenceRule &rule)
{
    rule = RecurrenceRule{};
    if (!text || text[0] == '\0') return Status::Ok;
    std::string_view rest(text);
    Token token = peek(rest);
    std::optional<RuleHead> head = parse_head(token.text);
    if (!head) return Status::ParseError;
    rule.Kind = head->kind;
    rule.Rule = new_rule(*head);
    if (!rule.Rule) {
        rule = RecurrenceRule{};
        return Status::OutOfMemory;
    }
    rest = token.rest;
    Status status = parse_rule(rule.Kind, rule.Rule, rest, rule.EndDate);
    if (status != Status::Ok) {
        ERG_Release(rule);
        rule = RecurrenceRule{};
    }
    return status;
}

}  // namespace kova::recurrence
