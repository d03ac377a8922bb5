// kova: the command-line face of the library.
//   kova read FILE    reads every object of a vObject file and prints what was read
#include <cstdio>
#include <cstring>
#include <string>

#include "base/utf16.h"
#include "kova/kova.h"

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

void print_fields(const Field *fields, size_t count)
{
    for (size_t i = 0; i < count; ++i) print_list(fields[i].name, *fields[i].list);
}

void print_head(const char *kind, uint32_t status, const char *version, const char *luid)
{
    std::printf("%s (status %u)\n", kind, status);
    if (*version) std::printf("  VERSION:%s\n", version);
    if (*luid) std::printf("  X-IRMC-LUID:%s\n", luid);
}

void print_object(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    ++*static_cast<unsigned *>(context);
    if (type == KOVA_TYPE_CONTACT) {
        const ContactRecord &c = record->Contact;
        print_head("vCard", status, c.Version, c.Luid);
        const Field fields[] = {
            {"N", &c.N},         {"FN", &c.FN},         {"NICKNAME", &c.Nickname},
            {"ADR", &c.Adr},     {"ORG", &c.Org},       {"TITLE", &c.Title},
            {"ROLE", &c.Role},   {"TEL", &c.Tel},       {"URL", &c.Url},
            {"EMAIL", &c.Email}, {"NOTE", &c.Note},     {"BDAY", &c.Bday},
            {"X-SPOUSE", &c.Spouse}, {"X-ANNIVERSARY", &c.Anniversary},
            {"X-CHILDREN", &c.Children}, {"X-ASSISTANT", &c.Assistant},
        };
        print_fields(fields, sizeof fields / sizeof *fields);
    } else if (type == KOVA_TYPE_CALENDAR) {
        const CalendarRecord &c = record->Calendar;
        bool appointment = c.Kind == KOVA_KIND_APPOINTMENT;
        print_head(appointment ? "VEVENT" : "VTODO", status, c.Version, c.Luid);
        const Field shared[] = {
            {"CATEGORIES", &c.Categories}, {"COMPLETED", &c.Completed},
            {"DESCRIPTION", &c.Description}, {"DUE", &c.Due}, {"DTEND", &c.DtEnd},
            {"PRIORITY", &c.Priority}, {"DTSTART", &c.DtStart}, {"STATUS", &c.Status},
            {"SUMMARY", &c.Summary}, {"CLASS", &c.Class},
        };
        print_fields(shared, sizeof shared / sizeof *shared);
        if (appointment) {
            const auto &a = c.Appointment;
            const Field tail[] = {{"LOCATION", &a.Location}, {"DALARM", &a.DAlarm},
                                  {"RRULE", &a.RRule},       {"EXDATE", &a.ExDate},
                                  {"ATTENDEE", &a.Attendee}};
            print_fields(tail, sizeof tail / sizeof *tail);
            if (a.AllDay) std::printf("  X-BLUETOOTH-ALLDAYEVENT:TRUE\n");
        } else {
            const auto &t = c.Task;
            const Field tail[] = {{"DALARM", &t.DAlarm}, {"RRULE", &t.RRule},
                                  {"EXDATE", &t.ExDate}, {"ATTENDEE", &t.Attendee}};
            print_fields(tail, sizeof tail / sizeof *tail);
        }
    } else if (type == KOVA_TYPE_NOTE) {
        const NoteRecord &n = record->Note;
        print_head("vNote", status, n.Version, n.Luid);
        const Field fields[] = {{"DCREATED", &n.DCreated}, {"LAST-MODIFIED", &n.LastModified},
                                {"CATEGORIES", &n.Categories}, {"CLASS", &n.Class},
                                {"BODY", &n.Body}, {"SUMMARY", &n.Summary}};
        print_fields(fields, sizeof fields / sizeof *fields);
    } else {
        const MessageRecord &m = record->Message;
        print_head("vMessage", status, m.Version, m.Luid);
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
}

int usage()
{
    std::fprintf(stderr, "usage: kova read FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || std::strcmp(argv[1], "read") != 0) return usage();
    std::u16string path = kova::base::utf8_to_utf16(argv[2]);
    unsigned count = 0;
    uint32_t rc = KOVA_ReadObjects(path.c_str(), print_object, &count);
    std::printf("%u object(s) read: %s\n", count,
                kova::base::utf16_to_utf8(KOVA_CodeToString(rc)).c_str());
    return rc == 0 ? 0 : 1;
}
