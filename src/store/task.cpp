// Tasks. What a VTODO's properties become on the device:
//   PRIORITY:n             importance n for 0, 1 and 2, normal (1) for anything else
//   STATUS:COMPLETED       complete; any other text (completed in lower case too) is not
//   DTSTART without DUE    due on the start date
//   DALARM on the due day  the reminder at 00:00 of that day
//   DALARM otherwise       at most 45 whole days before the start date
// and back: dates as days only, the reminder as a local date-time, and PRIORITY and
// STATUS always.
#include "store/task.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "base/log.h"
#include "convert/ole_date.h"
#include "convert/value_text.h"
#include "model/record.h"
#include "recurrence/pattern_mapping.h"
#include "store/calendar_item.h"
#include "store/record_text.h"

namespace kova::store {
namespace {

// The leading decimal number as atoi reads it; one that does not fit is no 0, 1 or 2.
int32_t importance_of(const char *priority)
{
    errno = 0;
    long number = std::strtol(priority, nullptr, 10);
    if (errno != ERANGE && number >= 0 && number <= 2) return static_cast<int32_t>(number);
    return 1;
}

// The series starts at the record's start, else at its due date.
void put_recurrence(pim::Task &task, CalendarRecord &record)
{
    PropertyNode *rule = record.Task.RRule;
    if (!has_value(rule)) {
        task.ClearRecurrencePattern();
        return;
    }
    pim::RecurrencePattern &pattern = task.GetRecurrencePattern();
    if (has_value(record.DtStart))
        pattern.SetPatternStartDate(convert::GetDate(record.DtStart));
    else if (has_value(record.Due))
        pattern.SetPatternStartDate(convert::GetDate(record.Due));
    if (recurrence::ApplyRuleToPattern(pattern, raw_text(rule)) == 0) task.ClearRecurrencePattern();
}

bool same_day(const convert::SystemTime &a, const convert::SystemTime &b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// A run time that names no date leaves the reminder as it was; ParseIsoDate has said
// why when the text did not read.
void put_reminder(pim::Task &task, CalendarRecord &record)
{
    PropertyNode *alarm_list = record.Task.DAlarm;
    if (!has_value(alarm_list)) {
        task.ReminderSet = false;
        return;
    }
    if (task.IsRecurring() && task.oid()) task.Save();  // a new task is saved once, at the end
    double due = task.DueDate;
    double start = task.StartDate;
    std::optional<double> reminder = named_date(date_text(alarm_list));
    if (!reminder) return;
    if (*reminder > due) {
        log_reminder_after_due();
        return;
    }
    std::optional<convert::SystemTime> at = convert::date_to_system_time(*reminder);
    std::optional<convert::SystemTime> due_day = convert::date_to_system_time(due);
    if (at && due_day && same_day(*at, *due_day)) {
        at->hour = at->minute = at->second = 0;
        if (std::optional<double> midnight = convert::system_time_to_date(*at)) reminder = midnight;
        char text[48];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", at->year, at->month,
                      at->day, at->hour, at->minute, at->second);
        KOVA_LOG_TRACE("KOVA:  Reminder date/time adjusted to midnight  - %s", text);
    } else if (seconds_between(*reminder, start) / kSecondsPerDay > kMaxReminderDays) {
        log_reminder_too_early();
        return;
    }
    task.ReminderTime = *reminder;
    task.ReminderSet = true;
    task.ReminderOptions |= pim::kReminderOptionsSound;
}

}  // namespace

void pol_PutTask(pim::Task &task, CalendarRecord &record)
{
    if (has_value(record.Summary)) task.Subject = value_text(record.Summary);
    put_first(task.Categories, record.Categories);
    if (has_value(record.DtStart)) {
        task.StartDate = convert::GetDate(record.DtStart);
        if (task.DueDate == convert::NoDate && !has_value(record.Due))
            task.DueDate = task.StartDate;
    }
    if (has_value(record.Due)) task.DueDate = convert::GetDate(record.Due);
    if (has_value(record.Priority)) task.Importance = importance_of(raw_text(record.Priority));
    if (has_value(record.Status))
        task.Complete = std::strcmp(raw_text(record.Status), "COMPLETED") == 0;
    put_sensitivity(task.Sensitivity, record.Class);
    put_first(task.Body, record.Description);
    put_recurrence(task, record);
    put_reminder(task, record);
}

void pol_GetTask(pim::Task &task, CalendarRecord &record)
{
    auto &t = record.Task;
    record.ObjectClass = 2;
    record.Kind = KOVA_KIND_TASK;
    model::copy_field(record.Version, "1.0");
    format_id(record.Luid, task.oid());

    add_text(&record.Categories, task.Categories);
    if (task.Complete) add_date(&record.Completed, task.DateCompleted);
    add_text(&record.Description, task.Body, {}, convert::kAllowQuotedPrintable);
    add_date(&record.Due, task.DueDate);
    char importance[16];
    std::snprintf(importance, sizeof importance, "%d", task.Importance);
    add_text(&record.Priority, std::u16string(importance, importance + std::strlen(importance)));
    add_date(&record.DtStart, task.StartDate);
    add_text(&record.Status, task.Complete ? u"COMPLETED" : u"NEEDS ACTION");
    add_summary(&record.Summary, task.Subject);
    add_class(&record.Class, task.Sensitivity);
    if (task.ReminderSet) add_date(&t.DAlarm, task.ReminderTime, true, true);
    if (task.IsRecurring()) add_rule(&t.RRule, task.GetRecurrencePattern());
}

}  // namespace kova::store
