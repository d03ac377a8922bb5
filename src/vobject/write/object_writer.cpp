#include "vobject/write/object_writer.h"

#include <algorithm>
#include <string_view>

#include "model/record.h"
#include "vobject/write/line_writer.h"

namespace kova::vobject {
namespace {

// Where one object goes, and under which kind its failures are logged. The results of
// single lines are dropped on purpose: a failed line is logged and the object goes on.
class ObjectOut {
public:
    ObjectOut(FILE *file, ObjectKind kind, bool with_luid) : out_(file, kind), with_luid_(with_luid)
    {
    }

    void fixed(std::string_view name, std::string_view value)
    {
        write_fixed_line(out_, name, {}, value);
    }
    void fixed_if_set(std::string_view name, std::string_view value)
    {
        if (!value.empty()) fixed(name, value);
    }
    void list(const char *name, const PropertyNode *nodes) { write_property(out_, name, nodes, false); }
    void required(const char *name, const PropertyNode *nodes)
    {
        write_property(out_, name, nodes, true);
    }
    void luid(std::string_view luid)
    {
        if (with_luid_) fixed_if_set("X-IRMC-LUID", luid);
    }
    void plain(const char *text) { write_plain_line(out_, text); }

private:
    LineOut out_;  // sends the object's lines when the object is done
    bool with_luid_;
};

// BDAY goes right after NICKNAME, although the record keeps it after NOTE.
void write_vcard(ObjectOut &out, const ContactRecord &c)
{
    out.fixed("BEGIN", "VCARD");
    out.fixed("VERSION", model::field_view(c.Version));
    out.required("N", c.N);
    out.list("FN", c.FN);
    out.list("NICKNAME", c.Nickname);
    out.list("BDAY", c.Bday);
    out.list("ADR", c.Adr);
    out.list("ORG", c.Org);
    out.list("TITLE", c.Title);
    out.list("ROLE", c.Role);
    out.list("TEL", c.Tel);
    out.list("URL", c.Url);
    out.list("EMAIL", c.Email);
    out.list("NOTE", c.Note);
    out.list("X-SPOUSE", c.Spouse);
    out.list("X-ANNIVERSARY", c.Anniversary);
    out.list("X-CHILDREN", c.Children);
    out.list("X-ASSISTANT", c.Assistant);
    out.luid(model::field_view(c.Luid));
    out.fixed("END", "VCARD");
}

// Only the lists that belong to the kind are written: a task never gets DTEND or
// LOCATION, an appointment never DUE or COMPLETED, whatever the record holds.
void write_vevent(ObjectOut &out, const CalendarRecord &c)
{
    const auto &a = c.Appointment;
    out.fixed("BEGIN", "VEVENT");
    out.required("SUMMARY", c.Summary);
    out.required("DESCRIPTION", c.Description);
    out.required("DTSTART", c.DtStart);
    out.required("DTEND", c.DtEnd);
    out.list("CLASS", c.Class);
    out.required("PRIORITY", c.Priority);
    out.list("STATUS", c.Status);
    out.list("LOCATION", a.Location);
    out.list("CATEGORIES", c.Categories);
    out.list("DALARM", a.DAlarm);
    out.list("RRULE", a.RRule);
    out.list("EXDATE", a.ExDate);
    out.list("ATTENDEE", a.Attendee);
    out.luid(model::field_view(c.Luid));
    out.fixed("X-BLUETOOTH-ALLDAYEVENT", a.AllDay ? "TRUE" : "FALSE");
    out.fixed("END", "VEVENT");
}

void write_vtodo(ObjectOut &out, const CalendarRecord &c)
{
    const auto &t = c.Task;
    out.fixed("BEGIN", "VTODO");
    out.required("CATEGORIES", c.Categories);
    out.list("CLASS", c.Class);
    out.required("COMPLETED", c.Completed);
    out.required("DESCRIPTION", c.Description);
    out.list("DTSTART", c.DtStart);
    out.required("DUE", c.Due);
    out.required("PRIORITY", c.Priority);
    out.required("STATUS", c.Status);
    out.required("SUMMARY", c.Summary);
    out.list("DALARM", t.DAlarm);
    out.list("RRULE", t.RRule);
    out.list("EXDATE", t.ExDate);
    out.list("ATTENDEE", t.Attendee);
    out.luid(model::field_view(c.Luid));
    out.fixed("END", "VTODO");
}

// Any other Kind is a calendar without an item.
void write_vcalendar(ObjectOut &out, const CalendarRecord &c)
{
    out.fixed("BEGIN", "VCALENDAR");
    out.fixed("VERSION", model::field_view(c.Version));
    if (c.Kind == KOVA_KIND_APPOINTMENT)
        write_vevent(out, c);
    else if (c.Kind == KOVA_KIND_TASK)
        write_vtodo(out, c);
    out.fixed("END", "VCALENDAR");
}

void write_vnote(ObjectOut &out, const NoteRecord &n)
{
    out.fixed("BEGIN", "VNOTE");
    out.fixed("VERSION", model::field_view(n.Version));
    out.list("DCREATED", n.DCreated);
    out.list("LAST-MODIFIED", n.LastModified);
    out.list("SUMMARY", n.Summary);
    out.required("BODY", n.Body);
    out.list("CATEGORIES", n.Categories);
    out.list("CLASS", n.Class);
    out.luid(model::field_view(n.Luid));
    out.fixed("END", "VNOTE");
}

// Headers without a blank after the colon; From, To and Subject appear even when
// empty. Only MainPart is written: no envelope vCards, no Mime-Version, no further
// parts, and none of the caller's sender or recipient fallback texts.
void write_vmessage(ObjectOut &out, const MessageRecord &m)
{
    out.fixed("BEGIN", "VMSG");
    out.fixed("VERSION", model::field_view(m.Version));
    out.fixed("X-IRMC-STATUS", model::field_view(m.IrmcStatus));
    out.fixed("X-IRMC-TYPE", model::field_view(m.IrmcType));
    out.luid(model::field_view(m.Luid));
    out.fixed("X-BT-FOLDER", model::field_view(m.Folder));
    out.fixed("BEGIN", "VENV");
    out.fixed("BEGIN", "VBODY");
    out.fixed_if_set("Return-Path", model::field_view(m.ReturnPath));
    out.fixed_if_set("Date", model::field_view(m.Date));
    out.fixed("From", model::field_view(m.From));
    out.fixed("To", model::field_view(m.To));
    out.fixed_if_set("Cc", model::field_view(m.Cc));
    out.fixed_if_set("Reply-To", model::field_view(m.ReplyTo));
    out.fixed("Subject", model::field_view(m.Subject));
    out.fixed_if_set("Content-Type", model::field_view(m.MainPart.ContentType));
    out.fixed_if_set("Content-Transfer-Encoding", model::field_view(m.MainPart.ContentTransferEncoding));
    out.plain("");
    // The body's own line breaks are the newlines inside its text.
    if (m.MainPart.Text) out.plain(m.MainPart.Text);
    out.fixed("END", "VBODY");
    out.fixed("END", "VENV");
    out.fixed("END", "VMSG");
}

}  // namespace

base::Status write_object(FILE *file, uint32_t type, const ObjectRecord &record, bool with_luid)
{
    switch (type) {
    case KOVA_TYPE_CONTACT: {
        ObjectOut out(file, ObjectKind::VCard, with_luid);
        write_vcard(out, record.Contact);
        return base::Status::Ok;
    }
    case KOVA_TYPE_CALENDAR: {
        ObjectOut out(file, ObjectKind::VCalendar, with_luid);
        write_vcalendar(out, record.Calendar);
        return base::Status::Ok;
    }
    case KOVA_TYPE_NOTE: {
        ObjectOut out(file, ObjectKind::VNote, with_luid);
        write_vnote(out, record.Note);
        return base::Status::Ok;
    }
    case KOVA_TYPE_MESSAGE:
    case KOVA_TYPE_MESSAGE_SENT:
    case KOVA_TYPE_MESSAGE_OUTBOX: {
        ObjectOut out(file, ObjectKind::VMessage, with_luid);
        write_vmessage(out, record.Message);
        return base::Status::Ok;
    }
    default: return base::Status::TypeNotSupported;
    }
}

}  // namespace kova::vobject
