#include "interface/object_name.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "convert/charset.h"
#include "convert/value_text.h"

namespace kova::api {
namespace {

// Component index of the first occurrence, as UTF-16; empty for an absent list. A value
// that could not be converted throws, so that no name is made of the other parts.
std::u16string text_of(PropertyNode *list, unsigned index = 0)
{
    std::u16string text;
    if (!convert::value_to_text(list, index, text)) throw std::bad_alloc();
    return text;
}

// FN, or else the N components in the order a person is addressed:
// prefix, given, additional, family, suffix.
std::u16string contact_name(const ContactRecord &contact)
{
    std::u16string name = text_of(contact.FN);
    if (!name.empty()) return name;
    for (unsigned index : {3u, 1u, 2u, 0u, 4u}) {
        std::u16string part = text_of(contact.N, index);
        if (part.empty()) continue;
        if (!name.empty()) name += u' ';
        name += part;
    }
    return name;
}

std::u16string calendar_name(const CalendarRecord &item)
{
    std::u16string name = text_of(item.Summary);
    if (item.Kind == KOVA_KIND_APPOINTMENT) {
        std::u16string location = text_of(item.Appointment.Location);
        if (!location.empty()) name += u" (" + location + u")";
    }
    return name;
}

// A caller-built record may leave a header unterminated; it ends with its array.
template <size_t N> std::string_view header(const char (&field)[N])
{
    return std::string_view(field, strnlen(field, N));
}

std::u16string message_name(const MessageRecord &message)
{
    std::u16string from = convert::widen_system(header(message.From));
    std::u16string subject = convert::widen_system(header(message.Subject));
    return from.empty() ? subject : from + u" - " + subject;
}

std::u16string display_name(uint32_t type, const ObjectRecord &record)
{
    switch (type) {
    case KOVA_TYPE_CONTACT: return contact_name(record.Contact);
    case KOVA_TYPE_CALENDAR: return calendar_name(record.Calendar);
    case KOVA_TYPE_NOTE: return text_of(record.Note.Summary);
    case KOVA_TYPE_MESSAGE:
    case KOVA_TYPE_MESSAGE_SENT:
    case KOVA_TYPE_MESSAGE_OUTBOX: return message_name(record.Message);
    }
    return {};
}

}  // namespace

uint32_t object_name(uint32_t type, const ObjectRecord *record, char16_t *buffer, uint32_t size)
{
    std::u16string name;
    try {
        if (record) name = display_name(type, *record);
    } catch (const std::bad_alloc &) {
        name.clear();  // no memory for the name: an empty one, measured and terminated
    }
    if (buffer && size > 0) {
        size_t n = std::min<size_t>(name.size(), size - 1);
        name.copy(buffer, n);
        buffer[n] = u'\0';
    }
    return static_cast<uint32_t>(name.size());
}

}  // namespace kova::api
