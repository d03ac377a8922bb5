// Messages and notes through the public functions: files read, added from the callback,
// found again and modified; where they land is looked up in the store itself.
#include "store/operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "convert/message_date.h"
#include "pim/mail.h"
#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::OpenStore;

std::string vmessage(const std::string &top, const std::string &body)
{
    return "BEGIN:VMSG\r\nVERSION:1.1\r\n" + top + "BEGIN:VENV\r\nBEGIN:VBODY\r\n" + body +
           "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
}

const std::string kDate = "Date:Sat, 5 Dec 2026 09:12:00 +0100\r\n";

struct Stored {
    uint32_t flags;
    uint64_t date;
    std::string subject;
    std::string body;
};

// The message with that id as the message store keeps it.
Stored stored_message(const std::string &id)
{
    std::unique_ptr<pim::MailStore> mail;
    EXPECT_TRUE(pim::MailOpen(mail, 0));
    pim::StoreMessage m{};
    m.Id = static_cast<uint32_t>(std::stoul(id, nullptr, 16));
    m.Flags = pim::kMailFetchById;
    Stored s{};
    if (pim::MailGet(*mail, m)) {
        s.flags = m.Flags;
        s.date = m.Date;
        s.subject = base::utf16_to_utf8(pim::MailGetField(m, u"Subject", 0).value_or(u"(none)"));
        s.body = base::utf16_to_utf8(std::u16string(m.Body ? m.Body : u"", m.BodyLength));
    }
    pim::MailFree(m);
    return s;
}

uint32_t find(const testing::TempDevice &device, const std::string &text, std::string &id)
{
    uint32_t found = 0;
    char buffer[KOVA_ID_CAPACITY] = "untouched";
    testing::with_record(device, text, [&](uint32_t type, ObjectRecord &r) {
        found = KOVA_FindObject(type, &r, buffer);
    });
    id = buffer;
    return found;
}

TEST(Operations, MessagesLandInTheirFolderAndAreFoundAgain)
{
    OpenStore store;
    struct Case {
        const char *name;
        std::string top;
        uint32_t type;
        uint32_t flags;
        bool findable;
    };
    const Case cases[] = {
        {"read, inbox", "X-IRMC-STATUS:READ\r\nX-BT-FOLDER:INBOX\r\n", 3, 0x1000FE, true},
        {"outbox", "X-BT-FOLDER:OUTBOX\r\n", 5, 0x5000FD, true},
        {"sent", "X-BT-FOLDER:SENTBOX\r\n", 4, 0x1000FC, true},
        {"an outbox in lower case is the inbox", "X-BT-FOLDER:outbox\r\n", 3, 0x1000FE, true},
        {"unread messages are passed over by a search", "X-IRMC-STATUS:UNREAD\r\n", 3, 0x21300FE,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = vmessage(c.top, kDate + "Subject:" + c.name + "\r\n\r\nline 1\r\nline 2\r\n");
        std::vector<testing::Added> added = testing::add_text(store.device, text);
        ASSERT_EQ(added.size(), 1u);
        EXPECT_EQ(added[0].type, c.type);
        EXPECT_EQ(added[0].result, 0u);
        Stored s = stored_message(added[0].id);
        EXPECT_EQ(s.flags, c.flags);
        EXPECT_EQ(s.subject, c.name);
        EXPECT_EQ(s.body, "line 1\r\nline 2");
        EXPECT_EQ(s.date, convert::MessageDateToFileTime("Sat, 5 Dec 2026 09:12:00 +0100"));
        std::string id;
        EXPECT_EQ(find(store.device, text, id), c.findable ? 1u : 0u);
        EXPECT_EQ(id, c.findable ? added[0].id : "untouched");
    }
    std::string id;
    EXPECT_EQ(find(store.device, vmessage("X-BT-FOLDER:OUTBOX\r\n", kDate + "Subject:outbox\r\n\r\nx\r\n"),
                   id),
              1u);
    EXPECT_EQ(find(store.device,
                   vmessage("X-BT-FOLDER:INBOX\r\n", kDate + "Subject:outbox\r\n\r\nx\r\n"), id),
              0u);  // the same subject in another folder
    EXPECT_EQ(find(store.device,
                   vmessage("X-BT-FOLDER:OUTBOX\r\n",
                            "Date:Sat, 5 Dec 2026 09:13:00 +0100\r\nSubject:outbox\r\n\r\nx\r\n"),
                   id),
              0u);  // the same subject at another time
}

TEST(Operations, AMultipartMessageStoresItsFirstPart)
{
    OpenStore store;
    std::vector<testing::Added> added = testing::add_text(
        store.device,
        vmessage("", kDate +
                         "Content-Type:multipart/mixed; boundary=b1\r\n\r\npreamble\r\n--b1\r\n"
                         "Content-Type:text/plain; charset=ISO-8859-1\r\n\r\nH\xE4j\r\n--b1\r\n"
                         "Content-Type:text/plain\r\n\r\nsecond\r\n--b1--\r\n"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(stored_message(added[0].id).body, "H\xC3\xA4j");
}

TEST(Operations, ModifyingAMessage)
{
    OpenStore store;
    std::vector<testing::Added> added =
        testing::add_text(store.device, vmessage("", kDate + "Subject:old\r\n\r\nold body\r\n"));
    ASSERT_EQ(added.size(), 1u);
    std::string replacement = vmessage("X-IRMC-STATUS:UNREAD\r\n", "Subject:new\r\n\r\nnew body\r\n");
    struct Case {
        std::string id;
        uint32_t result;
    };
    for (const Case &c : {Case{added[0].id, 0}, Case{"7fffffff", 6}, Case{"x", 9}}) {
        SCOPED_TRACE(c.id);
        testing::with_record(store.device, replacement, [&](uint32_t type, ObjectRecord &r) {
            EXPECT_EQ(KOVA_ModifyObject(type, c.id.c_str(), &r), c.result);
        });
    }
    Stored s = stored_message(added[0].id);
    EXPECT_EQ(s.subject, "new");
    EXPECT_EQ(s.body, "new body");
    EXPECT_EQ(s.flags, 0x21300FEu | 0x100000u);  // the fetched read flag stays
    ObjectRecord record;
    EXPECT_EQ(KOVA_GetObjectById(3, added[0].id.c_str(), &record), 16u);
}

std::string vnote(const std::string &summary_line, const std::string &body)
{
    return "BEGIN:VNOTE\r\nVERSION:1.1\r\n" + summary_line + "BODY:" + body + "\r\nEND:VNOTE\r\n";
}

TEST(Operations, NotesAreFilesNamedAfterTheirSummary)
{
    OpenStore store;
    std::string documents = store.device.path("Documents/");
    std::vector<testing::Added> added =
        testing::add_text(store.device, vnote("SUMMARY:Shopping: milk/eggs?\r\n", "milk"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].result, 0u);
    EXPECT_EQ(added[0].id, "Shopping: milk/eggs?");
    std::string file = documents + "Shopping milkeggs.pwi";
    EXPECT_NE(testing::read_file(file).find("milk"), std::string::npos);
    std::string id;
    EXPECT_EQ(find(store.device, vnote("SUMMARY:Shopping: milk/eggs?\r\n", "x"), id), 1u);
    EXPECT_EQ(id, "Shopping: milk/eggs?");
    EXPECT_EQ(find(store.device, vnote("SUMMARY:Other\r\n", "x"), id), 0u);

    testing::with_record(store.device, vnote("SUMMARY:Groceries\r\n", "bread"),
                         [&](uint32_t type, ObjectRecord &r) {
                             EXPECT_EQ(KOVA_ModifyObject(type, "Shopping: milk/eggs?", &r), 0u);
                         });
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_NE(testing::read_file(documents + "Groceries.pwi").find("bread"), std::string::npos);

    added = testing::add_text(store.device, vnote("", "no name"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].result, 10u);
    EXPECT_EQ(added[0].id, "untouched");

    const std::string long_name(600, 'n');
    added = testing::add_text(store.device, vnote("SUMMARY:" + long_name + "\r\n", "x"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].id, long_name.substr(0, KOVA_ID_CAPACITY - 1));
    ObjectRecord record;
    EXPECT_EQ(KOVA_GetObjectById(2, "Groceries", &record), 16u);
}

}  // namespace
}  // namespace kova::store
