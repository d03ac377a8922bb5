#include "vobject/read/line_reader.h"

#include <gtest/gtest.h>

#include "base/file.h"
#include "model/record.h"
#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

// All logical lines of content up to the empty text at the end, read through a stream
// buffer of the given size (0: the default), so that the lines straddle its refills.
std::vector<std::string> logical_lines(std::string content, size_t buffer_size = 0)
{
    FILE *f = fmemopen(content.data(), content.size(), "rb");
    std::vector<char> buffer(buffer_size);
    if (buffer_size) setvbuf(f, buffer.data(), _IOFBF, buffer_size);
    std::vector<std::string> lines;
    while (lines.size() < 100) {
        char *line = FileLine(f);
        lines.emplace_back(line);
        model::release(line);
        if (lines.back().empty() && base::at_end(f)) break;
    }
    std::fclose(f);
    return lines;
}

TEST(LineReader, UnfoldsLinesAndDropsSoftBreaks)
{
    struct Case { const char *name; std::string content; std::vector<std::string> lines; };
    const Case cases[] = {
        {"soft breaks", "NOTE:a=\r\nb=\nc=0D=0A\r\n", {"NOTE:abc=0D=0A", ""}},
        {"an escaped '=' is no soft break", "NOTE:abc==\r\ndef\r\n", {"NOTE:abc==", "def", ""}},
        {"an odd run of '=' ends in a soft break", "A:===\r\n==\nB:=41=\r\n x\r\n",
         {"A:====", "B:=41 x", ""}},
        {"a fold after a soft break", "A:1=\r\n\r\n 2\r\n", {"A:1 2", ""}},
        {"a tab or the first of two blanks continues", "N:a\r\n\tb\r\n  c\r\n", {"N:a b  c", ""}},
        {"last byte is '='", "NOTE:abc=", {"NOTE:abc=", ""}},
        {"a CR takes the next byte as its LF", "A:1\rXB:2\r\n", {"A:1", "B:2", ""}},
        {"the text ends at a NUL", std::string("A:x\0y\r\nB:2\r\n", 11), {"A:x", "B:2", ""}},
        {"an '=' takes a NUL along", std::string("A:x=\0=\r\ny\r\nB:2\r\n", 16),
         {"A:x=", "B:2", ""}},
        {"long runs between breaks",
         "NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9 and a line long enough for whole blocks=\r\n"
         "=0D=0Aand more\r\n\tfolded\r\nX:1",
         {"NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9 and a line long enough for whole blocks"
          "=0D=0Aand more folded",
          "X:1", ""}},
    };
    for (const Case &c : cases) {
        for (size_t buffer_size : {0, 1, 2, 3, 5, 17}) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(buffer_size));
            EXPECT_EQ(logical_lines(c.content, buffer_size), c.lines);
        }
    }
    const std::string big = "NOTE:" + std::string(10u << 20, 'a');  // compared quietly
    EXPECT_TRUE(logical_lines(big + "\r\nX:1\r\n") == (std::vector<std::string>{big, "X:1", ""}));
}

// A property line as split_clean and FillProperty leave it:
// "name|components|each parameter text and ';'[flags when set]".
std::string parsed(std::string line, unsigned max, unsigned long fail_at = 0)
{
    LineBuffers buffers;
    const char *value = split_clean(line.data(), buffers);
    PropertyNode *head = nullptr;
    PropertyNode *node = model::AppendProperty(&head);
    model::fail_allocation_after(fail_at);
    FillProperty(value, buffers.params, max, node);
    model::fail_allocation_after(0);
    std::string out = buffers.name + ("|" + testing::join(node->Values, ",")) + "|";
    for (const TextNode *t = node->Params; t; t = t->Next) out += std::string(t->Text) + ";";
    if (node->Flags) out += "[" + std::to_string(node->Flags) + "]";
    model::release_property_list(head);
    return out;
}

TEST(LineReader, SplitsAndFillsPropertyLines)
{
    struct Case { const char *name; std::string line; unsigned max; std::string node;
                  unsigned long fail_at = 0; };
    const Case cases[] = {
        {"no parameters give one empty text", "URL:http://x", 1, "URL|http://x|;"},
        {"no colon", "TEL", 1, "TEL||;"},
        {"blanks leave name and parameters, not the value", " N ; CHARSET = UTF-8 : a b", 1,
         "N| a b|CHARSET=UTF-8;[8]"},
        {"escaped semicolon in the name", "A\\;B:v", 1, "A\\;B|v|;"},
        {"escaped colon is no escape", "A\\:B", 1, "A\\|B|;"},
        {"name cut at 51", std::string(60, 'N') + ":v", 1, std::string(51, 'N') + "|v|;"},
        {"parameters cut at 127", "A;" + std::string(200, 'p') + ":v", 1,
         "A|v|" + std::string(127, 'p') + ";"},
        {"five components, empty ones kept", "N:Doe;John;;;", 5, "N|Doe,John,,,|;"},
        {"quoted-printable before base64", "X;quoted-printable;BASE64:x", 1,
         "X|x|quoted-printable;BASE64;[1]"},
        {"base64 before 8bit", "X;8bit;b;ENCODING=base64:x", 1, "X|x|8bit;b;ENCODING=base64;[2]"},
        {"8bit with a charset", "X;CHARSET=A;8BIT:x", 1, "X|x|CHARSET=A;8BIT;[12]"},
        {"empty parameters kept; words match inside one, in any case",
         "X;;X-QUOTED-PRINTABLE-LIKE;charset=a:x", 1, "X|x|;X-QUOTED-PRINTABLE-LIKE;charset=a;[9]"},
        {"a parameter without memory is lost alone", "X;HOME;CHARSET=UTF-8:a;b;c", 3,
         "X|a,b,c|HOME;", 3},
        {"a component without memory keeps the next one's place", "X;HOME:a;b;c", 3,
         "X|a,(null),c|HOME;", 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parsed(c.line, c.max, c.fail_at), c.node);
    }
    FillProperty("x", "", 1, nullptr);  // a node that could not be allocated
}

// The leading number is read as strtod reads it.
TEST(LineReader, AcceptsVersionsUpToTheLimit)
{
    for (const char *text : {"2.1", "2.0", "1.0", "2.1beta", "-1", " 1.0"})
        EXPECT_TRUE(VersionAccepted(text, 2.1)) << text;
    for (const char *text : {"3.0", "", "0.0", "abc", "2.10000001", "nan", "inf"})
        EXPECT_FALSE(VersionAccepted(text, 2.1)) << text;
}

}  // namespace
}  // namespace kova::vobject
