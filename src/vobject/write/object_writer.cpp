#include "vobject/write/object_writer.h"

#include <algorithm>
#include <string_view>

#include "vobject/write/line_writer.h"

namespace kova::vobject {
namespace {

// A caller-built record may fill an array to the brim; never read past it.
template <size_t N> std::string_view field(const char (&text)[N])
{
    return std::string_view(text, static_cast<size_t>(std::find(text, text + N, '\0') - text));
}

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
    out.fixed("VERSION", field(c.Version));
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
    out.luid(field(c.Luid));
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
    out.luid(field(c.Luid));
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
    out.luid(field(c.Luid));
    out.fixed("END", "VTODO");
}

// Any other Kind is a calendar without an item.
void write_vcalendar(ObjectOut &out, const CalendarRecord &c)
{
    out.fixed("BEGIN", "VCALENDAR");
    out.fixed("VERSION", field(c.Version));
    if (c.Kind == KOVA_KIND_APPOINTMENT)
        write_vevent(out, c);
    else if (c.Kind == KOVA_KIND_TASK)
        write_vtodo(out, c);
    out.fixed("END", "VCALENDAR");
}

void write_vnote(ObjectOut &out, const NoteRecord &n)
{
    out.fixed("BEGIN", "VNOTE");
    out.fixed("VERSION", field(n.Version));
    out.list("DCREATED", n.DCreated);
    out.list("LAST-MODIFIED", n.LastModified);
    out.list("SUMMARY", n.Summary);
    out.required("BODY", n.Body);
    out.list("CATEGORIES", n.Categories);
    out.list("CLASS", n.Class);
    out.luid(field(n.Luid));
    out.fixed("END", "VNOTE");
}

// Headers without a blank after the colon; From, To and Subject appear even when
// empty. Only MainPart is written: no envelope vCards, no Mime-Version, no further
// parts, and none of the caller's sender or recipient fallback texts.
void write_vmessage(ObjectOut &out, const MessageRecord &m)
{
    out.fixed("BEGIN", "VMSG");
    out.fixed("VERSION", field(m.Version));
    out.fixed("X-IRMC-STATUS", field(m.IrmcStatus));
    out.fixed("X-IRMC-TYPE", field(m.IrmcType));
    out.luid(field(m.Luid));
    out.fixed("X-BT-FOLDER", field(m.Folder));
    out.fixed("BEGIN", "VENV");
    out.fixed("BEGIN", "VBODY");
    out.fixed_if_set("Return-Path", field(m.ReturnPath));
    out.fixed_if_set("Date", field(m.Date));
    out.fixed("From", field(m.From));
    out.fixed("To", field(m.To));
    out.fixed_if_set("Cc", field(m.Cc));
    out.fixed_if_set("Reply-To", field(m.ReplyTo));
    out.fixed("Subject", field(m.Subject));
    out.fixed_if_set("Content-Type", field(m.MainPart.ContentType));
    out.fixed_if_set("Content-Transfer-Encoding", field(m.MainPart.ContentTransferEncoding));
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
