#include "convert/charset.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::convert {
namespace {

// The General values and the locale's ANSI code page. The code pages are cached for the
// process, so a case writes them before the first use (each case has a process).
void configure(const testing::TempDevice &device, const char *general, const char *acp)
{
    device.write_registry(
        std::string("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n") + general +
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"" +
        acp + "\"\r\n");
}

std::string name_or_none(const char *name) { return name ? name : "none"; }

TEST(Charset, LooksUpTheTableFromTheTopAndConvertsBytes)
{
    const std::pair<const char *, uint32_t> kNames[] = {
        {"iso-8859-1", 1252}, {"ISO-2022-JP", 50220}, {"EUC-JP", 51932}, {"UTF8", 0},
        {"UTF-8X", 0},        {"UTF-", 0},            {"", 0},           {nullptr, 0}};
    for (const auto &[name, code_page] : kNames)
        EXPECT_EQ(CharsetToCodePage(name), code_page) << name_or_none(name);
    const std::pair<uint32_t, const char *> kCodePages[] = {
        {1252, "US-ASCII"},    {932, "SHIFT-JIS"},     {51932, "X-EUC"},
        {28591, "ISO-8859-1"}, {50222, "ISO-2022-JP"}, {12345, "none"}};
    for (const auto &[code_page, name] : kCodePages)
        EXPECT_EQ(name_or_none(CodePageToCharset(code_page)), name) << code_page;
    testing::TempDevice device;
    configure(device, "", "1251");
    std::u16string out = u"old";
    BytesToText(1252, std::string("\xC0\xE9\0cd", 5), out);
    EXPECT_EQ(out, u"\u00C0\u00E9");  // up to the first NUL
    BytesToText(50932, "\xC0\xE9", out);  // a code page the platform lacks: the system's
    EXPECT_EQ(out, u"\u0410\u0439");
}

TEST(Charset, UnknownNamesAreLoggedAndNativeIsQuiet)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    const char *general = "\"DefaultInputCharset\"=\"latin-9\"\r\n"
                          "\"DefaultOutputCharset\"=\"native\"\r\n";
    configure(device, general, "unreadable");
    EXPECT_EQ(InputCodePage(), 0u);
    EXPECT_EQ(InputCodePage(), 0u);  // a 0 is not kept, so it is worked out again
    EXPECT_EQ(OutputCodePage(), 0u);
    configure(device, general, "1251");
    EXPECT_EQ(InputCodePage(), 1251u);
    EXPECT_EQ(InputCodePage(), 1251u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "WINDOWS-1251");
    EXPECT_EQ(OutputCodePage(), 1251u);
    EXPECT_EQ(log.texts(), std::vector<std::string>(3, "KOVA:  Registry input CHARSET "
                                                       "'latin-9' not valid, using native "
                                                       "codepage"));
}

}  // namespace
}  // namespace kova::convert
