#include "base/stack_config.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace kova::base {
namespace {

using testing::TempDevice;

constexpr const char *kGeneral = "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n";

TEST(StackConfig, KeepsDefaultsWithoutTheKey)
{
    TempDevice device;
    device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), kRegistryKeyNotFound);
    EXPECT_STREQ(config.default_input_charset, "");
    EXPECT_STREQ(config.default_output_charset, "");
    EXPECT_STREQ(config.unnamed_device_name, "<No Name>");
    EXPECT_EQ(config.minor_class, 4u);
    EXPECT_EQ(config.security_type, 2u);
    EXPECT_EQ(config.max_simult_connections, 1u);
}

TEST(StackConfig, ReadsEachValueInItsOwnForm)
{
    TempDevice device;
    device.write_registry(std::string(kGeneral) +
                          "\"MinorClass\"=dword:0000000c\r\n"
                          "\"DeviceName\"=\"Maja's P\xC3\xA4\xC3\xA4\"\r\n"
                          "\"CountryCode\"=dword:00000031\r\n"
                          "\"SecurityType\"=\"3\"\r\n"
                          "\"DefaultStatusDll\"=\"btstat.dll\"\r\n"
                          "\"DefaultInputCharset\"=\"NATIVE\"\r\n"
                          "\"DefaultOutputCharset\"=\"windows-1251\"\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(config.minor_class, 12u);
    EXPECT_STREQ(config.device_name, "Maja's P\xC3\xA4\xC3\xA4");  // stored as UTF-8
    EXPECT_EQ(config.country_code, 49u);
    EXPECT_EQ(config.security_type, 2u);  // a text where a number belongs is skipped
    EXPECT_EQ(std::u16string(config.default_status_dll), u"btstat.dll");
    EXPECT_STREQ(config.unnamed_device_name, "<No Name>");
    EXPECT_STREQ(config.default_input_charset, "NATIVE");
    EXPECT_STREQ(config.default_output_charset, "windows-1251");  // as typed
}

TEST(StackConfig, CharsetNamesMustFitTheReadBuffer)
{
    TempDevice device;
    device.write_registry(std::string(kGeneral) + "\"DefaultInputCharset\"=\"" +
                          std::string(259, 'I') + "\"\r\n\"DefaultOutputCharset\"=\"" +
                          std::string(260, 'O') + "\"\r\n");
    StackConfig config;
    EXPECT_EQ(config.read(), 0u);
    EXPECT_EQ(std::string(config.default_input_charset), std::string(259, 'I'));
    EXPECT_STREQ(config.default_output_charset, "");
}

TEST(StackConfig, CharsetNamesAreInTheSystemCodePage)
{
    TempDevice device;
    device.write_registry(std::string(kGeneral) +
                          "\"DefaultInputCharset\"=\"\xC3\xA9t\xC3\xA9\"\r\n"
                          "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\"
                          "CodePage]\r\n\"ACP\"=\"1252\"\r\n");
    StackConfig config;
    config.read();
    EXPECT_STREQ(config.default_input_charset, "\xE9t\xE9");
}

}  // namespace
}  // namespace kova::base
