#include "vobject/read/vcalendar_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using base::Status;
using testing::LogReceiver;
using testing::TempDevice;

// The first value of every occurrence, joined with '|'.
std::string values(const PropertyNode *list)
{
    std::string out;
    for (const PropertyNode *p = list; p; p = p->Next) {
        if (p != list) out += '|';
        if (p->Values && p->Values->Text) out += p->Values->Text;
    }
    return out;
}

// An item as "kind=1 luid=... DTSTART=... DESCRIPTION=...": only what is set, lists in
// record order, the tail read through the slots of the item's kind.
std::string render(const CalendarRecord &c)
{
    std::string out = "kind=" + std::to_string(c.Kind);
    if (c.Luid[0]) out += std::string(" luid=") + c.Luid;
    if (c.Version[0]) out += std::string(" version=") + c.Version;
    std::vector<std::pair<const char *, const PropertyNode *>> lists = {
        {"CATEGORIES", c.Categories}, {"COMPLETED", c.Completed}, {"DESCRIPTION", c.Description},
        {"DUE", c.Due},               {"DTEND", c.DtEnd},         {"PRIORITY", c.Priority},
        {"DTSTART", c.DtStart},       {"STATUS", c.Status},       {"SUMMARY", c.Summary},
        {"CLASS", c.Class}};
    if (c.Kind == KOVA_KIND_APPOINTMENT) {
        const auto &a = c.Appointment;
        lists.insert(lists.end(), {{"LOCATION", a.Location}, {"DALARM", a.DAlarm},
                                   {"RRULE", a.RRule}, {"EXDATE", a.ExDate},
                                   {"ATTENDEE", a.Attendee}});
    } else if (c.Kind == KOVA_KIND_TASK) {
        const auto &t = c.Task;
        lists.insert(lists.end(), {{"DALARM", t.DAlarm}, {"RRULE", t.RRule},
                                   {"EXDATE", t.ExDate}, {"ATTENDEE", t.Attendee}});
    }
    for (const auto &[name, list] : lists)
        if (list) out += std::string(" ") + name + "=" + values(list);
    if (c.Kind == KOVA_KIND_APPOINTMENT && c.Appointment.AllDay) out += " allday";
    return out;
}

struct Item {
    uint32_t type;
    uint32_t status;
    std::string text;
};

struct Outcome {
    Status result;
    std::vector<Item> items;
    std::vector<std::string> log;
};

void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    static_cast<std::vector<Item> *>(context)->push_back({type, status, render(record->Calendar)});
}

Outcome read(const std::string &text)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("c.vcs"), text);
    Outcome run{Status::Ok, {}, {}};
    FILE *stream = std::fopen(device.path("c.vcs").c_str(), "rb");
    run.result = read_vcalendars(stream, collect, &run.items);
    std::fclose(stream);
    run.log = log.texts();
    return run;
}

constexpr const char *kNoVersion = "KOVA:  Error - vCalendar does not contain required VERSION property";
constexpr const char *kMandatory = "KOVA:  Warning - vCalendar does not contain all mandetory properties";
constexpr const char *kUnknownBegin = "KOVA:  Error - Unknown BEGIN tag in vCalendar";
constexpr const char *kMissingEnd = "KOVA:  Error - vCalendar missing END tag";
constexpr const char *kBlank = "KOVA:  Warning - Parser encounted a blank line in vCalendar";

// An event with both required properties, ready to be placed in a block.
const std::string kEvent =
    "BEGIN:VEVENT\r\nDTSTART:20030516T120000Z\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n";
const std::string kTaskProperties =
    "CATEGORIES:Work\r\nCOMPLETED:20030101T000000Z\r\nDESCRIPTION:d\r\nDUE:20030102T000000Z\r\n"
    "PRIORITY:1\r\nSTATUS:NEEDS ACTION\r\nSUMMARY:s\r\n";

std::string block(const std::string &body)
{
    return "BEGIN:VCALENDAR\r\n" + body + "END:VCALENDAR\r\n";
}

struct CalendarCase {
    const char *name;
    std::string input;
    Status result;
    std::vector<Item> items;
    std::vector<std::string> log;
};

const std::string kFullTask = "BEGIN:VTODO\r\n" + kTaskProperties + "END:VTODO\r\n";
const char *const kFullTaskText =
    "kind=2 CATEGORIES=Work COMPLETED=20030101T000000Z DESCRIPTION=d DUE=20030102T000000Z "
    "PRIORITY=1 STATUS=NEEDS ACTION SUMMARY=s";

const CalendarCase kCases[] = {
    {"one event",
     block("VERSION:1.0\r\n" + kEvent),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {}},
    {"event without DESCRIPTION is delivered with a warning",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:20030516T120000Z\r\nEND:VEVENT\r\n"),
     Status::ParsedWithWarning,
     {{1, 18, "kind=1 version=1.0 DTSTART=20030516T120000Z"}},
     {kMandatory}},
    {"task with only SUMMARY and DUE",
     block("VERSION:1.0\r\nBEGIN:VTODO\r\nSUMMARY:s\r\nDUE:20030102\r\nEND:VTODO\r\n"),
     Status::ParsedWithWarning,
     {{1, 18, "kind=2 version=1.0 DUE=20030102 SUMMARY=s"}},
     {kMandatory}},
    {"task with every required property",
     block("VERSION:1.0\r\n" + kFullTask),
     Status::Parsed,
     {{1, 17, std::string(kFullTaskText).insert(6, " version=1.0")}},
     {}},
    {"tail lists of a task go into the task's slots",
     block("VERSION:1.0\r\nBEGIN:VTODO\r\n" + kTaskProperties +
           "DALARM:20030101T000000Z\r\nRRULE:D1 #2\r\nEXDATE:20030103\r\nATTENDEE:a@b\r\n"
           "END:VTODO\r\n"),
     Status::Parsed,
     {{1, 17, std::string(kFullTaskText).insert(6, " version=1.0") +
                  " DALARM=20030101T000000Z RRULE=D1 #2 EXDATE=20030103 ATTENDEE=a@b"}},
     {}},
    {"tail lists of an event, repeated ones in order",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nLOCATION:Room\r\n"
           "DALARM:2\r\nRRULE:W1 MO\r\nEXDATE:3\r\nATTENDEE:a@b\r\nATTENDEE:c@d\r\n"
           "END:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1 LOCATION=Room DALARM=2 RRULE=W1 MO "
              "EXDATE=3 ATTENDEE=a@b|c@d"}},
     {}},
    {"version 0.9 passes",
     block("VERSION:0.9\r\n" + kEvent),
     Status::Parsed,
     {{1, 17, "kind=1 version=0.9 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {}},
    {"version 2.0 ends the block before its items, which then counts as item-less",
     block("VERSION:2.0\r\n" + kEvent),
     Status::ParseError,
     {},
     {"KOVA:  Error - vCalendar version '2.0' is not supported", kNoVersion}},
    {"items before a bad version stay delivered",
     block(kEvent + "VERSION:2.0\r\n"),
     Status::ParseError,
     {{1, 17, "kind=1 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {"KOVA:  Error - vCalendar version '2.0' is not supported"}},
    {"a block without VERSION fails after its items",
     block(kEvent),
     Status::ParseError,
     {{1, 17, "kind=1 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {kNoVersion}},
    {"a block without items",
     block("VERSION:1.0\r\n"),
     Status::ParseError,
     {},
     {kNoVersion}},
    {"VALARM outside an item",
     block("VERSION:1.0\r\nBEGIN:VALARM\r\nEND:VALARM\r\n" + kEvent),
     Status::ParseError,
     {},
     {kUnknownBegin}},
    {"a blank after the colon keeps BEGIN from opening an event",
     block("VERSION:1.0\r\nBEGIN: VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n"),
     Status::ParseError,
     {},
     {kUnknownBegin}},
    {"blanks inside the BEGIN value are dropped",
     block("VERSION:1.0\r\nBEGIN:VEV ENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1"}},
     {}},
    {"all-day flag of an event",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\n"
           "X-BLUETOOTH-ALLDAYEVENT:TRUE\r\nEND:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1 allday"}},
     {}},
    {"all-day flag needs TRUE exactly, and a later line overrides",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\n"
           "X-BLUETOOTH-ALLDAYEVENT:TRUE\r\nX-BLUETOOTH-ALLDAYEVENT: TRUE\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nX-BLUETOOTH-ALLDAYEVENT:true\r\n"
           "END:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1"},
      {1, 17, "kind=1 DESCRIPTION=x DTSTART=1"}},
     {}},
    {"all-day flag and LOCATION of a task pass without a remark",
     block("VERSION:1.0\r\nBEGIN:VTODO\r\n" + kTaskProperties +
           "X-BLUETOOTH-ALLDAYEVENT:TRUE\r\nLOCATION:Home\r\nEND:VTODO\r\n"),
     Status::Parsed,
     {{1, 17, std::string(kFullTaskText).insert(6, " version=1.0")}},
     {}},
    {"a blank line warns every later item of the block",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\n\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n" +
           kEvent),
     Status::ParsedWithWarning,
     {{1, 18, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1"},
      {1, 18, "kind=1 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {kBlank}},
    {"the block's LUID goes to its first item only, the item's own wins",
     block("VERSION:1.0\r\nX-IRMC-LUID:cal\r\n" + kEvent + kEvent +
           "X-IRMC-LUID:again\r\nBEGIN:VEVENT\r\nX-IRMC-LUID:own\r\nDTSTART:1\r\n"
           "DESCRIPTION:x\r\nEND:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 luid=cal version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"},
      {1, 17, "kind=1 DESCRIPTION=x DTSTART=20030516T120000Z"},
      {1, 17, "kind=1 luid=own DESCRIPTION=x DTSTART=1"}},
     {}},
    {"block values lose their inner blanks, item values keep them",
     block("VERSION:1.0\r\nX-IRMC-LUID:a b\tc\r\nBEGIN:VEVENT\r\nDTSTART:1\r\n"
           "DESCRIPTION:a b\r\nEND:VEVENT\r\n"),
     Status::Parsed,
     {{1, 17, "kind=1 luid=abc version=1.0 DESCRIPTION=a b DTSTART=1"}},
     {}},
    {"unknown properties in the block and in an item",
     block("VERSION:1.0\r\nX-WR-CALNAME:Home\r\nDTSTART:passed over\r\nBEGIN:VEVENT\r\n"
           "DTSTART:1\r\nDESCRIPTION:x\r\ndescription:y\r\nEND:VEVENT\r\n"),
     Status::ParsedWithWarning,
     {{1, 18, "kind=1 version=1.0 DESCRIPTION=x DTSTART=1"}},
     {"KOVA:  Warning - vCalendar contains unknown property: 'X-WR-CALNAME'",
      "KOVA:  Warning - vCalendar contains unknown property: 'description'"}},
    {"a nested alarm's lines are not the item's",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\nDTSTART:1\r\nBEGIN:VALARM\r\nDESCRIPTION:inner\r\n"
           "TRIGGER:-PT5M\r\nEND:VALARM\r\nEND:VEVENT\r\n"),
     Status::ParsedWithWarning,
     {{1, 18, "kind=1 version=1.0 DTSTART=1"}},
     {"KOVA:  Warning - vCalendar contains unknown property: 'TRIGGER'", kMandatory}},
    {"an unterminated item is not delivered",
     block("VERSION:1.0\r\n" + kEvent) + "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n"
                                         "DTSTART:1\r\nDESCRIPTION:x\r\n",
     Status::ParseError,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {kMissingEnd}},
    {"an unterminated block",
     "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n" + kEvent,
     Status::ParseError,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {kNoVersion}},
    {"a warning makes the file a warning, but the next block starts clean",
     block("VERSION:1.0\r\n\r\n" + kEvent) + block("VERSION:1.0\r\n" + kEvent),
     Status::ParsedWithWarning,
     {{1, 18, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"},
      {1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {kBlank}},
    {"reading stops at the first line after a block that opens none",
     block("VERSION:1.0\r\n" + kEvent) + "\r\n" + block("VERSION:1.0\r\n" + kEvent),
     Status::Parsed,
     {{1, 17, "kind=1 version=1.0 DESCRIPTION=x DTSTART=20030516T120000Z"}},
     {}},
    {"a file that opens no VCALENDAR",
     "BEGIN:VEVENT\r\n" + kEvent,
     Status::ParseError,
     {},
     {"KOVA:  Error - vCalendar does not have a BEGIN tag"}},
};

TEST(VcalendarReader, ReadsItemsWithTheirStatusAndLog)
{
    for (const CalendarCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome run = read(c.input);
        EXPECT_EQ(run.result, c.result);
        ASSERT_EQ(run.items.size(), c.items.size());
        for (size_t i = 0; i < c.items.size(); ++i) {
            EXPECT_EQ(run.items[i].type, c.items[i].type);
            EXPECT_EQ(run.items[i].status, c.items[i].status);
            EXPECT_EQ(run.items[i].text, c.items[i].text);
        }
        EXPECT_EQ(run.log, c.log);
    }
}

TEST(VcalendarReader, ThroughTheInterfaceWarningsFoldToZero)
{
    TempDevice device;
    testing::write_file(device.path("c.vcs"), block("VERSION:1.0\r\nX-A:1\r\n" + kEvent));
    std::vector<Item> items;
    std::u16string path = device.wide_path("c.vcs");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &items), 0u);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].status, 18u);
}

TEST(VcalendarReader, TenThousandNestedBeginsEndWithoutEnd)
{
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n";
    for (int i = 0; i < 10000; ++i) text += "BEGIN:VALARM\r\n";
    Outcome run = read(text);
    EXPECT_EQ(run.result, Status::ParseError);
    EXPECT_TRUE(run.items.empty());
    EXPECT_EQ(run.log.back(), kMissingEnd);
}

// Every allocation of a two-item read fails once in turn: the result is one of the
// reader's codes and nothing leaks (the sanitizer build checks that).
TEST(VcalendarReader, SurvivesEachAllocationFailing)
{
    const std::string text =
        block("VERSION:1.0\r\nX-IRMC-LUID:1\r\n" + kEvent + kFullTask) + block("VERSION:1.0\r\n" + kEvent);
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, Status::Parsed);
    unsigned long needed = model::allocation_count() - before;
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome run = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(run.result == Status::Parsed || run.result == Status::ParsedWithWarning ||
                    run.result == Status::ParseError || run.result == Status::OutOfMemory);
        EXPECT_LE(run.items.size(), 3u);
    }
}

}  // namespace
}  // namespace kova::vobject
