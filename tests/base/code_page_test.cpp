#include "base/code_page.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::base {
namespace {

constexpr const char *kLocale =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n";
using Case = std::tuple<const char *, uint32_t, std::string, std::u16string>;

TEST(CodePage, ConvertsWithTheDefaultCharacterForWhatDoesNotMap)
{
    const Case kDecoded[] = {
        {"Western", 1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
        {"0x81 is undefined in 1252", 1252, "a\x81z", u"a?z"},
        {"a sequence cut off at the end", 65001, "ab\xE2\x82", u"ab?"},
    };
    for (const auto &[name, code_page, bytes, text] : kDecoded)
        EXPECT_EQ(bytes_to_utf16(code_page, bytes), text) << name;
    const Case kEncoded[] = {
        {"a macron is not in 1252", 1252, "a?\x80", u"a\u0101\u20AC"},
        {"a pair outside the plane is one character", 1252, "a?z", u"a\U0001F600z"},
        {"a lone surrogate", 65001, "a?z", u"a\xD800z"},
        {"the default is written in ASCII mode", 50220, "\x1B$BF|\x1B(B?\x1B$BK\\\x1B(B",
         u"\u65E5\u00E9\u672C"},
    };
    for (const auto &[name, code_page, bytes, text] : kEncoded)
        EXPECT_EQ(utf16_to_bytes(code_page, text), bytes) << name;
    for (uint32_t cp : {1252u, 932u, 936u, 949u, 950u, 20866u, 28605u, 50225u, 51932u, 65000u})
        EXPECT_TRUE(code_page_valid(cp)) << cp;
    for (uint32_t cp : {0u, 50932u, 50949u, 52936u})
        EXPECT_FALSE(code_page_valid(cp) || bytes_to_utf16(cp, "x") || utf16_to_bytes(cp, u"x"))
            << cp;
}

TEST(CodePage, ReadsTheAnsiCodePageFromTheRegistry)
{
    const std::pair<const char *, uint32_t> kCases[] = {
        {"", 1252}, {"\"ACP\"=\"932\"", 932}, {"\"ACP\"=\" 1251x\"", 1251},
        {"\"ACP\"=\"ansi\"", 0}, {"\"ACP\"=dword:000004e4", 0}};
    testing::TempDevice device;
    for (const auto &[line, code_page] : kCases) {
        device.write_registry(std::string(kLocale) + line + "\r\n");
        EXPECT_EQ(query_ansi_code_page(), code_page) << line;
    }
}

}  // namespace
}  // namespace kova::base
