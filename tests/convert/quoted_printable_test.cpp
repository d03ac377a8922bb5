#include "convert/quoted_printable.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::convert {
namespace {

struct QpCase {
    const char *name;
    std::string plain;
    std::string encoded;
};

TEST(QuotedPrintable, EncodesAllButPlainPrintables)
{
    const QpCase kCases[] = {
        {"line feed", "\n", "=0A"},
        {"blank and tab stay, also at the end", "a \t ", "a \t "},
        {"colon", ":", "=3A"},
        {"the four reserved characters", "a=b;c\\d", "a=3Db=3Bc=5Cd"},
        {"CR LF", "x\r\ny", "x=0D=0Ay"},
        {"high bytes", "\xE9\xFF", "=E9=FF"},
        {"edges of the printable range", "!~\x7F\x1F", "!~=7F=1F"},
        {"NUL", std::string("\0", 1), "=00"},
    };
    for (const QpCase &c : kCases) {
        SCOPED_TRACE(c.name);
        std::string out(c.encoded.size() + 1, 'x');
        EXPECT_EQ(QpEncode(c.plain, nullptr, 0), c.encoded.size());
        EXPECT_EQ(QpEncode(c.plain, out.data(), out.size()), c.encoded.size());
        EXPECT_EQ(out, c.encoded + '\0');
    }
}

TEST(QuotedPrintable, DecodesEveryEqualsSign)
{
    const QpCase kCases[] = {
        {"upper case digits", "A\xE9", "=41=E9"},
        {"lower case digits", "\xE9", "=e9"},
        {"a non-digit counts as -1", "\xF0", "=G0"},
        {"two non-digits", "\xEF", "=GG"},
        {"soft break characters are not special", "\r\n", "=0D=0A"},
        {"an equals sign short of two characters ends the text", "ab", "ab=4"},
        {"a bare equals sign at the end", "ab", "ab="},
        {"NUL byte", std::string("a\0b", 3), "a=00b"},
    };
    for (const QpCase &c : kCases) {
        SCOPED_TRACE(c.name);
        std::string out(c.plain.size() + 1, 'x');
        EXPECT_EQ(QpDecode(c.encoded, nullptr, 0), c.plain.size());
        EXPECT_EQ(QpDecode(c.encoded, out.data(), out.size()), c.plain.size());
        EXPECT_EQ(out, c.plain + '\0');
    }
}

TEST(QuotedPrintable, SmallBuffersGetWholeEscapesAndATerminator)
{
    char out[8];
    EXPECT_EQ(QpEncode("a::", out, 6), 7u);  // "a=3A" fits, the second escape does not
    EXPECT_STREQ(out, "a=3A");
    EXPECT_EQ(QpEncode("::", out, 3), 6u);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(QpDecode("abcdef", out, 4), 6u);
    EXPECT_STREQ(out, "abc");
}

}  // namespace
}  // namespace kova::convert
