#include "convert/charset.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kova::convert {
namespace {

// Cases that read the cached code pages write their registry before the first
// conversion; every case runs in a process of its own.
std::string registry(const char *general, const char *acp)
{
    return std::string("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n") +
           general + "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]"
           "\r\n\"ACP\"=\"" + acp + "\"\r\n";
}

std::string name_or_none(const char *name) { return name ? name : "none"; }

TEST(Charset, LooksUpTheTableFromTheTopAndDefaults)
{
    const std::pair<const char *, uint32_t> kNames[] = {
        {"iso-8859-1", 1252}, {"ISO-2022-JP", 50220}, {"UTF8", 0},   {"", 0},
        {"sjis", 932},        {"EUC-JP", 51932},      {"UTF-8X", 0}, {"UTF-", 0}};
    for (const auto &[name, code_page] : kNames)
        EXPECT_EQ(CharsetToCodePage(name), code_page) << name;
    EXPECT_EQ(CharsetToCodePage(nullptr), 0u);
    const std::pair<uint32_t, const char *> kCodePages[] = {
        {1252, "US-ASCII"},    {932, "SHIFT-JIS"},     {51932, "X-EUC"},
        {28591, "ISO-8859-1"}, {50222, "ISO-2022-JP"}, {12345, "none"}};
    for (const auto &[code_page, name] : kCodePages)
        EXPECT_EQ(name_or_none(CodePageToCharset(code_page)), name) << code_page;

    testing::TempDevice device;  // no configuration at all
    testing::LogReceiver log(device);
    EXPECT_EQ(InputCodePage(), 1252u);
    EXPECT_EQ(OutputCodePage(), 65001u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "UTF-8");
    EXPECT_TRUE(log.texts().empty());
}

TEST(Charset, NativeQuietlyAndNamesInAnyCase)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    device.write_registry(registry("\"DefaultInputCharset\"=\"native\"\r\n"
                                   "\"DefaultOutputCharset\"=\"windows-1251\"\r\n",
                                   "932"));
    EXPECT_EQ(InputCodePage(), 932u);
    EXPECT_EQ(OutputCodePage(), 1251u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "WINDOWS-1251");
    EXPECT_TRUE(log.texts().empty());
}

TEST(Charset, UnknownNamesAreLoggedAndTakeTheNativeCodePage)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    device.write_registry(registry("\"DefaultInputCharset\"=\"latin-9\"\r\n"
                                   "\"DefaultOutputCharset\"=\"ISO-8859-1\"\r\n",
                                   "unreadable"));
    EXPECT_EQ(InputCodePage(), 0u);
    EXPECT_EQ(InputCodePage(), 0u);  // a 0 is not kept, so it is worked out again
    EXPECT_EQ(OutputCodePage(), 1252u);
    EXPECT_EQ(name_or_none(OutputCharsetName()), "none");  // 1252 goes without a name
    device.write_registry(registry("\"DefaultInputCharset\"=\"latin-9\"\r\n", "1250"));
    EXPECT_EQ(InputCodePage(), 1250u);
    EXPECT_EQ(InputCodePage(), 1250u);
    EXPECT_EQ(log.texts(), std::vector<std::string>(3, "KOVA:  Registry input CHARSET "
                                                       "'latin-9' not valid, using native "
                                                       "codepage"));
}

TEST(Charset, BytesToTextFallsBackForUnknownCodePages)
{
    testing::TempDevice device;
    device.write_registry(registry("", "1251"));
    const std::tuple<uint32_t, std::string, std::u16string> kCases[] = {
        {1252, std::string("\xC0\xE9\0cd", 5), u"\u00C0\u00E9"},  // up to the first NUL
        {50932, "\xC0\xE9", u"\u0410\u0439"},                      // unknown: the system's
        {0, "\xC0", u"\u0410"},
    };
    for (const auto &[code_page, bytes, text] : kCases) {
        std::u16string out = u"old";
        BytesToText(code_page, bytes, out);
        EXPECT_EQ(out, text) << code_page;
    }
    EXPECT_EQ(narrow_system(u"\u0410\u00E9"), "\xC0?");
}

}  // namespace
}  // namespace kova::convert
