#include "convert/utf8_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::convert {
namespace {

TEST(Utf8Codec, ConvertsWholeSequencesThatFit)
{
    const std::tuple<std::u16string, size_t, std::string> kEncoded[] = {
        {u"a\u00E9\u20AC\uFFFF", 64, "a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF"},
        {u"\u00E9\u20AC", 5, "\xC3\xA9"},  // the euro would take the terminator's place
        {u"\u00E9\u20AC", 6, "\xC3\xA9\xE2\x82\xAC"},
        {u"abc\U0001F600", 64, ""},        // any surrogate fails it all
    };
    for (const auto &[text, size, bytes] : kEncoded) {
        std::string out(size, 'x');
        size_t n = Utf8Encode(text.data(), static_cast<int>(text.size()), out.data(), size);
        EXPECT_EQ(out.substr(0, n + 1), bytes + '\0');
    }
    const std::tuple<std::string, size_t, std::u16string> kDecoded[] = {
        {"a\xC3\xA9\xE2\x82\xAC", 8, u"a\u00E9\u20AC"},
        {"ab\x80z", 8, u"ab"},                // a continuation byte cannot start
        {"a\xE2\x82", 8, u"a"},               // cut off
        {"\xF0\x9F\x98\x80z", 8, u"\u07D8"},  // read as three bytes; the fourth stops it
        {"abcdef", 4, u"abc"},
    };
    for (const auto &[bytes, size, text] : kDecoded) {
        char16_t out[8];
        EXPECT_EQ(Utf8Decode(bytes.c_str(), -1, out, size), text.size());
        EXPECT_EQ(std::u16string(out), text);
    }
}

}  // namespace
}  // namespace kova::convert
