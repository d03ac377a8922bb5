#include "convert/quoted_printable.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::convert {
namespace {

using Codec = size_t (*)(std::string_view, char *, size_t);

TEST(QuotedPrintable, EncodesAndDecodesEveryByte)
{
    const std::tuple<Codec, std::string, std::string> kCases[] = {
        {QpEncode, "a \t ", "a \t "},  // blanks stay, also at the end
        {QpEncode, "a=b;c\\d:", "a=3Db=3Bc=5Cd=3A"},
        {QpEncode, std::string("\xE9\xFF!~\x7F\x1F\n\0", 8), "=E9=FF!~=7F=1F=0A=00"},
        {QpDecode, "=41=e9=0D=0A=00b", std::string("A\xE9\r\n\0b", 6)},
        {QpDecode, "=G0=GG", "\xF0\xEF"},  // a non-digit counts as -1
        {QpDecode, "ab=4", "ab"},  // short of two characters: the end
    };
    for (const auto &[codec, in, result] : kCases) {
        SCOPED_TRACE(in);
        std::string out(codec(in, nullptr, 0) + 1, 'x');
        EXPECT_EQ(codec(in, out.data(), out.size()), result.size());
        EXPECT_EQ(out, result + '\0');
    }
    char out[8];
    EXPECT_EQ(QpEncode("a::", out, 6), 7u);  // whole escapes only
    EXPECT_STREQ(out, "a=3A");
    EXPECT_EQ(QpDecode("abcdef", out, 4), 6u);
    EXPECT_STREQ(out, "abc");
}

}  // namespace
}  // namespace kova::convert
