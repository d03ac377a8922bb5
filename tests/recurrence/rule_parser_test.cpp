#include "recurrence/rule_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "model/alloc.h"
#include "recurrence/rule_trees.h"

namespace kova::recurrence {
namespace {

using base::Status;
using testing::dump;
using testing::OwnedRule;

// A text and the tree it gives, as testing::dump writes it; a failed parse shows its
// result code before what is left of the root.
const struct {
    const char *name;
    const char *text;
    const char *tree;
} kParses[] = {
    {"null text", nullptr, "none"},
    {"empty text", "", "none"},
    {"no interval; lone # counts 0", "D #", "D{i=0 n=0}"},
    {"one count per rule, and nothing after it", "D1 #5 #6 M5", "D{i=1 n=5}"},
    {"numbers past int32 stop at the top", "D9999999999 #9999999999", "D{i=2147483647 n=2147483647}"},
    {"times; only $ marks", "D1 0900x 1730$ #5", "D{i=1 n=5 [09:00 17:30$]}"},
    {"hour 24 is no time and ends the rule", "D1 2359 2400 #3", "D{i=1 n=2 [23:59]}"},
    {"minute 60 is no time", "D1 0959 0960 #3", "D{i=1 n=2 [09:59]}"},
    {"runs of blanks", "  D1   0900    #5  ", "D{i=1 n=5 [09:00]}"},
    {"unknown word ends the rule", "D1 0900 hello #5", "D{i=1 n=2 [09:00]}"},
    {"mark after the interval", "W2$ MO TU", "W{i=2 n=2 [MO TU]}"},
    {"times follow their weekday", "W1 MO 0900 1000 TU 1100", "W{i=1 n=2 [MO(09:00 10:00) TU(11:00)]}"},
    {"weekday marks and long names", "W1 MO$ TUESDAY WE$x", "W{i=1 n=2 [MO$ TU WE$]}"},
    {"weekday after the count ends the rule", "W1 #5 MO", "W{i=1 n=5}"},
    {"time before any weekday ends the list", "W1 0900 MO", "W{i=1 n=2}"},
    {"nothing after the end date is read", "W1 19991231T235959Z #5 M5", "W{i=1 n=2} end=19991231T235959Z"},
    {"two groups", "MP1 1+ 2- MO TU 0900 3+ FR", "MP{i=1 n=2 [(1 -2/MO TU/09:00) (3/FR/)]}"},
    {"group without weekday", "MP1 1+ 0900 2- TU", "MP{i=1 n=2 [(1/0/09:00) (-2/TU/)]}"},
    {"weekday after times ends the list", "MP1 1+ MO 0900 TU #4", "MP{i=1 n=2 [(1/MO/09:00)]}"},
    {"occurrence marks, non-digit reads 0", "MP1 1+$ X- MO$", "MP{i=1 n=2 [(1$ 0/MO$/)]}"},
    {"day numbers: LD, signs, marks", "MD1 LD 1- 31+$ 2- 7$ 0", "MD{i=1 n=2 [-1 -1 31$ -2 7$ 0]}"},
    {"five characters is no day number", "MD1 15 12345 #3", "MD{i=1 n=2 [15]}"},
    {"W nests in MD", "MD1 15 W1 MO #3", "MD{i=1 n=2 [15] W{i=1 n=3 [MO]}}"},
    {"MD nests in YM", "YM1 6 MD1 15 #1", "YM{i=1 n=2 [6] MD{i=1 n=1 [15]}}"},
    {"Y is YM; months 1..12, marks", "Y1 0006 12$ 1x 13 7", "YM{i=1 n=2 [6 12$ 1]}"},
    {"a month has four digits at most", "YM1 00006", "YM{i=1 n=2}"},
    {"an end date is no month or day of the year, whatever its digits",
     "YM1 00050101T000000Z", "YM{i=1 n=2} end=00050101T000000Z"},
    {"an end date is no day of the year", "YD1 00000101T000000Z", "YD{i=1 n=2} end=00000101T000000Z"},
    {"an end date is no count", "M1 #2345678T000000Z", "M{i=1 n=2} end=#2345678T000000Z"},
    {"an end date is no weekday", "W1 MO345678T000000Z", "W{i=1 n=2} end=MO345678T000000Z"},
    {"an end date is no weekday of a group", "MP1 1+ SU345678T000000Z",
     "MP{i=1 n=2 [(1/0/)]} end=SU345678T000000Z"},
    {"days of the year: 1..366, six digits", "YD1 100 366$ 0000100 367", "YD{i=1 n=2 [100 366$ 10]}"},
    {"M: count, then end date", "M15 #4 19991231T000000Z", "M{i=15 n=4} end=19991231T000000Z"},
    {"four levels, end date last", "YD1 100 #0 MP2 1+ MO W1 TU M5 #3 20000101T000000Z",
     "YD{i=1 n=0 [100] MP{i=2 n=2 [(1/MO/)] W{i=1 n=2 [TU] M{i=5 n=3}}}} end=20000101T000000Z"},
    {"digits first", "1999", "19 none"},
    {"only blanks", "   ", "19 none"},
    {"lower case", "d1", "19 none"},
    {"letters past the keyword", "MX1", "19 none"},
    {"second count in M", "M15 #4 #5", "19 none"},
    {"second end date in M", "M15 19991231T000000Z 19991231T000000Z", "19 none"},
    {"trailing blank in M", "M15 ", "19 none"},
    {"any word in M", "M1 MO", "19 none"},
    {"D nested in D", "D1 D1", "19 none"},
    {"MP nested in MP", "MP1 1+ MO MP1 1+", "19 none"},
    {"MP nested in MD", "MD1 15 MP1 1+", "19 none"},
    {"YM nested in YM", "YM1 6 YM1 7", "19 none"},
    {"YM nested in YD", "YD1 100 YM1 6", "19 none"},
    {"D nested in W, three levels down", "YM1 6 MP1 1+ SU W1 MO D1", "19 none"},
};

// Every root starts dirty, so a parse that does not clear it first shows in the dump.
TEST(RuleParser, ParsesTexts)
{
    for (const auto &c : kParses) {
        SCOPED_TRACE(c.name);
        OwnedRule owned;
        owned.rule = RecurrenceRule{kWeekly, nullptr, "left over"};
        Status status = ERG_Parse(c.text, owned.rule);
        std::string code = status == Status::Ok ? "" : std::to_string(base::to_code(status)) + " ";
        EXPECT_EQ(code + dump(owned.rule), c.tree);
    }
}

// EndDate holds 19 characters: a longer date is cut, and an M rule still counts it as its
// one end date. A token past 511 characters is read as its first 511 and the rest of it
// skipped, never read as a token of its own (the M rule would refuse that as a stray word).
TEST(RuleParser, CutsWhatTheFieldsCannotHold)
{
    const std::string date = "19991231T2359591234", x(600, 'x');  // date: the 19 that fit
    const std::pair<std::string, std::string> cases[] = {
        {"W1 MO " + date + "5", "W{i=1 n=2 [MO]} end=" + date},
        {"M1 " + date + x + " #3", "M{i=1 n=3} end=" + date},
        {"M1 #5" + x.substr(0, 508) + "TU", "M{i=1 n=5}"},  // 512 characters
    };
    for (const auto &[text, tree] : cases) {
        OwnedRule owned;
        ASSERT_EQ(ERG_Parse(text.c_str(), owned.rule), Status::Ok) << text.size();
        EXPECT_EQ(dump(owned.rule), tree) << text.size();
    }
}

// Between them the two texts allocate every kind of node and item. Each allocation failed
// in turn gives 11 and a cleared root, and (under LeakSanitizer) leaves nothing behind.
TEST(RuleParser, AllocationFailuresReleaseEverything)
{
    for (const char *text : {"YM1 6 12 MD1 1 LD D1 0800 M30 #2 20000101T000000Z",
                             "YD1 100 MP2 1+ 2- MO TU 0900 3+ FR W1 SA 0900 M5"}) {
        SCOPED_TRACE(text);
        unsigned long before = model::allocation_count();
        OwnedRule complete;
        ASSERT_EQ(ERG_Parse(text, complete.rule), Status::Ok);
        unsigned long needed = model::allocation_count() - before;
        ASSERT_GT(needed, 0u);
        for (unsigned long n = 1; n <= needed; ++n) {
            SCOPED_TRACE(n);
            OwnedRule failed;
            model::fail_allocation_after(n);
            EXPECT_EQ(ERG_Parse(text, failed.rule), Status::OutOfMemory);
            model::fail_allocation_after(0);
            EXPECT_EQ(dump(failed.rule), "none");
        }
    }
}

}  // namespace
}  // namespace kova::recurrence
