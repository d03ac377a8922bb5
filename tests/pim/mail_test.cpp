#include "pim/mail.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::pim {
namespace {

using testing::TempDevice;

std::unique_ptr<MailStore> open_store()
{
    std::unique_ptr<MailStore> store;
    return MailOpen(store, 0) ? std::move(store) : nullptr;
}

// Adds a message with that flags and Subject; its id, or 0.
uint32_t put(MailStore &store, uint32_t flags, const std::u16string &subject)
{
    StoreMessage m{};
    m.Flags = flags;
    MailSetField(m, u"Subject", subject);
    uint32_t id = MailPut(store, m) ? m.Id : 0;
    MailFree(m);
    return id;
}

// Header names are read without regard to case.
std::u16string subject(const StoreMessage &m)
{
    return MailGetField(m, u"SUBJECT", 0).value_or(u"(none)");
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

}  // namespace
}  // namespace kova::pim
