#include "pim/rich_ink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
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

bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A small RTF reader of our own: only ASCII bytes, one outer group that closes at the
// very end, the font table skipped, \par and \tab, \{ \} \\, and \uN with its one
// replacement character skipped (\uc1); other control words are dropped.
std::optional<std::u16string> rtf_text(std::string_view doc)
{
    if (doc.substr(0, 6) != "{\\rtf1") return std::nullopt;
    std::u16string out;
    int depth = 0, skipped_group = 0;
    for (size_t i = 0; i < doc.size();) {
        char c = doc[i++];
        if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth == skipped_group) skipped_group = 0;
            if (--depth == 0 && i != doc.size()) return std::nullopt;
        } else if (c == '\\' && i < doc.size() && !letter(doc[i])) {
            if (!skipped_group) out += char16_t(doc[i]);
            ++i;
        } else if (c == '\\') {
            size_t start = i;
            while (i < doc.size() && letter(doc[i])) ++i;
            std::string_view word = doc.substr(start, i - start);
            size_t digits = i;
            if (i < doc.size() && doc[i] == '-') ++i;
            while (i < doc.size() && doc[i] >= '0' && doc[i] <= '9') ++i;
            int number = i > digits ? std::stoi(std::string(doc.substr(digits, i - digits))) : 0;
            if (i < doc.size() && doc[i] == ' ') ++i;
            if (word == "fonttbl") skipped_group = depth;
            if (skipped_group) continue;
            if (word == "par") out += u"\r\n";
            if (word == "tab") out += u'\t';
            if (word == "u") {
                out += char16_t(int16_t(number));
                ++i;
            }
        } else if (c != '\r' && c != '\n' && !skipped_group) {
            out += char16_t(c);
        }
    }
    if (depth != 0) return std::nullopt;
    return out;
}

// First, while the class is not registered in this process.
TEST(RichInk, ExistsOnlyAsTheRegisteredClassAndStyle)
{
    EXPECT_EQ(RichInk::create(u"RichInk", kRichInkStyle), nullptr);
    InitRichInkDLL();
    EXPECT_EQ(RichInk::create(u"RICHINK", kRichInkStyle), nullptr);
    EXPECT_EQ(RichInk::create(u"RichInk", 0x801), nullptr);
    EXPECT_NE(RichInk::create(u"RichInk", kRichInkStyle), nullptr);
}

TEST(RichInk, TakesTextUpToItsNulInAnyPieces)
{
    auto ink = control_holding(u"");
    std::u16string text = u"h\u00e9\U0001F600";
    std::string back;
    Pipe source{le_bytes(text) + std::string(2, '\0') + le_bytes(u"tail") + "x", 3};
    EXPECT_EQ(stream(*ink, true, kStreamText16, std::move(source)), std::make_pair(19, 0u));
    stream(*ink, false, kStreamText16, Pipe{}, &back);
    EXPECT_EQ(back, le_bytes(text));

    EXPECT_EQ(stream(*ink, true, kStreamText16, Pipe{le_bytes(u"ab"), 1 << 30, 1, 7}),
              std::make_pair(4, 7u));  // what came before the error is kept
    stream(*ink, false, kStreamText16, Pipe{}, &back);
    EXPECT_EQ(back, le_bytes(u"ab"));
    EXPECT_EQ(stream(*ink, true, 2, Pipe{"{\\rtf1 x}"}).first, 0);  // no RTF in
    EXPECT_NE(stream(*ink, true, 2, Pipe{"{\\rtf1 x}"}).second, 0u);
}

TEST(RichInk, WritesItsTextAsAnRtfDocument)
{
    const struct {
        const char *name;
        std::u16string text, read_back;
    } kCases[] = {
        {"empty", u"", u""},
        {"ASCII, escapes, leading blank", u" a{b}\\c", u" a{b}\\c"},
        {"line breaks", u"1\r\n2\n3\r4\r\n", u"1\r\n2\r\n3\r\n4\r\n"},
        {"tab and control", u"a\tb\x01", u"a\tb\x01"},
        {"digits after escapes", u"caf\u00e9 1\u20ac2", u"caf\u00e9 1\u20ac2"},
        {"surrogate pair", u"x\U0001F600y", u"x\U0001F600y"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        std::string doc;
        stream(*control_holding(c.text), false, kStreamInk, Pipe{}, &doc);
        EXPECT_EQ(rtf_text(doc), c.read_back) << doc;
        EXPECT_NE(doc.find("\\ansi"), std::string::npos);
        EXPECT_NE(doc.find("\\uc1"), std::string::npos);
    }
    std::string doc;
    stream(*control_holding(u"\U0001F600"), false, kStreamInk, Pipe{}, &doc);
    EXPECT_NE(doc.find("\\u-10179?\\u-8704?"), std::string::npos) << doc;
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
}

}  // namespace
}  // namespace kova::pim
