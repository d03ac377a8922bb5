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
    for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "<null>");
    return out;
}

TEST(Record, AppendPropertyKeepsOrder)
{
    PropertyNode *head = nullptr;
    PropertyNode *nodes[4];
    for (auto &n : nodes) {
        n = AppendProperty(&head);
        ASSERT_NE(n, nullptr);
    }
    EXPECT_EQ(head, nodes[0]);
    EXPECT_EQ(nodes[0]->Next, nodes[1]);
    EXPECT_EQ(nodes[2]->Next, nodes[3]);
    EXPECT_EQ(nodes[3]->Next, nullptr);
    EXPECT_EQ(AppendProperty(nullptr), nullptr);

    fail_allocation_after(1);
    EXPECT_EQ(AppendProperty(&head), nullptr);
    EXPECT_EQ(nodes[3]->Next, nullptr);  // list unchanged
    release_property_list(head);
}

TEST(Record, SetValueFillsGapsAndReplaces)
{
    PropertyNode *head = nullptr;
    PropertyNode *node = AppendProperty(&head);
    SetValue(node, copy_text("fourth"), 3);
    EXPECT_EQ(texts(node->Values), (std::vector<std::string>{"<null>", "<null>", "<null>", "fourth"}));
    SetValue(node, copy_text("second"), 1);
    EXPECT_EQ(texts(node->Values), (std::vector<std::string>{"<null>", "second", "<null>", "fourth"}));
    SetValue(node, copy_text("again"), 1);  // the old text is freed (LeakSanitizer checks)
    EXPECT_EQ(texts(node->Values), (std::vector<std::string>{"<null>", "again", "<null>", "fourth"}));
    for (const TextNode *v = node->Values; v; v = v->Next) EXPECT_EQ(v->Tag, 1u);

    fail_allocation_after(1);
    SetValue(node, copy_text("x"), 9);  // the copy fails: nothing changes
    fail_allocation_after(2);
    SetValue(node, copy_text("y"), 9);  // the copy works, the first new node fails
    EXPECT_EQ(texts(node->Values).size(), 4u);
    AddParam(node, copy_text("HOME"));
    AddParam(node, copy_text("VOICE"));
    EXPECT_EQ(texts(node->Params), (std::vector<std::string>{"HOME", "VOICE"}));
    release_property_list(head);
}

TEST(Record, ReleaseByType)
{
    ObjectRecord record;
    std::memset(&record, 0, sizeof record);
    copy_field(record.Contact.Luid, "abc");
    copy_field(record.Contact.Version, "2.1");
    SetValue(AppendProperty(&record.Contact.N), copy_text("Doe"), 0);
    SetValue(AppendProperty(&record.Contact.Assistant), copy_text("Ann"), 0);
    ReleaseRecord(KOVA_TYPE_CONTACT, &record);
    ObjectRecord zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&record.Contact, &zero.Contact, sizeof record.Contact), 0);

    // A calendar record of no known kind frees nothing and is zeroed.
    std::memset(&record, 0xAB, sizeof record.Calendar);
    record.Calendar.Kind = 0;
    ReleaseRecord(KOVA_TYPE_CALENDAR, &record);
    EXPECT_EQ(std::memcmp(&record.Calendar, &zero.Calendar, sizeof record.Calendar), 0);

    record.Calendar.Kind = KOVA_KIND_TASK;
    SetValue(AppendProperty(&record.Calendar.Task.Attendee), copy_text("a@b"), 0);
    SetValue(AppendProperty(&record.Calendar.Summary), copy_text("s"), 0);
    ReleaseRecord(KOVA_TYPE_CALENDAR, &record);
    EXPECT_EQ(record.Calendar.Task.Attendee, nullptr);

    // An unknown type changes nothing.
    std::memset(&record, 0x5A, sizeof record);
    ObjectRecord before = record;
    ReleaseRecord(6, &record);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}

TEST(Record, MessageReleaseRemovesChainedPartFiles)
{
    testing::TempDevice device;
    for (const char *name : {"main.bin", "one.bin", "two.bin"})
        testing::write_file(device.path(name), "x");
    ObjectRecord record;
    std::memset(&record, 0, sizeof record);
    MessageRecord &m = record.Message;
    auto set_name = [&](ContentPart &part, const char *name) {
        std::u16string wide = base::utf8_to_utf16(device.path(name));
        std::memcpy(part.FileName, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    };
    m.MainPart.Text = copy_text("body");
    set_name(m.MainPart, "main.bin");
    auto *one = static_cast<ContentPart *>(allocate_zeroed(sizeof(ContentPart)));
    auto *two = static_cast<ContentPart *>(allocate_zeroed(sizeof(ContentPart)));
    one->Text = copy_text("1");
    set_name(*one, "one.bin");
    set_name(*two, "two.bin");
    m.MainPart.Next = one;
    one->Next = two;
    ReleaseRecord(KOVA_TYPE_MESSAGE_OUTBOX, &record);
    EXPECT_EQ(testing::read_file(device.path("main.bin")), "x");
    EXPECT_EQ(testing::read_file(device.path("one.bin")), "");
    EXPECT_EQ(testing::read_file(device.path("two.bin")), "");
}

TEST(Record, CopyFieldCutsAndTerminates)
{
    struct Case {
        const char *name;
        std::string source;
        std::string stored;
        bool whole;
    };
    const Case cases[] = {
        {"fits", "2.1", "2.1", true},
        {"exactly 24", std::string(24, 'v'), std::string(24, 'v'), true},
        {"one too long", std::string(25, 'v'), std::string(24, 'v'), false},
        {"empty", "", "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        char version[25];
        std::memset(version, 'z', sizeof version);
        EXPECT_EQ(copy_field(version, c.source), c.whole);
        EXPECT_EQ(std::string(version), c.stored);
    }
}

}  // namespace
}  // namespace kova::model
