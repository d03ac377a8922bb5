#include "store_walk.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "base/utf16.h"
#include "common.h"
#include "kova/kova.h"
#include "pim/mail.h"
#include "pim/outlook.h"
#include "pim/rich_ink.h"

namespace kova::cli {
namespace {

struct KindInfo {
    Kind kind;
    const char *word;
    uint32_t type;
};

constexpr KindInfo kKinds[] = {
    {Kind::Contact, "contact", KOVA_TYPE_CONTACT},
    {Kind::Appointment, "appointment", KOVA_TYPE_CALENDAR},
    {Kind::Task, "task", KOVA_TYPE_CALENDAR},
    {Kind::Message, "message", KOVA_TYPE_MESSAGE},
    {Kind::Note, "note", KOVA_TYPE_NOTE},
};

const KindInfo &info(Kind kind) { return kKinds[static_cast<unsigned>(kind)]; }

std::string id_text(uint32_t oid)
{
    char id[16];
    std::snprintf(id, sizeof id, "%08x", oid);
    return id;
}

// The library's display name; the item's own title when the fetch gives none.
std::string item_name(Kind kind, const std::string &id, pim::Item &item)
{
    Record record;
    uint32_t type = kind_type(kind);
    std::string name;
    if (KOVA_GetObjectById(type, id.c_str(), record.get()) == KOVA_OK) {
        name = display_name(type, *record.get());
        record.release(type);
    }
    if (!name.empty()) return name;
    const std::u16string *title = nullptr;
    if (pim::Contact *c = item.as_contact()) title = &c->FileAs;
    if (pim::Appointment *a = item.as_appointment()) title = &a->Subject;
    if (pim::Task *t = item.as_task()) title = &t->Subject;
    return title ? one_line(base::utf16_to_utf8(*title)) : std::string();
}

void walk_folder(pim::Application &app, Kind kind, int folder_number,
                 std::vector<StoredObject> &out)
{
    std::unique_ptr<pim::Folder> folder = app.GetDefaultFolder(folder_number);
    if (!folder) return;
    pim::ItemCollection items = folder->Items();
    for (int i = 1; i <= items.Count(); ++i) {
        std::unique_ptr<pim::Item> item = items.Item(i);
        if (!item) continue;  // gone since the collection was made
        std::string id = id_text(item->oid());
        out.push_back({kind, id, item_name(kind, id, *item)});
    }
}

std::string header(const pim::StoreMessage &message, const char16_t *name)
{
    return one_line(base::utf16_to_utf8(pim::MailGetField(message, name, 0).value_or(u"")));
}

void walk_messages(pim::MailStore &store, std::vector<StoredObject> &out)
{
    static const struct {
        uint32_t number;
        uint32_t type;
    } kFolders[] = {{pim::kMailFolderInbox, KOVA_TYPE_MESSAGE},
                    {pim::kMailFolderOutbox, KOVA_TYPE_MESSAGE_OUTBOX},
                    {pim::kMailFolderSent, KOVA_TYPE_MESSAGE_SENT}};
    for (const auto &folder : kFolders) {
        pim::StoreMessage message{};
        message.Flags = folder.number;
        for (bool more = pim::MailFirst(store, message); more;
             more = pim::MailNext(store, message)) {
            // The same words KOVA_GetObjectName makes of a message record.
            std::string from = header(message, u"From");
            std::string name = header(message, u"Subject");
            if (!from.empty()) name = from + " - " + name;
            name += std::string(" [") + folder_word(folder.type) + "]";
            out.push_back({Kind::Message, id_text(message.Id), name});
            pim::MailFree(message);
            message.Flags = folder.number;
        }
        pim::MailFree(message);
    }
}

// A note's id is its name, and its file is that name with ".pwi".
void walk_notes(std::vector<StoredObject> &out)
{
    std::filesystem::path folder = pim::SpecialFolderPath(pim::kSpecialFolderPersonal);
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::filesystem::path &path = entry.path();
        if (path.extension() == ".pwi" && entry.is_regular_file(ec))
            names.push_back(path.stem().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) out.push_back({Kind::Note, name, one_line(name)});
}

}  // namespace

std::optional<KindSet> kinds_of_word(std::string_view word)
{
    if (word == "calendar") return kCalendarKinds;
    for (const KindInfo &k : kKinds)
        if (word == k.word) return kind_bit(k.kind);
    return std::nullopt;
}

const char *kind_word(Kind kind) { return info(kind).word; }

uint32_t kind_type(Kind kind) { return info(kind).type; }

uint32_t fetch_object(const std::string &id, KindSet kinds, Record &record, uint32_t &type)
{
    uint32_t rc = KOVA_NOT_FOUND;
    for (uint32_t candidate : {KOVA_TYPE_CONTACT, KOVA_TYPE_CALENDAR}) {
        KindSet wanted = candidate == KOVA_TYPE_CONTACT ? kind_bit(Kind::Contact) : kCalendarKinds;
        if (!(kinds & wanted)) continue;
        type = candidate;
        rc = KOVA_GetObjectById(candidate, id.c_str(), record.get());
        if (rc != KOVA_NOT_FOUND) break;
    }
    return rc;
}

std::optional<std::vector<StoredObject>> stored_objects(KindSet kinds)
{
    std::unique_ptr<pim::Application> app = pim::Application::create();
    if (!app || pim::failed(app->Logon(0))) return std::nullopt;
    std::unique_ptr<pim::MailStore> mail;
    if ((kinds & kind_bit(Kind::Message)) && !pim::MailOpen(mail, 0)) return std::nullopt;

    std::vector<StoredObject> out;
    if (kinds & kind_bit(Kind::Contact))
        walk_folder(*app, Kind::Contact, pim::kFolderContacts, out);
    if (kinds & kind_bit(Kind::Appointment))
        walk_folder(*app, Kind::Appointment, pim::kFolderCalendar, out);
    if (kinds & kind_bit(Kind::Task)) walk_folder(*app, Kind::Task, pim::kFolderTasks, out);
    if (mail) walk_messages(*mail, out);
    if (kinds & kind_bit(Kind::Note)) walk_notes(out);
    app->Logoff();
    return out;
}

}  // namespace kova::cli
