// Appointments. What a VEVENT's properties become on the device:
//   CLASS:PRIVATE, CLASS:CONFIDENTIAL   private (anything else non-empty: normal)
//   STATUS:TENTATIVE / DECLINED / other tentative / free / busy
//   RRULE + EXDATE                      the series, then each EXDATE's occurrence deleted
//   ATTENDEE:Maja <maja@x>              a recipient named "Maja " at maja@x
//   DALARM:<run time>                   a lead of at most 45 days before the start
// and back: busy comes out as "NEEDS ACTION", free without STATUS, every exception as
// one EXDATE date at the start's time of day, and the priority always as 0.
#include "store/appointment.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "base/log.h"
#include "convert/iso_date.h"
#include "convert/ole_date.h"
#include "convert/value_text.h"
#include "model/alloc.h"
#include "model/record.h"
#include "recurrence/pattern_mapping.h"
#include "store/calendar_item.h"
#include "store/record_text.h"

namespace kova::store {
namespace {

double parse_raw_date(const PropertyNode *list)
{
    return convert::ParseIsoDate(raw_text(list)).date;
}

void put_recurrence(pim::Appointment &appointment, CalendarRecord &record)
{
    auto &a = record.Appointment;
    if (!has_value(a.RRule)) {
        appointment.ClearRecurrencePattern();
        return;
    }
    pim::RecurrencePattern &pattern = appointment.GetRecurrencePattern();
    if (recurrence::ApplyRuleToPattern(pattern, raw_text(a.RRule)) == 0) {
        appointment.ClearRecurrencePattern();
        return;
    }
    if (!has_value(a.ExDate)) return;
    // A stored series is saved before its exceptions are made; a new one is saved once,
    // at the end, so that an add that fails half-way leaves nothing stored.
    if (appointment.oid()) appointment.Save();
    for (unsigned i = 0; const char *value = model::first_value(a.ExDate, i); ++i) {
        if (!*value) break;
        std::string text = date_text(a.ExDate, i);
        std::optional<double> date = named_date(text);
        std::optional<pim::Occurrence> occurrence;
        if (date) occurrence = appointment.GetOccurrence(*date);
        if (occurrence)
            occurrence->Delete();
        else
            KOVA_LOG_ERROR("KOVA:  Could not find Appointment for '%s' (Exception not made)",
                           text.c_str());
    }
}

// "Maja <maja@x>": the name is what stands before the "<", blanks included, the
// address what follows it up to the next ">" (or the end). Without both brackets the
// whole text is name and address.
void add_attendee(pim::Recipients &recipients, const std::u16string &text)
{
    size_t open = text.find(u'<');
    bool bracketed = open != std::u16string::npos && text.find(u'>') != std::u16string::npos;
    std::u16string name = bracketed ? text.substr(0, open) : text;
    std::u16string address = text;
    if (bracketed) {
        size_t close = text.find(u'>', open + 1);
        address = text.substr(open + 1, close == std::u16string::npos ? close : close - open - 1);
    }
    if (pim::Recipient *recipient = recipients.Add(name)) recipient->Address = address;
}

void put_attendees(pim::Appointment &appointment, CalendarRecord &record)
{
    pim::Recipients &recipients = appointment.recipients();
    int count = recipients.Count();
    if (count != 0) KOVA_LOG_TRACE("KOVA:  %d attendees will be removed.", count);
    for (int i = count; i >= 1; --i) recipients.Remove(i);
    for (PropertyNode *node = record.Appointment.Attendee; node; node = node->Next)
        add_attendee(recipients, value_text(node, 0));
}

// The lead is counted in whole minutes; seconds are dropped.
void put_reminder(pim::Appointment &appointment, CalendarRecord &record)
{
    PropertyNode *alarm_list = record.Appointment.DAlarm;
    if (!has_value(alarm_list)) {
        appointment.ReminderSet = false;
        return;
    }
    std::optional<double> alarm = named_date(date_text(alarm_list));
    if (!alarm) return;
    double start = appointment.Start;
    if (*alarm > start) {
        log_reminder_after_due();
        return;
    }
    int64_t seconds = seconds_between(*alarm, start);
    int64_t days = seconds / kSecondsPerDay;
    int64_t rest_minutes = seconds % kSecondsPerDay / 60;
    if (days > kMaxReminderDays || (days == kMaxReminderDays && rest_minutes != 0)) {
        log_reminder_too_early();
        return;
    }
    appointment.ReminderMinutesBeforeStart = static_cast<int32_t>(days * 24 * 60 + rest_minutes);
    appointment.ReminderSet = true;
    appointment.ReminderOptions |= pim::kReminderOptionsSound;
}

void add_exceptions(const pim::Appointment &appointment, const pim::RecurrencePattern &pattern,
                    CalendarRecord &record)
{
    std::optional<convert::SystemTime> start = convert::date_to_system_time(appointment.Start);
    PropertyNode *node = nullptr;
    unsigned index = 0;
    for (const pim::Exception &exception : pattern.Exceptions()) {
        std::optional<convert::SystemTime> t = convert::date_to_system_time(exception.OriginalDate);
        if (!t) continue;
        if (start) {
            t->hour = start->hour;
            t->minute = start->minute;
            t->second = start->second;
        }
        std::optional<double> date = convert::system_time_to_date(*t);
        if (!date) continue;
        std::u16string text = convert::FormatIsoDate(*date, true, false);
        if (text.empty()) continue;
        if (!node) node = append_property(&record.Appointment.ExDate);
        put_value(text, node, 0, index++);
    }
}

void add_recurrence(pim::Appointment &appointment, CalendarRecord &record)
{
    if (!appointment.IsRecurring()) return;
    const pim::RecurrencePattern &pattern = appointment.GetRecurrencePattern();
    add_rule(&record.Appointment.RRule, pattern);
    add_exceptions(appointment, pattern, record);
}

void add_attendees(pim::Appointment &appointment, CalendarRecord &record)
{
    pim::Recipients &recipients = appointment.recipients();
    for (int i = 1; i <= recipients.Count(); ++i) {
        const pim::Recipient *recipient = recipients.Item(i);
        if (!recipient) continue;
        std::u16string text = recipient->Address;
        if (recipient->Name != recipient->Address)
            text = recipient->Name + u" <" + recipient->Address + u">";
        // An attendee without an address is still one, so it is written even empty.
        PropertyNode *node = append_property(&record.Appointment.Attendee);
        put_param(node, "ROLE=ATTENDEE");
        put_value(text, node, 0, 0);
    }
}

}  // namespace

void pol_PutAppointment(pim::Appointment &appointment, CalendarRecord &record)
{
    auto &a = record.Appointment;
    if (has_value(record.Summary)) appointment.Subject = value_text(record.Summary);
    if (has_value(a.Location)) appointment.Location = value_text(a.Location);
    if (has_value(record.Categories)) appointment.Categories = value_text(record.Categories);
    if (has_value(record.DtStart)) appointment.Start = parse_raw_date(record.DtStart);
    if (has_value(record.DtEnd)) appointment.End = parse_raw_date(record.DtEnd);
    put_sensitivity(appointment.Sensitivity, record.Class);
    if (has_value(record.Status)) {
        const char *s = raw_text(record.Status);
        appointment.BusyStatus = std::strcmp(s, "TENTATIVE") == 0  ? 1
                                 : std::strcmp(s, "DECLINED") == 0 ? 0
                                                                   : 2;
    }
    if (has_value(record.Description)) appointment.Body = value_text(record.Description);
    put_recurrence(appointment, record);
    appointment.AllDayEvent = a.AllDay != 0;
    put_attendees(appointment, record);
    put_reminder(appointment, record);
}

void pol_GetAppointment(pim::Appointment &appointment, CalendarRecord &record)
{
    auto &a = record.Appointment;
    record.Kind = KOVA_KIND_APPOINTMENT;
    record.ObjectClass = 2;
    model::copy_field(record.Version, "1.0");
    format_id(record.Luid, appointment.oid());

    add_text(&record.Categories, appointment.Categories);
    add_text(&record.Description, appointment.Body, {}, convert::kAllowQuotedPrintable);
    // An all-day event keeps its local days; anything else goes out in UTC.
    bool local = appointment.AllDayEvent;
    add_date(&record.DtEnd, appointment.End, true, local);
    add_date(&record.DtStart, appointment.Start, true, local);
    if (appointment.BusyStatus == 1) add_text(&record.Status, u"TENTATIVE");
    if (appointment.BusyStatus == 2) add_text(&record.Status, u"NEEDS ACTION");
    add_summary(&record.Summary, appointment.Subject);
    add_class(&record.Class, appointment.Sensitivity);
    add_text(&a.Location, appointment.Location);
    if (appointment.ReminderSet) {
        double alarm = appointment.Start - appointment.ReminderMinutesBeforeStart / (24.0 * 60);
        put_date(alarm, append_property(&a.DAlarm), true, false);
    }
    add_recurrence(appointment, record);
    a.AllDay = appointment.AllDayEvent ? 1 : 0;
    add_attendees(appointment, record);
    add_text(&record.Priority, u"0");
}

}  // namespace kova::store
