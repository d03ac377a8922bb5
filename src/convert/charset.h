// Charset names and code pages: the table that maps one to the other, the process's
// default code pages (cached on first use, from the system locale and the stack
// configuration), and the conversion of bytes in a code page to UTF-16.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova::convert {

constexpr uint32_t kUtf8CodePage = 65001;

// The code page of the first table row whose name equals the upper-cased name; 0 for
// an unknown, null or empty name. "ISO-8859-1" gives 1252, "ISO-2022-JP" 50220.
uint32_t CharsetToCodePage(const char *name);
// The name of the first row with the code page, or null: 1252 gives "US-ASCII".
const char *CodePageToCharset(uint32_t code_page);

// The system's ANSI code page; 0 when the locale cannot be read, which is not cached.
uint32_t NativeCodePage();
// DefaultInputCharset: 1252 when unset, the native code page when it is "NATIVE" or
// a name outside the table (logged once per computation).
uint32_t InputCodePage();
// DefaultOutputCharset: 65001 when unset, otherwise as the input code page.
uint32_t OutputCodePage();
// The charset name of the output code page; null for 1252 or a code page outside the
// table.
const char *OutputCharsetName();

// Replaces out with the bytes converted from the code page, up to the first NUL.
// A code page the platform lacks converts with the system's code page instead (65001
// with our own UTF-8 decoder).
void BytesToText(uint32_t code_page, std::string_view bytes, std::u16string &out);

// Conversions "with the system's code page": the native code page, or 1252 when the
// locale cannot be read or names a code page the platform lacks.
std::u16string widen_system(std::string_view bytes);
std::string narrow_system(std::u16string_view text);

}  // namespace kova::convert
