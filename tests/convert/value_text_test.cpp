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

using testing::TempDevice;

// One property as the reader builds it from "NAME;params:value".
class Property {
public:
    Property() : node_(model::AppendProperty(&head_)) {}
    Property(const char *params, const char *value) : Property()
    {
        vobject::FillProperty(value, params, 7, node_);
    }
    ~Property() { model::release_property_list(head_); }
    Property(const Property &) = delete;
    Property &operator=(const Property &) = delete;

    PropertyNode *get() const { return node_; }
    PropertyNode *operator->() const { return node_; }
    std::vector<std::string> params() const { return texts(node_->Params); }
    std::vector<std::string> values() const { return texts(node_->Values); }

private:
    static std::vector<std::string> texts(const TextNode *list)
    {
        std::vector<std::string> out;
        for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "(null)");
        return out;
    }
    PropertyNode *head_ = nullptr;
    PropertyNode *node_;
};

using Texts = std::vector<std::string>;

std::u16string text_of(PropertyNode *node, unsigned index = 0)
{
    std::u16string out = u"old";
    return ValueToText(node, index, out);
}

TEST(ValueText, ValueToTextDecodesByParameters)
{
    TempDevice device;  // no configuration: input 1252
    struct Case {
        const char *name;
        const char *params;
        const char *value;
        std::u16string text;
        uint32_t code_page;
    };
    const Case kCases[] = {
        {"plain", "", "abc", u"abc", 1252},
        {"escapes", "", "a\\;b\\\\c\\nd\\", u"a;b\\cnd", 1252},
        {"encoded line breaks in a plain value", "", "1=0D=0A2=0D=0A3", u"1\r\n2\r\n3", 1252},
        {"quoted-printable Latin-1", "CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE", "caf=E9",
         u"caf\u00E9", 1252},
        {"bare QUOTED-PRINTABLE word", "QUOTED-PRINTABLE", "=41=3B", u"A;", 1252},
        {"UTF-8", "CHARSET=UTF-8", "caf\xC3\xA9", u"caf\u00E9", 65001},
        {"unknown charset: the input code page", "CHARSET=UTF8", "caf\xE9", u"caf\u00E9", 1252},
        {"empty charset: the input code page", "CHARSET=", "\xE9", u"\u00E9", 1252},
        {"SHIFT_JIS is not a table name", "CHARSET=SHIFT_JIS", "\xE9", u"\u00E9", 1252},
        {"Cyrillic", "CHARSET=KOI8-R", "\xF6", u"\u0416", 20866},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        Property p(c.params, c.value);
        EXPECT_EQ(text_of(p.get()), c.text);
        EXPECT_EQ(p->CodePage, c.code_page);
    }
}

TEST(ValueText, ValueToTextKeepsAnEarlierCodePage)
{
    TempDevice device;
    Property p("CHARSET=UTF-8", "\xC0;\xC1");
    p->CodePage = 1251;
    EXPECT_EQ(text_of(p.get(), 1), u"\u0411");
    EXPECT_EQ(text_of(p.get(), 2), u"");  // missing component
    EXPECT_EQ(text_of(nullptr), u"");
    Property empty;
    EXPECT_EQ(text_of(empty.get()), u"");
    EXPECT_EQ(empty->CodePage, 0u);
}

TEST(ValueText, TextToValueChoosesCodePageAndParameters)
{
    TempDevice device;  // no configuration: output UTF-8
    struct Case {
        const char *name;
        std::u16string text;
        uint32_t flags;
        Texts params;
        Texts values;
        uint32_t code_page;
    };
    const Case kCases[] = {
        {"ASCII stays 1252 without parameters", u"abc", 0, {}, {"abc"}, 0},
        {"accent goes UTF-8", u"\u00E9", 0, {"CHARSET=UTF-8"}, {"\xC3\xA9"}, 65001},
        {"escapes", u"a;b\\c,d", 0, {}, {"a\\;b\\\\c,d"}, 0},
        {"quoted-printable when needed", u"x=y", 1, {"ENCODING=QUOTED-PRINTABLE"}, {"x=3Dy"}, 0},
        {"not when not needed", u"xy", 1, {}, {"xy"}, 0},
        {"escapes encoded", u"a;b", 1, {"ENCODING=QUOTED-PRINTABLE"}, {"a=5C=3Bb"}, 0},
        {"both parameters", u"\u00E9\n", 1, {"CHARSET=UTF-8", "ENCODING=QUOTED-PRINTABLE"},
         {"=C3=A9=0A"}, 65001},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        Property p;
        TextToValue(c.text, p.get(), c.flags, 0);
        EXPECT_EQ(p.params(), c.params);
        EXPECT_EQ(p.values(), c.values);
        EXPECT_EQ(p->CodePage, c.code_page);
        EXPECT_EQ(text_of(p.get()), c.text);  // and back
    }
}

TEST(ValueText, TextToValueAddsEachParameterOnce)
{
    TempDevice device;
    Property p;
    TextToValue(u"\u00E9=", p.get(), kAllowQuotedPrintable, 0);
    TextToValue(u"\u00FC:", p.get(), kAllowQuotedPrintable, 2);
    TextToValue(u"", p.get(), kAllowQuotedPrintable, 1);
    EXPECT_EQ(p.params(), (Texts{"CHARSET=UTF-8", "ENCODING=QUOTED-PRINTABLE"}));
    EXPECT_EQ(p.values(), (Texts{"=C3=A9=3D", "(null)", "=C3=BC=3A"}));
    EXPECT_EQ(p->Flags, unsigned{KOVA_FLAG_CHARSET | KOVA_FLAG_QUOTED_PRINTABLE});

    Property read("charset=utf-8", "x");  // a reader's node already names its charset
    TextToValue(u"\u00E9", read.get(), 0, 1);
    EXPECT_EQ(read.params(), Texts{"charset=utf-8"});
    TextToValue(u"x", nullptr, 0, 0);
}

TEST(ValueText, TextToValueUsesAConfiguredWesternOutput)
{
    TempDevice device;
    device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n"
                          "\"DefaultOutputCharset\"=\"WINDOWS-1252\"\r\n");
    Property p;
    TextToValue(u"\u00E9\u0101", p.get(), 0, 0);
    EXPECT_EQ(p.params(), Texts{});
    EXPECT_EQ(p.values(), Texts{"\xE9?"});
    EXPECT_EQ(p->CodePage, 0u);
}

TEST(ValueText, TextToValueFallsBackToUtf8ForAnInvalidOutput)
{
    TempDevice device;
    device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n"
                          "\"DefaultOutputCharset\"=\"_autodetect\"\r\n");
    Property p;
    TextToValue(u"\u00E9", p.get(), 0, 0);
    EXPECT_EQ(p.params(), Texts{"CHARSET=UTF-8"});
    EXPECT_EQ(p.values(), Texts{"\xC3\xA9"});
}

TEST(ValueText, TextToValueLeavesTheNodeAloneWhenTextsCannotBeAllocated)
{
    TempDevice device;
    // Three texts come first (value, CHARSET, ENCODING), then the three nodes.
    for (unsigned long n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        Property p;
        model::fail_allocation_after(n);
        TextToValue(u"\u00E9=", p.get(), kAllowQuotedPrintable, 0);
        model::fail_allocation_after(0);
        if (n <= 3) {
            EXPECT_EQ(p->Params, nullptr);
            EXPECT_EQ(p->Values, nullptr);
        }
        if (n == 7) {
            EXPECT_EQ(p.values(), Texts{"=C3=A9=3D"});
        }
    }
}

TEST(ValueText, MessageBodiesFollowTheirHeaders)
{
    TempDevice device;
    struct Case {
        const char *name;
        const char *body;
        const char *type;
        const char *encoding;
        std::u16string text;
    };
    const Case kCases[] = {
        {"quoted-printable Latin-1", "caf=E9=0D=0A\\;", "text/plain; charset=ISO-8859-1",
         "quoted-printable", u"caf\u00E9\r\n\\;"},
        {"plain with encoded breaks", "a=0D=0Ab", "text/plain", "8bit", u"a\r\nb"},
        {"UTF-8", "\xC3\xA9", "TEXT/PLAIN;CHARSET=UTF-8", nullptr, u"\u00E9"},
        {"a semicolon after the charset hides it", "\xC3\xA9",
         "text/plain; charset=utf-8; format=flowed", "", u"\u00C3\u00A9"},
        {"no headers", "\xE9", nullptr, nullptr, u"\u00E9"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        std::u16string out = u"old";
        MessageBodyToText(c.body, c.type, c.encoding, out);
        EXPECT_EQ(out, c.text);
    }
    std::u16string out = u"old";
    MessageBodyToText(nullptr, "text/plain", "", out);
    EXPECT_EQ(out, u"");
}

TEST(ValueText, GetParamValueTakesTheFirstWord)
{
    struct Case {
        const char *parameter;
        size_t limit;
        const char *value;
    };
    const Case kCases[] = {
        {"CHARSET=UTF-8", 260, "UTF-8"}, {"CHARSET", 260, ""},   {"CHARSET=a b", 260, "a"},
        {"X=B=C", 260, "B=C"},           {"X=abcdef", 3, "abc"}, {"=", 260, ""},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.parameter);
        EXPECT_EQ(GetParamValue(c.parameter, c.limit), c.value);
    }
}

TEST(ValueText, DatesGoThroughComponentZero)
{
    TempDevice device;
    EXPECT_EQ(GetDate(nullptr), NoDate);
    Property empty;
    EXPECT_EQ(GetDate(empty.get()), NoDate);
    Property bday("", "19990101");
    EXPECT_EQ(GetDate(bday.get()), 36161.0);
    Property impossible("", "20030230");
    EXPECT_EQ(GetDate(impossible.get()), NoDate);

    Property out;
    PutDate(36161.5, out.get(), true, true);
    EXPECT_EQ(out.values(), Texts{"19990101T120000"});
    PutDate(36162.5, out.get(), false, true);
    EXPECT_EQ(out.values(), Texts{"19990102"});
}

}  // namespace
}  // namespace kova::convert
