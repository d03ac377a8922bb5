#include "store/record_text.h"

#include <cctype>
#include <cstdio>
#include <new>

#include "convert/charset.h"
#include "convert/value_text.h"
#include "model/alloc.h"
#include "model/record.h"

namespace kova::store {

std::u16string value_text(PropertyNode *list, unsigned index)
{
    std::u16string text;
    if (!convert::value_to_text(list, index, text)) throw std::bad_alloc();
    return text;
}

PropertyNode *append_property(PropertyNode **list)
{
    PropertyNode *node = model::AppendProperty(list);
    if (!node) throw std::bad_alloc();
    return node;
}

void put_param(PropertyNode *node, const char *param)
{
    char *text = param ? model::copy_text(param) : nullptr;
    if (param && !text) throw std::bad_alloc();
    TextNode **end = &node->Params;
    while (*end) end = &(*end)->Next;
    model::AddParam(node, text);  // releases the text when it cannot link it
    if (!*end) throw std::bad_alloc();
}

void put_value(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index)
{
    if (!convert::text_to_value(text, node, flags, index)) throw std::bad_alloc();
}

void put_date(double date, PropertyNode *node, bool with_time, bool local)
{
    if (!convert::PutDate(date, node, with_time, local)) throw std::bad_alloc();
}

bool has_value(const PropertyNode *list) { return model::first_value(list, 0) != nullptr; }

const char *raw_text(const PropertyNode *list)
{
    const char *text = model::first_value(list, 0);
    return text ? text : "";
}

std::string date_text(PropertyNode *list, unsigned index)
{
    constexpr size_t kDateTextLimit = 30;
    std::string text = convert::narrow_system(value_text(list, index));
    if (text.size() > kDateTextLimit) text.resize(kDateTextLimit);
    return text;
}

void put_first(std::u16string &slot, PropertyNode *list)
{
    if (list) slot = value_text(list, 0);
}

void add_text(PropertyNode **list, const std::u16string &text,
              std::initializer_list<const char *> params, uint32_t flags)
{
    if (text.empty()) return;
    PropertyNode *node = append_property(list);
    for (const char *param : params) put_param(node, param);
    put_value(text, node, flags, 0);
}

void add_date(PropertyNode **list, double date, bool with_time, bool local)
{
    if (date == convert::NoDate) return;
    put_date(date, append_property(list), with_time, local);
}

void format_id(char *buffer, size_t capacity, uint32_t id)
{
    if (capacity) std::snprintf(buffer, capacity, "%08x", id);
}

std::optional<uint32_t> parse_id(const char *text)
{
    if (!text) return std::nullopt;
    const char *p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2])))
        p += 2;
    uint64_t value = 0;
    const char *digits = p;
    for (; std::isxdigit(static_cast<unsigned char>(*p)); ++p) {
        value = value * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(*p))
                                                       ? *p - '0'
                                                       : std::tolower(*p) - 'a' + 10);
        if (value > UINT32_MAX) return std::nullopt;
    }
    if (p == digits) return std::nullopt;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p) return std::nullopt;
    return static_cast<uint32_t>(value);
}

}  // namespace kova::store
