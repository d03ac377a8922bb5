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

TEST(Log, DatagramCarriesHeaderAndText)
{
    TempDevice device;
    LogReceiver log(device);
    log_message("KOVA:  %d characters", 12);  // 20 characters in all
    auto grams = log.datagrams();
    ASSERT_EQ(grams.size(), 1u);
    const std::string expected_head("\x00\x00\x14\x00\x00\x00\x00\x00", 8);
    EXPECT_EQ(grams[0].size(), 28u);
    EXPECT_EQ(grams[0].substr(0, 8), expected_head);
    EXPECT_EQ(grams[0].substr(8), "KOVA:  12 characters");
}

TEST(Log, LongTextIsCutAt991Characters)
{
    TempDevice device;
    LogReceiver log(device);
    std::string long_text(2000, 'x');
    log_message("%s", long_text.c_str());
    auto grams = log.datagrams();
    ASSERT_EQ(grams.size(), 1u);
    EXPECT_EQ(grams[0].size(), 8u + 991u);
    EXPECT_EQ(static_cast<unsigned char>(grams[0][2]), 991 & 0xff);
    EXPECT_EQ(static_cast<unsigned char>(grams[0][3]), 991 >> 8);
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

    char line[128];
    std::snprintf(line, sizeof line,
                  "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n"
                  "\"LogIPAddr\"=dword:%08x\r\n",
                  log.address());
    device.write_registry(line);  // the same address again turns it back on
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
