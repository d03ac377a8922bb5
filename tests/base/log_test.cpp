#include "base/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/file.h"
#include "support/test_support.h"

namespace kova::base {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

// A datagram is an 8-byte header holding the text's length, then the text, cut at 991.
TEST(Log, DatagramCarriesHeaderAndTextCutAt991Characters)
{
    TempDevice device;
    LogReceiver log(device);
    log_message("KOVA:  %d characters", 12);  // 20 characters in all
    log_message("%s", std::string(2000, 'x').c_str());
    auto grams = log.datagrams();
    ASSERT_EQ(grams.size(), 2u);
    const std::string head20("\x00\x00\x14\x00\x00\x00\x00\x00", 8);
    const std::string head991("\x00\x00\xdf\x03\x00\x00\x00\x00", 8);
    EXPECT_EQ(grams[0], head20 + "KOVA:  12 characters");
    EXPECT_EQ(grams[1], head991 + std::string(991, 'x'));
}

TEST(Log, AddressChangesAndSwitchOff)
{
    TempDevice device;
    LogReceiver log(device);
    EXPECT_TRUE(log_is_on());
    configure_log();  // same address: keeps the socket and still delivers
    log_message("KOVA:  one");
    EXPECT_TRUE(log.saw("KOVA:  one"));

    device.write_registry("");  // value removed: the log is off
    configure_log();
    EXPECT_FALSE(log_is_on());
    log_message("KOVA:  lost");
    EXPECT_FALSE(log.saw("KOVA:  lost"));

    device.log_to(log.address());  // the same address again turns it back on
    configure_log();
    log_message("KOVA:  back");
    EXPECT_TRUE(log.saw("KOVA:  back"));
}

TEST(Log, FileFailuresAreLoggedWithTheName)
{
    TempDevice device;
    LogReceiver log(device);
    FILE *f = nullptr;
    std::u16string missing = device.wide_path("missing.vcf");
    EXPECT_EQ(open_file(&f, missing.c_str(), "rb"), 1);
    EXPECT_TRUE(log.saw("KOVA:  Unable to open file '" + device.path("missing.vcf") + "'"));
    EXPECT_EQ(open_file(&f, missing.c_str(), "r"), 1);
    EXPECT_TRUE(log.saw("KOVA:  Unable to open file '" + device.path("missing.vcf") +
                        "' for reading"));
    EXPECT_EQ(remove_file(missing.c_str()), 1);
    EXPECT_TRUE(log.saw("KOVA:  Unable to remove file (file=" + device.path("missing.vcf") + ")"));
    EXPECT_TRUE(log.saw("KOVA:  Error: 0x00000002"));  // ENOENT
}

}  // namespace
}  // namespace kova::base
