#include "recurrence/rule_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "model/alloc.h"
#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using base::Status;
using testing::dump;
using testing::OwnedRule;

struct ParseCase {
    const char *name;
    const char *text;
    const char *tree;  // as testing::dump writes it
};

const ParseCase kParses[] = {
    {"no count gives 2", "D1", "D{i=1 n=2}"},
    {"#0 stores 0", "D1 #0", "D{i=1 n=0}"},
    {"count without times", "D1 #100", "D{i=1 n=100}"},
    {"lone # counts 0", "D1 #", "D{i=1 n=0}"},
    {"times, one marked", "D1 0900 1730$ #5", "D{i=1 n=5 times=[09:00 17:30$]}"},
    {"fifth character of a time other than $", "D1 0900x", "D{i=1 n=2 times=[09:00]}"},
    {"hour 24 is no time and ends the rule", "D1 2400 #3", "D{i=1 n=2}"},
    {"minute 60 is no time", "D1 0960", "D{i=1 n=2}"},
    {"runs of blanks", "D1   0900    #5  ", "D{i=1 n=5 times=[09:00]}"},
    {"no interval", "D", "D{i=0 n=2}"},
    {"interval 0", "W0 MO", "W{i=0 n=2 entries=[MO]}"},
    {"mark after the interval", "W2$ MO", "W{i=2 n=2 entries=[MO]}"},
    {"interval past int32 stays at the top", "D99999999999 #99999999999",
     "D{i=2147483647 n=2147483647}"},
    {"two weekdays", "W2 MO TU", "W{i=2 n=2 entries=[MO TU]}"},
    {"times belong to the weekday before them", "W1 MO 0900 1000 TU 1100",
     "W{i=1 n=2 entries=[MO(09:00 10:00) TU(11:00)]}"},
    {"weekday marks and long names", "W1 MO$ TUESDAY WE$x", "W{i=1 n=2 entries=[MO$ TU WE$]}"},
    {"weekday after the count ends the rule", "W1 #5 MO", "W{i=1 n=5}"},
    {"time before any weekday ends the list", "W1 0900 MO", "W{i=1 n=2}"},
    {"end date", "W1 MO 19991231T235959Z", "W{i=1 n=2 entries=[MO]} end=19991231T235959Z"},
    {"nothing after the end date is read", "W1 MO 19991231T235959Z FR #5",
     "W{i=1 n=2 entries=[MO]} end=19991231T235959Z"},
    {"one group", "MP1 1+ MO", "MP{i=1 n=2 groups=[(1/MO/)]}"},
    {"last occurrence", "MP1 1- FR #0", "MP{i=1 n=0 groups=[(-1/FR/)]}"},
    {"two groups", "MP1 1+ 2- MO TU 0900 3+ FR",
     "MP{i=1 n=2 groups=[(1 -2/MO TU/09:00) (3/FR/)]}"},
    {"group without weekday", "MP1 1+ 0900 2- TU", "MP{i=1 n=2 groups=[(1//09:00) (-2/TU/)]}"},
    {"weekday after times ends the list", "MP1 1+ MO 0900 TU #4",
     "MP{i=1 n=2 groups=[(1/MO/09:00)]}"},
    {"occurrence marks, non-digit reads 0", "MP1 1+$ X- MO$", "MP{i=1 n=2 groups=[(1$ 0/MO$/)]}"},
    {"day numbers", "MD1 1 15", "MD{i=1 n=2 days=[1 15]}"},
    {"LD is -1", "MD1 LD", "MD{i=1 n=2 days=[-1]}"},
    {"1- is -1", "MD1 1-", "MD{i=1 n=2 days=[-1]}"},
    {"day number signs and marks", "MD1 31+ 2-$ 7$ 0", "MD{i=1 n=2 days=[31 -2$ 7$ 0]}"},
    {"five characters is no day number", "MD1 12345 #3", "MD{i=1 n=2}"},
    {"month with nested monthly rule", "YM1 6 MD1 15 #1",
     "YM{i=1 n=2 months=[6] nested=MD{i=1 n=1 days=[15]}}"},
    {"months: four digits, range, marks", "YM1 0006 12$ 1x 13 7",
     "YM{i=1 n=2 months=[6 12$ 1]}"},
    {"Y is YM", "Y1 6", "YM{i=1 n=2 months=[6]}"},
    {"day of the year", "YD1 100", "YD{i=1 n=2 days=[100]}"},
    {"day 400 stops the list", "YD1 400", "YD{i=1 n=2}"},
    {"day 366 marked, 0 stops", "YD1 366$ 0 5", "YD{i=1 n=2 days=[366$]}"},
    {"minutely with count then end date", "M15 #4 19991231T000000Z",
     "M{i=15 n=4} end=19991231T000000Z"},
    {"minutely with end date then count", "M15 19991231T000000Z #4",
     "M{i=15 n=4} end=19991231T000000Z"},
    {"minutely alone", "M15", "M{i=15 n=2}"},
    {"nested rule carries the end date", "D1 #5 M30 #2 19991231T000000Z",
     "D{i=1 n=5 nested=M{i=30 n=2}} end=19991231T000000Z"},
    {"daily nested in monthly", "MD1 15 D1 0900 #3",
     "MD{i=1 n=2 days=[15] nested=D{i=1 n=3 times=[09:00]}}"},
    {"four levels", "YD1 100 #0 MP2 1+ MO W1 TU M5 #3 20000101T000000Z",
     "YD{i=1 n=0 days=[100] nested=MP{i=2 n=2 groups=[(1/MO/)] "
     "nested=W{i=1 n=2 entries=[TU] nested=M{i=5 n=3}}}} end=20000101T000000Z"},
    {"unknown word ends the rule", "D1 0900 hello #5", "D{i=1 n=2 times=[09:00]}"},
};

TEST(RuleParser, BuildsTrees)
{
    for (const ParseCase &c : kParses) {
        SCOPED_TRACE(c.name);
        OwnedRule owned;
        ASSERT_EQ(ERG_Parse(c.text, owned.rule), Status::Ok) << c.text;
        EXPECT_EQ(dump(owned.rule), c.tree) << c.text;
    }
}

struct RejectCase {
    const char *name;
    const char *text;
};

const RejectCase kRejects[] = {
    {"unknown keyword", "Q1"},
    {"count first", "#3"},
    {"digits first", "1999"},
    {"only blanks", "   "},
    {"lower case", "d1"},
    {"letters past the keyword", "MX1"},
    {"second count in M", "M15 #4 #5"},
    {"second end date in M", "M15 19991231T000000Z 19991231T000000Z"},
    {"trailing blank in M", "M15 "},
    {"any word in M", "M1 MO"},
    {"trailing blank in a nested M", "D1 M5 "},
    {"W nested in D", "D1 W1 MO"},
    {"YM nested in MP", "MP1 1+ MO YM1 6"},
    {"MP nested in W", "W1 MO #3 MP1 1+"},
    {"YD nested in YM", "YM1 6 YD1 100"},
    {"MD nested in MD", "MD1 15 MD1 20"},
    {"error two levels down", "YM1 6 MP1 1+ SU W1 MO D1"},
};

TEST(RuleParser, RejectsWhatIsNoRule)
{
    for (const RejectCase &c : kRejects) {
        SCOPED_TRACE(c.name);
        RecurrenceRule rule{};
        EXPECT_EQ(ERG_Parse(c.text, rule), Status::ParseError) << c.text;
        EXPECT_EQ(rule.Kind, kNoRule);
        EXPECT_EQ(rule.Rule, nullptr);
    }
}

TEST(RuleParser, EmptyTextIsNoRule)
{
    for (const char *text : {static_cast<const char *>(nullptr), ""}) {
        RecurrenceRule rule{};
        rule.Kind = kWeekly;  // left over from an earlier use: cleared first
        std::snprintf(rule.EndDate, sizeof rule.EndDate, "19991231T000000Z");
        EXPECT_EQ(ERG_Parse(text, rule), Status::Ok);
        EXPECT_EQ(rule.Kind, kNoRule);
        EXPECT_EQ(rule.Rule, nullptr);
        EXPECT_EQ(rule.EndDate[0], '\0');
    }
}

// An end date longer than its 19-character field is cut, also in an M rule, which
// still counts it as its end date.
TEST(RuleParser, CutsLongEndDates)
{
    const std::string date19 = "19991231T2359590000";
    const std::string long_date = "19991231T235959Z" + std::string(600, '7');
    const struct {
        const char *name;
        std::string text;
        const char *tree;
    } cases[] = {
        {"19 characters", "W1 MO " + date19, "W{i=1 n=2 entries=[MO]} end=19991231T2359590000"},
        {"20 characters", "W1 MO " + date19 + "1",
         "W{i=1 n=2 entries=[MO]} end=19991231T2359590000"},
        {"616 characters", "W1 MO " + long_date, "W{i=1 n=2 entries=[MO]} end=19991231T235959Z777"},
        {"in an M rule", "M1 " + long_date + " #3", "M{i=1 n=3} end=19991231T235959Z777"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        OwnedRule owned;
        ASSERT_EQ(ERG_Parse(c.text.c_str(), owned.rule), Status::Ok);
        EXPECT_EQ(dump(owned.rule), c.tree);
    }
}

// A token past 511 characters is read as its first 511; the rest of it is skipped, not
// read as a token of its own (an M rule would refuse that as a stray word).
TEST(RuleParser, ReadsLongTokensAsTheirFirst511Characters)
{
    for (size_t length : {510u, 511u, 512u, 513u, 2000u}) {
        SCOPED_TRACE(length);
        std::string count = "#5" + std::string(length - 4, 'x') + "TU";
        OwnedRule minutely;
        EXPECT_EQ(ERG_Parse(("M1 " + count).c_str(), minutely.rule), Status::Ok);
        EXPECT_EQ(dump(minutely.rule), "M{i=1 n=5}");

        std::string weekday = "MO" + std::string(length - 4, 'x') + "TU";
        OwnedRule weekly;
        EXPECT_EQ(ERG_Parse(("W1 " + weekday + " FR").c_str(), weekly.rule), Status::Ok);
        EXPECT_EQ(dump(weekly.rule), "W{i=1 n=2 entries=[MO FR]}");
    }
}

const char *const kAllocatingTexts[] = {
    "M15 #4 19991231T000000Z",
    "D1 0900 1730$ #5 M30 #2",
    "W1 MO 0900 1000 TU 1100 #3 M5 20000101T000000Z",
    "MP1 1+ 2- 3+ MO TU WE 0900 1000 4- FR 1100 #0 W1 SA",
    "MD1 1 15 LD #2 D1 0800",
    "YM1 1 6 12 #0 MP1 1+ SU 0700",
    "YD1 100 #0 MP2 1+ MO W1 TU M5 #3 20000101T000000Z",
    "MP1 1+ MO TU YM1 6",  // fails with 19 once everything before YM is built
};

// Every allocation of a parse failed in turn: the result is 11, the root comes back
// cleared, and (under LeakSanitizer) nothing built before the failure is left behind.
TEST(RuleParser, AllocationFailuresReleaseEverything)
{
    for (const char *text : kAllocatingTexts) {
        SCOPED_TRACE(text);
        unsigned long before = model::allocation_count();
        RecurrenceRule rule{};
        Status complete = ERG_Parse(text, rule);
        unsigned long needed = model::allocation_count() - before;
        ERG_Release(rule);
        ASSERT_GE(needed, 1u);
        for (unsigned long n = 1; n <= needed; ++n) {
            SCOPED_TRACE(n);
            model::fail_allocation_after(n);
            EXPECT_EQ(ERG_Parse(text, rule), Status::OutOfMemory);
            model::fail_allocation_after(0);
            EXPECT_EQ(rule.Kind, kNoRule);
            EXPECT_EQ(rule.Rule, nullptr);
        }
        model::fail_allocation_after(needed + 1);
        EXPECT_EQ(ERG_Parse(text, rule), complete);
        model::fail_allocation_after(0);
        ERG_Release(rule);
    }
}

}  // namespace
}  // namespace kova::recurrence
