// The store operations dispatch on the object type: 0 contact, 1 calendar item (an
// appointment when Kind is 1, else a task), 2 note, 3 to 5 message. Contacts and
// calendar items live in the object model, messages in the message store, notes as
// files in the documents folder.
#include "store/operations.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/log.h"
#include "convert/charset.h"
#include "convert/iso_date.h"
#include "convert/message_date.h"
#include "model/record.h"
#include "store/appointment.h"
#include "store/connection.h"
#include "store/contact.h"
#include "store/message.h"
#include "store/note.h"
#include "store/record_text.h"
#include "store/task.h"

namespace kova::store {
namespace {

using base::Status;

bool is_message(uint32_t type) { return type >= KOVA_TYPE_MESSAGE && type <= KOVA_TYPE_MESSAGE_OUTBOX; }

pim::Application *application() { return connection().application.get(); }
pim::MailStore *mail() { return connection().mail.get(); }

// A note's id is its name as the record holds it, cut to fit the caller's buffer.
void copy_note_id(char *id, const NoteRecord &record)
{
    if (id) model::copy_field(id, KOVA_ID_CAPACITY, raw_text(record.Summary));
}

void copy_id(char *id, uint32_t oid)
{
    if (id) format_id(id, KOVA_ID_CAPACITY, oid);
}

// Frees what the message store allocated, whatever way the operation ends.
class MessageScope {
public:
    MessageScope() = default;
    ~MessageScope() { pim::MailFree(message); }
    MessageScope(const MessageScope &) = delete;
    MessageScope &operator=(const MessageScope &) = delete;
    pim::StoreMessage message{};
};

// Puts the record onto the calendar item: an appointment when the record's Kind says
// so, else a task. An item of the other kind cannot take it.
bool put_calendar(pim::Item &item, CalendarRecord &record)
{
    if (record.Kind == KOVA_KIND_APPOINTMENT) {
        pim::Appointment *appointment = item.as_appointment();
        if (appointment) pol_PutAppointment(*appointment, record);
        return appointment != nullptr;
    }
    pim::Task *task = item.as_task();
    if (task) pol_PutTask(*task, record);
    return task != nullptr;
}

// A save or fetch that failed for want of memory answers 11, as running out does
// everywhere else; any other failure is the PIM's.
Status save(pim::Item &item)
{
    pim::HResult hr = item.Save();
    if (hr == pim::kOutOfMemory) return Status::OutOfMemory;
    return pim::failed(hr) ? Status::PimError : Status::Ok;
}

// The contact or calendar item with that id; PimNotOpened without the object model.
Status fetch_item(uint32_t oid, std::unique_ptr<pim::Item> &item)
{
    pim::Application *app = application();
    if (!app) return Status::PimNotOpened;
    pim::HResult hr = app->GetItemFromOid(oid, item);
    if (hr == pim::kOutOfMemory) return Status::OutOfMemory;
    return pim::failed(hr) || !item ? Status::NotFound : Status::Ok;
}

Status add_item(uint32_t type, ObjectRecord &record, uint32_t &oid)
{
    pim::Application *app = application();
    bool appointment = type == KOVA_TYPE_CALENDAR && record.Calendar.Kind == KOVA_KIND_APPOINTMENT;
    int kind = type == KOVA_TYPE_CONTACT ? pim::kItemContact
               : appointment             ? pim::kItemAppointment
                                         : pim::kItemTask;
    std::unique_ptr<pim::Item> item = app->CreateItem(kind);
    if (!item) return Status::PimError;
    if (type == KOVA_TYPE_CONTACT)
        pol_PutContact(*item->as_contact(), record.Contact);
    else
        put_calendar(*item, record.Calendar);
    Status s = save(*item);
    if (s == Status::Ok) oid = item->oid();
    return s;
}

uint32_t folder_number(std::string_view name, bool adding)
{
    if (name == "OUTBOX")
        return adding ? pim::kMailOutboxAdd | pim::kMailFolderOutbox : pim::kMailFolderOutbox;
    if (name == "SENTBOX") return pim::kMailFolderSent;
    return pim::kMailFolderInbox;
}

Status add_message(MessageRecord &record, uint32_t &id)
{
    MessageScope scope;
    std::u16string body;
    pol_PutMessage(scope.message, record, body);
    scope.message.Flags |= folder_number(model::field_view(record.Folder), true);
    if (!pim::MailPut(*mail(), scope.message)) return Status::PimError;
    id = scope.message.Id;
    return Status::Ok;
}

std::u16string note_name(NoteRecord &record) { return value_text(record.Summary, 0); }

bool contact_matches(pim::Contact &contact, PropertyNode *n)
{
    const std::u16string *names[] = {&contact.LastName, &contact.FirstName, &contact.MiddleName,
                                      &contact.Title, &contact.Suffix};
    for (unsigned i = 0; i < 5; ++i)
        if (*names[i] != value_text(n, i)) return false;
    return true;
}

// [Title] = "Dr." AND [FirstName] = "Maja" ...: the non-empty name parts, unescaped.
std::u16string contact_restriction(PropertyNode *n)
{
    static const struct {
        const char16_t *name;
        unsigned component;
    } kTerms[] = {{u"[Title]", 3}, {u"[FirstName]", 1}, {u"[MiddleName]", 2},
                  {u"[LastName]", 0}, {u"[Suffix]", 4}};
    std::u16string restriction;
    for (const auto &term : kTerms) {
        std::u16string value = value_text(n, term.component);
        if (value.empty()) continue;
        if (!restriction.empty()) restriction += u" AND ";
        restriction += term.name;
        restriction += u" = \"";
        restriction += value;
        restriction += u"\"";
    }
    return restriction;
}

std::optional<uint32_t> find_contact(ContactRecord &record)
{
    std::unique_ptr<pim::Folder> folder = application()->GetDefaultFolder(pim::kFolderContacts);
    if (!folder) return std::nullopt;
    pim::ItemCollection items = folder->Items();
    for (std::unique_ptr<pim::Item> item = items.Find(contact_restriction(record.N)); item;
         item = items.FindNext()) {
        pim::Contact *contact = item->as_contact();
        if (contact && contact_matches(*contact, record.N)) return item->oid();
    }
    return std::nullopt;
}

// Walks a calendar folder by index; items that cannot be fetched are passed over.
template <class Match>
std::optional<uint32_t> find_in_folder(int number, Match &&match)
{
    std::unique_ptr<pim::Folder> folder = application()->GetDefaultFolder(number);
    if (!folder) return std::nullopt;
    pim::ItemCollection items = folder->Items();
    for (int i = 1; i <= items.Count(); ++i) {
        std::unique_ptr<pim::Item> item = items.Item(i);
        if (item && match(*item)) return item->oid();
    }
    return std::nullopt;
}

std::optional<uint32_t> find_calendar(CalendarRecord &record)
{
    if (record.Kind == KOVA_KIND_APPOINTMENT) {
        double start = has_value(record.DtStart) ? convert::ParseIsoDate(raw_text(record.DtStart)).date
                                                 : convert::NoDate;
        bool by_subject = has_value(record.Summary);
        std::u16string text = by_subject ? value_text(record.Summary) : value_text(record.Description);
        return find_in_folder(pim::kFolderCalendar, [&](pim::Item &item) {
            pim::Appointment *a = item.as_appointment();
            return a && a->Start == start && (by_subject ? a->Subject : a->Body) == text;
        });
    }
    if (!has_value(record.Summary)) return std::nullopt;
    std::u16string subject = value_text(record.Summary);
    return find_in_folder(pim::kFolderTasks, [&](pim::Item &item) {
        pim::Task *t = item.as_task();
        return t && t->Subject == subject;
    });
}

bool find_note(NoteRecord &record)
{
    if (!has_value(record.Summary)) return false;
    FILE *file = std::fopen(note_path(note_name(record)).c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

std::optional<uint32_t> find_message(MessageRecord &record)
{
    uint32_t folder = folder_number(model::field_view(record.Folder), false);
    std::u16string subject = convert::widen_system(model::field_view(record.Subject));
    uint64_t date = convert::MessageDateToFileTime(std::string(model::field_view(record.Date)).c_str());
    pim::StoreMessage message{};
    message.Flags = folder;
    for (bool more = pim::MailFirst(*mail(), message); more;
         message.Flags = folder, more = pim::MailNext(*mail(), message)) {
        bool match = false;
        if (!(message.Flags & pim::kMailHidden)) {
            std::optional<std::u16string> header = pim::MailGetField(message, u"Subject", 0);
            match = header && *header == subject && message.Date == date;
        }
        pim::MailFree(message);
        if (match) return message.Id;
    }
    pim::MailFree(message);
    return std::nullopt;
}

}  // namespace

Status POL_AddObject(uint32_t type, ObjectRecord &record, char *id)
{
    KOVA_LOG_TRACE("KOVA:  POL_AddObject()");
    uint32_t oid = 0;
    Status s = Status::TypeNotSupported;
    if (type == KOVA_TYPE_CONTACT || type == KOVA_TYPE_CALENDAR) {
        if (!application()) return Status::PimNotOpened;
        s = add_item(type, record, oid);
    } else if (type == KOVA_TYPE_NOTE) {
        if (!has_value(record.Note.Summary)) return Status::MissingField;
        pol_PutNote(record.Note);
        copy_note_id(id, record.Note);
        return Status::Ok;
    } else if (is_message(type)) {
        if (!mail()) return Status::PimNotOpened;
        s = add_message(record.Message, oid);
    }
    if (id) {
        if (s == Status::Ok && oid != 0)
            copy_id(id, oid);
        else
            id[0] = '\0';
    }
    return s;
}

Status POL_ModifyObject(uint32_t type, const char *id, ObjectRecord &record)
{
    KOVA_LOG_TRACE("KOVA:  POL_ModifyObject()");
    if (!id) return Status::InvalidId;
    if (type == KOVA_TYPE_NOTE) {
        if (!has_value(record.Note.Summary)) return Status::MissingField;
        std::remove(note_path(convert::widen_system(id)).c_str());
        pol_PutNote(record.Note);
        return Status::Ok;
    }
    std::optional<uint32_t> number = parse_id(id);
    if (!number) return Status::InvalidId;
    if (type == KOVA_TYPE_CONTACT || type == KOVA_TYPE_CALENDAR) {
        std::unique_ptr<pim::Item> item;
        if (Status s = fetch_item(*number, item); s != Status::Ok) return s;
        if (type == KOVA_TYPE_CONTACT) {
            pim::Contact *contact = item->as_contact();
            if (!contact) return Status::NotFound;
            pol_PutContact(*contact, record.Contact);
        } else if (!put_calendar(*item, record.Calendar)) {
            return Status::NotFound;
        }
        return save(*item);
    }
    if (is_message(type)) {
        if (!mail()) return Status::PimNotOpened;
        MessageScope scope;
        scope.message.Id = *number;
        scope.message.Flags = pim::kMailFetchById;
        if (!pim::MailGet(*mail(), scope.message)) return Status::NotFound;
        std::u16string body;
        pol_PutMessage(scope.message, record.Message, body);
        return pim::MailUpdate(*mail(), scope.message, 1) ? Status::Ok : Status::PimError;
    }
    return Status::TypeNotSupported;
}

uint32_t POL_FindObject(uint32_t type, ObjectRecord &record, char *id)
{
    KOVA_LOG_TRACE("KOVA:  POL_FindObject()");
    std::optional<uint32_t> found;
    if (type == KOVA_TYPE_CONTACT && application()) {
        found = find_contact(record.Contact);
    } else if (type == KOVA_TYPE_CALENDAR && application()) {
        found = find_calendar(record.Calendar);
    } else if (type == KOVA_TYPE_NOTE) {
        if (!find_note(record.Note)) return 0;
        copy_note_id(id, record.Note);
        return 1;
    } else if (is_message(type) && mail()) {
        found = find_message(record.Message);
    }
    if (!found) return 0;
    copy_id(id, *found);
    return 1;
}

Status POL_GetObjectById(uint32_t type, const char *id, ObjectRecord &record)
{
    KOVA_LOG_TRACE("KOVA:  POL_GetObjectById('%s')", id ? id : "(null)");
    if (!id) return Status::InvalidId;
    if (type == KOVA_TYPE_NOTE) return Status::TypeNotSupported;
    std::optional<uint32_t> number = parse_id(id);
    if (!number) return Status::InvalidId;
    if (type != KOVA_TYPE_CONTACT && type != KOVA_TYPE_CALENDAR) return Status::TypeNotSupported;
    std::unique_ptr<pim::Item> item;
    if (Status s = fetch_item(*number, item); s != Status::Ok) return s;
    if (type == KOVA_TYPE_CONTACT) {
        pim::Contact *contact = item->as_contact();
        if (!contact) return Status::NotFound;
        pol_GetContact(*contact, record.Contact);
    } else if (pim::Appointment *appointment = item->as_appointment()) {
        pol_GetAppointment(*appointment, record.Calendar);
    } else if (pim::Task *task = item->as_task()) {
        pol_GetTask(*task, record.Calendar);
    } else {
        return Status::NotFound;
    }
    return Status::Ok;
}

}  // namespace kova::store
