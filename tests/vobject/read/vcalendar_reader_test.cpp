#include "vobject/read/vcalendar_reader.h"

#include <gtest/gtest.h>

#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

// " kind=1 luid=.. version=.. DTSTART=1 ...": lists in record order, the tail read
// through the slots of the item's kind.
std::string item_line(const ObjectRecord &record)
{
    const CalendarRecord &c = record.Calendar;
    const auto &a = c.Appointment;
    const auto &t = c.Task;
    bool event = c.Kind == KOVA_KIND_APPOINTMENT;
    testing::Lists lists = {
        {"CATEGORIES", c.Categories}, {"COMPLETED", c.Completed}, {"DESCRIPTION", c.Description},
        {"DUE", c.Due}, {"DTEND", c.DtEnd}, {"PRIORITY", c.Priority}, {"DTSTART", c.DtStart},
        {"STATUS", c.Status}, {"SUMMARY", c.Summary}, {"CLASS", c.Class},
        {"LOCATION", event ? a.Location : nullptr}, {"DALARM", event ? a.DAlarm : t.DAlarm},
        {"RRULE", event ? a.RRule : t.RRule}, {"EXDATE", event ? a.ExDate : t.ExDate},
        {"ATTENDEE", event ? a.Attendee : t.Attendee}};
    return " kind=" + std::to_string(c.Kind) + testing::field("luid", c.Luid) +
           testing::field("version", c.Version) + testing::nodes(lists) +
           (event && a.AllDay ? " allday" : "");
}

std::string block(const std::string &body)
{
    return "BEGIN:VCALENDAR\r\n" + body + "END:VCALENDAR\r\n";
}

const char *const kMandatory =
    "KOVA:  Warning - vCalendar does not contain all mandetory properties";
const std::string kEvent = "BEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nEND:VEVENT\r\n";
const std::string kEventRead = "1/17 kind=1 DESCRIPTION=x DTSTART=1";
const std::string kTask = "BEGIN:VTODO\r\nCATEGORIES:c\r\nCOMPLETED:2\r\nDESCRIPTION:d\r\nDUE:3\r\n"
                          "PRIORITY:1\r\nSTATUS:s\r\n";  // SUMMARY is still missing

const testing::ReadCase kCases[] = {
    {"a task without SUMMARY", block("VERSION:1.0\r\n" + kTask + "END:VTODO\r\n"), 0,
     {"1/18 kind=2 version=1.0 CATEGORIES=c COMPLETED=2 DESCRIPTION=d DUE=3 PRIORITY=1 STATUS=s"},
     {kMandatory}},
    // A task passes over LOCATION, the all-day flag and VERSION in silence; an event is
    // all-day only for exactly TRUE, and the last such line wins.
    {"each kind's tail in its own slots",
     block("VERSION:1.0\r\n" + kTask + "SUMMARY:t\r\nDALARM:4\r\nRRULE:D1\r\nEXDATE:5\r\n"
           "ATTENDEE:a\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE\r\nLOCATION:Home\r\nVERSION:9\r\n"
           "END:VTODO\r\n"
           "BEGIN:VEVENT\r\nDTSTART:1\r\nDESCRIPTION:x\r\nLOCATION:Room\r\nDALARM:2\r\nRRULE:W1\r\n"
           "EXDATE:3\r\nATTENDEE:a\r\nATTENDEE:b\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE\r\n"
           "X-BLUETOOTH-ALLDAYEVENT:true\r\nEND:VEVENT\r\n"), 0,
     {"1/17 kind=2 version=1.0 CATEGORIES=c COMPLETED=2 DESCRIPTION=d DUE=3 PRIORITY=1 STATUS=s "
      "SUMMARY=t DALARM=4 RRULE=D1 EXDATE=5 ATTENDEE=a", "1/17 kind=1 DESCRIPTION=x DTSTART=1 "
      "LOCATION=Room DALARM=2 RRULE=W1 EXDATE=3 ATTENDEE=a|b"}, {}},
    // An item's own LUID wins; blanks inside block values go, item values keep theirs.
    {"block LUID and VERSION reach the first item only",
     block("VERSION:0.9\r\nX-IRMC-LUID:c a\tl\r\nBEGIN:VEV ENT\r\nDTSTART:1\r\nDESCRIPTION:a b\r\n"
           "END:VEVENT\r\n" + kEvent + "BEGIN:VEVENT\r\nX-IRMC-LUID:own\r\nDTSTART:1\r\n"
           "DESCRIPTION:x\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE\r\nEND:VEVENT\r\n"), 0,
     {"1/17 kind=1 luid=cal version=0.9 DESCRIPTION=a b DTSTART=1", kEventRead,
      "1/17 kind=1 luid=own DESCRIPTION=x DTSTART=1 allday"}, {}},
    {"items before a bad version stay delivered", block(kEvent + "VERSION:2.0\r\n"), 19,
     {kEventRead}, {"KOVA:  Error - vCalendar version '2.0' is not supported"}},
    {"no VERSION at all", block(kEvent), 19, {kEventRead},
     {"KOVA:  Error - vCalendar does not contain required VERSION property"}},
    {"a blank after the colon makes an unknown BEGIN tag",
     block("VERSION:1.0\r\nBEGIN: VEVENT\r\n" + kEvent), 19, {},
     {"KOVA:  Error - Unknown BEGIN tag in vCalendar"}},
    // The item's name in lower case is unknown and a VALARM's DESCRIPTION is not the item's,
    // so it lacks one; item names pass over in silence at the block level.
    {"a blank line warns every later item of its block only; unknown names warn",
     block("VERSION:1.0\r\nBEGIN:VEVENT\r\n\r\nDTSTART:1\r\ndescription:y\r\nBEGIN:VALARM\r\n"
           "DESCRIPTION:in\r\nEND:VALARM\r\nEND:VEVENT\r\n" + kEvent +
           "X-WR-CALNAME:Home\r\nDTSTART:x\r\n") + block(kEvent + "VERSION:1.0\r\n"), 0,
     {"1/18 kind=1 version=1.0 DTSTART=1", "1/18 kind=1 DESCRIPTION=x DTSTART=1", kEventRead},
     {"KOVA:  Warning - Parser encounted a blank line in vCalendar",
      "KOVA:  Warning - vCalendar contains unknown property: 'description'", kMandatory,
      "KOVA:  Warning - vCalendar contains unknown property: 'X-WR-CALNAME'"}},
    {"an unterminated item in a second block",
     block("VERSION:1.0\r\n" + kEvent) + "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\n", 19,
     {"1/17 kind=1 version=1.0 DESCRIPTION=x DTSTART=1"},
     {kMandatory, "KOVA:  Error - vCalendar missing END tag"}},
};

TEST(VcalendarReader, ReadsItemsWithTheirStatusAndLog)
{
    testing::check_reads(kCases, item_line);
}

}  // namespace
}  // namespace kova::vobject
