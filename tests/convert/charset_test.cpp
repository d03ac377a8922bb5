#include "convert/charset.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.h"

namespace kova::convert {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

// Each case that reads the cached code pages writes its registry before the first
// conversion; every case runs in a process of its own.
std::string registry(const char *general, const char *acp = nullptr)
{
    std::string body = "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n";
    body += general;
    if (acp)
        body += std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\"
                            "CodePage]\r\n\"ACP\"=\"") +
                acp + "\"\r\n";
    return body;
}

std::string name_or_none(const char *name) { return name ? name : "none"; }

TEST(Charset, LooksNamesUpInTableOrder)
{
    struct Case {
        const char *name;
        uint32_t code_page;
    };
    const Case kCases[] = {
        {"iso-8859-1", 1252},  {"ISO-2022-JP", 50220}, {"UTF8", 0},         {"", 0},
        {"Shift-JIS", 932},    {"sjis", 932},          {"EUC-JP", 51932},   {"koi8-r", 20866},
        {"windows-1251", 1251}, {"WINDOWS-1251 ", 0},  {"UTF-8X", 0},       {"UTF-", 0},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CharsetToCodePage(c.name), c.code_page);
    }
    EXPECT_EQ(CharsetToCodePage(nullptr), 0u);
}

TEST(Charset, LooksCodePagesUpInTableOrder)
{
    struct Case {
        uint32_t code_page;
        const char *name;
    };
    const Case kCases[] = {
        {1252, "US-ASCII"},     {932, "SHIFT-JIS"}, {51932, "X-EUC"},   {28591, "ISO-8859-1"},
        {50222, "ISO-2022-JP"}, {874, "WINDOWS-874"}, {12345, "none"}, {0, "none"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.code_page);
        EXPECT_EQ(name_or_none(CodePageToCharset(c.code_page)), c.name);
    }
}

TEST(Charset, DefaultsWithoutConfiguration)
{
    TempDevice device;
    LogReceiver log(device);
    EXPECT_EQ(NativeCodePage(), 1252u);
    EXPECT_EQ(InputCodePage(), 1252u);
    EXPECT_EQ(OutputCodePage(), 65001u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "UTF-8");
    EXPECT_TRUE(log.texts().empty());
}

TEST(Charset, ConfiguredNamesAreUpperCasedForTheLookup)
{
    TempDevice device;
    device.write_registry(registry("\"DefaultInputCharset\"=\"koi8-r\"\r\n"
                                   "\"DefaultOutputCharset\"=\"windows-1251\"\r\n"));
    EXPECT_EQ(InputCodePage(), 20866u);
    EXPECT_EQ(OutputCodePage(), 1251u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "WINDOWS-1251");
}

TEST(Charset, NativeUsesTheSystemCodePageQuietly)
{
    TempDevice device;
    LogReceiver log(device);
    device.write_registry(registry("\"DefaultInputCharset\"=\"NATIVE\"\r\n"
                                   "\"DefaultOutputCharset\"=\"NATIVE\"\r\n",
                                   "932"));
    EXPECT_EQ(InputCodePage(), 932u);
    EXPECT_EQ(OutputCodePage(), 932u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "SHIFT-JIS");
    EXPECT_TRUE(log.texts().empty());
}

TEST(Charset, UnknownNamesAreLoggedAndUseTheSystemCodePage)
{
    TempDevice device;
    LogReceiver log(device);
    device.write_registry(registry("\"DefaultInputCharset\"=\"latin-9\"\r\n"
                                   "\"DefaultOutputCharset\"=\"ISO-8859-1\"\r\n",
                                   "1250"));
    EXPECT_EQ(InputCodePage(), 1250u);
    EXPECT_EQ(InputCodePage(), 1250u);
    EXPECT_EQ(OutputCodePage(), 1252u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "none");  // 1252 travels without a name
    EXPECT_EQ(log.texts(), std::vector<std::string>{
                               "KOVA:  Registry input CHARSET 'latin-9' not valid, using "
                               "native codepage"});
}

TEST(Charset, AnUnreadableLocaleIsAskedAgain)
{
    TempDevice device;
    LogReceiver log(device);
    device.write_registry(registry("\"DefaultOutputCharset\"=\"bogus\"\r\n", "none"));
    EXPECT_EQ(NativeCodePage(), 0u);
    EXPECT_EQ(OutputCodePage(), 0u);
    EXPECT_EQ(OutputCodePage(), 0u);
    EXPECT_EQ(log.texts().size(), 2u);  // 0 is not kept, so each use looks again
    device.write_registry(registry("", "1251"));
    EXPECT_EQ(NativeCodePage(), 1251u);
}

TEST(Charset, BytesToTextFallsBackForUnknownCodePages)
{
    TempDevice device;
    device.write_registry(registry("", "1251"));
    struct Case {
        const char *name;
        uint32_t code_page;
        std::string bytes;
        std::u16string text;
    };
    const Case kCases[] = {
        {"known code page", 1252, "\xC0\xE9", u"\u00C0\u00E9"},
        {"stops at the first NUL", 1252, std::string("ab\0cd", 5), u"ab"},
        {"auto-detect is unknown: the system code page", 50932, "\xC0\xE9", u"\u0410\u0439"},
        {"no code page at all", 0, "\xC0", u"\u0410"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        std::u16string out = u"old";
        BytesToText(c.code_page, c.bytes, out);
        EXPECT_EQ(out, c.text);
    }
    EXPECT_EQ(widen_system("\xC0"), u"\u0410");
    EXPECT_EQ(narrow_system(u"\u0410\u00E9"), "\xC0?");
}

}  // namespace
}  // namespace kova::convert
