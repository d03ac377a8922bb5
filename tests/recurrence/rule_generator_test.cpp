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
    {"daily with count", [] { return root(kDaily, rule_node<DailyRule>(1, 10)); }, "D1 #10"},
    {"count 2 is not written", [] { return root(kDaily, rule_node<DailyRule>(3, 2)); }, "D3"},
    {"count 0 is written", [] { return root(kMinutely, rule_node<MinutelyRule>(15, 0)); },
     "M15 #0"},
    {"weekly on two days",
     [] {
         auto *w = rule_node<WeeklyRule>(2, 2);
         w->Entries = chain({entry(weekdays({{2}})), entry(weekdays({{3}}))});
         return root(kWeekly, w);
     },
     "W2 MO TU"},
    {"weekly entry with times, one marked",
     [] {
         auto *w = rule_node<WeeklyRule>(1, 2);
         w->Entries = entry(weekdays({{2}}), times({{9, 0}, {17, 30, true}}));
         return root(kWeekly, w);
     },
     "W1 MO 0900 1730$"},
    {"weekdays chained in one entry, day 8 skipped",
     [] {
         auto *w = rule_node<WeeklyRule>(1, 2);
         w->Entries = entry(weekdays({{1, true}, {8}, {7}}), times({{0, 5}}));
         return root(kWeekly, w);
     },
     "W1 SU$ SA 0005"},
    {"last Friday for ever",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 0);
         mp->Groups = group(numbers({{-1}}), weekdays({{6}}));
         return root(kMonthlyByPos, mp);
     },
     "MP1 1- FR #0"},
    {"occurrence 0 gets a plus, marks kept",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->Groups = group(numbers({{0}, {-2, true}}), weekdays({{2, true}}), times({{8, 15}}));
         return root(kMonthlyByPos, mp);
     },
     "MP1 0+ 2-$ MO$ 0815"},
    {"group naming no weekday",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->Groups = chain({group(numbers({{1}, {2}})), group(numbers({{3}}), nullptr,
                                                                   times({{9, 0}}))});
         return root(kMonthlyByPos, mp);
     },
     "MP1 1+ 2+ 3+ 0900"},
    {"empty weekday slot with weekdays chained behind it",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->Groups = group(numbers({{1}}));
         mp->Groups->Weekdays.Next = weekdays({{4}});
         return root(kMonthlyByPos, mp);
     },
     "MP1 1+ WE"},
    {"day numbers: last day as 1-, marks",
     [] {
         auto *md = rule_node<MonthlyByDayRule>(1, 2);
         md->Days = numbers({{1}, {15, true}, {-1}, {-3, true}});
         return root(kMonthlyByDay, md);
     },
     "MD1 1 15$ 1- 3-$"},
    {"marked month",
     [] {
         auto *ym = rule_node<YearlyByMonthRule>(1, 2);
         ym->Months = numbers({{6, true}, {7}});
         return root(kYearlyByMonth, ym);
     },
     "YM1 6$ 7"},
    {"yearly with nested monthly by day",
     [] {
         auto *md = rule_node<MonthlyByDayRule>(1, 1);
         md->Days = numbers({{15}});
         auto *ym = rule_node<YearlyByMonthRule>(1, 0);
         ym->Months = numbers({{6}});
         ym->NestedKind = kMonthlyByDay;
         ym->Nested = md;
         return root(kYearlyByMonth, ym);
     },
     "YM1 6 #0 MD1 15 #1"},
    {"end date after the count",
     [] { return root(kDaily, rule_node<DailyRule>(1, 10), "20031231T000000Z"); },
     "D1 #10 20031231T000000Z"},
    {"end date after the innermost rule",
     [] {
         auto *d = rule_node<DailyRule>(1, 2);
         d->Times = times({{23, 59}});
         d->Nested = rule_node<MinutelyRule>(30, 4);
         auto *yd = rule_node<YearlyByDayRule>(2, 5);
         yd->Days = numbers({{1}, {366, true}});
         yd->NestedKind = kDaily;
         yd->Nested = d;
         return root(kYearlyByDay, yd, "19991231T235959Z");
     },
     "YD2 1 366$ #5 D1 2359 M30 #4 19991231T235959Z"},
    {"nested kind not allowed under MP is left out",
     [] {
         auto *mp = rule_node<MonthlyByPosRule>(1, 2);
         mp->NestedKind = kMonthlyByDay;
         mp->Nested = rule_node<MonthlyByDayRule>(1, 2);
         return root(kMonthlyByPos, mp);
     },
     "MP1"},
    {"null outermost node writes only the end date",
     [] { return root(kWeekly, nullptr, "20031231T000000Z"); }, " 20031231T000000Z"},
    {"end date filling all 20 bytes",
     [] {
         RecurrenceRule rule = root(kMinutely, rule_node<MinutelyRule>(1, 2));
         std::memset(rule.EndDate, '9', sizeof rule.EndDate);
         rule.EndDate[8] = 'T';
         return rule;
     },
     "M1 99999999T99999999999"},
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
        OwnedRule owned(root(kind, nullptr, "20031231T000000Z"));
        char text[64] = "left over";
        EXPECT_EQ(ERG_Generate(owned.rule, text), Status::GeneralFailure);
        EXPECT_STREQ(text, "");
    }
}

// "D1 #10 20031231T000000Z" is 23 characters: it needs 24 bytes. A buffer one short
// gets nothing (a cut rule would read as a different one) and no byte past it changes.
TEST(RuleGenerator, NeverWritesPastTheBuffer)
{
    const struct {
        size_t capacity;
        Status status;
        const char *text;
    } cases[] = {
        {24, Status::Ok, "D1 #10 20031231T000000Z"},
        {23, Status::GeneralFailure, ""},
        {7, Status::GeneralFailure, ""},  // cut before the end date
        {1, Status::GeneralFailure, ""},
    };
    OwnedRule owned(root(kDaily, rule_node<DailyRule>(1, 10), "20031231T000000Z"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.capacity);
        char buffer[40];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(ERG_Generate(owned.rule, buffer, c.capacity), c.status);
        EXPECT_STREQ(buffer, c.text);
        for (size_t i = c.capacity; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
    }
    char untouched = '#';
    EXPECT_EQ(ERG_Generate(owned.rule, &untouched, 0), Status::GeneralFailure);
    EXPECT_EQ(untouched, '#');
}

// Random trees in the shapes the text can carry: generating, parsing and generating
// again must give the same text and the same tree.
class RandomTrees {
public:
    explicit RandomTrees(uint32_t seed) : random_(seed) {}

    RecurrenceRule tree(uint32_t kind)
    {
        RecurrenceRule rule = root(kind, node(kind));
        if (chance(50)) {
            std::string date = std::to_string(between(1900, 2099));
            char rest[16];
            std::snprintf(rest, sizeof rest, "%02d%02dT%02d%02d%02d", between(1, 12),
                          between(1, 28), between(0, 23), between(0, 59), between(0, 59));
            date += rest;
            if (chance(70)) date += "Z";
            while (date.size() < kEndDateCapacity - 1 && chance(20)) date += "0Z9"[between(0, 2)];
            std::snprintf(rule.EndDate, sizeof rule.EndDate, "%s", date.c_str());
        }
        return rule;
    }

private:
    int between(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }

    int32_t interval()
    {
        return chance(90) ? between(0, 12) : chance(50) ? between(13, 99999) : INT32_MAX;
    }
    int32_t count()
    {
        switch (between(0, 5)) {
        case 0: return 0;
        case 1: return 2;
        case 2: return 1;
        case 3: return INT32_MAX;
        default: return between(3, 999);
        }
    }

    template <class Item> void mark(Item *item) { item->Marked = chance(25); }

    TimeItem *time_list(int most)
    {
        TimeItem *head = nullptr, **tail = &head;
        for (int n = between(0, most); n > 0; --n) {
            *tail = make<TimeItem>();
            (*tail)->Hour = between(0, 23);
            (*tail)->Minute = between(0, 59);
            mark(*tail);
            tail = &(*tail)->Next;
        }
        return head;
    }

    // The text of a day number is at most four characters, sign and mark included.
    NumberItem *day_number()
    {
        auto *item = make<NumberItem>();
        mark(item);
        bool negative = chance(30);
        int digits = between(1, 4 - negative - item->Marked);
        int magnitude = between(digits == 1 ? 0 : 1, 9);
        for (int i = 1; i < digits; ++i) magnitude = magnitude * 10 + between(0, 9);
        item->Value = negative ? -magnitude : magnitude;
        return item;
    }

    NumberItem *number_list(uint32_t kind)
    {
        NumberItem *head = nullptr, **tail = &head;
        for (int n = between(0, 4); n > 0; --n) {
            if (kind == kMonthlyByDay) {
                *tail = day_number();
            } else {
                *tail = make<NumberItem>();
                (*tail)->Value = kind == kYearlyByMonth ? between(1, 12) : between(1, 366);
                mark(*tail);
            }
            tail = &(*tail)->Next;
        }
        return head;
    }

    WeekdayEntry *entries()
    {
        WeekdayEntry *head = nullptr, **tail = &head;
        for (int n = between(0, 4); n > 0; --n) {
            *tail = make<WeekdayEntry>();
            (*tail)->Weekday.Day = between(1, 7);
            mark(&(*tail)->Weekday);
            (*tail)->Times = time_list(2);
            tail = &(*tail)->Next;
        }
        return head;
    }

    // A group that names neither weekday nor time would run into the next one's
    // occurrences, so only the last group may be that bare.
    OccurrenceGroup *groups()
    {
        OccurrenceGroup *head = nullptr, **tail = &head;
        for (int n = between(0, 3); n > 0; --n) {
            auto *g = make<OccurrenceGroup>();
            g->Occurrence.Value = between(-9, 9);
            mark(&g->Occurrence);
            NumberItem **more = &g->Occurrence.Next;
            for (int k = between(0, 2); k > 0; --k) {
                *more = make<NumberItem>();
                (*more)->Value = between(-9, 9);
                mark(*more);
                more = &(*more)->Next;
            }
            int days = between(0, 3);
            g->Times = time_list(2);
            if (n > 1 && days == 0 && !g->Times) days = 1;
            WeekdayItem *slot = &g->Weekdays;
            for (int k = 0; k < days; ++k) {
                if (k > 0) slot = slot->Next = make<WeekdayItem>();
                slot->Day = between(1, 7);
                mark(slot);
            }
            *tail = g;
            tail = &g->Next;
        }
        return head;
    }

    uint32_t nested_kind(uint32_t last)
    {
        return chance(40) ? static_cast<uint32_t>(between(kMinutely, static_cast<int>(last)))
                          : kNoRule;
    }

    template <class Node> Node *with_nested(Node *rule, uint32_t last)
    {
        rule->NestedKind = nested_kind(last);
        rule->Nested = rule->NestedKind ? node(rule->NestedKind) : nullptr;
        return rule;
    }

    void *node(uint32_t kind)
    {
        switch (kind) {
        case kMinutely: return rule_node<MinutelyRule>(interval(), count());
        case kDaily: {
            auto *d = rule_node<DailyRule>(interval(), count());
            d->Times = time_list(3);
            if (chance(40)) d->Nested = rule_node<MinutelyRule>(interval(), count());
            return d;
        }
        case kWeekly: {
            auto *w = rule_node<WeeklyRule>(interval(), count());
            w->Entries = entries();
            if (chance(40)) w->Nested = rule_node<MinutelyRule>(interval(), count());
            return w;
        }
        case kMonthlyByPos: {
            auto *mp = rule_node<MonthlyByPosRule>(interval(), count());
            mp->Groups = groups();
            return with_nested(mp, kWeekly);
        }
        case kMonthlyByDay: {
            auto *md = rule_node<MonthlyByDayRule>(interval(), count());
            md->Days = number_list(kMonthlyByDay);
            return with_nested(md, kWeekly);
        }
        case kYearlyByMonth: {
            auto *ym = rule_node<YearlyByMonthRule>(interval(), count());
            ym->Months = number_list(kYearlyByMonth);
            return with_nested(ym, kMonthlyByDay);
        }
        case kYearlyByDay: {
            auto *yd = rule_node<YearlyByDayRule>(interval(), count());
            yd->Days = number_list(kYearlyByDay);
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
