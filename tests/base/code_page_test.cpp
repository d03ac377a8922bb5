#include "base/code_page.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::base {
namespace {

using testing::TempDevice;

constexpr const char *kLocaleKey =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n";

struct DecodeCase {
    const char *name;
    uint32_t code_page;
    std::string bytes;
    std::u16string text;
};

TEST(CodePage, DecodesAndMarksUndefinedBytes)
{
    const DecodeCase kCases[] = {
        {"Western", 1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
        {"byte 0x81 is undefined in 1252", 1252, "a\x81z", u"a?z"},
        {"Cyrillic", 1251, "\xC0\xE1", u"\u0410\u0431"},
        {"Shift-JIS", 932, "\x93\xfa\x96\x7b", u"\u65E5\u672C"},
        {"a lead byte cut off at the end", 932, "ab\x93", u"ab?"},
        {"ISO-2022-JP", 50220, "\x1B$BF|K\\\x1B(B!", u"\u65E5\u672C!"},
        {"UTF-8 with a stray continuation byte", 65001, "\xC3\xA9\xA9", u"\u00E9?"},
        {"an embedded NUL is kept", 1252, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const DecodeCase &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bytes_to_utf16(c.code_page, c.bytes), c.text);
    }
}

TEST(CodePage, EncodesUnrepresentableCharactersAsTheDefault)
{
    const DecodeCase kCases[] = {
        {"Western", 1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
        {"a macron is not in 1252", 1252, "a?z", u"a\u0101z"},
        {"a pair outside the plane is one character", 1252, "a?z", u"a\U0001F600z"},
        {"a lone surrogate", 65001, "a?z", u"a\xD800z"},
        {"the default is written in ASCII mode", 50220, "\x1B$BF|\x1B(B?\x1B$BK\\\x1B(B",
         u"\u65E5\u00E9\u672C"},
    };
    for (const DecodeCase &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf16_to_bytes(c.code_page, c.text), c.bytes);
    }
}

TEST(CodePage, KnowsWhatIconvKnows)
{
    for (uint32_t cp : {1252u, 932u, 936u, 949u, 950u, 20866u, 28605u, 50220u, 50225u, 51932u,
                        51949u, 65000u, 65001u, 20105u, 20106u}) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(code_page_valid(cp));
    }
    for (uint32_t cp : {0u, 50932u, 50949u, 52936u, 12345u}) {
        SCOPED_TRACE(cp);
        EXPECT_FALSE(code_page_valid(cp));
        EXPECT_FALSE(bytes_to_utf16(cp, "x"));
        EXPECT_FALSE(utf16_to_bytes(cp, u"x"));
    }
}

TEST(CodePage, ReadsTheAnsiCodePageFromTheRegistry)
{
    struct Case {
        const char *name;
        const char *lines;
        uint32_t code_page;
    };
    const Case kCases[] = {
        {"absent", "", 1252},
        {"Japanese", "\"ACP\"=\"932\"", 932},
        {"leading blanks and trailing text", "\"ACP\"=\" 1251x\"", 1251},
        {"not a number", "\"ACP\"=\"ansi\"", 0},
        {"a number of the wrong type", "\"ACP\"=dword:000004e4", 0},
    };
    TempDevice device;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        device.write_registry(std::string(kLocaleKey) + c.lines + "\r\n");
        EXPECT_EQ(query_ansi_code_page(), c.code_page);
    }
}

}  // namespace
}  // namespace kova::base
