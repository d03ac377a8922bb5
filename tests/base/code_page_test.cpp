#include "base/code_page.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::base {
namespace {

using Case = std::tuple<const char *, uint32_t, std::string, std::u16string>;

TEST(CodePage, DecodesWithTheDefaultForUndefinedBytes)
{
    const Case kCases[] = {
        {"Western", 1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
        {"0x81 is undefined in 1252", 1252, "a\x81z", u"a?z"},
        {"Shift-JIS", 932, "\x93\xfa\x96\x7b", u"\u65E5\u672C"},
        {"a lead byte cut off at the end", 932, "ab\x93", u"ab?"},
        {"ISO-2022-JP", 50220, "\x1B$BF|K\\\x1B(B!", u"\u65E5\u672C!"},
        {"an embedded NUL is kept", 1252, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto &[name, code_page, bytes, text] : kCases)
        EXPECT_EQ(bytes_to_utf16(code_page, bytes), text) << name;
}

TEST(CodePage, EncodesWithTheDefaultForUnrepresentableCharacters)
{
    const Case kCases[] = {
        {"a macron is not in 1252", 1252, "a?\x80", u"a\u0101\u20AC"},
        {"a pair outside the plane is one character", 1252, "a?z", u"a\U0001F600z"},
        {"a lone surrogate", 65001, "a?z", u"a\xD800z"},
        {"the default is written in ASCII mode", 50220, "\x1B$BF|\x1B(B?\x1B$BK\\\x1B(B",
         u"\u65E5\u00E9\u672C"},
    };
    for (const auto &[name, code_page, bytes, text] : kCases)
        EXPECT_EQ(utf16_to_bytes(code_page, text), bytes) << name;
    for (uint32_t cp : {1252u, 932u, 936u, 949u, 950u, 20866u, 28605u, 50225u, 51932u, 65000u})
        EXPECT_TRUE(code_page_valid(cp)) << cp;
    for (uint32_t cp : {0u, 50932u, 50949u, 52936u}) {
        EXPECT_FALSE(code_page_valid(cp)) << cp;
        EXPECT_FALSE(utf16_to_bytes(cp, u"x")) << cp;
    }
}

TEST(CodePage, ReadsTheAnsiCodePageFromTheRegistry)
{
    const std::pair<const char *, uint32_t> kCases[] = {
        {"", 1252}, {"\"ACP\"=\"932\"", 932}, {"\"ACP\"=\" 1251x\"", 1251},
        {"\"ACP\"=\"ansi\"", 0}, {"\"ACP\"=dword:000004e4", 0}};
    testing::TempDevice device;
    for (const auto &[line, code_page] : kCases) {
        SCOPED_TRACE(line);
        device.write_registry(
            std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\"
                        "CodePage]\r\n") + line + "\r\n");
        EXPECT_EQ(query_ansi_code_page(), code_page);
    }
}

}  // namespace
}  // namespace kova::base
