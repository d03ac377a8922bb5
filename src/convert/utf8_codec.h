// The UTF-8 codec for code page 65001 where the platform's own conversion is missing.
// It handles the Basic Multilingual Plane only: no unit becomes four bytes, and a
// four-byte sequence does not decode.
#pragma once

#include <cstddef>

namespace kova::convert {

// UTF-16 to UTF-8; length -1 reads up to the terminator. The buffer is cleared first
// and keeps a terminator; a sequence that does not fit ends the conversion. Any
// surrogate unit fails the whole text with an empty result. Returns the bytes written.
size_t Utf8Encode(const char16_t *text, int length, char *out, size_t size);

// UTF-8 to UTF-16 units; length -1 reads up to the terminator. A byte that cannot
// start a sequence, or a sequence cut off by the end, ends the decoding. The buffer
// (size in units) is cleared first and keeps a terminator. Returns the units written.
size_t Utf8Decode(const char *bytes, int length, char16_t *out, size_t size);

}  // namespace kova::convert
