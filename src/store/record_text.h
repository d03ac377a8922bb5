// What every conversion of the bridge does with record values and object ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "kova/kova.h"

namespace kova::store {

// Component index of the list's first occurrence as UTF-16 (quoted-printable, charset
// and escapes undone); empty when the list or the component is missing.
// Running out of memory anywhere below throws std::bad_alloc, here and in the put_
// helpers, so that an operation never stores or hands out an object with parts missing:
// the exported functions answer 11 and release what the record holds.
std::u16string value_text(PropertyNode *list, unsigned index = 0);

// Building a record from an item: a new occurrence at the end of the list, a parameter
// (null: one without text), a value component (TextToValue), a date (PutDate).
PropertyNode *append_property(PropertyNode **list);
void put_param(PropertyNode *node, const char *param);
void put_value(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index);
void put_date(double date, PropertyNode *node, bool with_time, bool local);

// Whether the list's first occurrence has a component 0 text.
bool has_value(const PropertyNode *list);

// Component 0 of the first occurrence as it stands in the record; "" when missing.
const char *raw_text(const PropertyNode *list);

// Component index of the list's first occurrence as a date text for ParseIsoDate:
// converted to UTF-16, narrowed to the system code page and cut to its first 30
// characters, as the device's fixed conversion buffer holds no more.
std::string date_text(PropertyNode *list, unsigned index = 0);

// The slot takes component 0 of the list's first occurrence when the list is present
// (an empty text too).
void put_first(std::u16string &slot, PropertyNode *list);

// A new occurrence at the list's tail with the parameters and the text as component 0,
// when the text is not empty; flags as for TextToValue.
void add_text(PropertyNode **list, const std::u16string &text,
              std::initializer_list<const char *> params = {}, uint32_t flags = 0);

// A new occurrence with the date as FormatIsoDate writes it, unless it is NoDate.
void add_date(PropertyNode **list, double date, bool with_time = false, bool local = true);

// An object id as eight lower-case hexadecimal digits.
void format_id(char *buffer, size_t capacity, uint32_t id);
template <size_t N> void format_id(char (&buffer)[N], uint32_t id) { format_id(buffer, N, id); }

// An id text as one hexadecimal number of 32 bits ("2a", "0000002a", "0x2a"; blanks
// around it are allowed); nullopt for anything else.
std::optional<uint32_t> parse_id(const char *text);

}  // namespace kova::store
