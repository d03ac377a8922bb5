#include "convert/utf8_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::convert {
namespace {

std::string encode(std::u16string_view text, size_t size)
{
    std::string out(size, 'x');
    size_t n = Utf8Encode(text.data(), static_cast<int>(text.size()), out.data(), size);
    EXPECT_EQ(out[n], '\0');  // the rest is cleared
    return out.substr(0, n);
}

std::u16string decode(std::string_view bytes, size_t size = 64)
{
    std::u16string out(size, u'x');
    size_t n = Utf8Decode(bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    EXPECT_EQ(out[n], u'\0');
    return out.substr(0, n);
}

TEST(Utf8Codec, EncodesOneToThreeBytes)
{
    EXPECT_EQ(encode(u"a\u00E9\u20AC\uFFFF", 64), "a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF");
    EXPECT_EQ(encode(u"\u00E9\u20AC", 5), "\xC3\xA9");  // the euro would leave no terminator
    EXPECT_EQ(encode(u"\u00E9\u20AC", 6), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(encode(u"abc\U0001F600", 64), "");  // a surrogate fails it all
    EXPECT_EQ(encode(u"ab\xDC00", 2), "");
    char out[8];
    EXPECT_EQ(Utf8Encode(u"h\u00E9", -1, out, sizeof out), 3u);
    EXPECT_STREQ(out, "h\xC3\xA9");
}

TEST(Utf8Codec, DecodesUntilABadByte)
{
    struct Case {
        const char *name;
        std::string bytes;
        std::u16string text;
    };
    const Case kCases[] = {
        {"one to three bytes", "a\xC3\xA9\xE2\x82\xAC", u"a\u00E9\u20AC"},
        {"a continuation byte cannot start", "ab\x80z", u"ab"},
        {"a two-byte sequence cut off", "a\xC3", u"a"},
        {"a three-byte sequence cut off", "a\xE2\x82", u"a"},
        {"four bytes read as three, then the fourth stops it", "\xF0\x9F\x98\x80z", u"\u07D8"},
        {"continuation bits are not checked", "\xC3" "A", u"\u00C1"},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.bytes), c.text);
    }
    EXPECT_EQ(decode("abcdef", 4), u"abc");
    char16_t out[8];
    EXPECT_EQ(Utf8Decode("h\xC3\xA9", -1, out, 8), 2u);
    EXPECT_EQ(std::u16string(out), u"h\u00E9");
}

}  // namespace
}  // namespace kova::convert
