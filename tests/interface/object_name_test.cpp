#include "interface/object_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::api {
namespace {

using testing::TempDevice;

// A zeroed record released with its type at the end.
class Record {
public:
    explicit Record(uint32_t type) : type_(type) { std::memset(&record_, 0, sizeof record_); }
    ~Record() { model::ReleaseRecord(type_, &record_); }
    Record(const Record &) = delete;
    Record &operator=(const Record &) = delete;

    ObjectRecord &get() { return record_; }
    // Appends an occurrence with the given components.
    void add(PropertyNode **list, std::initializer_list<const char *> components)
    {
        PropertyNode *node = model::AppendProperty(list);
        unsigned i = 0;
        for (const char *c : components) {
            if (*c) model::SetValue(node, model::copy_text(c), i);
            ++i;
        }
    }
    std::u16string name(size_t size = 64)
    {
        std::u16string buffer(size, u'#');
        uint32_t length = object_name(type_, &record_, buffer.data(), static_cast<uint32_t>(size));
        EXPECT_EQ(object_name(type_, &record_, nullptr, 0), length);  // measuring alone
        std::string digits = std::to_string(length);
        return buffer.substr(0, buffer.find(u'\0')) + u"|" +
               std::u16string(digits.begin(), digits.end());
    }

private:
    uint32_t type_;
    ObjectRecord record_;
};

// Names are shown as "text|returned length".
TEST(ObjectName, ContactsUseFnOrTheNameParts)
{
    TempDevice device;
    Record parts(KOVA_TYPE_CONTACT);
    parts.add(&parts.get().Contact.N, {"Doe", "John", "", "Dr."});
    EXPECT_EQ(parts.name(), u"Dr. John Doe|12");
    EXPECT_EQ(parts.name(5), u"Dr. |12");
    EXPECT_EQ(parts.name(1), u"|12");
    EXPECT_EQ(parts.name(12), u"Dr. John Do|12");
    EXPECT_EQ(parts.name(13), u"Dr. John Doe|12");

    Record all(KOVA_TYPE_CONTACT);
    all.add(&all.get().Contact.N, {"Lind", "Maja", "Eva", "Prof.", "Jr."});
    all.add(&all.get().Contact.N, {"Other"});
    EXPECT_EQ(all.name(), u"Prof. Maja Eva Lind Jr.|23");
    all.add(&all.get().Contact.FN, {"Maja Lind \\; Co"});
    EXPECT_EQ(all.name(), u"Maja Lind ; Co|14");

    Record none(KOVA_TYPE_CONTACT);
    EXPECT_EQ(none.name(), u"|0");
}

TEST(ObjectName, CalendarItemsNotesAndMessages)
{
    TempDevice device;
    Record meeting(KOVA_TYPE_CALENDAR);
    meeting.get().Calendar.Kind = KOVA_KIND_APPOINTMENT;
    meeting.add(&meeting.get().Calendar.Summary, {"Review"});
    meeting.add(&meeting.get().Calendar.Appointment.Location, {"Room 4"});
    EXPECT_EQ(meeting.name(), u"Review (Room 4)|15");

    Record task(KOVA_TYPE_CALENDAR);  // a task's alarm sits where a location would
    task.get().Calendar.Kind = KOVA_KIND_TASK;
    task.add(&task.get().Calendar.Summary, {"Call"});
    task.add(&task.get().Calendar.Task.DAlarm, {"20030516T120000Z"});
    EXPECT_EQ(task.name(), u"Call|4");

    Record note(KOVA_TYPE_NOTE);
    note.add(&note.get().Note.Summary, {"Caf=C3=A9"});
    note.get().Note.Summary->Flags = KOVA_FLAG_QUOTED_PRINTABLE;
    EXPECT_EQ(note.name(), u"Caf\u00C3\u00A9|5");  // the input code page is 1252

    Record sent(KOVA_TYPE_MESSAGE_SENT);
    std::strcpy(sent.get().Message.From, "Maja");
    std::strcpy(sent.get().Message.Subject, "Caf\xE9");
    EXPECT_EQ(sent.name(), u"Maja - Caf\u00E9|11");
    std::memset(sent.get().Message.From, 'x', sizeof sent.get().Message.From);  // unterminated
    EXPECT_EQ(sent.name(2000).size(), 1024u + 3 + 4 + 5);
    sent.get().Message.From[0] = '\0';
    EXPECT_EQ(sent.name(), u"Caf\u00E9|4");

    Record other(6);
    EXPECT_EQ(other.name(), u"|0");
    EXPECT_EQ(object_name(KOVA_TYPE_NOTE, nullptr, nullptr, 0), 0u);
}

}  // namespace
}  // namespace kova::api
