// Quoted-printable as vObject values use it: every byte that is not a plain printable
// character becomes "=XX". Lines are never broken here; the line writer breaks after
// each encoded line feed, and the line reader joins soft line breaks before decoding.
#pragma once

#include <cstddef>
#include <string_view>

namespace kova::convert {

// Each returns the length of the whole result without terminator. With a null out it
// only measures; otherwise it writes what fits in size bytes, terminator included.

// Blank, tab and 33-126 stay, except "=", ":", ";" and backslash; every other byte is
// "=" and two upper-case hexadecimal digits.
size_t QpEncode(std::string_view bytes, char *out, size_t size);

// "=XX" gives the byte 16 * X + X, taken modulo 256, where a character that is not a
// hexadecimal digit counts as -1 (so "=G0" is F0). An "=" with fewer than two
// characters after it ends the text.
size_t QpDecode(std::string_view text, char *out, size_t size);

}  // namespace kova::convert
