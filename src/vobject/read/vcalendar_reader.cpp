#include "vobject/read/vcalendar_reader.h"

#include <cstring>
#include <string_view>

#include "base/file.h"
#include "base/log.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"

// Three levels: the object loop over VCALENDAR blocks, the block body, and the item
// parser. A block's VERSION and X-IRMC-LUID land in the record before its first item,
// so that item inherits them; every item is released and cleared after its callback,
// so later items of the block carry only their own Luid.
//
//   BEGIN:VCALENDAR          block body
//   VERSION:1.0
//   BEGIN:VEVENT             item parser, appointment
//   DTSTART:20030516T120000Z
//   DESCRIPTION:x
//   END:VEVENT               -> callback (1, record, running status of the block)
//   END:VCALENDAR

namespace kova::vobject {

using base::Status;

namespace {

constexpr uint8_t kAppointment = KOVA_KIND_APPOINTMENT;
constexpr uint8_t kTask = KOVA_KIND_TASK;

// The lists both kinds share, with the properties an item of each kind must carry.
struct SharedList {
    std::string_view name;
    PropertyNode *CalendarRecord::*list;
    bool event_requires;
    bool task_requires;
};

constexpr SharedList kSharedLists[] = {
    {"CATEGORIES", &CalendarRecord::Categories, false, true},
    {"COMPLETED", &CalendarRecord::Completed, false, true},
    {"DESCRIPTION", &CalendarRecord::Description, true, true},
    {"DUE", &CalendarRecord::Due, false, true},
    {"DTEND", &CalendarRecord::DtEnd, false, false},
    {"PRIORITY", &CalendarRecord::Priority, false, true},
    {"DTSTART", &CalendarRecord::DtStart, true, false},
    {"STATUS", &CalendarRecord::Status, false, true},
    {"SUMMARY", &CalendarRecord::Summary, false, true},
    {"CLASS", &CalendarRecord::Class, false, false},
};

unsigned required_mask(uint8_t kind)
{
    unsigned mask = 0;
    for (unsigned i = 0; i < sizeof kSharedLists / sizeof *kSharedLists; ++i) {
        const SharedList &s = kSharedLists[i];
        if (kind == kAppointment ? s.event_requires : s.task_requires) mask |= 1u << i;
    }
    return mask;
}

// The names the item parser knows; the block body passes them over in silence.
enum class Name : uint8_t {
    Unknown, Begin, End, Version, Luid, Location, AllDay, Shared, DAlarm, RRule, ExDate, Attendee
};

struct Known {
    Name name;
    unsigned shared;  // the index in kSharedLists, for Name::Shared
};

Known classify(std::string_view name)
{
    for (unsigned i = 0; i < sizeof kSharedLists / sizeof *kSharedLists; ++i)
        if (same_name(kSharedLists[i].name, name)) return {Name::Shared, i};
    static constexpr std::pair<std::string_view, Name> kOthers[] = {
        {"BEGIN", Name::Begin},   {"END", Name::End},           {"VERSION", Name::Version},
        {"X-IRMC-LUID", Name::Luid}, {"LOCATION", Name::Location},
        {"X-BLUETOOTH-ALLDAYEVENT", Name::AllDay}, {"DALARM", Name::DAlarm},
        {"RRULE", Name::RRule},   {"EXDATE", Name::ExDate},     {"ATTENDEE", Name::Attendee}};
    for (const auto &[text, known] : kOthers)
        if (same_name(text, name)) return {known, 0};
    return {Name::Unknown, 0};
}

// The tail lists sit in different slots for the two kinds (a task's DAlarm occupies an
// appointment's Location), so Kind must be set before one is filled.
PropertyNode **tail_list(CalendarRecord &c, Name name)
{
    bool event = c.Kind == kAppointment;
    switch (name) {
    case Name::DAlarm: return event ? &c.Appointment.DAlarm : &c.Task.DAlarm;
    case Name::RRule: return event ? &c.Appointment.RRule : &c.Task.RRule;
    case Name::ExDate: return event ? &c.Appointment.ExDate : &c.Task.ExDate;
    case Name::Attendee: return event ? &c.Appointment.Attendee : &c.Task.Attendee;
    default: return nullptr;
    }
}

bool is(std::string_view name, std::string_view expected) { return same_name(name, expected); }

constexpr const char *kBlankLineWarning =
    "KOVA:  Warning - Parser encounted a blank line in vCalendar";

void warn_unknown(const char *name)
{
    KOVA_LOG_TRACE("KOVA:  Warning - vCalendar contains unknown property: '%s'", name);
}

// One VEVENT or VTODO, from the line after its BEGIN line through its END line.
Status read_item(FILE *stream, CalendarRecord &c, uint8_t kind)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    // Set before the first list goes in, so that the slots are the kind's and a release
    // after a failed item frees them; the END line confirms it.
    c.Kind = kind;
    Status status = Status::Parsed;
    int depth = 1;
    bool done = false;
    unsigned seen = 0;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, kBlankLineWarning, status)) continue;
        char *value = split_clean(line.get(), buffers);
        const Known known = classify(buffers.name_text());
        switch (known.name) {
        case Name::Begin: ++depth; break;
        case Name::End:
            if (depth == 1) {
                c.Kind = kind;
                done = true;
            }
            --depth;
            break;
        case Name::Unknown:
            warn_unknown(buffers.name);
            status = base::worse(status, Status::ParsedWithWarning);
            break;
        default:
            // A nested block's properties (a VALARM's, say) are not the item's.
            if (depth != 1) break;
            if (known.name == Name::Shared) {
                seen |= 1u << known.shared;
                fill_property(value, line.end(), buffers, 1,
                              model::AppendProperty(&(c.*(kSharedLists[known.shared].list))));
            } else if (PropertyNode **tail = tail_list(c, known.name)) {
                fill_property(value, line.end(), buffers, 1, model::AppendProperty(tail));
            } else if (known.name == Name::Luid) {
                CopyValue(c.Luid, value, sizeof c.Luid - 1);
            } else if (kind == kAppointment && known.name == Name::Location) {
                fill_property(value, line.end(), buffers, 1,
                              model::AppendProperty(&c.Appointment.Location));
            } else if (kind == kAppointment && known.name == Name::AllDay) {
                c.Appointment.AllDay = is(value, "TRUE") ? 1 : 0;
            }
            break;
        }
        // VERSION inside an item, and LOCATION and the all-day flag of a task, are
        // passed over without a remark.
    }
    unsigned required = required_mask(kind);
    if ((seen & required) != required) {
        KOVA_LOG_TRACE("KOVA:  Warning - vCalendar does not contain all mandetory properties");
        status = base::worse(status, Status::ParsedWithWarning);
    }
    if (base::at_end(stream) && !done) {
        KOVA_LOG_ERROR("KOVA:  Error - vCalendar missing END tag");
        return Status::ParseError;
    }
    return status;
}

// The lines of one VCALENDAR block after its BEGIN line; each item goes to the callback
// with the block's running status and is then released.
Status read_calendar_body(FILE *stream, ObjectRecord &record, KOVA_ReaderCallback callback,
                          void *context)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    CalendarRecord &c = record.Calendar;
    Status status = Status::Parsed;
    int depth = 1;
    bool item_seen = false;
    bool version_seen = false;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, kBlankLineWarning, status)) continue;
        char *value = split_clean(line.get(), buffers);
        // Blanks after the value's first non-blank go; leading ones stay, so that
        // "BEGIN:VEV ENT" opens an event and "BEGIN: VEVENT" does not.
        RemoveBlanks(value);
        const Name name = classify(buffers.name_text()).name;
        if (name == Name::Begin) {
            item_seen = true;
            uint8_t kind = is(value, "VEVENT") ? kAppointment : is(value, "VTODO") ? kTask : 0;
            if (kind == 0) {
                KOVA_LOG_ERROR("KOVA:  Error - Unknown BEGIN tag in vCalendar");
                status = Status::ParseError;
                ++depth;
                done = true;
                continue;
            }
            Status item = read_item(stream, c, kind);
            if (item == Status::OutOfMemory) return item;  // the object loop ends the file
            if (item == Status::ParseError) {
                status = Status::ParseError;
                done = true;
                continue;
            }
            if (item == Status::ParsedWithWarning) status = Status::ParsedWithWarning;
            if (callback) callback(KOVA_TYPE_CALENDAR, &record, base::to_code(status), context);
            model::ReleaseRecord(KOVA_TYPE_CALENDAR, &record);  // frees and zeroes the item
        } else if (name == Name::End) {
            if (depth == 1) done = true;
            --depth;
        } else if (name == Name::Version) {
            if (depth == 1) {
                version_seen = true;
                CopyValue(c.Version, value, sizeof c.Version - 1);
                if (!VersionAccepted(c.Version, 1.0)) {
                    KOVA_LOG_ERROR("KOVA:  Error - vCalendar version '%s' is not supported",
                                   c.Version);
                    status = Status::ParseError;
                    done = true;
                }
            }
        } else if (name == Name::Luid) {
            if (depth == 1) CopyValue(c.Luid, value, sizeof c.Luid - 1);
        } else if (name == Name::Unknown) {
            warn_unknown(buffers.name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
    }
    if (item_seen && version_seen && (!base::at_end(stream) || done)) return status;
    KOVA_LOG_ERROR("KOVA:  Error - vCalendar does not contain required VERSION property");
    return Status::ParseError;
}

uint32_t calendar_type(const ObjectRecord &) { return KOVA_TYPE_CALENDAR; }

}  // namespace

Status read_vcalendars(FILE *stream, KOVA_ReaderCallback callback, void *context)
{
    static constexpr ObjectLoopRules kRules = {
        "VCALENDAR", "KOVA:  Error - vCalendar does not have a BEGIN tag", nullptr, calendar_type,
        read_calendar_body};
    return ObjectLoop(stream, kRules, callback, context);
}

}  // namespace kova::vobject
