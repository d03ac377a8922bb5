#include "convert/quoted_printable.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::convert {
namespace {

using Codec = size_t (*)(std::string_view, char *, size_t);

std::string run(Codec codec, std::string_view in)
{
    std::string out(codec(in, nullptr, 0) + 1, 'x');
    EXPECT_EQ(codec(in, out.data(), out.size()), out.size() - 1);
    EXPECT_EQ(out.back(), '\0');
    return out.substr(0, out.size() - 1);
}

TEST(QuotedPrintable, EncodesAllButPlainPrintables)
{
    const std::pair<std::string, std::string> kCases[] = {
        {"\n", "=0A"},
        {":", "=3A"},
        {"a \t ", "a \t "},  // blanks stay, also at the end
        {"a=b;c\\d", "a=3Db=3Bc=5Cd"},
        {"\xE9\xFF!~\x7F\x1F", "=E9=FF!~=7F=1F"},
        {std::string("\0", 1), "=00"},
    };
    for (const auto &[plain, encoded] : kCases) {
        SCOPED_TRACE(encoded);
        EXPECT_EQ(run(QpEncode, plain), encoded);
    }
}

TEST(QuotedPrintable, DecodesEveryEqualsSign)
{
    const std::pair<std::string, std::string> kCases[] = {
        {"=41=e9=0D=0A", "A\xE9\r\n"},
        {"=G0", "\xF0"},  // a non-digit counts as -1
        {"=GG", "\xEF"},
        {"ab=4", "ab"},  // short of two characters: the end
        {"ab=", "ab"},
        {"a=00b", std::string("a\0b", 3)},
    };
    for (const auto &[encoded, plain] : kCases) {
        SCOPED_TRACE(encoded);
        EXPECT_EQ(run(QpDecode, encoded), plain);
    }
    char out[8];
    EXPECT_EQ(QpEncode("a::", out, 6), 7u);  // whole escapes only
    EXPECT_STREQ(out, "a=3A");
    EXPECT_EQ(QpDecode("abcdef", out, 4), 6u);
    EXPECT_STREQ(out, "abc");
}

}  // namespace
}  // namespace kova::convert
