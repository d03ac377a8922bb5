#include "record_hash.h"

#include <cstdio>
#include <cstring>

namespace kova::bench {
namespace {

constexpr uint64_t kNull = ~0ull;

template <size_t N, class T> void array(Checksum &sum, const T (&field)[N])
{
    sum.bytes(field, sizeof field);
}

void text_list(Checksum &sum, const TextNode *node)
{
    for (; node; node = node->Next) {
        sum.number(node->Tag);
        sum.text(node->Text);
    }
    sum.number(kNull);
}

void property_list(Checksum &sum, const PropertyNode *node)
{
    for (; node; node = node->Next) {
        sum.number(node->Flags);
        sum.number(node->CodePage);
        text_list(sum, node->Params);
        text_list(sum, node->Values);
    }
    sum.number(kNull);
}

template <class Record> void head(Checksum &sum, const Record &r)
{
    sum.number(r.ObjectClass);
    array(sum, r.Luid);
    array(sum, r.Version);
}

void contact(Checksum &sum, const ContactRecord &c)
{
    head(sum, c);
    for (const PropertyNode *list : {c.N, c.FN, c.Nickname, c.Adr, c.Org, c.Title, c.Role, c.Tel,
                                     c.Url, c.Email, c.Note, c.Bday, c.Spouse, c.Anniversary,
                                     c.Children, c.Assistant})
        property_list(sum, list);
}

void calendar(Checksum &sum, const CalendarRecord &c)
{
    head(sum, c);
    sum.number(c.Kind);
    if (c.Kind != KOVA_KIND_APPOINTMENT && c.Kind != KOVA_KIND_TASK) return;
    for (const PropertyNode *list : {c.Categories, c.Completed, c.Description, c.Due, c.DtEnd,
                                     c.Priority, c.DtStart, c.Status, c.Summary, c.Class})
        property_list(sum, list);
    if (c.Kind == KOVA_KIND_APPOINTMENT) {
        const auto &a = c.Appointment;
        for (const PropertyNode *list : {a.Location, a.DAlarm, a.RRule, a.ExDate, a.Attendee})
            property_list(sum, list);
        sum.number(a.AllDay);
    } else {
        const auto &t = c.Task;
        for (const PropertyNode *list : {t.DAlarm, t.RRule, t.ExDate, t.Attendee})
            property_list(sum, list);
    }
}

void note(Checksum &sum, const NoteRecord &n)
{
    head(sum, n);
    for (const PropertyNode *list :
         {n.DCreated, n.LastModified, n.Categories, n.Class, n.Body, n.Summary})
        property_list(sum, list);
}

void part(Checksum &sum, const ContentPart &p)
{
    array(sum, p.ContentType);
    array(sum, p.ContentTransferEncoding);
    sum.text(p.Text);
    sum.number(p.TextCapacity);
    array(sum, p.FileName);
}

void message(Checksum &sum, const MessageRecord &m)
{
    head(sum, m);
    array(sum, m.IrmcStatus);
    array(sum, m.IrmcType);
    array(sum, m.Folder);
    array(sum, m.SenderText);
    array(sum, m.SenderAltText);
    array(sum, m.RecipientText);
    array(sum, m.RecipientAltText);
    array(sum, m.MimeVersion);
    array(sum, m.ReturnPath);
    array(sum, m.Date);
    array(sum, m.From);
    array(sum, m.To);
    array(sum, m.Cc);
    array(sum, m.ReplyTo);
    array(sum, m.Subject);
    part(sum, m.MainPart);
    for (const ContentPart *p = m.MainPart.Next; p; p = p->Next) part(sum, *p);
    sum.number(kNull);
}

}  // namespace

void Checksum::bytes(const void *data, size_t size)
{
    const unsigned char *p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) {
        hash_ ^= p[i];
        hash_ *= 0x100000001b3ull;
    }
}

void Checksum::text(const char *text)
{
    if (!text) {
        number(kNull);
        return;
    }
    size_t length = std::strlen(text);
    number(length);
    bytes(text, length);
}

std::string Checksum::hex() const
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
}

void add_record(Checksum &sum, uint32_t type, const ObjectRecord &record, uint32_t status)
{
    sum.number(type);
    sum.number(status);
    switch (type) {
    case KOVA_TYPE_CONTACT: contact(sum, record.Contact); break;
    case KOVA_TYPE_CALENDAR: calendar(sum, record.Calendar); break;
    case KOVA_TYPE_NOTE: note(sum, record.Note); break;
    default: message(sum, record.Message); break;
    }
}

}  // namespace kova::bench
