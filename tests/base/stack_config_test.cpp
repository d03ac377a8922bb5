#include "base/stack_config.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace kova::base {
namespace {

constexpr const char *kGeneral = "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n";

TEST(StackConfig, ReadsEachValueInItsOwnForm)
{
    testing::TempDevice device;
    device.write_registry(std::string(kGeneral) +
                          "\"MinorClass\"=dword:0000000c\r\n"
                          "\"DefaultInputCharset\"=\"\xC3\xA9t\xC3\xA9\"\r\n"
                          "\"DefaultOutputCharset\"=\"windows-1251\"\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(config.minor_class, 12u);
    EXPECT_STREQ(config.default_input_charset, "\xE9t\xE9");  // the system's 1252
    EXPECT_STREQ(config.default_output_charset, "windows-1251");  // as typed

    // Names must fit the 260-unit read buffer; a failed read leaves the field alone.
    device.write_registry(std::string(kGeneral) + "\"DefaultInputCharset\"=\"" +
                          std::string(259, 'I') + "\"\r\n\"DefaultOutputCharset\"=\"" +
                          std::string(260, 'O') + "\"\r\n");
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(std::string(config.default_input_charset), std::string(259, 'I'));
    EXPECT_STREQ(config.default_output_charset, "windows-1251");

    device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n");
    EXPECT_EQ(config.read(), kRegistryKeyNotFound);  // no General key: nothing changes
    EXPECT_EQ(config.minor_class, 12u);
}

}  // namespace
}  // namespace kova::base
