#include "recurrence/rule_generator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <type_traits>

#include "recurrence/rule_parser.h"
#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using base::Status;
using namespace testing;

template <class Node> Node &as(RecurrenceRule &rule) { return *static_cast<Node *>(rule.Rule); }

// The tree is parsed from text; tweak, when set, gives it a shape the parser never makes.
// A null generated text means generation fails and leaves the buffer empty.
const struct {
    const char *name;
    const char *text;
    void (*tweak)(RecurrenceRule &);
    const char *generated;
} kGenerates[] = {
    {"count 2 is left out", "W2 MO TU #2", nullptr, "W2 MO TU"},
    {"occurrence 0 gets +; no weekday", "MP1 X- 2-$ 0815 3+ WE$ TH", nullptr, "MP1 0+ 2-$ 0815 3+ WE$ TH"},
    {"last day as 1-; day marks; count 0", "MD1 LD 15$ 3-$ #0", nullptr, "MD1 1- 15$ 3-$ #0"},
    {"month mark; nested rule after the count", "YM1 0006$ #0 MD1 15 #1", nullptr, "YM1 6$ #0 MD1 15 #1"},
    {"count before the end date", "M15 19991231T000000Z #4", nullptr, "M15 #4 19991231T000000Z"},
    {"end date after the innermost rule", "YD2 1 366$ #5 D1 2359 M30 #4 19991231T235959Z", nullptr,
     "YD2 1 366$ #5 D1 2359 M30 #4 19991231T235959Z"},
    {"weekdays chained on an entry; day 8 skipped", "W1 MO 0900", [](RecurrenceRule &r) {
         as<WeeklyRule>(r).Entries->Weekday.Next = make(WeekdayItem{8, 0, make(WeekdayItem{7, 1, nullptr})});
     }, "W1 MO SA$ 0900"},
    {"a kind MP may not nest is left out", "MP1 1+ MO", [](RecurrenceRule &r) {
         as<MonthlyByPosRule>(r).NestedKind = kMonthlyByDay;
         as<MonthlyByPosRule>(r).Nested = make(MonthlyByDayRule{1, nullptr, 2, 0, nullptr});
     }, "MP1 1+ MO"},
    {"null node writes only the end date", "W1 20031231T000000Z",
     [](RecurrenceRule &r) { ERG_Release(r); }, " 20031231T000000Z"},
    {"kind 0 fails, no end date", "",
     [](RecurrenceRule &r) { std::strcpy(r.EndDate, "20031231T000000Z"); }, nullptr},
    {"kind 8 fails, no end date", "D1 20031231T000000Z",
     [](RecurrenceRule &r) { ERG_Release(r); r.Kind = 8; }, nullptr},
};

TEST(RuleGenerator, WritesTrees)
{
    for (const auto &c : kGenerates) {
        SCOPED_TRACE(c.name);
        OwnedRule owned;
        ASSERT_EQ(ERG_Parse(c.text, owned.rule), Status::Ok);
        if (c.tweak) c.tweak(owned.rule);
        char text[512] = "left over";
        EXPECT_EQ(ERG_Generate(owned.rule, text), c.generated ? Status::Ok : Status::GeneralFailure);
        EXPECT_STREQ(text, c.generated ? c.generated : "");
    }
}

// "D1 #10 20031231T000000Z" needs 24 bytes. A shorter buffer gets nothing, since a cut
// rule would read as another one, and no byte past it changes.
TEST(RuleGenerator, NeverWritesPastTheBuffer)
{
    OwnedRule owned;
    ASSERT_EQ(ERG_Parse("D1 #10 20031231T000000Z", owned.rule), Status::Ok);
    for (size_t capacity : {24u, 23u, 1u, 0u}) {
        SCOPED_TRACE(capacity);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        bool fits = capacity == 24;
        EXPECT_EQ(ERG_Generate(owned.rule, buffer, capacity), fits ? Status::Ok : Status::GeneralFailure);
        EXPECT_STREQ(capacity ? buffer : "", fits ? "D1 #10 20031231T000000Z" : "");
        for (size_t i = capacity; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
    }
}

// Random trees of every shape the text can carry. Values stay inside what an item's text
// can say (occurrences one digit, day numbers four characters with sign and mark), and
// every group names a weekday, or the next group's occurrences could join it.
class RandomTrees {
public:
    explicit RandomTrees(uint32_t seed) : random_(seed) {}

    RecurrenceRule tree(uint32_t kind)
    {
        RecurrenceRule rule{kind, node(kind), {}};
        if (chance(50))  // 15 to 19 characters
            std::snprintf(rule.EndDate, sizeof rule.EndDate, "%08dT%06d%.*s",
                          between(19000101, 20991231), between(0, 235959), between(0, 4), "Z0Z9");
        return rule;
    }

private:
    void *node(uint32_t kind)
    {
        switch (kind) {
        case kMinutely: return make(MinutelyRule{interval(), count()});
        case kDaily: return make(DailyRule{interval(), times(3), count(), minutely()});
        case kWeekly: return make(WeeklyRule{interval(), entries(), count(), minutely()});
        case kMonthlyByPos: return nest<MonthlyByPosRule>(groups(), kWeekly);
        case kMonthlyByDay: return nest<MonthlyByDayRule>(numbers(-99, 999), kWeekly);
        case kYearlyByMonth: return nest<YearlyByMonthRule>(numbers(1, 12), kMonthlyByDay);
        case kYearlyByDay: return nest<YearlyByDayRule>(numbers(1, 366), kMonthlyByDay);
        }
        return nullptr;
    }
    // Interval, list, count, and perhaps a nested rule of a kind up to last_kind.
    template <class Node, class Item> void *nest(Item *items, uint32_t last_kind)
    {
        uint32_t kind = chance(40) ? between(kMinutely, last_kind) : 0;
        return make(Node{interval(), items, count(), kind, kind ? node(kind) : nullptr});
    }
    MinutelyRule *minutely() { return chance(40) ? make(MinutelyRule{interval(), count()}) : nullptr; }
    WeekdayEntry *entries() { return list(4, [&] { return WeekdayEntry{weekday(), times(2), nullptr}; }); }
    OccurrenceGroup *groups()
    {
        return list(3, [&] {
            WeekdayItem weekdays{between(1, 7), mark(), list(2, [&] { return weekday(); })};
            return OccurrenceGroup{{between(-9, 9), mark(), numbers(-9, 9)}, weekdays, times(2), nullptr};
        });
    }
    TimeItem *times(int most)
    {
        return list(most, [&] { return TimeItem{between(0, 23), between(0, 59), mark(), nullptr}; });
    }
    NumberItem *numbers(int low, int high)
    {
        return list(4, [&] { return NumberItem{between(low, high), mark(), nullptr}; });
    }
    // Up to most items, each made by make_item and linked in order.
    template <class Make> std::invoke_result_t<Make> *list(int most, Make make_item)
    {
        std::invoke_result_t<Make> *head = nullptr, **tail = &head;
        for (; most > 0 && chance(70); --most, tail = &(*tail)->Next) *tail = make(make_item());
        return head;
    }

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    uint8_t mark() { return chance(25); }
    WeekdayItem weekday() { return {between(1, 7), mark(), nullptr}; }
    int32_t interval() { return chance(90) ? between(0, 12) : INT32_MAX; }
    int32_t count() { return chance(40) ? 2 : chance(10) ? INT32_MAX : between(0, 10); }

    std::mt19937 random_;
};

// Generate, parse and generate again: the same text, and a tree equal to the one built.
TEST(RuleGenerator, AgreesWithTheParser)
{
    RandomTrees random(20240517);
    for (int i = 0; i < 3000; ++i) {
        OwnedRule built;
        built.rule = random.tree(kMinutely + i % 7);
        char first[512];
        ASSERT_EQ(ERG_Generate(built.rule, first), Status::Ok);
        SCOPED_TRACE(first);
        OwnedRule parsed;
        ASSERT_EQ(ERG_Parse(first, parsed.rule), Status::Ok);
        EXPECT_EQ(dump(parsed.rule), dump(built.rule));
        char second[512];
        ASSERT_EQ(ERG_Generate(parsed.rule, second), Status::Ok);
        EXPECT_STREQ(second, first);
    }
}

}  // namespace
}  // namespace kova::recurrence
