#include "vobject/read/line_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file.h"
#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using testing::TempDevice;

// All logical lines of content, up to and including the empty text at the end.
std::vector<std::string> logical_lines(const std::string &content)
{
    TempDevice device;
    testing::write_file(device.path("in.txt"), content);
    FILE *f = std::fopen(device.path("in.txt").c_str(), "rb");
    std::vector<std::string> lines;
    for (int guard = 0; guard < 100; ++guard) {
        char *line = FileLine(f);
        if (!line) break;
        lines.emplace_back(line);
        model::release(line);
        if (lines.back().empty() && base::at_end(f)) break;
    }
    std::fclose(f);
    return lines;
}

TEST(LineReader, UnfoldsAndRemovesSoftBreaks)
{
    struct Case {
        const char *name;
        std::string content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"soft break", "NOTE:abc=\r\ndef\r\n", {"NOTE:abcdef", ""}},
        {"soft break with LF only", "NOTE:abc=\ndef\n", {"NOTE:abcdef", ""}},
        {"escaped equals stays", "NOTE:abc==\r\ndef\r\n", {"NOTE:abc==", "def", ""}},
        {"tab continuation", "NOTE:abc\r\n\tdef\r\n", {"NOTE:abc def", ""}},
        {"two blanks keep one", "NOTE:abc\r\n  def\r\n", {"NOTE:abc  def", ""}},
        {"encoded line ends stay", "NOTE:a=0D=0Ab\r\n", {"NOTE:a=0D=0Ab", ""}},
        {"last byte is '='", "NOTE:abc=", {"NOTE:abc=", ""}},
        {"no line end at the end", "A:1\r\nB:2", {"A:1", "B:2", ""}},
        {"a CR takes the next byte as its LF", "A:1\rXB:2\r\n", {"A:1", "B:2", ""}},
        {"empty stream", "", {""}},
        {"blank line", "A:1\r\n\r\nB:2\r\n", {"A:1", "", "B:2", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(logical_lines(c.content), c.lines);
    }
}

TEST(LineReader, HandlesHugeLinesAndNulBytes)
{
    std::string big = "NOTE:" + std::string(10u << 20, 'a') + "\r\nX:1\r\n";
    auto lines = logical_lines(big);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 5u + (10u << 20));
    EXPECT_EQ(lines[1], "X:1");

    lines = logical_lines(std::string("A:x\0y\r\nB:2\r\n", 11));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "A:x");  // the text ends at the NUL
    EXPECT_EQ(lines[1], "B:2");
}

TEST(LineReader, LineAllocationFailureReturnsNull)
{
    TempDevice device;
    testing::write_file(device.path("in.txt"), "A:1\r\nB:2\r\n");
    FILE *f = std::fopen(device.path("in.txt").c_str(), "rb");
    model::fail_allocation_after(1);
    EXPECT_EQ(FileLine(f), nullptr);
    char *next = FileLine(f);
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(next, "B:2");
    model::release(next);
    std::fclose(f);
}

struct SplitCase {
    const char *name;
    const char *line;
    const char *property;
    const char *params;
    const char *value;
};

TEST(LineReader, SplitsPropertyLines)
{
    const std::string long_name(60, 'N');
    const std::string long_line = long_name + ":v";
    const std::string long_params = "A;" + std::string(200, 'p') + ":v";
    const SplitCase cases[] = {
        {"parameters", "TEL;TYPE=HOME;VOICE:+1 555", "TEL", "TYPE=HOME;VOICE", "+1 555"},
        {"no parameters", "TEL:+1 555", "TEL", "", "+1 555"},
        {"no colon", "TEL", "TEL", "", ""},
        {"empty name", ":x", "", "", "x"},
        {"escaped semicolon in the name", "A\\;B:v", "A\\;B", "", "v"},
        {"escaped colon is no escape", "A\\:B", "A\\", "", "B"},
        {"colon in the value", "URL:http://x", "URL", "", "http://x"},
        {"name cut at 51", long_line.c_str(), "NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN", "", "v"},
        {"parameters cut at 127", long_params.c_str(), "A",
         std::string(127, 'p').c_str(), "v"},
    };
    for (const SplitCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = c.line;
        char name[kNameCapacity];
        char params[kParamCapacity];
        const char *value = SplitPropertyLine(line.data(), name, params);
        EXPECT_STREQ(name, c.property);
        if (std::string(c.name) == "parameters cut at 127")
            EXPECT_EQ(std::string(params), std::string(127, 'p'));
        else
            EXPECT_STREQ(params, c.params);
        EXPECT_STREQ(value, c.value);
    }
}

TEST(LineReader, RemovesBlanks)
{
    char name[] = " N ";
    char params[] = " CHARSET = UTF-8 ";
    EXPECT_STREQ(RemoveBlanks(name), "N");
    EXPECT_STREQ(RemoveBlanks(params), "CHARSET=UTF-8");
    char value[] = "  a b\tc";
    RemoveBlanks(value);
    EXPECT_STREQ(value, "  abc");  // the leading blanks stay where the value starts
}

TEST(LineReader, AcceptsVersions)
{
    struct Case {
        const char *text;
        double limit;
        bool accepted;
    };
    const Case cases[] = {
        {"2.1", 2.1, true},      {"2.0", 2.1, true},    {"1.0", 2.1, true},
        {"2.1beta", 2.1, true},  {"3.0", 2.1, false},   {"", 2.1, false},
        {"0.0", 1.0, false},     {"abc", 2.1, false},   {"2.10000001", 2.1, false},
        {"1.1", 1.1, true},      {"-1", 2.1, true},     {" 1.0", 1.0, true},
        {"nan", 2.1, false},     {"inf", 2.1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(VersionAccepted(c.text, c.limit), c.accepted);
    }
}

TEST(LineReader, TokenizesWithEscapes)
{
    struct Case {
        const char *text;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"a;b", {"a", "b"}},
        {"a;", {"a", ""}},
        {"", {""}},
        {"a\\;b", {"a\\;b"}},
        {"a\\", {"a\\"}},
        {";;", {"", "", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text;
        char *cursor = text.data();
        std::vector<std::string> tokens;
        while (char *t = NextToken(&cursor, ";")) tokens.emplace_back(t);
        EXPECT_EQ(tokens, c.tokens);
    }
    EXPECT_EQ(NextToken(nullptr, ";"), nullptr);
}

std::vector<std::string> node_texts(const TextNode *list)
{
    std::vector<std::string> out;
    for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "<null>");
    return out;
}

TEST(LineReader, FillsProperties)
{
    struct Case {
        const char *name;
        const char *value;
        const char *params;
        unsigned max;
        uint32_t flags;
        std::vector<std::string> param_texts;
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"five components", "Doe;John;;;", "", 5, 0, {""}, {"Doe", "John", "", "", ""}},
        {"escaped separator stays", "Doe\\;Jr;John", "", 5, 0, {""}, {"Doe\\;Jr", "John"}},
        {"components beyond the maximum", "a;b", "", 1, 0, {""}, {"a"}},
        {"charset and quoted-printable", "x", "ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1", 1,
         KOVA_FLAG_QUOTED_PRINTABLE | KOVA_FLAG_CHARSET,
         {"ENCODING=QUOTED-PRINTABLE", "CHARSET=ISO-8859-1"}, {"x"}},
        {"quoted-printable wins over base64", "x", "quoted-printable;BASE64", 1,
         KOVA_FLAG_QUOTED_PRINTABLE, {"quoted-printable", "BASE64"}, {"x"}},
        {"base64 wins over 8bit", "x", "8bit;b;ENCODING=base64", 1, KOVA_FLAG_BASE64,
         {"8bit", "b", "ENCODING=base64"}, {"x"}},
        {"8bit", "x", "ENCODING=8BIT", 1, KOVA_FLAG_8BIT, {"ENCODING=8BIT"}, {"x"}},
        {"empty parameters are kept", "x", "HOME;;VOICE", 1, 0, {"HOME", "", "VOICE"}, {"x"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PropertyNode *head = nullptr;
        PropertyNode *node = model::AppendProperty(&head);
        FillProperty(c.value, c.params, c.max, node);
        EXPECT_EQ(node->Flags, c.flags);
        EXPECT_EQ(node_texts(node->Params), c.param_texts);
        EXPECT_EQ(node_texts(node->Values), c.values);
        EXPECT_EQ(node->CodePage, 0u);
        model::release_property_list(head);
    }
    FillProperty("x", "", 1, nullptr);  // a node that could not be allocated
}

TEST(LineReader, FillPropertySurvivesEveryAllocationFailure)
{
    for (unsigned long n = 1; n < 20; ++n) {
        SCOPED_TRACE(n);
        PropertyNode *head = nullptr;
        PropertyNode *node = model::AppendProperty(&head);
        model::fail_allocation_after(n);
        FillProperty("a;b;c", "HOME;CHARSET=UTF-8", 3, node);
        model::fail_allocation_after(0);
        EXPECT_LE(node_texts(node->Values).size(), 3u);
        model::release_property_list(head);
    }
}

TEST(LineReader, FindsParametersBySubstring)
{
    PropertyNode *head = nullptr;
    PropertyNode *node = model::AppendProperty(&head);
    FillProperty("", ";x-quoted-printable-like;CHARSET=UTF-8", 1, node);
    EXPECT_STREQ(FindParam(node->Params, "QUOTED-PRINTABLE")->Text, "x-quoted-printable-like");
    EXPECT_STREQ(FindParam(node->Params, "CHARSET")->Text, "CHARSET=UTF-8");
    EXPECT_EQ(FindParam(node->Params, "BASE64"), nullptr);
    EXPECT_EQ(FindParam(node->Params, nullptr), nullptr);
    EXPECT_EQ(FindParam(nullptr, "CHARSET"), nullptr);
    model::release_property_list(head);
}

}  // namespace
}  // namespace kova::vobject
