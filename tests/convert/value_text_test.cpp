#include "convert/value_text.h"

#include <gtest/gtest.h>

#include <string>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"
#include "vobject/read/line_reader.h"

namespace kova::convert {
namespace {

// One property as the reader builds it from its parameters and value; freed at the end.
struct Property {
    explicit Property(const char *params = "", const char *value = nullptr)
    {
        if (value) vobject::FillProperty(value, params, 7, node);
    }
    ~Property() { model::release_property_list(node); }
    Property(const Property &) = delete;
    std::u16string text(unsigned index = 0)
    {
        std::u16string out = u"old";
        return ValueToText(node, index, out);
    }
    // The rest of its line, and the code page it keeps: ";PARAM;PARAM:value;value #65001".
    std::string line() const
    {
        std::string out;
        for (const TextNode *p = node->Params; p; p = p->Next) out += std::string(";") + p->Text;
        for (const TextNode *v = node->Values; v; v = v->Next)
            out += (v == node->Values ? ":" : ";") + std::string(v->Text ? v->Text : "");
        return node->CodePage ? out + " #" + std::to_string(node->CodePage) : out;
    }
    PropertyNode *node = static_cast<PropertyNode *>(model::allocate_zeroed(sizeof(PropertyNode)));
};

// Zhe and e-acute under a configured DefaultOutputCharset. The output code page is
// cached for the process, so each caller is a case of its own.
std::string stored_with_output(const char *charset)
{
    testing::TempDevice device;
    device.write_registry(
        std::string("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n") +
        "\"DefaultOutputCharset\"=\"" + charset + "\"\r\n");
    Property p;
    TextToValue(u"\u0416\u00E9", p.node, 0, 0);
    return p.line();
}

TEST(ValueText, ValuesAndBodiesDecodeByTheirParameters)
{
    testing::TempDevice device;  // no configuration: input 1252
    // Parameters, value, the code page an earlier component decided, the component read.
    const std::tuple<const char *, const char *, uint32_t, unsigned, std::u16string, uint32_t>
        kCases[] = {
            {"", "a\\;b\\\\c\\nd\\", 0, 0, u"a;b\\cnd", 1252},
            {"", "1=0D=0A2=0D=0A3", 0, 0, u"1\r\n2\r\n3", 1252},
            {"CHARSET=ISO-8859-1;QUOTED-PRINTABLE", "caf=E9=5C=3B", 0, 0, u"caf\u00E9;", 1252},
            {"CHARSET=UTF-8", "caf\xC3\xA9", 0, 0, u"caf\u00E9", 65001},
            {"CHARSET=UTF8", "caf\xE9", 0, 0, u"caf\u00E9", 1252},  // not in the table
            {"CHARSET=UTF-8", "\xC0;\xC1", 1251, 1, u"\u0411", 1251},
            {"CHARSET=UTF-8", "\xC0;\xC1", 1251, 2, u"", 1251},  // no such component
        };
    for (const auto &[params, value, earlier, index, text, code_page] : kCases) {
        Property p(params, value);
        p.node->CodePage = earlier;
        EXPECT_EQ(p.text(index), text) << value;
        EXPECT_EQ(p.node->CodePage, code_page) << value;
    }
    const std::tuple<const char *, const char *, const char *, std::u16string> kBodies[] = {
        {"=E9=0D=0A\\;", "text/plain; charset=ISO-8859-1", "Quoted-Printable", u"\u00E9\r\n\\;"},
        {"\xC3\xA9", "TEXT/PLAIN;CHARSET=UTF-8 FORMAT=FLOWED", nullptr, u"\u00E9"},
        {"\xC3\xA9", "text/plain; charset=utf-8\tformat=flowed", "", u"\u00C3\u00A9"},
    };
    for (const auto &[body, type, encoding, text] : kBodies) {
        std::u16string out = u"old";
        MessageBodyToText(body, type, encoding, out);
        EXPECT_EQ(out, text) << type;
    }
}

TEST(ValueText, TextToValueChoosesCodePageAndParameters)
{
    testing::TempDevice device;  // no configuration: output UTF-8
    const uint32_t qp = kAllowQuotedPrintable;
    const std::tuple<std::u16string, uint32_t, std::string> kCases[] = {
        {u"a;b\\c,d", 0, ":a\\;b\\\\c,d"},
        {u"x=y", qp, ";ENCODING=QUOTED-PRINTABLE:x=3Dy"},
        {u"xy", qp, ":xy"},
        {u"\u00E9\n", qp, ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=A9=0A #65001"},
    };
    for (const auto &[text, flags, line] : kCases) {
        Property p;
        TextToValue(text, p.node, flags, 0);
        EXPECT_EQ(p.line(), line);
        EXPECT_EQ(p.text(), text) << line;  // and back
    }
    Property two;  // each parameter once per node
    TextToValue(u"\u00E9=", two.node, qp, 0);
    TextToValue(u"\u00FC:", two.node, qp, 2);
    EXPECT_EQ(two.line(), ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=A9=3D;;=C3=BC=3A #65001");
    EXPECT_EQ(two.node->Flags, KOVA_FLAG_CHARSET | KOVA_FLAG_QUOTED_PRINTABLE);
    Property read("charset=utf-8", "x");  // the reader's own parameter counts
    TextToValue(u"\u00E9", read.node, 0, 1);
    EXPECT_EQ(read.line(), ";charset=utf-8:x;\xC3\xA9 #65001");
    Property date;
    EXPECT_EQ(GetDate(date.node), NoDate);
    PutDate(36161.5, date.node, true, true);
    EXPECT_EQ(date.line(), ":19990101T120000");
}

TEST(ValueText, TextToValueNamesNoWesternOutput)
{
    EXPECT_EQ(stored_with_output("WINDOWS-1252"), ":?\xE9");
}

TEST(ValueText, TextToValueFallsBackToUtf8ForAnInvalidOutput)
{
    EXPECT_EQ(stored_with_output("_autodetect"), ";CHARSET=UTF-8:\xD0\x96\xC3\xA9 #65001");
}

}  // namespace
}  // namespace kova::convert
