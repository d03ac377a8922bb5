// Appointments through the public functions: vCalendar text read, added from the
// callback, fetched by id and written back out. Local time is UTC+2 without summer
// time unless a test says otherwise.
#include "store/appointment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::expect_cases;
using testing::LineCase;
using testing::lines_starting;

using testing::kOneTime;
using testing::kTooEarly;

TEST(Appointment, PhoneStyleEventComesBackInTheStoreForm)
{
    testing::CalendarStore c("VEVENT");
    EXPECT_EQ(c.round_trip("SUMMARY:Design review\r\n"
                           "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:Bring the=0D=0Adrawings\r\n"
                           "DTSTART:20200310T090000Z\r\nDTEND:20200310T100000Z\r\n"
                           "CLASS:CONFIDENTIAL\r\nSTATUS:CONFIRMED\r\nPRIORITY:2\r\n"
                           "LOCATION:Room 4\r\nCATEGORIES:Work\r\n"
                           "DALARM:20200310T084500Z;PT5M;2;Review\r\n"
                           "RRULE:W1 TU TH #4\r\nEXDATE:20200312T090000Z\r\n"
                           "ATTENDEE;ROLE=ORGANIZER:Maja Lind <maja@example.org>\r\n"
                           "ATTENDEE:per@example.org\r\n"),
              "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nSUMMARY:Design review\n"
              "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:Bring the=0D=0A=\ndrawings\n"
              "DTSTART:20200310T090000Z\nDTEND:20200310T100000Z\nCLASS:PRIVATE\nPRIORITY:0\n"
              "STATUS:NEEDS ACTION\nLOCATION:Room 4\nCATEGORIES:Work\nDALARM:20200310T084500Z\n"
              "RRULE:W1 TU TH #4\nEXDATE:20200312T090000Z\n"
              "ATTENDEE;ROLE=ATTENDEE:Maja Lind  <maja@example.org>\n"
              "ATTENDEE;ROLE=ATTENDEE:per@example.org\nX-IRMC-LUID:00000001\n"
              "X-BLUETOOTH-ALLDAYEVENT:FALSE\nEND:VEVENT\nEND:VCALENDAR\n");
    EXPECT_EQ(c.reported(), "");
}

// A daily series from 2020-06-15 10:00 local time: how it ends. The rule mapping itself
// has tests of its own.
TEST(Appointment, RulesGoInAsPatternsAndComeBackAsRules)
{
    const LineCase cases[] = {
        {"an end date counts its occurrences", "RRULE:D1 #5 20200620T080000Z",
         "RRULE:D1 #6 20200620T080000Z", ""},
        {"an end before the start keeps one", "RRULE:D1 #5 20200610T080000Z",
         "RRULE:D1 #1 20200610T080000Z", ""},
        {"count 0 wins over an end date", "RRULE:D1 #0 20200620T080000Z", "RRULE:D1 #0", ""},
        {"a rule that does not parse leaves the new series daily", "RRULE:X1", "RRULE:D1 #0",
         "KOVA:  ERG_Parse failed (code=19)\n"},
    };
    expect_cases("VEVENT", cases, "DTSTART:20200615T080000Z\r\n", "", "RRULE");
}

// A daily series of ten from 2020-03-10 11:00 local time.
TEST(Appointment, ExceptionsAreDeletedOccurrencesWrittenAtTheStartsTime)
{
    auto missed = [](const std::string &text) {
        return "KOVA:  Could not find Appointment for '" + text + "' (Exception not made)\n";
    };
    const LineCase cases[] = {
        {"an occurrence's start", "EXDATE:20200312T090000Z", "EXDATE:20200312T090000Z", ""},
        {"in local time", "EXDATE:20200312T110000", "EXDATE:20200312T090000Z", ""},
        {"a day finds the occurrence on it", "EXDATE:20200319", "EXDATE:20200319T090000Z", ""},
        {"another time of day", "EXDATE:20200312T100000Z", "", missed("20200312T100000Z")},
        {"after the tenth", "EXDATE:20200320", "", missed("20200320")},
        {"not a date", "EXDATE:tomorrow", "",
         "KOVA:  Error in date 'tomorrow' - cannot convert from 8601\n" + missed("tomorrow")},
        {"only the first EXDATE counts", "EXDATE:20200311\r\nEXDATE:20200312",
         "EXDATE:20200311T090000Z", ""},
        {"none for a rule that cannot be expressed (the first RRULE counts)",
         "EXDATE:20200311\r\nRRULE:W1", "", kOneTime},
    };
    expect_cases("VEVENT", cases, "DTSTART:20200310T090000Z\r\n", "RRULE:D1 #10\r\n", "EXDATE");
}

// The reader keeps one date per EXDATE; a caller's record may hold more.
TEST(Appointment, EveryDateOfTheFirstExdateBecomesOneException)
{
    testing::CalendarStore c("VEVENT");
    testing::Kept k = testing::take_first(
        c.store.device,
        c.text("DTSTART:20200310T090000Z\r\nRRULE:D1 #10\r\nEXDATE:20200311T090000Z\r\n"));
    const char *more[] = {"20200318T110000", "20200314", "", "20200315"};
    for (unsigned i = 0; i < 4; ++i)
        model::SetValue(k.record.Calendar.Appointment.ExDate, model::copy_text(more[i]), i + 1);
    char id[KOVA_ID_CAPACITY] = "";
    EXPECT_EQ(KOVA_AddObject(k.type, &k.record, id), 0u);
    model::ReleaseRecord(k.type, &k.record);
    EXPECT_EQ(lines_starting(c.fetch(id), "EXDATE"),
              "EXDATE:20200311T090000Z;20200318T090000Z;20200314T090000Z");
}

// The start is 2020-04-01 14:00 local time; the lead is whole minutes, at most 45 days.
TEST(Appointment, ReminderLeadIsCheckedAgainstTheStart)
{
    const LineCase cases[] = {
        {"45 days", "DALARM:20200216T120000Z", "DALARM:20200216T120000Z", ""},
        {"45 days and 30 seconds: seconds are dropped", "DALARM:20200216T115930Z",
         "DALARM:20200216T120000Z", ""},
        {"45 days and a minute", "DALARM:20200216T115900Z", "", kTooEarly},
        {"a day, two hours and a half", "DALARM:20200331T093000Z", "DALARM:20200331T093000Z", ""},
        {"after the start", "DALARM:20200401T120001Z", "",
         "KOVA:  Reminder date/time is after the DUE date.\n"},
        {"not a date", "DALARM:soon", "",
         "KOVA:  Error in date 'soon' - cannot convert from 8601\n"},
        {"a run time is read from its first 30 characters",
         "DALARM:in the morning, before the meeting starts", "",
         "KOVA:  Error in date 'in the morning, before the mee' - cannot convert from 8601\n"},
    };
    expect_cases("VEVENT", cases, "DTSTART:20200401T120000Z\r\n", "", "DALARM");
}

TEST(Appointment, StatusClassAndAllDayBothWays)
{
    const LineCase cases[] = {
        {"new: free and normal", "SUMMARY:x", "CLASS:PUBLIC", ""},
        {"tentative", "STATUS:TENTATIVE", "CLASS:PUBLIC|STATUS:TENTATIVE", ""},
        {"declined is free, which has no STATUS", "STATUS:DECLINED", "CLASS:PUBLIC", ""},
        {"letter case counts", "STATUS:tentative", "CLASS:PUBLIC|STATUS:NEEDS ACTION", ""},
        {"an empty status is busy", "STATUS:", "CLASS:PUBLIC|STATUS:NEEDS ACTION", ""},
        {"private in lower case is not", "CLASS:private", "CLASS:PUBLIC", ""},
    };
    expect_cases("VEVENT", cases, "DTSTART:20200310T000000\r\n", "", "STATUS|CLASS");
    const LineCase days[] = {
        {"an all-day event keeps local times",
         "DTSTART:20200310T000000\r\nDTEND:20200311T000000\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE",
         "DTSTART:20200310T000000|DTEND:20200311T000000|X-BLUETOOTH-ALLDAYEVENT:TRUE", ""},
        {"whatever form it came in",
         "DTSTART:20200309T220000Z\r\nDTEND:20200310T220000Z\r\nX-BLUETOOTH-ALLDAYEVENT:TRUE",
         "DTSTART:20200310T000000|DTEND:20200311T000000|X-BLUETOOTH-ALLDAYEVENT:TRUE", ""},
        {"other events go out in UTC",
         "DTSTART:20200310T000000\r\nDTEND:20200311T000000\r\nX-BLUETOOTH-ALLDAYEVENT:true",
         "DTSTART:20200309T220000Z|DTEND:20200310T220000Z|X-BLUETOOTH-ALLDAYEVENT:FALSE", ""},
        {"no start or end", "SUMMARY:x", "DTSTART:|DTEND:|X-BLUETOOTH-ALLDAYEVENT:FALSE", ""},
        {"a start that is no date", "DTSTART:2020-03-10",
         "DTSTART:|DTEND:|X-BLUETOOTH-ALLDAYEVENT:FALSE",
         "KOVA:  Error in date '2020-03-10' - cannot convert from 8601\n"},
        {"an alarm without a start is too early", "DALARM:20200310T090000Z",
         "DTSTART:|DTEND:|X-BLUETOOTH-ALLDAYEVENT:FALSE", kTooEarly},
    };
    expect_cases("VEVENT", days, "", "", "DT|DALARM|X-BLUETOOTH");
}

TEST(Appointment, AttendeesSplitIntoNameAndAddress)
{
    const LineCase cases[] = {
        {"no blank", "ATTENDEE:Maja<maja@x>", "ATTENDEE;ROLE=ATTENDEE:Maja <maja@x>", ""},
        {"no name", "ATTENDEE:<maja@x>", "ATTENDEE;ROLE=ATTENDEE: <maja@x>", ""},
        {"only a closing bracket", "ATTENDEE:Maja maja@x>", "ATTENDEE;ROLE=ATTENDEE:Maja maja@x>",
         ""},
        {"only an opening bracket", "ATTENDEE:Maja <maja@x", "ATTENDEE;ROLE=ATTENDEE:Maja <maja@x",
         ""},
        {"two in one", "ATTENDEE:A <a@x>, B <b@x>", "ATTENDEE;ROLE=ATTENDEE:A  <a@x>", ""},
        {"brackets the wrong way round", "ATTENDEE:x>y<z", "ATTENDEE;ROLE=ATTENDEE:x>y <z>", ""},
        {"empty", "ATTENDEE:", "ATTENDEE;ROLE=ATTENDEE:", ""},
        {"in another charset", "ATTENDEE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Bj=C3=B6rn <b@x>",
         "ATTENDEE;ROLE=ATTENDEE;CHARSET=UTF-8:Bj\xC3\xB6rn  <b@x>", ""},
    };
    expect_cases("VEVENT", cases, "", "", "ATTENDEE");
}

// Modifying puts only what the record carries, except for the recurrence, the
// reminder and the attendees, which the record replaces.
TEST(Appointment, ModifyReplacesRecurrenceReminderAndAttendees)
{
    testing::CalendarStore c("VEVENT");
    const std::string id = testing::add_id(
        c.store.device, c.text("SUMMARY:Stand-up\r\nDTSTART:20200310T090000Z\r\nCLASS:PRIVATE\r\n"
                               "RRULE:W1 MO TU WE TH FR #0\r\nDALARM:20200310T084500Z\r\n"
                               "ATTENDEE:a@x\r\nATTENDEE:b@x\r\n"));
    auto modify = [&](const std::string &lines) {
        EXPECT_EQ(testing::modify_text(c.store.device, id, c.text(lines)), 0u);
        return lines_starting(c.fetch(id), "SUMMARY|DTSTART|CLASS|DALARM|RRULE|ATTENDEE");
    };
    // A daily rule keeps the weekdays it finds: the daily type with a mask is every weekday.
    EXPECT_EQ(modify("RRULE:D3 #0\r\nDALARM:20200310T083000Z\r\nATTENDEE:c@x\r\n"),
              "SUMMARY:Stand-up|DTSTART:20200310T090000Z|CLASS:PRIVATE|DALARM:20200310T083000Z|"
              "RRULE:W1 MO TU WE TH FR #0|ATTENDEE;ROLE=ATTENDEE:c@x");
    EXPECT_EQ(
        modify("SUMMARY:Moved\r\nCLASS:\r\nATTENDEE:Bo <bo@x>\r\n"),
        "SUMMARY:Moved|DTSTART:20200310T090000Z|CLASS:PRIVATE|ATTENDEE;ROLE=ATTENDEE:Bo  <bo@x>");
    EXPECT_EQ(c.reported(),
              "KOVA:  2 attendees will be removed.\nKOVA:  1 attendees will be removed.\n");
}

// Dates on both sides of the switch to summer time (2020-03-29) take the offset in
// force now, as the device converts, so a series keeps its time of day in UTC and its
// exception and reminder still meet their occurrences.
TEST(Appointment, DatesAcrossTheSummerTimeSwitchUseTodaysOffset)
{
    for (convert::FileTime now : {convert::kJanuary2020, convert::kJuly2020}) {
        SCOPED_TRACE(now == convert::kJanuary2020 ? "winter" : "summer");
        testing::CalendarStore c("VEVENT");
        convert::use_zone(convert::kBerlin, now);
        std::string out = c.round_trip("DTSTART:20200320T090000Z\r\nRRULE:W1 FR #4\r\n"
                                       "EXDATE:20200403T090000Z\r\nDALARM:20200313T090000Z\r\n");
        EXPECT_EQ(lines_starting(out, "DTSTART|DALARM|RRULE|EXDATE"),
                  "DTSTART:20200320T090000Z|DALARM:20200313T090000Z|RRULE:W1 FR #4|"
                  "EXDATE:20200403T090000Z");
        EXPECT_EQ(c.reported(), "");
    }
}

}  // namespace
}  // namespace kova::store
