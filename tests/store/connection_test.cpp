// The store connection's states through KOVA_Open and KOVA_Close, and the ways an open
// can fail.
#include "store/connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kova/kova.h"
#include "support/test_support.h"

namespace kova::store {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

uint32_t add_empty_contact()
{
    ObjectRecord record{};
    char id[KOVA_ID_CAPACITY];
    return KOVA_AddObject(KOVA_TYPE_CONTACT, &record, id);
}

TEST(Connection, OpenTwiceCloseTwice)
{
    TempDevice device;
    EXPECT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(add_empty_contact(), 0u);
    EXPECT_EQ(KOVA_Close(), 0u);
    EXPECT_EQ(KOVA_Close(), 0u);
    EXPECT_EQ(add_empty_contact(), 15u);
    EXPECT_EQ(KOVA_Open(), 0u);  // the store can be opened again after a close
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

TEST(Connection, WhatIsStoredOutlivesTheProcessesConnection)
{
    TempDevice device;
    ASSERT_EQ(KOVA_Open(), 0u);
    ObjectRecord record{};
    char id[KOVA_ID_CAPACITY] = "";
    ASSERT_EQ(KOVA_AddObject(KOVA_TYPE_CONTACT, &record, id), 0u);
    KOVA_Close();
    ASSERT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(KOVA_GetObjectById(KOVA_TYPE_CONTACT, id, &record), 0u);
    EXPECT_STREQ(record.Contact.Luid, id);
    KOVA_WriteObject(KOVA_TYPE_CONTACT, &record, device.wide_path("out.vcf").c_str(), 1);
    KOVA_Close();
}

}  // namespace
}  // namespace kova::store
