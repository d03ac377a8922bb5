// kova show: a file's objects or a stored object, property by property, as the record
// holds them (raw value text, parameters as read).
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "common.h"
#include "store_walk.h"

namespace kova::cli {
namespace {

struct Field {
    const char *name;
    PropertyNode *const *list;
};

void print_list(const char *name, const PropertyNode *node)
{
    for (; node; node = node->Next) {
        std::string line = std::string("  ") + name;
        for (const TextNode *p = node->Params; p; p = p->Next)
            if (p->Text && *p->Text) line += std::string(";") + p->Text;
        line += ":";
        bool first = true;
        for (const TextNode *v = node->Values; v; v = v->Next) {
            if (!first) line += ";";
            if (v->Text) line += v->Text;
            first = false;
        }
        std::printf("%s\n", line.c_str());
    }
}

template <size_t N> void print_fields(const Field (&fields)[N])
{
    for (const Field &f : fields) print_list(f.name, *f.list);
}

void print_head(const char *kind, const std::string &label, const char *version,
                const char *luid)
{
    std::printf("%s %s\n", kind, label.c_str());
    if (*version) std::printf("  VERSION:%s\n", version);
    if (*luid) std::printf("  X-IRMC-LUID:%s\n", luid);
}

void print_contact(const ContactRecord &c, const std::string &label)
{
    print_head("vCard", label, c.Version, c.Luid);
    const Field fields[] = {
        {"N", &c.N},         {"FN", &c.FN},         {"NICKNAME", &c.Nickname},
        {"ADR", &c.Adr},     {"ORG", &c.Org},       {"TITLE", &c.Title},
        {"ROLE", &c.Role},   {"TEL", &c.Tel},       {"URL", &c.Url},
        {"EMAIL", &c.Email}, {"NOTE", &c.Note},     {"BDAY", &c.Bday},
        {"X-SPOUSE", &c.Spouse}, {"X-ANNIVERSARY", &c.Anniversary},
        {"X-CHILDREN", &c.Children}, {"X-ASSISTANT", &c.Assistant},
    };
    print_fields(fields);
}

void print_calendar(const CalendarRecord &c, const std::string &label)
{
    bool appointment = c.Kind == KOVA_KIND_APPOINTMENT;
    print_head(appointment ? "VEVENT" : "VTODO", label, c.Version, c.Luid);
    const Field shared[] = {
        {"CATEGORIES", &c.Categories}, {"COMPLETED", &c.Completed},
        {"DESCRIPTION", &c.Description}, {"DUE", &c.Due}, {"DTEND", &c.DtEnd},
        {"PRIORITY", &c.Priority}, {"DTSTART", &c.DtStart}, {"STATUS", &c.Status},
        {"SUMMARY", &c.Summary}, {"CLASS", &c.Class},
    };
    print_fields(shared);
    if (appointment) {
        const auto &a = c.Appointment;
        const Field tail[] = {{"LOCATION", &a.Location}, {"DALARM", &a.DAlarm},
                              {"RRULE", &a.RRule},       {"EXDATE", &a.ExDate},
                              {"ATTENDEE", &a.Attendee}};
        print_fields(tail);
        if (a.AllDay) std::printf("  X-BLUETOOTH-ALLDAYEVENT:TRUE\n");
    } else {
        const auto &t = c.Task;
        const Field tail[] = {{"DALARM", &t.DAlarm}, {"RRULE", &t.RRule},
                              {"EXDATE", &t.ExDate}, {"ATTENDEE", &t.Attendee}};
        print_fields(tail);
    }
}

void print_note(const NoteRecord &n, const std::string &label)
{
    print_head("vNote", label, n.Version, n.Luid);
    const Field fields[] = {{"DCREATED", &n.DCreated}, {"LAST-MODIFIED", &n.LastModified},
                            {"CATEGORIES", &n.Categories}, {"CLASS", &n.Class},
                            {"BODY", &n.Body}, {"SUMMARY", &n.Summary}};
    print_fields(fields);
}

void print_message(const MessageRecord &m, const std::string &label)
{
    print_head("vMessage", label, m.Version, m.Luid);
    const struct {
        const char *name;
        const char *value;
    } headers[] = {{"X-IRMC-STATUS", m.IrmcStatus}, {"X-BT-FOLDER", m.Folder},
                   {"Date", m.Date}, {"From", m.From}, {"To", m.To},
                   {"Subject", m.Subject}};
    for (const auto &h : headers)
        if (*h.value) std::printf("  %s:%s\n", h.name, h.value);
    for (const ContentPart *part = &m.MainPart; part; part = part->Next)
        std::printf("  part %s, %zu bytes\n", part->ContentType,
                    part->Text ? std::strlen(part->Text) : size_t{0});
}

void print_object(uint32_t type, const ObjectRecord &record, const std::string &label)
{
    switch (type) {
    case KOVA_TYPE_CONTACT: print_contact(record.Contact, label); break;
    case KOVA_TYPE_CALENDAR: print_calendar(record.Calendar, label); break;
    case KOVA_TYPE_NOTE: print_note(record.Note, label); break;
    default: print_message(record.Message, label); break;
    }
}

void print_read(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    ++*static_cast<unsigned *>(context);
    print_object(type, *record, "(status " + std::to_string(status) + ")");
}

bool show_file(const std::string &path)
{
    if (auto reason = not_a_file(path)) {
        error(path, *reason);
        return false;
    }
    unsigned count = 0;
    uint32_t rc = KOVA_ReadObjects(wide(path).c_str(), print_read, &count);
    std::printf("%u object(s) read: %s\n", count, code_text(rc).c_str());
    if (rc != KOVA_OK) error(path, read_error(rc, path));
    return rc == KOVA_OK;
}

// A contact, else a calendar item, unless --type says which.
bool show_id(const std::string &id, KindSet kinds)
{
    Record record;
    uint32_t type = KOVA_TYPE_CONTACT;
    uint32_t rc = fetch_object(id, kinds, record, type);
    if (rc != KOVA_OK) {
        error(id, code_text(rc));
        return false;
    }
    print_object(type, *record.get(), id);
    record.release(type);
    return true;
}

}  // namespace

int run_show(const ShowOptions &options)
{
    KindSet kinds = options.type.empty() ? kAllKinds : kinds_of_word(options.type).value_or(0);
    bool opened = false;
    bool all_ok = true;
    for (const std::string &target : options.targets) {
        // An existing path is a file; else one to eight hex digits are an id; anything
        // else is a file that is not there, and the library says so.
        if (access(target.c_str(), F_OK) == 0 || !looks_like_id(target)) {
            all_ok = show_file(target) && all_ok;
            continue;
        }
        if (!opened && !open_store()) return kExitNoStore;
        opened = true;
        all_ok = show_id(target, kinds) && all_ok;
    }
    if (opened) KOVA_Close();
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace kova::cli
