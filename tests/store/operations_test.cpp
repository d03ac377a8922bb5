// Messages and notes through the public functions: files read, added from the callback,
// found again and modified; where they land is looked up in the store itself.
#include "store/operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::OpenStore;

std::string vmessage(const std::string &top, const std::string &body)
{
    return "BEGIN:VMSG\r\nVERSION:1.1\r\n" + top + "BEGIN:VENV\r\nBEGIN:VBODY\r\n" + body +
           "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
}

// Sat, 5 Dec 2026 09:12:00 +0100 as a FILETIME.
const std::string kDate = "Date:Sat, 5 Dec 2026 09:12:00 +0100\r\n", kFileTime = "134409319200000000";

// The message with that id as the message store keeps it: flags, date, subject and body.
std::string stored_message(const std::string &id)
{
    return testing::store_rows(
        "SELECT Flags, Date, (SELECT Value FROM message_headers h WHERE h.Id = m.Id AND "
        "h.Name = 'Subject'), Body FROM messages m WHERE Id = " +
        std::to_string(std::stoul(id, nullptr, 16)));
}

using testing::find_id;

TEST(Operations, MessagesLandInTheirFolderAndAreFoundAgain)
{
    OpenStore store;
    struct Case {
        const char *name;
        std::string top;
        uint32_t type;
        uint32_t flags;
        bool findable;
        std::string content = "\r\nline 1\r\nline 2\r\n";  // after the Subject line
        std::string body = "line 1\r\nline 2";
    };
    const Case cases[] = {
        {"read, inbox", "X-IRMC-STATUS:READ\r\nX-BT-FOLDER:INBOX\r\n", 3, 0x1000FE, true},
        {"outbox", "X-BT-FOLDER:OUTBOX\r\n", 5, 0x5000FD, true},
        {"sent", "X-BT-FOLDER:SENTBOX\r\n", 4, 0x1000FC, true},
        {"an outbox in lower case is the inbox", "X-BT-FOLDER:outbox\r\n", 3, 0x1000FE, true},
        {"unread messages are passed over by a search", "X-IRMC-STATUS:UNREAD\r\n", 3, 0x21300FE,
         false},
        {"unread in lower case is read", "X-IRMC-STATUS:unread\r\n", 3, 0x1000FE, true},
        {"a multipart message keeps its first part", "", 3, 0x1000FE, true,
         "Content-Type:multipart/mixed; boundary=b1\r\n\r\npreamble\r\n--b1\r\n"
         "Content-Type:text/plain; charset=ISO-8859-1\r\n\r\nH\xE4j\r\n--b1\r\n"
         "Content-Type:text/plain\r\n\r\nsecond\r\n--b1--\r\n",
         "H\xC3\xA4j"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = vmessage(c.top, kDate + "Subject:" + c.name + "\r\n" + c.content);
        testing::Added added = testing::add_one(store.device, text);
        EXPECT_EQ(added.type, c.type);
        EXPECT_EQ(added.result, 0u);
        EXPECT_EQ(stored_message(added.id), std::to_string(c.flags) + "|" + kFileTime + "|" +
                                                c.name + "|" + c.body + "|\n");
        EXPECT_EQ(find_id(store.device, text), c.findable ? added.id : "none");
    }
    const std::string subject = "Subject:outbox\r\n\r\nx\r\n";
    EXPECT_NE(find_id(store.device, vmessage("X-BT-FOLDER:OUTBOX\r\n", kDate + subject)), "none");
    EXPECT_EQ(find_id(store.device, vmessage("X-BT-FOLDER:INBOX\r\n", kDate + subject)),
              "none");  // the same subject in another folder
    EXPECT_EQ(find_id(store.device, vmessage("X-BT-FOLDER:OUTBOX\r\n",
                                             "Date:Sat, 5 Dec 2026 09:13:00 +0100\r\n" + subject)),
              "none");  // the same subject at another time
}

// A contact is found by all five name parts exactly, an appointment by its start and its
// subject (else its body), a task by the first subject that matches; local time is UTC+2.
TEST(Operations, FindsContactsAppointmentsAndTasks)
{
    OpenStore store;
    convert::use_zone("UTC-2");
    auto vcard = [](const char *n) {
        return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + std::string(n) + "END:VCARD\r\n";
    };
    auto event = [](const char *lines) { return testing::vcalendar("VEVENT", lines); };
    auto task = [](const char *lines) { return testing::vcalendar("VTODO", lines); };
    std::vector<std::string> ids;
    for (const std::string &text :
         {vcard("N:Lind;Maja;Elin;Dr.;Jr.\r\n") + vcard("N:Lind;Maja;elin;Dr.;Jr.\r\n") +
              vcard("N:Lind;Maja\r\n") + vcard("N:;;;;\r\nORG:Nameless\r\n") +
              vcard("N:Lind\"s;Maja\r\n"),
          event("SUMMARY:Lunch\r\nDTSTART:20200310T100000Z\r\n") +
              event("SUMMARY:Lunch\r\nDTSTART:20200311T100000Z\r\n") +
              event("DESCRIPTION:Dentist\r\nDTSTART:20200311T100000Z\r\n"),
          task("SUMMARY:Call\r\nDUE:20200501\r\n") + task("SUMMARY:Call\r\nDUE:20200601\r\n") +
              task("SUMMARY:Post\r\n")})
        for (const testing::Added &a : testing::add_text(store.device, text)) ids.push_back(a.id);
    ASSERT_EQ(ids.size(), 11u);
    const struct {
        const char *name;
        std::string text;
        int found;  // the index in ids, -1 for none
    } cases[] = {
        {"letter case of the middle name counts", vcard("N:Lind;Maja;elin;Dr.;Jr.\r\n"), 1},
        {"all five parts", vcard("N:Lind;Maja;Elin;Dr.;Jr.\r\n"), 0},
        {"absent parts equal empty ones", vcard("N:Lind;Maja;;;\r\n"), 2},
        {"no name finds the contact without one", vcard("N:;;;;\r\n"), 3},
        {"a double quote in a name makes the search find nothing", vcard("N:Lind\"s;Maja\r\n"), -1},
        {"no such contact", vcard("N:Lind;Maj\r\n"), -1},
        {"start and subject", event("SUMMARY:Lunch\r\nDTSTART:20200311T120000\r\n"), 6},
        {"start and body", event("DESCRIPTION:Dentist\r\nDTSTART:20200311T100000Z\r\n"), 7},
        {"a subject wins over the body",
         event("SUMMARY:x\r\nDESCRIPTION:Dentist\r\nDTSTART:20200311T100000Z\r\n"), -1},
        {"another start", event("SUMMARY:Lunch\r\nDTSTART:20200312T100000Z\r\n"), -1},
        {"no start", event("SUMMARY:Lunch\r\n"), -1},
        {"the first task of two, whatever its dates", task("SUMMARY:Call\r\nDUE:20200601\r\n"), 8},
        {"the only task", task("SUMMARY:Post\r\n"), 10},
        {"letter case of a subject counts", task("SUMMARY:call\r\n"), -1},
        {"no subject, no search", task("DUE:20200501\r\n"), -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(testing::find_id(store.device, c.text), c.found < 0 ? "none" : ids[c.found])
            << c.name;
}

TEST(Operations, ModifyingAMessage)
{
    OpenStore store;
    const std::string id =
        testing::add_id(store.device, vmessage("", kDate + "Subject:old\r\n\r\nold body\r\n"));
    EXPECT_EQ(testing::modify_text(store.device, id, vmessage("X-IRMC-STATUS:UNREAD\r\n",
                                                              "Subject:new\r\n\r\nnew body\r\n")),
              0u);
    // The fetched read flag stays, and so does the date (the record has none).
    EXPECT_EQ(stored_message(id),
              std::to_string(0x21300FEu | 0x100000u) + "|" + kFileTime + "|new|new body|\n");
}

std::string vnote(const std::string &summary_line, const std::string &body)
{
    return "BEGIN:VNOTE\r\nVERSION:1.1\r\n" + summary_line + "BODY:" + body + "\r\nEND:VNOTE\r\n";
}

TEST(Operations, NotesAreFilesNamedAfterTheirSummary)
{
    OpenStore store;
    std::string documents = store.device.path("Documents/");
    EXPECT_EQ(testing::add_id(store.device, vnote("SUMMARY:Shopping: milk/eggs?\r\n", "milk")),
              "Shopping: milk/eggs?");
    std::string file = documents + "Shopping milkeggs.pwi";
    EXPECT_NE(testing::read_file(file).find("milk"), std::string::npos);
    EXPECT_EQ(find_id(store.device, vnote("SUMMARY:Shopping: milk/eggs?\r\n", "x")),
              "Shopping: milk/eggs?");
    EXPECT_EQ(find_id(store.device, vnote("SUMMARY:Other\r\n", "x")), "none");

    EXPECT_EQ(testing::modify_text(store.device, "Shopping: milk/eggs?",
                                   vnote("SUMMARY:Groceries\r\n", "bread")),
              0u);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_NE(testing::read_file(documents + "Groceries.pwi").find("bread"), std::string::npos);

    testing::Added nameless = testing::add_one(store.device, vnote("", "no name"));
    EXPECT_EQ(nameless.result, 10u);
    EXPECT_EQ(nameless.id, "untouched");
    const std::string long_name(600, 'n');
    EXPECT_EQ(testing::add_id(store.device, vnote("SUMMARY:" + long_name + "\r\n", "x")),
              long_name.substr(0, KOVA_ID_CAPACITY - 1));
}

}  // namespace
}  // namespace kova::store
