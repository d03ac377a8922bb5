// The store connection's states through KOVA_Open and KOVA_Close, and the ways an open
// can fail.
#include "store/connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kova/kova.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::store {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

uint32_t add_empty_contact(char *id = nullptr)
{
    ObjectRecord record{};
    char ignored[KOVA_ID_CAPACITY];
    return KOVA_AddObject(KOVA_TYPE_CONTACT, &record, id ? id : ignored);
}

// What is stored outlives the connection: it is fetched again after a close and an open.
TEST(Connection, OpenTwiceCloseTwice)
{
    TempDevice device;
    EXPECT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(KOVA_Open(), 0u);
    char id[KOVA_ID_CAPACITY] = "";
    EXPECT_EQ(add_empty_contact(id), 0u);
    EXPECT_EQ(KOVA_Close(), 0u);
    EXPECT_EQ(KOVA_Close(), 0u);
    EXPECT_EQ(add_empty_contact(), 15u);
    EXPECT_EQ(KOVA_Open(), 0u);
    ObjectRecord record{};
    EXPECT_EQ(KOVA_GetObjectById(KOVA_TYPE_CONTACT, id, &record), 0u);
    EXPECT_STREQ(record.Contact.Luid, id);
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &record);
    EXPECT_EQ(add_empty_contact(), 0u);
    KOVA_Close();
}

// The log is configured from the good device root, then the root is spoiled and the
// connection opened on its own, so that the failure's line can still be seen.
struct FailCase {
    const char *name;
    void (*spoil)(const TempDevice &);
    std::string expected_line;
};

TEST(Connection, FailedOpensAnswer14AndLeaveTheStoreClosed)
{
    const FailCase cases[] = {
        {"the device root is a file",
         [](const TempDevice &d) {
             testing::write_file(d.path("file"), "x");
             setenv("KOVA_DEVICE_ROOT", d.path("file").c_str(), 1);
         },
         "KOVA:  Unable to get application object from POOM interface."},
        {"the database is not a database",
         [](const TempDevice &d) { testing::write_file(d.path("pim.db"), std::string(4096, 'x')); },
         "KOVA:  POOM 'Logon' failed (code=" + std::to_string(pim::kNotADatabase) + ")"},
        {"the message store cannot open", [](const TempDevice &) { pim::fail_next_mail_open(); },
         "KOVA:  'MailOpen' failed."},
    };
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.name);
        TempDevice device;
        LogReceiver log(device);
        c.spoil(device);
        EXPECT_EQ(POL_Open(), base::Status::PimError);
        EXPECT_TRUE(log.saw(c.expected_line));
        EXPECT_EQ(connection().application, nullptr);
        EXPECT_EQ(connection().mail, nullptr);
        EXPECT_EQ(add_empty_contact(), 15u);
        EXPECT_EQ(POL_Close(), base::Status::Ok);
    }
}

}  // namespace
}  // namespace kova::store
