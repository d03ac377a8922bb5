#include "model/record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::model {
namespace {

std::vector<std::string> texts(const TextNode *list)
{
    std::vector<std::string> out;
    for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "~");
    return out;
}

TEST(Record, ListsGrowAtTheirTailAndSurviveFailedAllocations)
{
    PropertyNode *head = nullptr;
    PropertyNode *first = AppendProperty(&head);
    PropertyNode *second = AppendProperty(&head);
    EXPECT_EQ(head, first);
    EXPECT_EQ(first->Next, second);
    EXPECT_EQ(AppendProperty(nullptr), nullptr);
    fail_allocation_after(1);
    EXPECT_EQ(AppendProperty(&head), nullptr);
    EXPECT_EQ(second->Next, nullptr);  // the list is unchanged

    SetValue(first, copy_text("fourth"), 3);
    EXPECT_EQ(texts(first->Values), (std::vector<std::string>{"~", "~", "~", "fourth"}));
    SetValue(first, copy_text("second"), 1);
    SetValue(first, copy_text("again"), 1);  // the replaced text is freed (LeakSanitizer)
    EXPECT_EQ(texts(first->Values), (std::vector<std::string>{"~", "again", "~", "fourth"}));
    fail_allocation_after(3);  // the copy and one new component work, the next fails
    SetValue(first, copy_text("lost"), 9);
    EXPECT_EQ(texts(first->Values).size(), 4u);

    AddParam(first, copy_text("HOME"));
    AddParam(first, copy_text("VOICE"));
    EXPECT_EQ(texts(first->Params), (std::vector<std::string>{"HOME", "VOICE"}));
    for (const TextNode *v = first->Params; v; v = v->Next) EXPECT_EQ(v->Tag, 1u);
    release_property_list(head);
}

TEST(Record, ReleaseByType)
{
    ObjectRecord record, zero;
    std::memset(&zero, 0, sizeof zero);
    std::memset(&record, 0, sizeof record);
    copy_field(record.Contact.Luid, "abc");
    SetValue(AppendProperty(&record.Contact.Assistant), copy_text("Ann"), 0);
    ReleaseRecord(KOVA_TYPE_CONTACT, &record);
    EXPECT_EQ(std::memcmp(&record.Contact, &zero.Contact, sizeof record.Contact), 0);

    // A calendar record of no known kind frees nothing and is zeroed.
    std::memset(&record, 0xAB, sizeof record.Calendar);
    record.Calendar.Kind = 0;
    ReleaseRecord(KOVA_TYPE_CALENDAR, &record);
    EXPECT_EQ(std::memcmp(&record.Calendar, &zero.Calendar, sizeof record.Calendar), 0);

    // A task's last tail list sits where an appointment keeps ExDate.
    record.Calendar.Kind = KOVA_KIND_TASK;
    SetValue(AppendProperty(&record.Calendar.Task.Attendee), copy_text("a@b"), 0);
    ReleaseRecord(KOVA_TYPE_CALENDAR, &record);
    EXPECT_EQ(std::memcmp(&record.Calendar, &zero.Calendar, sizeof record.Calendar), 0);

    std::memset(&record, 0x5A, sizeof record);
    ObjectRecord before = record;
    ReleaseRecord(6, &record);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}

TEST(Record, MessageReleaseRemovesChainedPartFilesOnly)
{
    testing::TempDevice device;
    ObjectRecord record;
    std::memset(&record, 0, sizeof record);
    MessageRecord &m = record.Message;
    auto attach = [&](ContentPart &part, const char *name) {
        testing::write_file(device.path(name), "x");
        std::u16string wide = base::utf8_to_utf16(device.path(name));
        std::memcpy(part.FileName, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    };
    m.MainPart.Text = copy_text("body");
    attach(m.MainPart, "main.bin");
    auto *one = static_cast<ContentPart *>(allocate_zeroed(sizeof(ContentPart)));
    auto *two = static_cast<ContentPart *>(allocate_zeroed(sizeof(ContentPart)));
    one->Text = copy_text("1");
    attach(*one, "one.bin");
    attach(*two, "two.bin");
    m.MainPart.Next = one;
    one->Next = two;
    ReleaseRecord(KOVA_TYPE_MESSAGE_OUTBOX, &record);
    EXPECT_EQ(testing::read_file(device.path("main.bin")), "x");
    EXPECT_EQ(testing::read_file(device.path("one.bin")), "");
    EXPECT_EQ(testing::read_file(device.path("two.bin")), "");
}

TEST(Record, CopyFieldCutsAndTerminates)
{
    char version[25];
    EXPECT_TRUE(copy_field(version, std::string(24, 'v')));
    EXPECT_EQ(std::string(version), std::string(24, 'v'));
    EXPECT_FALSE(copy_field(version, std::string(25, 'w')));
    EXPECT_EQ(std::string(version), std::string(24, 'w'));
}

}  // namespace
}  // namespace kova::model
