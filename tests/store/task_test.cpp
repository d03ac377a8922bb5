// Tasks through the public functions: vCalendar text read, added from the callback,
// fetched by id and written back out, in a local time of UTC+2 without summer time.
#include "store/task.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::expect_cases;
using testing::LineCase;
using testing::lines_starting;

TEST(Task, PhoneStyleTaskComesBackInTheStoreForm)
{
    testing::CalendarStore t("VTODO");
    EXPECT_EQ(t.round_trip("SUMMARY:File taxes\r\nDESCRIPTION:Forms in the drawer\r\n"
                           "CATEGORIES:Home\r\nDTSTART:20200401\r\nDUE:20200415T170000\r\n"
                           "PRIORITY:2\r\nSTATUS:NEEDS ACTION\r\nCLASS:CONFIDENTIAL\r\n"
                           "DALARM:20200410T090000\r\nRRULE:MD1 15 #3\r\n"),
              "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VTODO\nCATEGORIES:Home\nCLASS:PRIVATE\n"
              "COMPLETED:\nDESCRIPTION:Forms in the drawer\nDTSTART:20200401\nDUE:20200415\n"
              "PRIORITY:2\nSTATUS:NEEDS ACTION\nSUMMARY:File taxes\nDALARM:20200410T090000\n"
              "RRULE:MD1 15 #3\nX-IRMC-LUID:00000001\nEND:VTODO\nEND:VCALENDAR\n");
    EXPECT_EQ(t.reported(), "");
}

TEST(Task, DatesPriorityStatusClassAndRules)
{
    const LineCase dates[] = {
        {"a start without due is due that day", "DTSTART:20200401", "DTSTART:20200401|DUE:20200401",
         ""},
        {"a due date of its own stays", "DTSTART:20200401\r\nDUE:20200403",
         "DTSTART:20200401|DUE:20200403", ""},
        {"a due date alone, in UTC", "DUE:20200403T233000Z", "DUE:20200404", ""},
        {"a start that is no date", "DTSTART:2020-04-01",
         "DUE:", "KOVA:  Error in date '2020-04-01' - cannot convert from 8601\n"},
    };
    expect_cases("VTODO", dates, "", "", "DTSTART|DUE");
    const LineCase priorities[] = {
        {"3 is normal", "PRIORITY:3", "PRIORITY:1", ""},
        {"the leading number", "PRIORITY:2 urgent", "PRIORITY:2", ""},
        {"no number reads as 0", "PRIORITY:high", "PRIORITY:0", ""},
        {"a number too large", "PRIORITY:99999999999999999999", "PRIORITY:1", ""},
    };
    expect_cases("VTODO", priorities, "", "", "PRIORITY");
    const LineCase states[] = {
        {"new", "SUMMARY:x", "CLASS:PUBLIC|COMPLETED:|STATUS:NEEDS ACTION", ""},
        {"completed, without the date", "STATUS:COMPLETED\r\nCOMPLETED:20200402",
         "CLASS:PUBLIC|COMPLETED:|STATUS:COMPLETED", ""},
        {"completed in lower case is not", "STATUS:completed",
         "CLASS:PUBLIC|COMPLETED:|STATUS:NEEDS ACTION", ""},
    };
    expect_cases("VTODO", states, "", "", "CLASS|COMPLETED|STATUS");
    const LineCase rules[] = {
        {"a series from the due date", "DUE:20200403\r\nRRULE:W1 FR #0", "RRULE:W1 FR #0", ""},
        {"or from the start date, counted to its end",
         "DTSTART:20200401\r\nDUE:20200403\r\nRRULE:D1 #9 20200405T120000Z",
         "RRULE:D1 #5 20200405T120000Z", ""},
        {"a rule that cannot be expressed", "DUE:20200403\r\nRRULE:W1", "", testing::kOneTime},
        {"a rule that does not parse leaves the new series daily", "RRULE:X1", "RRULE:D1 #0",
         "KOVA:  ERG_Parse failed (code=19)\n"},
    };
    expect_cases("VTODO", rules, "", "", "RRULE");
}

// Start 2020-04-01 00:00, due 2020-05-01 17:00 local time; the lead counts whole days.
TEST(Task, ReminderIsCheckedAgainstDueAndStartDates)
{
    const std::string kMidnight =
        "KOVA:  Reminder date/time adjusted to midnight  - 2020-05-01 00:00:00\n";
    const LineCase cases[] = {
        {"on the due day it moves to midnight", "DALARM:20200501T153000", "DALARM:20200501T000000",
         kMidnight},
        {"also when given in UTC", "DALARM:20200501T133000Z", "DALARM:20200501T000000", kMidnight},
        {"after the due date", "DALARM:20200501T170001", "",
         "KOVA:  Reminder date/time is after the DUE date.\n"},
        {"45 days and 23 hours", "DALARM:20200215T010000", "DALARM:20200215T010000", ""},
        {"46 days", "DALARM:20200215", "", testing::kTooEarly},
    };
    expect_cases("VTODO", cases, "DTSTART:20200401\r\nDUE:20200501T170000\r\n", "", "DALARM");
}

// A run time that is rejected or names no date leaves the reminder as it was; a record
// without DALARM turns it off.
TEST(Task, ModifyKeepsTheReminderUnlessTheRecordHasNone)
{
    testing::CalendarStore t("VTODO");
    const std::string id = testing::add_id(
        t.store.device, t.text("SUMMARY:Call\r\nDTSTART:20200420\r\nDUE:20200501\r\n"
                               "DALARM:20200430T090000\r\nRRULE:D1 #0\r\n"));
    const struct {
        const char *lines;
        const char *expected;
    } steps[] = {
        {"DALARM:soon", "SUMMARY:Call|DALARM:20200430T090000"},
        {"DALARM:20200502", "SUMMARY:Call|DALARM:20200430T090000"},
        {"DALARM:20200301", "SUMMARY:Call|DALARM:20200430T090000"},
        {"SUMMARY:Call back", "SUMMARY:Call back"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.lines);
        EXPECT_EQ(
            testing::modify_text(t.store.device, id, t.text(std::string(step.lines) + "\r\n")), 0u);
        EXPECT_EQ(lines_starting(t.fetch(id), "SUMMARY|DALARM|RRULE"), step.expected);
    }
    EXPECT_EQ(t.reported(),
              "KOVA:  Error in date 'soon' - cannot convert from 8601\n"
              "KOVA:  Reminder date/time is after the DUE date.\n"
              "KOVA:  DALARM 'Reminder date/time' is more than 45 days before the START date.\n");
    // A task cannot take an appointment's record.
    EXPECT_EQ(
        testing::modify_text(t.store.device, id, testing::vcalendar("VEVENT", "SUMMARY:x\r\n")),
        6u);
}

}  // namespace
}  // namespace kova::store
