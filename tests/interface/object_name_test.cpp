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

TEST(ObjectName, EachTypeHasItsOwnName)
{
    testing::TempDevice device;
    ObjectRecord r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(name(KOVA_TYPE_CONTACT, r), u"|0");
    add(&r.Contact.N, {"Doe", "John", "Q.", "Dr."});  // no suffix
    for (const auto &[size, cut] : {std::pair{1u, u"|15"}, {5u, u"Dr. |15"},
                                    {15u, u"Dr. John Q. Do|15"}, {16u, u"Dr. John Q. Doe|15"}})
        EXPECT_EQ(name(KOVA_TYPE_CONTACT, r, size), cut) << size;
    add(&r.Contact.FN, {"Lind \\; Co"});
    EXPECT_EQ(name(KOVA_TYPE_CONTACT, r), u"Lind ; Co|9");
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &r);

    std::memset(&r, 0, sizeof r);
    r.Calendar.Kind = KOVA_KIND_APPOINTMENT;
    add(&r.Calendar.Summary, {"Review"});
    EXPECT_EQ(name(KOVA_TYPE_CALENDAR, r), u"Review|6");
    add(&r.Calendar.Appointment.Location, {"Room 4"});
    EXPECT_EQ(name(KOVA_TYPE_CALENDAR, r), u"Review (Room 4)|15");
    r.Calendar.Kind = KOVA_KIND_TASK;  // the slot is a task's alarm now
    EXPECT_EQ(name(KOVA_TYPE_CALENDAR, r), u"Review|6");
    r.Calendar.Kind = KOVA_KIND_APPOINTMENT;
    model::ReleaseRecord(KOVA_TYPE_CALENDAR, &r);

    std::memset(&r, 0, sizeof r);
    add(&r.Note.Summary, {"Milk"});
    EXPECT_EQ(name(KOVA_TYPE_NOTE, r), u"Milk|4");
    model::ReleaseRecord(KOVA_TYPE_NOTE, &r);

    std::memset(&r, 0, sizeof r);
    std::strcpy(r.Message.From, "Maja");
    std::strcpy(r.Message.To, "Ola");  // right after From
    std::strcpy(r.Message.Subject, "Caf\xE9");
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE_SENT, r), u"Maja - Caf\u00E9|11");
    std::memset(r.Message.From, 'x', sizeof r.Message.From);  // unterminated
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE, r), std::u16string(1024, u'x') + u" - Caf\u00E9|1031");
    r.Message.From[0] = '\0';
    EXPECT_EQ(name(KOVA_TYPE_MESSAGE_OUTBOX, r), u"Caf\u00E9|4");
    EXPECT_EQ(name(6, r), u"|0");
}

}  // namespace
}  // namespace kova::api
