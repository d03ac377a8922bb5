#include "base/stack_config.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace kova::base {
namespace {

constexpr const char *kGeneral = "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n";

TEST(StackConfig, KeepsDefaultsWithoutTheKey)
{
    testing::TempDevice device;
    device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), kRegistryKeyNotFound);
    EXPECT_STREQ(config.default_input_charset, "");
    EXPECT_STREQ(config.default_output_charset, "");
    EXPECT_STREQ(config.unnamed_device_name, "<No Name>");
    EXPECT_EQ(config.minor_class, 4u);
}

TEST(StackConfig, ReadsEachValueInItsOwnForm)
{
    testing::TempDevice device;
    device.write_registry(std::string(kGeneral) +
                          "\"MinorClass\"=dword:0000000c\r\n"
                          "\"DeviceName\"=\"P\xC3\xA4\xC3\xA4\"\r\n"
                          "\"SecurityType\"=\"3\"\r\n"
                          "\"DefaultStatusDll\"=\"btstat.dll\"\r\n"
                          "\"DefaultInputCharset\"=\"\xC3\xA9t\xC3\xA9\"\r\n"
                          "\"DefaultOutputCharset\"=\"windows-1251\"\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(config.minor_class, 12u);
    EXPECT_STREQ(config.device_name, "P\xC3\xA4\xC3\xA4");  // UTF-8
    EXPECT_EQ(config.security_type, 2u);  // a text where a number belongs is skipped
    EXPECT_EQ(std::u16string(config.default_status_dll), u"btstat.dll");
    EXPECT_STREQ(config.default_input_charset, "\xE9t\xE9");  // the system's 1252
    EXPECT_STREQ(config.default_output_charset, "windows-1251");  // as typed
}

TEST(StackConfig, CharsetNamesMustFitTheReadBuffer)
{
    testing::TempDevice device;
    device.write_registry(std::string(kGeneral) + "\"DefaultInputCharset\"=\"" +
                          std::string(259, 'I') + "\"\r\n\"DefaultOutputCharset\"=\"" +
                          std::string(260, 'O') + "\"\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(std::string(config.default_input_charset), std::string(259, 'I'));
    EXPECT_STREQ(config.default_output_charset, "");
}

}  // namespace
}  // namespace kova::base
