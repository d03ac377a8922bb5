#include "base/registry.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::base {
namespace {

using testing::TempDevice;

constexpr const char *kDebug = "HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug";
constexpr const char *kGeneral = "HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General";

TEST(Registry, ReadsValuesOfEveryForm)
{
    TempDevice device;
    device.write_registry(
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n"
        "\"LogIPAddr\"=dword:7f000001\r\n"
        "\r\n"
        "[hkey_local_machine\\software\\harvex\\btconfig\\general]\r\n"
        "\"DefaultOutputCharset\"=\"UTF-8\"\r\n"
        "\"Quoted\"=\"a \\\"b\\\" c\\\\d\"\r\n"
        "\"Expand\"=hex(2):41,00,42,00,00,00\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,\\\r\n"
        "  04\r\n"
        "this line is malformed\r\n"
        "\"Broken\"=dword:xyz\r\n"
        "\"HugeType\"=hex(fffffffffff):01\r\n"
        "\"Later\"=\"first\"\r\n"
        "\"Later\"=\"second\"\r\n");
    EXPECT_EQ(registry_dword(kDebug, "LogIPAddr"), 0x7f000001u);
    EXPECT_EQ(registry_dword(kDebug, "logipaddr"), 0x7f000001u);
    EXPECT_EQ(registry_string(kGeneral, "DefaultOutputCharset"), u"UTF-8");
    EXPECT_EQ(registry_string(kGeneral, "Quoted"), u"a \"b\" c\\d");
    EXPECT_EQ(registry_string(kGeneral, "Expand"), u"AB");
    auto blob = registry_value(kGeneral, "Blob");
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_FALSE(registry_dword(kGeneral, "Broken"));
    EXPECT_FALSE(registry_string(kGeneral, "HugeType"));
    EXPECT_EQ(registry_string(kGeneral, "Later"), u"second");
    EXPECT_FALSE(registry_dword(kGeneral, "DefaultOutputCharset"));  // wrong type
    EXPECT_FALSE(registry_string(kDebug, "Missing"));
    EXPECT_TRUE(registry_key_exists(kGeneral));
    EXPECT_FALSE(registry_key_exists("HKEY_LOCAL_MACHINE\\Software\\Harvex"));
}

TEST(Registry, AcceptsUtf16WithByteOrderMark)
{
    TempDevice device;
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                          u"[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n"
                          u"\"DeviceName\"=\"Ma\u00efa\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xff);
        bytes += static_cast<char>(c >> 8);
    }
    testing::write_file(device.path("registry.reg"), bytes);
    EXPECT_EQ(registry_string(kGeneral, "DeviceName"), u"Ma\u00efa");
}

// A device root without a registry file has an empty registry.
TEST(Registry, DeviceRootComesFromTheEnvironment)
{
    TempDevice device;
    EXPECT_EQ(device_root(), device.root());
    EXPECT_FALSE(registry_dword(kDebug, "LogIPAddr"));
    EXPECT_FALSE(registry_key_exists(kDebug));
    unsetenv("KOVA_DEVICE_ROOT");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(device_root(), "/data/kova");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/maja", 1);
    EXPECT_EQ(device_root(), "/home/maja/.local/share/kova");
}

}  // namespace
}  // namespace kova::base
