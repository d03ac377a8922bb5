#include "recurrence/rule_generator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "recurrence/rule_parser.h"
#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using base::Status;
using namespace testing;

struct GenerateCase {
    const char *name;
    RecurrenceRule (*build)();
    const char *text;
};

const GenerateCase kGenerates[] = {
    {"count 10", [] { return root(kDaily, rule_node<DailyRule>(1, 10)); }, "D1 #10"},
    {"count 2 is not written, 0 is",
     [] {
         return root(kMonthlyByDay, nest(rule_node<MonthlyByDayRule>(3, 2), kMinutely,
                                         rule_node<MinutelyRule>(15, 0)));
     },
     "MD3 M15 #0"},
    {"weekly on two days",
     [] {
         auto *w = rule_node<WeeklyRule>(2, 2);
         w->Entries = entry(held_day(2), nullptr, entry(held_day(3)));
         return root(kWeekly, w);
     },
     "W2 MO TU"},
    {"entry with times, one marked; chained weekday, day 8 skipped",
     [] {
         auto *w = rule_node<WeeklyRule>(1, 2);
         w->Entries = entry(held_day(2), at(9, 0, false, at(17, 30, true)),
                            entry(held_day(1, true, day(8, false, day(7))), at(0, 5)));
         return root(kWeekly, w);
     },
     "W1 MO 0900 1730$ SU$ SA 0005"},
    {"last Friday for ever",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 0);
         mp->Groups = group(held_num(-1), held_day(6));
         return root(kMonthlyByPos, mp);
     },
     "MP1 1- FR #0"},
    {"occurrence 0 gets +; groups without weekday or with an empty slot",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->Groups = group(held_num(0, false, num(-2, true)), {}, at(8, 15),
                            group(held_num(3), held_day(0, false, day(4, true))));
         return root(kMonthlyByPos, mp);
     },
     "MP1 0+ 2-$ 0815 3+ WE$"},
    {"day numbers: last day as 1-, marks",
     [] {
         auto *md = rule_node<MonthlyByDayRule>(1, 2);
         md->Days = num(1, false, num(15, true, num(-1, false, num(-3, true))));
         return root(kMonthlyByDay, md);
     },
     "MD1 1 15$ 1- 3-$"},
    {"yearly with nested monthly by day",
     [] {
         auto *md = rule_node<MonthlyByDayRule>(1, 1);
         md->Days = num(15);
         auto *ym = nest(rule_node<YearlyByMonthRule>(1, 0), kMonthlyByDay, md);
         ym->Months = num(6, true);
         return root(kYearlyByMonth, ym);
     },
     "YM1 6$ #0 MD1 15 #1"},
    {"end date after the count",
     [] { return root(kDaily, rule_node<DailyRule>(1, 10), "20031231T000000Z"); },
     "D1 #10 20031231T000000Z"},
    {"end date after the innermost rule",
     [] {
         auto *d = rule_node<DailyRule>(1, 2);
         d->Times = at(23, 59);
         d->Nested = rule_node<MinutelyRule>(30, 4);
         auto *yd = nest(rule_node<YearlyByDayRule>(2, 5), kDaily, d);
         yd->Days = num(1, false, num(366, true));
         return root(kYearlyByDay, yd, "19991231T235959Z");
     },
     "YD2 1 366$ #5 D1 2359 M30 #4 19991231T235959Z"},
    {"kind that may not nest under MP is left out",
     [] {
         return root(kMonthlyByPos, nest(rule_node<MonthlyByPosRule>(1, 2), kMonthlyByDay,
                                         rule_node<MonthlyByDayRule>(1, 2)));
     },
     "MP1"},
    {"null node writes only the end date",
     [] { return root(kWeekly, nullptr, "20031231T000000Z"); }, " 20031231T000000Z"},
    {"end date filling all 20 bytes",
     [] {
         RecurrenceRule rule = root(kMinutely, rule_node<MinutelyRule>(1, 2));
         std::memcpy(rule.EndDate, "20031231T0000009999Z", sizeof rule.EndDate);
         return rule;
     },
     "M1 20031231T0000009999Z"},
};

TEST(RuleGenerator, WritesTrees)
{
    for (const GenerateCase &c : kGenerates) {
        SCOPED_TRACE(c.name);
        OwnedRule owned(c.build());
        char text[512];
        ASSERT_EQ(ERG_Generate(owned.rule, text), Status::Ok);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(RuleGenerator, FailsForNoRuleKindWithoutEndDate)
{
    for (uint32_t kind : {0u, 8u}) {
        SCOPED_TRACE(kind);
        RecurrenceRule rule = root(kind, nullptr, "20031231T000000Z");
        char text[64] = "left over";
        EXPECT_EQ(ERG_Generate(rule, text), Status::GeneralFailure);
        EXPECT_STREQ(text, "");
    }
}

// "D1 #10 20031231T000000Z" needs 24 bytes. A shorter buffer gets nothing, since a cut
// rule would read as another one, and no byte past it changes.
TEST(RuleGenerator, NeverWritesPastTheBuffer)
{
    OwnedRule owned(root(kDaily, rule_node<DailyRule>(1, 10), "20031231T000000Z"));
    for (size_t capacity : {24u, 23u, 7u, 1u, 0u}) {
        SCOPED_TRACE(capacity);
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        bool fits = capacity == 24;
        EXPECT_EQ(ERG_Generate(owned.rule, buffer, capacity),
                  fits ? Status::Ok : Status::GeneralFailure);
        if (capacity > 0) {
            EXPECT_STREQ(buffer, fits ? "D1 #10 20031231T000000Z" : "");
        }
        for (size_t i = capacity; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
    }
}

// Random trees in every shape the text can carry. Values stay inside what an item's
// text can say (occurrences one digit, day numbers four characters with sign and
// mark), and a group followed by another names a weekday or a time, or the next
// group's occurrences would join it.
class RandomTrees {
public:
    explicit RandomTrees(uint32_t seed) : random_(seed) {}

    RecurrenceRule tree(uint32_t kind)
    {
        RecurrenceRule rule = root(kind, node(kind));
        if (chance(50)) {
            std::snprintf(rule.EndDate, sizeof rule.EndDate, "%04d%02d%02dT%02d%02d%02d%.*s",
                          between(1900, 2099), between(1, 12), between(1, 28), between(0, 23),
                          between(0, 59), between(0, 59), between(0, 4), "Z0Z9");
        }
        return rule;
    }

private:
    int between(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }
    bool mark() { return chance(25); }

    int32_t interval() { return chance(90) ? between(0, 12) : chance(50) ? 99999 : INT32_MAX; }
    int32_t count()
    {
        const int32_t counts[] = {0, 1, 2, 2, 10, 999, INT32_MAX};
        return counts[between(0, 6)];
    }

    template <class Item, class Make> Item *list(int most, Make make_item)
    {
        Item *head = nullptr;
        for (Item **tail = &head; most > 0 && chance(70); --most, tail = &(*tail)->Next)
            *tail = make_item();
        return head;
    }
    TimeItem *times(int most)
    {
        return list<TimeItem>(most, [&] { return at(between(0, 23), between(0, 59), mark()); });
    }
    NumberItem *numbers(uint32_t kind)
    {
        return list<NumberItem>(4, [&] {
            if (kind == kYearlyByMonth) return num(between(1, 12), mark());
            if (kind == kYearlyByDay) return num(between(1, 366), mark());
            bool marked = mark(), negative = chance(30);
            int magnitude = between(0, 9);
            for (int digits = between(1, 4 - negative - marked); digits > 1; --digits)
                magnitude = magnitude * 10 + between(0, 9);
            return num(negative ? -magnitude : magnitude, marked);
        });
    }
    WeekdayEntry *entries()
    {
        return list<WeekdayEntry>(4, [&] {
            return entry({between(1, 7), mark(), nullptr}, times(2));
        });
    }
    OccurrenceGroup *groups()
    {
        OccurrenceGroup *first = list<OccurrenceGroup>(3, [&] {
            NumberItem occurrence{between(-9, 9), mark(), list<NumberItem>(2, [&] {
                                      return num(between(-9, 9), mark());
                                  })};
            WeekdayItem slot{};
            if (chance(70))
                slot = {between(1, 7), mark(), list<WeekdayItem>(2, [&] {
                            return day(between(1, 7), mark());
                        })};
            return group(occurrence, slot, times(2));
        });
        for (OccurrenceGroup *g = first; g && g->Next; g = g->Next)
            if (g->Weekdays.Day == 0 && !g->Times) g->Weekdays.Day = between(1, 7);
        return first;
    }

    template <class Node> Node *with_nested(Node *rule, uint32_t last)
    {
        if (chance(40)) {
            uint32_t kind = between(kMinutely, last);
            nest(rule, kind, node(kind));
        }
        return rule;
    }
    MinutelyRule *minutely()
    {
        return chance(40) ? rule_node<MinutelyRule>(interval(), count()) : nullptr;
    }

    void *node(uint32_t kind)
    {
        switch (kind) {
        case kMinutely: return rule_node<MinutelyRule>(interval(), count());
        case kDaily: {
            auto *d = rule_node<DailyRule>(interval(), count());
            d->Times = times(3);
            d->Nested = minutely();
            return d;
        }
        case kWeekly: {
            auto *w = rule_node<WeeklyRule>(interval(), count());
            w->Entries = entries();
            w->Nested = minutely();
            return w;
        }
        case kMonthlyByPos: {
            auto *mp = rule_node<MonthlyByPosRule>(interval(), count());
            mp->Groups = groups();
            return with_nested(mp, kWeekly);
        }
        case kMonthlyByDay: {
            auto *md = rule_node<MonthlyByDayRule>(interval(), count());
            md->Days = numbers(kind);
            return with_nested(md, kWeekly);
        }
        case kYearlyByMonth: {
            auto *ym = rule_node<YearlyByMonthRule>(interval(), count());
            ym->Months = numbers(kind);
            return with_nested(ym, kMonthlyByDay);
        }
        case kYearlyByDay: {
            auto *yd = rule_node<YearlyByDayRule>(interval(), count());
            yd->Days = numbers(kind);
            return with_nested(yd, kMonthlyByDay);
        }
        }
        return nullptr;
    }

    std::mt19937 random_;
};

TEST(RuleGenerator, AgreesWithTheParser)
{
    RandomTrees random(20240517);
    for (int i = 0; i < 3000; ++i) {
        OwnedRule built(random.tree(kMinutely + i % 7));
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
