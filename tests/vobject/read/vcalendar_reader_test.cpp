#include "vobject/read/vcalendar_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

// An item as "type/status kind=1 luid=... DTSTART=a|b ...": what is set, lists in
// record order, the tail read through the slots of the item's kind.
void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    const CalendarRecord &c = record->Calendar;
    std::string out = std::to_string(type) + "/" + std::to_string(status) +
                      " kind=" + std::to_string(c.Kind);
    if (c.Luid[0]) out += std::string(" luid=") + c.Luid;
    if (c.Version[0]) out += std::string(" version=") + c.Version;
    std::vector<std::pair<const char *, const PropertyNode *>> lists = {
        {"CATEGORIES", c.Categories}, {"COMPLETED", c.Completed}, {"DESCRIPTION", c.Description},
        {"DUE", c.Due}, {"DTEND", c.DtEnd}, {"PRIORITY", c.Priority}, {"DTSTART", c.DtStart},
        {"STATUS", c.Status}, {"SUMMARY", c.Summary}, {"CLASS", c.Class}};
    const auto &a = c.Appointment;
    const auto &t = c.Task;
    if (c.Kind == KOVA_KIND_APPOINTMENT)
        lists.insert(lists.end(), {{"LOCATION", a.Location}, {"DALARM", a.DAlarm},
                                   {"RRULE", a.RRule}, {"EXDATE", a.ExDate},
                                   {"ATTENDEE", a.Attendee}});
    else if (c.Kind == KOVA_KIND_TASK)
        lists.insert(lists.end(), {{"DALARM", t.DAlarm}, {"RRULE", t.RRule},
                                   {"EXDATE", t.ExDate}, {"ATTENDEE", t.Attendee}});
    for (const auto &[name, list] : lists) {
        if (list) out += std::string(" ") + name + "=";
        for (const PropertyNode *p = list; p; p = p->Next)
            out += std::string(p == list ? "" : "|") + (p->Values ? p->Values->Text : "(none)");
    }
    if (c.Kind == KOVA_KIND_APPOINTMENT && a.AllDay) out += " allday";
    static_cast<std::vector<std::string> *>(context)->push_back(out);
}

struct Outcome {
    uint32_t result;
    std::vector<std::string> items;
    std::vector<std::string> log;
};

Outcome read(const std::string &text)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    testing::write_file(device.path("c.vcs"), text);
    Outcome out{};
    FILE *stream = std::fopen(device.path("c.vcs").c_str(), "rb");
    out.result = base::to_code(read_vcalendars(stream, collect, &out.items));
    std::fclose(stream);
    out.log = log.texts();
    return out;
}

std::string block(const std::string &body)
{
    return "BEGIN:VCALENDAR\r\n" + body + "END:VCALENDAR\r\n";
}

const char *const kNoVersion =
    "KOVA:  Error - vCalendar does not contain required VERSION property";
const char *const kMandatory =
    "KOVA:  Warning - vCalendar does not contain all mandetory properties";
const char *const kUnknownBegin = "KOVA:  Error - Unknown BEGIN tag in vCalendar";
const char *const kBlank = "KOVA:  Warning - Parser encounted a blank line in vCalendar";
const std::string kEvent = "BEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n";
const char *const kEventText = "kind=1 DESCRIPTION=x DTSTART=1";
const std::string kTask = "BEGIN:VTODO\r\nCATEGORIES:c\r\nCOMPLETED:2\r\nDESCRIPTION:d\r\nDUE:3\r\n"
                          "PRIORITY:1\r\nSTATUS:s\r\nSUMMARY:t\r\n";

struct CalendarCase {
    const char *name;
    std::string input;
    uint32_t result;
    std::vector<std::string> items;
    std::vector<std::string> log;
};

const CalendarCase kCases[] = {
    {"one event", block("VERSION:1.0\r\n" + kEvent), 17,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1"}, {}},
    {"event without DESCRIPTION",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nEND:VEVENT\r\n"), 18,
     {"1/18 kind=1 version=1.0 DTSTART=1"}, {kMandatory}},
    {"task with only SUMMARY and DUE",
     block("VERSION:1.0\r\nBEGIN:VTODO\r\nSUMMARY:s\r\nDUE:3\r\nEND:VTODO\r\n"), 18,
     {"1/18 kind=2 version=1.0 DUE=3 SUMMARY=s"}, {kMandatory}},
    {"full task: tail in the task's slots, all-day flag and LOCATION passed over in silence",
     block("VERSION:1.0\r\n" + kTask + "DALARM:4\r\nRRULE:D1\r\nEXDATE:5\r\nATTENDEE:a\r\n"
           "X-BLUETOOTH-ALLDAYEVENT:TRUE\r\nLOCATION:Home\r\nVERSION:9\r\nEND:VTODO\r\n"), 17,
     {"1/17 kind=2 version=1.0 CATEGORIES=c COMPLETED=2 DESCRIPTION=d DUE=3 PRIORITY=1 STATUS=s "
      "SUMMARY=t DALARM=4 RRULE=D1 EXDATE=5 ATTENDEE=a"}, {}},
    {"event tail, repeated properties in order",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nLOCATION:Room\r\n"
           "DALARM:2\r\nRRULE:W1\r\nEXDATE:3\r\nATTENDEE:a\r\nATTENDEE:b\r\nEND:VEVENT\r\n"), 17,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1 LOCATION=Room DALARM=2 RRULE=W1 "
      "EXDATE=3 ATTENDEE=a|b"}, {}},
    {"all-day needs TRUE exactly; the last line wins",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE\r\nDTSTART:1\r\n"
           "DESCRIPTION:x\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE\r\n"
           "X-BLUETOOTH-ALLDAYEVENT:true\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n"), 17,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1 allday", std::string("1/17 ") + kEventText},
     {}},
    {"version 2.0 before any item", block("VERSION:2.0\r\n" + kEvent), 19, {},
     {"KOVA:  Error - vCalendar version '2.0' is not supported", kNoVersion}},
    {"items before a bad version stay delivered", block(kEvent + "VERSION:2.0\r\n"), 19,
     {std::string("1/17 ") + kEventText},
     {"KOVA:  Error - vCalendar version '2.0' is not supported"}},
    {"no VERSION at all", block(kEvent), 19, {std::string("1/17 ") + kEventText}, {kNoVersion}},
    {"no item", block("VERSION:1.0\r\n"), 19, {}, {kNoVersion}},
    {"VALARM outside an item", block("VERSION:1.0\r\nBEGIN:VALARM\r\n" + kEvent), 19, {},
     {kUnknownBegin}},
    {"a blank after the colon stays", block("VERSION:1.0\r\nBEGIN: VEVENT\r\n"), 19, {},
     {kUnknownBegin}},
    {"inner blanks of block values go, item values keep theirs; 0.9 passes",
     block("VERSION:0.9\r\nX-IRMC-LUID:c a\tl\r\nBEGIN:VEV ENT\r\nDTSTART:1\r\nDESCRIPTION:a b\r\n"
           "END:VEVENT\r\n"), 17,
     {"1/17 kind=1 luid=cal version=0.9 DESCRIPTION=a b DTSTART=1"}, {}},
    {"block LUID and VERSION reach the first item only; an item's own LUID wins",
     block("VERSION:1.0\r\nX-IRMC-LUID:cal\r\n" + kEvent + kEvent +
           "BEGIN:VEVENT\r\nX-IRMC-LUID:own\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n"), 17,
     {"1/17 kind=1 luid=cal version=1.0 DESCRIPTION=x DTSTART=1",
      std::string("1/17 ") + kEventText, "1/17 kind=1 luid=own DESCRIPTION=x DTSTART=1"}, {}},
    {"a blank line warns every later item of the block, and only that block",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\n\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n" +
           kEvent) + block(kEvent + "VERSION:1.0\r\n"), 18,
     {"1/18 kind=1 version=1.0 DESCRIPTION=x DTSTART=1", std::string("1/18 ") + kEventText,
      std::string("1/17 ") + kEventText}, {kBlank}},
    {"unknown names in a block and an item; item names pass over in a block",
     block("VERSION:1.0\r\nX-WR-CALNAME:Home\r\nDTSTART:x\r\nBEGIN:VEVENT\r\nDTSTART:1\r\n"
           "DESCRIPTION:x\r\ndescription:y\r\nEND:VEVENT\r\n"), 18,
     {"1/18 kind=1 version=1.0 DESCRIPTION=x DTSTART=1"},
     {"KOVA:  Warning - vCalendar contains unknown property: 'X-WR-CALNAME'",
      "KOVA:  Warning - vCalendar contains unknown property: 'description'"}},
    {"a nested alarm's lines are not the item's",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nBEGIN:VALARM\r\nDESCRIPTION:in\r\n"
           "TRIGGER:-PT5M\r\nEND:VALARM\r\nEND:VEVENT\r\n"), 18,
     {"1/18 kind=1 version=1.0 DTSTART=1"},
     {"KOVA:  Warning - vCalendar contains unknown property: 'TRIGGER'", kMandatory}},
    {"an unterminated item in a second block",
     block("VERSION:1.0\r\n" + kEvent) + "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\n", 19,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1"},
     {kMandatory, "KOVA:  Error - vCalendar missing END tag"}},
    {"an unterminated block", "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n" + kEvent, 19,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1"}, {kNoVersion}},
    {"a file that opens no VCALENDAR", kEvent, 19, {},
     {"KOVA:  Error - vCalendar does not have a BEGIN tag"}},
};

TEST(VcalendarReader, ReadsItemsWithTheirStatusAndLog)
{
    for (const CalendarCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome out = read(c.input);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.items, c.items);
        EXPECT_EQ(out.log, c.log);
    }
}

TEST(VcalendarReader, TenThousandNestedBeginsInAnItem)
{
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n";
    for (int i = 0; i < 10000; ++i) text += "BEGIN:VALARM\r\n";
    Outcome out = read(text);
    EXPECT_EQ(out.result, 19u);
    EXPECT_TRUE(out.items.empty());
    EXPECT_EQ(out.log.back(), "KOVA:  Error - vCalendar missing END tag");
}

// Every allocation of the read fails once in turn: a reader code comes back and nothing
// leaks (the sanitizer build checks that).
TEST(VcalendarReader, SurvivesEachAllocationFailing)
{
    const std::string text = block("VERSION:1.0\r\nX-IRMC-LUID:1\r\n" + kEvent + kTask +
                                   "END:VTODO\r\n") + block("VERSION:1.0\r\n" + kEvent);
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, 17u);
    unsigned long needed = model::allocation_count() - before;
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome out = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(out.result == 11 || (out.result >= 17 && out.result <= 19));
    }
}

}  // namespace
}  // namespace kova::vobject
