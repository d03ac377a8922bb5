#include "convert/utf8_codec.h"

#include <algorithm>

namespace kova::convert {
namespace {

// The given length, or the units up to the terminator for -1.
template <class Unit> size_t input_length(const Unit *text, int length)
{
    if (length >= 0) return static_cast<size_t>(length);
    size_t count = 0;
    while (text[count]) ++count;
    return count;
}

}  // namespace

size_t Utf8Encode(const char16_t *text, int length, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    std::fill(out, out + size, '\0');
    if (!text) return 0;
    size_t count = input_length(text, length);
    for (size_t i = 0; i < count; ++i)
        if (text[i] >= 0xD800 && text[i] <= 0xDFFF) return 0;
    size_t written = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned u = text[i];
        size_t need = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (written + need > size - 1) break;
        if (need == 1) {
            out[written++] = static_cast<char>(u);
        } else if (need == 2) {
            out[written++] = static_cast<char>(0xC0 | (u >> 6));
            out[written++] = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out[written++] = static_cast<char>(0xE0 | (u >> 12));
            out[written++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out[written++] = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return written;
}

size_t Utf8Decode(const char *bytes, int length, char16_t *out, size_t size)
{
    if (!out || size == 0) return 0;
    std::fill(out, out + size, u'\0');
    if (!bytes) return 0;
    size_t count = input_length(bytes, length);
    auto byte = [bytes](size_t i) { return unsigned{static_cast<unsigned char>(bytes[i])}; };
    size_t written = 0;
    size_t i = 0;
    while (i < count && written < size - 1) {
        unsigned b = byte(i);
        unsigned unit;
        if (b < 0x80) {
            unit = b;
            i += 1;
        } else if ((b & 0xE0) == 0xE0) {  // 1110xxxx, and the longer forms read alike
            if (i + 2 >= count) break;
            unit = ((b & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
            i += 3;
        } else if ((b & 0xC0) == 0xC0) {
            if (i + 1 >= count) break;
            unit = ((b & 0x1F) << 6) | (byte(i + 1) & 0x3F);
            i += 2;
        } else {
            break;  // a continuation byte cannot start a sequence
        }
        out[written++] = static_cast<char16_t>(unit);
    }
    return written;
}

}  // namespace kova::convert
