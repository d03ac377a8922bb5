#include "pim/rich_ink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace kova::pim {
namespace {

// Both ends of a stream: gives its bytes or takes the control's, at most `piece` a call,
// and returns `error` instead once `calls` calls have been served.
struct Pipe {
    std::string bytes = {};
    int32_t piece = 1 << 30;
    int calls = 1 << 30;
    uint32_t error = 5;
    size_t at = 0;
};

uint32_t give(uintptr_t cookie, uint8_t *buffer, int32_t count, int32_t *done)
{
    Pipe &p = *reinterpret_cast<Pipe *>(cookie);
    if (p.calls-- == 0) return p.error;
    size_t n = std::min({p.bytes.size() - p.at, size_t(count), size_t(p.piece)});
    std::memcpy(buffer, p.bytes.data() + p.at, n);
    p.at += n;
    *done = int32_t(n);
    return 0;
}

uint32_t take(uintptr_t cookie, uint8_t *buffer, int32_t count, int32_t *done)
{
    Pipe &p = *reinterpret_cast<Pipe *>(cookie);
    if (p.calls-- == 0) return p.error;
    *done = std::min(count, p.piece);
    p.bytes.append(reinterpret_cast<char *>(buffer), size_t(*done));
    return 0;
}

// The byte count and the stream's Error.
std::pair<int32_t, uint32_t> stream(RichInk &ink, bool in, uint32_t format, Pipe &&pipe,
                                    std::string *taken = nullptr)
{
    EditStream s{reinterpret_cast<uintptr_t>(&pipe), 0, in ? give : take};
    int32_t n = in ? ink.StreamIn(format, s) : ink.StreamOut(format, s);
    if (taken) *taken = pipe.bytes;
    return {n, s.Error};
}

std::string le_bytes(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) out += {char(c & 0xFF), char(c >> 8)};
    return out;
}

std::unique_ptr<RichInk> control_holding(std::u16string_view text)
{
    InitRichInkDLL();
    auto ink = RichInk::create(u"RichInk", kRichInkStyle);
    stream(*ink, true, kStreamText16, Pipe{le_bytes(text) + std::string(2, '\0'), 3});
    return ink;
}

// Byte for byte: a line end of any kind is a paragraph, a character outside printable
// ASCII is \uN with N signed and "?" for readers that skip it (a pair gives two).
TEST(RichInk, WritesItsTextAsAnRtfDocument)
{
    const std::string head =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0 ";
    const std::pair<std::u16string, std::string> kCases[] = {
        {u"", ""},
        {u" a{b}\\c", " a\\{b\\}\\\\c"},
        {u"1\r\n2\n3\r4\r\n", "1\\par\r\n2\\par\r\n3\\par\r\n4\\par\r\n"},
        {u"a\tb\x01\x7f", "a\\tab b\\u1?\\u127?"},
        {u"caf\u00e9 1\u20ac2", "caf\\u233? 1\\u8364?2"},
        {u"x\U0001F600\uffffy", "x\\u-10179?\\u-8704?\\u-1?y"},
    };
    for (const auto &[text, body] : kCases) {
        std::string doc;
        stream(*control_holding(text), false, kStreamInk, Pipe{}, &doc);
        EXPECT_EQ(doc, head + body + "}");
    }
}

TEST(RichInk, StreamsOutInPiecesUntilTheWriterStops)
{
    auto ink = control_holding(std::u16string(5000, u'\u00e9'));  // 35000 bytes out
    std::string whole, short_writes;
    stream(*ink, false, kStreamInk, Pipe{}, &whole);
    stream(*ink, false, kStreamInk, Pipe{"", 7}, &short_writes);
    EXPECT_EQ(short_writes, whole);
    EXPECT_EQ(stream(*ink, false, kStreamInk, Pipe{"", 1 << 30, 1}), std::make_pair(4096, 5u));
    EXPECT_EQ(stream(*ink, false, kStreamInk, Pipe{"", 0}), std::make_pair(0, 0u));  // no spin
    EXPECT_NE(stream(*ink, false, 2, Pipe{}).second, 0u);

    // Streamed in, what came before the writer's error is kept.
    EXPECT_EQ(stream(*ink, true, kStreamText16, Pipe{le_bytes(u"ab"), 1 << 30, 1, 7}),
              std::make_pair(4, 7u));
    stream(*ink, false, kStreamText16, Pipe{}, &whole);
    EXPECT_EQ(whole, le_bytes(u"ab"));
}

}  // namespace
}  // namespace kova::pim
