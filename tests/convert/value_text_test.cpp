#include "convert/value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"
#include "vobject/read/line_reader.h"

namespace kova::convert {
namespace {

using Texts = std::vector<std::string>;

// One property as the reader builds it from "NAME;params:value".
struct Property {
    explicit Property(const char *params = "", const char *value = nullptr)
    {
        if (value) vobject::FillProperty(value, params, 7, node);
    }
    ~Property() { model::release_property_list(head); }
    PropertyNode *operator->() const { return node; }
    std::u16string text(unsigned index = 0) const
    {
        std::u16string out = u"old";
        return ValueToText(node, index, out);
    }
    PropertyNode *head = nullptr;
    PropertyNode *node = model::AppendProperty(&head);
};

Texts texts(const TextNode *list)
{
    Texts out;
    for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "(null)");
    return out;
}

// TextToValue of one text into a fresh node; "params|values".
Texts stored(std::u16string_view text, uint32_t flags = 0)
{
    Property p;
    TextToValue(text, p.node, flags, 0);
    Texts out = texts(p->Params);
    out.push_back("|");
    for (const std::string &v : texts(p->Values)) out.push_back(v);
    return out;
}

constexpr const char *kGeneral = "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n";

TEST(ValueText, ValueToTextDecodesByParameters)
{
    testing::TempDevice device;  // no configuration: input 1252
    const std::tuple<const char *, const char *, std::u16string, uint32_t> kCases[] = {
        {"", "a\\;b\\\\c\\nd\\", u"a;b\\cnd", 1252},
        {"", "1=0D=0A2=0D=0A3", u"1\r\n2\r\n3", 1252},
        {"CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE", "caf=E9=5C=3B", u"caf\u00E9;", 1252},
        {"QUOTED-PRINTABLE", "=41", u"A", 1252},
        {"CHARSET=UTF-8", "caf\xC3\xA9", u"caf\u00E9", 65001},
        {"CHARSET=UTF8", "caf\xE9", u"caf\u00E9", 1252},  // not in the table
        {"CHARSET=KOI8-R", "\xF6", u"\u0416", 20866},
    };
    for (const auto &[params, value, text, code_page] : kCases) {
        SCOPED_TRACE(value);
        Property p(params, value);
        EXPECT_EQ(p.text(), text);
        EXPECT_EQ(p->CodePage, code_page);
    }
    Property kept("CHARSET=UTF-8", "\xC0;\xC1");
    kept->CodePage = 1251;  // decided by an earlier component
    EXPECT_EQ(kept.text(1), u"\u0411");
    EXPECT_EQ(kept.text(2), u"");
}

TEST(ValueText, TextToValueChoosesCodePageAndParameters)
{
    testing::TempDevice device;  // no configuration: output UTF-8
    const std::tuple<std::u16string, uint32_t, Texts> kCases[] = {
        {u"abc", 0, {"|", "abc"}},
        {u"\u00E9", 0, {"CHARSET=UTF-8", "|", "\xC3\xA9"}},
        {u"a;b\\c,d", 0, {"|", "a\\;b\\\\c,d"}},
        {u"x=y", 1, {"ENCODING=QUOTED-PRINTABLE", "|", "x=3Dy"}},
        {u"xy", 1, {"|", "xy"}},
        {u"\u00E9\n", 1, {"CHARSET=UTF-8", "ENCODING=QUOTED-PRINTABLE", "|", "=C3=A9=0A"}},
    };
    for (const auto &[text, flags, expected] : kCases) {
        SCOPED_TRACE(expected.back());
        EXPECT_EQ(stored(text, flags), expected);
        Property p;
        TextToValue(text, p.node, flags, 0);
        EXPECT_EQ(p.text(), text);  // and back
    }
    Property two;  // each parameter once per node
    TextToValue(u"\u00E9=", two.node, kAllowQuotedPrintable, 0);
    TextToValue(u"\u00FC:", two.node, kAllowQuotedPrintable, 2);
    EXPECT_EQ(texts(two->Params), (Texts{"CHARSET=UTF-8", "ENCODING=QUOTED-PRINTABLE"}));
    EXPECT_EQ(texts(two->Values), (Texts{"=C3=A9=3D", "(null)", "=C3=BC=3A"}));
    EXPECT_EQ(two->CodePage, 65001u);
    Property read("charset=utf-8", "x");  // the reader's own parameter counts
    TextToValue(u"\u00E9", read.node, 0, 1);
    EXPECT_EQ(texts(read->Params), Texts{"charset=utf-8"});
}

TEST(ValueText, TextToValueUsesAConfiguredWesternOutput)
{
    testing::TempDevice device;
    device.write_registry(std::string(kGeneral) + "\"DefaultOutputCharset\"=\"WINDOWS-1252\"\r\n");
    EXPECT_EQ(stored(u"\u00E9\u0101"), (Texts{"|", "\xE9?"}));
}

TEST(ValueText, TextToValueFallsBackToUtf8ForAnInvalidOutput)
{
    testing::TempDevice device;
    device.write_registry(std::string(kGeneral) + "\"DefaultOutputCharset\"=\"_autodetect\"\r\n");
    EXPECT_EQ(stored(u"\u00E9"), (Texts{"CHARSET=UTF-8", "|", "\xC3\xA9"}));
}

TEST(ValueText, TextToValueLeavesTheNodeAloneWithoutMemory)
{
    testing::TempDevice device;
    // The property itself comes first; its three texts come before any new list node.
    for (unsigned long n = 2; n <= 4; ++n) {
        model::fail_allocation_after(n);
        EXPECT_EQ(stored(u"\u00E9=", kAllowQuotedPrintable), Texts{"|"}) << n;
        model::fail_allocation_after(0);
    }
}

TEST(ValueText, MessageBodiesFollowTheirHeaders)
{
    testing::TempDevice device;
    const std::tuple<const char *, const char *, const char *, std::u16string> kCases[] = {
        {"caf=E9=0D=0A\\;", "text/plain; charset=ISO-8859-1", "quoted-printable",
         u"caf\u00E9\r\n\\;"},
        {"a=0D=0Ab", "text/plain", "8bit", u"a\r\nb"},
        {"\xC3\xA9", "TEXT/PLAIN;CHARSET=UTF-8", nullptr, u"\u00E9"},
        {"\xC3\xA9", "text/plain; charset=utf-8; format=flowed", "", u"\u00C3\u00A9"},
        {nullptr, "text/plain", "", u""},
    };
    for (const auto &[body, type, encoding, text] : kCases) {
        SCOPED_TRACE(type);
        std::u16string out = u"old";
        MessageBodyToText(body, type, encoding, out);
        EXPECT_EQ(out, text);
    }
    EXPECT_EQ(GetParamValue("CHARSET=a b", 260), "a");
    EXPECT_EQ(GetParamValue("CHARSET=a\tb", 260), "a\tb");  // only a blank ends it
    EXPECT_EQ(GetParamValue("X=abcdef", 3), "abc");
    EXPECT_EQ(GetParamValue("CHARSET", 260), "");
}

TEST(ValueText, DatesGoThroughComponentZero)
{
    testing::TempDevice device;
    Property empty, bday("", "19990101"), impossible("", "20030230");
    EXPECT_EQ(GetDate(nullptr), NoDate);
    EXPECT_EQ(GetDate(empty.node), NoDate);
    EXPECT_EQ(GetDate(bday.node), 36161.0);
    EXPECT_EQ(GetDate(impossible.node), NoDate);
    PutDate(36161.5, empty.node, true, true);
    EXPECT_EQ(texts(empty->Values), Texts{"19990101T120000"});
}

}  // namespace
}  // namespace kova::convert
