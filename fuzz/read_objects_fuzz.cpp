// KOVA_ReadObjects on arbitrary bytes: the first line picks one of the four readers.
// Each object is walked as a caller would (display name, every value component to
// UTF-16, message bodies) and written back with KOVA_WriteObject; the written file is
// then read again, since a reader must take whatever the writer produced.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "convert/value_text.h"
#include "fuzz_support.h"
#include "kova/kova.h"

namespace {

using kova::fuzz::scratch_path;
using kova::fuzz::widen_ascii;

std::vector<PropertyNode *> lists_of(uint32_t type, ObjectRecord &record)
{
    if (type == KOVA_TYPE_CONTACT) {
        ContactRecord &c = record.Contact;
        return {c.N, c.FN, c.Nickname, c.Adr, c.Org, c.Title, c.Role, c.Tel,
                c.Url, c.Email, c.Note, c.Bday, c.Spouse, c.Anniversary, c.Children, c.Assistant};
    }
    if (type == KOVA_TYPE_CALENDAR) {
        CalendarRecord &c = record.Calendar;
        std::vector<PropertyNode *> lists = {c.Categories, c.Completed, c.Description, c.Due,
                                             c.DtEnd, c.Priority, c.DtStart, c.Status,
                                             c.Summary, c.Class};
        if (c.Kind == KOVA_KIND_APPOINTMENT)
            lists.insert(lists.end(), {c.Appointment.Location, c.Appointment.DAlarm,
                                       c.Appointment.RRule, c.Appointment.ExDate,
                                       c.Appointment.Attendee});
        else if (c.Kind == KOVA_KIND_TASK)
            lists.insert(lists.end(), {c.Task.DAlarm, c.Task.RRule, c.Task.ExDate, c.Task.Attendee});
        return lists;
    }
    if (type == KOVA_TYPE_NOTE) {
        NoteRecord &n = record.Note;
        return {n.DCreated, n.LastModified, n.Categories, n.Class, n.Body, n.Summary};
    }
    return {};
}

void walk(uint32_t type, ObjectRecord *record)
{
    char16_t name[16];
    uint32_t length = KOVA_GetObjectName(type, record, name, sizeof name / sizeof name[0]);
    if (name[length < 16 ? length : 15] != u'\0') __builtin_trap();  // unterminated name
    std::u16string text;
    for (PropertyNode *list : lists_of(type, *record))
        for (PropertyNode *node = list; node; node = node->Next) {
            unsigned count = 0;
            for (TextNode *v = node->Values; v; v = v->Next) ++count;
            for (unsigned i = 0; i <= count; ++i) kova::convert::ValueToText(node, i, text);
        }
    if (type >= KOVA_TYPE_MESSAGE && type <= KOVA_TYPE_MESSAGE_OUTBOX)
        for (ContentPart *part = &record->Message.MainPart; part; part = part->Next)
            kova::convert::MessageBodyToText(part->Text, part->ContentType,
                                             part->ContentTransferEncoding, text);
}

struct Written {
    std::u16string path;
    bool first = true;
};

void on_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    walk(type, record);
    Written &out = *static_cast<Written *>(context);
    KOVA_WriteObject(type, record, out.path.c_str(), out.first ? 1 : 0);
    out.first = false;
    // KOVA_WriteObject released the lists; the reader releases the record again after
    // this call, which must then find nothing left to free.
    std::memset(record, 0, sizeof *record);
}

void on_written_object(uint32_t type, ObjectRecord *record, uint32_t, void *) { walk(type, record); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string input = scratch_path("input.vobject");
    static const std::string output = scratch_path("output.vobject");
    kova::fuzz::write_bytes(input, data, size);
    std::u16string input_path = widen_ascii(input);
    Written written{widen_ascii(output)};
    std::remove(output.c_str());
    KOVA_ReadObjects(input_path.c_str(), on_object, &written);
    if (!written.first) KOVA_ReadObjects(written.path.c_str(), on_written_object, nullptr);
    return 0;
}
