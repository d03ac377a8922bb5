// UTF-8 <-> UTF-16 for file names and registry texts. Malformed input never fails:
// each bad sequence becomes U+FFFD, so a name can always be shown in a log line.
#pragma once

#include <string>
#include <string_view>

namespace kova::base {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
// Appends the code point's UTF-8 bytes.
void append_utf8(std::string &out, char32_t c);

// Length of a NUL-terminated UTF-16 text; 0 for null.
size_t utf16_length(const char16_t *text);

// The file name as the C runtime wants it; the empty text for null.
std::string path_to_utf8(const char16_t *path);

}  // namespace kova::base
