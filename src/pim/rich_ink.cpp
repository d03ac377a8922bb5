// The note control. It keeps the text it was given and writes it out as a small RTF
// document (the ink format), so a note file opens in any word processor:
//   {\rtf1\ansi\ansicpg1252\deff0\uc1{\fonttbl{\f0\fswiss Tahoma;}}\f0 a\{b\}\par
//   \u233?\tab x}
// Text outside ASCII goes as \uN? with N the signed 16-bit unit, one escape per unit
// (a surrogate pair gives two), and \uc1 tells readers to skip the "?" after each.
#include "pim/rich_ink.h"

#include <algorithm>
#include <cstdio>

namespace kova::pim {
namespace {

bool g_registered = false;  // InitRichInkDLL has run in this process

constexpr int32_t kChunk = 4096;         // bytes asked for or given per callback call
constexpr uint32_t kStreamFailed = 1;    // stream.Error for a format the control lacks

constexpr const char *kInkHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0 ";

std::string ink_document(const std::u16string &text)
{
    std::string out = kInkHeader;
    out.reserve(out.size() + text.size() + text.size() / 8 + 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {  // CR LF, LF and a lone CR each end a paragraph
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += "\\par\r\n";
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {  // other controls too: a raw control byte is noise to RTF readers
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%d?", static_cast<int16_t>(c));
            out += escape;
        }
    }
    out += '}';
    return out;
}

std::string text_bytes(const std::u16string &text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

}  // namespace

void InitRichInkDLL() { g_registered = true; }

std::unique_ptr<RichInk> RichInk::create(const std::u16string &class_name, uint32_t style)
{
    if (!g_registered || class_name != u"RichInk" || style != kRichInkStyle) return nullptr;
    return std::unique_ptr<RichInk>(new RichInk());
}

RichInk::~RichInk() = default;

int32_t RichInk::StreamIn(uint32_t format, EditStream &stream)
{
    if (format != kStreamText16) {
        stream.Error = kStreamFailed;
        return 0;
    }
    std::string bytes;
    uint8_t buffer[kChunk];
    for (;;) {
        int32_t done = 0;
        uint32_t error = stream.Callback(stream.Cookie, buffer, kChunk, &done);
        if (error != 0) {
            stream.Error = error;
            break;
        }
        if (done <= 0) break;
        bytes.append(reinterpret_cast<const char *>(buffer), std::min(done, kChunk));
    }
    text_.clear();
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {  // an odd last byte is no unit
        char16_t c = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                           static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (c == 0) break;
        text_ += c;
    }
    return static_cast<int32_t>(std::min<size_t>(bytes.size(), INT32_MAX));
}

int32_t RichInk::StreamOut(uint32_t format, EditStream &stream)
{
    std::string bytes;
    if (format == kStreamInk)
        bytes = ink_document(text_);
    else if (format == kStreamText16)
        bytes = text_bytes(text_);
    else {
        stream.Error = kStreamFailed;
        return 0;
    }
    size_t given = 0;
    while (given < bytes.size()) {
        int32_t count = static_cast<int32_t>(std::min<size_t>(bytes.size() - given, kChunk));
        int32_t done = 0;
        uint32_t error = stream.Callback(
            stream.Cookie, reinterpret_cast<uint8_t *>(&bytes[given]), count, &done);
        if (error != 0) {
            stream.Error = error;
            break;
        }
        if (done <= 0) break;  // a writer that takes nothing would never finish
        given += static_cast<size_t>(std::min(done, count));
    }
    return static_cast<int32_t>(std::min<size_t>(given, INT32_MAX));
}

}  // namespace kova::pim
