#include "interface/object_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::api {
namespace {

void add(PropertyNode **list, std::initializer_list<const char *> components)
{
    PropertyNode *node = model::AppendProperty(list);
    unsigned i = 0;
    for (const char *c : components) model::SetValue(node, model::copy_text(c), i++);
}

// The name as cut into a buffer of size units, and "|" with the returned length.
std::u16string name(uint32_t type, const ObjectRecord &record, uint32_t size = 2000)
{
    std::u16string buffer(size, u'#');
    uint32_t length = object_name(type, &record, buffer.data(), size);
    EXPECT_EQ(object_name(type, &record, nullptr, 0), length);  // measuring alone
    std::string digits = "|" + std::to_string(length);
    return buffer.substr(0, buffer.find(u'\0')) + std::u16string(digits.begin(), digits.end());
}

TEST(ObjectName, ContactsUseFnOrTheNameParts)
{
    testing::TempDevice device;
    ObjectRecord r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(name(KOVA_TYPE_CONTACT, r), u"|0");
    add(&r.Contact.N, {"Doe", "John", "", "Dr."});
    add(&r.Contact.N, {"Other"});
    const std::pair<uint32_t, std::u16string> kCuts[] = {
        {1, u"|12"}, {5, u"Dr. |12"}, {12, u"Dr. John Do|12"}, {13, u"Dr. John Doe|12"}};
    for (const auto &[size, cut] : kCuts) EXPECT_EQ(name(KOVA_TYPE_CONTACT, r, size), cut) << size;
    add(&r.Contact.FN, {"Lind \\; Co"});
    EXPECT_EQ(name(KOVA_TYPE_CONTACT, r), u"Lind ; Co|9");
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &r);
}

TEST(ObjectName, CalendarItemsNotesAndMessages)
{
    testing::TempDevice device;
    ObjectRecord r;
    std::memset(&r, 0, sizeof r);
    r.Calendar.Kind = KOVA_KIND_APPOINTMENT;
    add(&r.Calendar.Summary, {"Review"});
    add(&r.Calendar.Appointment.Location, {"Room 4"});
    EXPECT_EQ(name(KOVA_TYPE_CALENDAR, r), u"Review (Room 4)|15");
    r.Calendar.Kind = KOVA_KIND_TASK;  // the slot is a task's alarm now
    EXPECT_EQ(name(KOVA_TYPE_CALENDAR, r), u"Review|6");
    r.Calendar.Kind = KOVA_KIND_APPOINTMENT;
    model::ReleaseRecord(KOVA_TYPE_CALENDAR, &r);

    std::memset(&r, 0, sizeof r);
    add(&r.Note.Summary, {"Caf=E9"});
    r.Note.Summary->Flags = KOVA_FLAG_QUOTED_PRINTABLE;
    EXPECT_EQ(name(KOVA_TYPE_NOTE, r), u"Caf\u00E9|4");
    model::ReleaseRecord(KOVA_TYPE_NOTE, &r);

    std::memset(&r, 0, sizeof r);
    std::strcpy(r.Message.From, "Maja");
    std::strcpy(r.Message.Subject, "Caf\xE9");
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE_SENT, r), u"Maja - Caf\u00E9|11");
    std::memset(r.Message.From, 'x', sizeof r.Message.From);  // unterminated
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE, r), std::u16string(1024, u'x') + u" - Caf\u00E9|1031");
    r.Message.From[0] = '\0';
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE_OUTBOX, r), u"Caf\u00E9|4");
    EXPECT_EQ(name(6, r), u"|0");
    EXPECT_EQ(object_name(KOVA_TYPE_NOTE, nullptr, nullptr, 0), 0u);
}

}  // namespace
}  // namespace kova::api
