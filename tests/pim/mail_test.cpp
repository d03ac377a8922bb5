#include "pim/mail.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::pim {
namespace {

using namespace std::string_literals;
using testing::TempDevice;

std::unique_ptr<MailStore> open_store()
{
    std::unique_ptr<MailStore> store;
    return MailOpen(store, 0) ? std::move(store) : nullptr;
}

// Adds a message with that flags, date, body and Subject; its id, or 0.
uint32_t put(MailStore &store, uint32_t flags, const std::u16string &subject,
             std::u16string body = u"", uint64_t date = 0)
{
    StoreMessage m{};
    m.Flags = flags;
    m.Date = date;
    m.Body = body.empty() ? nullptr : body.data();
    m.BodyLength = static_cast<uint16_t>(body.size());
    MailSetField(m, u"Subject", subject);
    uint32_t id = MailPut(store, m) ? m.Id : 0;
    MailFree(m);
    return id;
}

std::u16string subject(const StoreMessage &m)
{
    return MailGetField(m, u"Subject", 0).value_or(u"(none)");
}

TEST(Mail, WalksEachFolderInIdOrder)
{
    TempDevice device;
    auto store = open_store();
    ASSERT_TRUE(store);
    uint32_t in1 = put(*store, kMailFolderInbox | kMailUnread, u"in 1");
    uint32_t out1 = put(*store, kMailFolderOutbox | kMailOutboxAdd | kMailRead, u"out 1");
    uint32_t in2 = put(*store, kMailFolderInbox | kMailHidden, u"in 2");
    uint32_t in3 = put(*store, kMailFolderInbox, u"in 3");
    ASSERT_TRUE(in1 && out1 && in2 && in3);
    EXPECT_LT(in1, out1);
    EXPECT_LT(out1, in2);
    MailClose(store);
    EXPECT_FALSE(store);

    store = open_store();
    ASSERT_TRUE(store);
    struct FolderCase {
        uint32_t folder;
        std::vector<uint32_t> ids;
        std::vector<std::u16string> subjects;
    };
    const FolderCase cases[] = {
        {kMailFolderInbox, {in1, in2, in3}, {u"in 1", u"in 2", u"in 3"}},
        {kMailFolderOutbox, {out1}, {u"out 1"}},
        {kMailFolderSent, {}, {}},
    };
    for (const FolderCase &c : cases) {
        SCOPED_TRACE(c.folder);
        std::vector<uint32_t> ids;
        std::vector<std::u16string> subjects;
        StoreMessage m{};
        m.Flags = c.folder;
        for (bool more = MailFirst(*store, m); more; more = MailNext(*store, m)) {
            ids.push_back(m.Id);
            subjects.push_back(subject(m));
            EXPECT_EQ(m.Flags & kMailFolderMask, c.folder);
            MailFree(m);
            m.Flags = c.folder;  // as a searcher does: the folder again, the id kept
        }
        MailFree(m);
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(subjects, c.subjects);
    }
}

TEST(Mail, HeadersAreSetReplacedAndReadWithoutRegardToCase)
{
    TempDevice device;
    auto store = open_store();
    ASSERT_TRUE(store);
    StoreMessage m{};
    m.Flags = kMailFolderInbox;
    EXPECT_FALSE(MailGetField(m, u"From", 0));
    MailSetField(m, u"Return-path", u"<a@example.com>");
    MailSetField(m, u"From", u"a@example.com");
    MailSetField(m, u"To", u"b@example.com");
    MailSetField(m, u"FROM", u"c@example.com");  // replaces, keeps its place
    EXPECT_EQ(MailGetField(m, u"from", 0), u"c@example.com");
    EXPECT_EQ(MailGetField(m, u"RETURN-PATH", 0), u"<a@example.com>");
    EXPECT_FALSE(MailGetField(m, u"Cc", 0));
    EXPECT_FALSE(MailGetField(m, u"Fro", 0));
    ASSERT_TRUE(MailPut(*store, m));
    MailFree(m);

    m.Flags = kMailFetchById;
    ASSERT_TRUE(MailGet(*store, m));
    EXPECT_EQ(MailGetField(m, u"From", 0), u"c@example.com");
    EXPECT_EQ(MailGetField(m, u"to", 0), u"b@example.com");
    EXPECT_FALSE(MailGetField(m, u"Subject", 0));
    MailFree(m);
}

// Fetched by id across a reopen: every field as it was put (all 64 bits of the date, the
// body unit for unit), then as the update left it.
TEST(Mail, FetchesByIdWhatWasPutOrUpdated)
{
    TempDevice device;
    auto store = open_store();
    ASSERT_TRUE(store);
    const std::u16string body = u"Hello\r\n\xD800 and\0 more"s;
    uint32_t id = put(*store, kMailFolderSent | kMailRead, u"Hi", body, 0x8000000000000001u);
    uint32_t other = put(*store, kMailFolderInbox, u"Other", u"other body", 6);
    MailClose(store);
    store = open_store();

    StoreMessage m{};
    m.Id = id;
    EXPECT_FALSE(MailGet(*store, m));  // without the fetch-by-id flag
    m.Flags = kMailFetchById;
    ASSERT_TRUE(MailGet(*store, m));
    EXPECT_EQ(m.Id, id);
    EXPECT_EQ(m.Flags, kMailFolderSent | kMailRead);
    EXPECT_EQ(m.Date, 0x8000000000000001u);
    EXPECT_EQ(std::u16string(m.Body, m.BodyLength), body);
    EXPECT_EQ(subject(m), u"Hi");

    std::u16string new_body = u"new body";
    m.Body = new_body.data();  // the caller's text; the store's own is still freed by MailFree
    m.BodyLength = static_cast<uint16_t>(new_body.size());
    m.Flags = kMailFolderInbox | kMailRead;
    m.Date = 7;
    MailSetField(m, u"Subject", u"New");
    MailSetField(m, u"Cc", u"c@example.com");
    ASSERT_TRUE(MailUpdate(*store, m, 1));
    MailFree(m);
    EXPECT_EQ(m.Body, new_body.data());
    EXPECT_EQ(m.Store, nullptr);
    MailClose(store);

    store = open_store();
    StoreMessage back{};
    back.Id = id;
    back.Flags = kMailFetchById;
    ASSERT_TRUE(MailGet(*store, back));
    EXPECT_EQ(back.Flags, kMailFolderInbox | kMailRead);
    EXPECT_EQ(back.Date, 7u);
    EXPECT_EQ(std::u16string(back.Body, back.BodyLength), u"new body");
    EXPECT_EQ(subject(back), u"New");
    EXPECT_EQ(MailGetField(back, u"Cc", 0), u"c@example.com");
    back.Id = other;  // a fetch into a filled message replaces what it held
    back.Flags = kMailFetchById;
    ASSERT_TRUE(MailGet(*store, back));
    EXPECT_EQ(subject(back), u"Other");
    EXPECT_FALSE(MailGetField(back, u"Cc", 0));
    MailFree(back);

    StoreMessage missing{};
    missing.Id = other + 1;
    EXPECT_FALSE(MailUpdate(*store, missing, 1));
    missing.Flags = kMailFetchById;
    EXPECT_FALSE(MailGet(*store, missing));
    EXPECT_EQ(missing.Store, nullptr);
}

}  // namespace
}  // namespace kova::pim
