// Record values to and from the store's UTF-16 text, one value component at a time.
// Record text is bytes in a code page, maybe quoted-printable, with vCard backslash
// escapes; the code page a node's text is in is decided once and kept in its CodePage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/ole_date.h"
#include "kova/kova.h"

namespace kova::convert {

// TextToValue flag: the value may be encoded quoted-printable.
constexpr uint32_t kAllowQuotedPrintable = 1;
// Longest charset name taken from a parameter.
constexpr size_t kCharsetNameLimit = 260;

// Replaces out with component index of the node: quoted-printable (or a bare
// "=0D=0A") decoded, converted from its code page, escapes removed ("\;" is ";",
// "\\" is "\", "\n" is "n"). Empty when the node or the component is missing.
std::u16string &ValueToText(PropertyNode *node, unsigned index, std::u16string &out);
// As ValueToText; false when memory ran out, which leaves out empty too.
bool value_to_text(PropertyNode *node, unsigned index, std::u16string &out);

// Stores text as component index: ";" and "\" escaped, in 1252 when it is ASCII, else
// in the output code page with a CHARSET parameter, and quoted-printable when allowed
// and needed, with one ENCODING parameter per node. Does nothing for empty text, and
// leaves the node as it was when memory runs out.
void TextToValue(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index);
// As TextToValue; false when memory ran out.
bool text_to_value(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index);

// A message body, by its Content-Transfer-Encoding and the charset of its Content-Type.
// Escapes stay as they are. Empty when memory runs out.
void MessageBodyToText(const char *body, const char *content_type,
                       const char *transfer_encoding, std::u16string &out);
// As MessageBodyToText; false when memory ran out.
bool message_body_to_text(const char *body, const char *content_type,
                          const char *transfer_encoding, std::u16string &out);

// Every occurrence of pattern replaced; the replacement is never longer.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// "CHARSET=UTF-8" -> "UTF-8": after the first "=" up to a blank, at most limit
// characters; empty without "=".
std::string GetParamValue(std::string_view parameter, size_t limit);

bool IsAscii(std::u16string_view text);

// The date as ISO 8601 text (FormatIsoDate) in the system's code page, as component 0;
// false when memory ran out.
bool PutDate(double date, PropertyNode *node, bool with_time, bool local);
// Component 0 read by ParseIsoDate; NoDate when the node or the value is missing or
// the date is invalid.
double GetDate(const PropertyNode *node);

}  // namespace kova::convert
