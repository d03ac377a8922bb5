// Messages: a MessageRecord into the message store's structure. Header texts are
// record bytes widened with the system code page; the body is decoded by its own
// Content-Type and Content-Transfer-Encoding and gets CR LF for every LF, so a body
// that already had CR LF ends up with CR CR LF, as the store has always seen it.
//
// The store's body length has 16 bits. A longer body keeps all its text in Body, but
// the length says 65535 units (65534 where the 65535th would be the first half of a
// surrogate pair), so the store takes the first 64 K units rather than the length
// modulo 65536.
#include "store/message.h"

#include <cstring>
#include <new>
#include <string_view>

#include "convert/charset.h"
#include "convert/message_date.h"
#include "convert/value_text.h"

namespace kova::store {
namespace {

constexpr size_t kMaxBodyLength = 0xFFFF;

// A record array up to its NUL, or whole when a caller left it unterminated.
template <size_t N> std::string text_of(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// "|a|b" -> "a" separator "b": the first character goes and every '|' is a separator.
std::string entry_list(std::string_view entries, std::string_view separator)
{
    std::string out;
    for (char c : entries.substr(1)) {
        if (c == '|')
            out += separator;
        else
            out += c;
    }
    return out;
}

// The header itself, else the caller's entry list, else its second one; the first of
// the three that is not empty decides, even when its list comes out empty.
std::string header_or_entries(const std::string &header, const std::string &entries,
                              const std::string &alt_entries)
{
    if (!header.empty()) return header;
    if (!entries.empty()) return entry_list(entries, "; ");
    if (!alt_entries.empty()) return entry_list(alt_entries, ";");
    return {};
}

void set_header(pim::StoreMessage &message, const std::u16string &name, const std::string &value)
{
    if (!value.empty()) pim::MailSetField(message, name, convert::widen_system(value));
}

uint16_t body_length(const std::u16string &body)
{
    if (body.size() <= kMaxBodyLength) return static_cast<uint16_t>(body.size());
    char16_t last = body[kMaxBodyLength - 1];
    bool splits_pair = last >= 0xD800 && last < 0xDC00;
    return static_cast<uint16_t>(splits_pair ? kMaxBodyLength - 1 : kMaxBodyLength);
}

}  // namespace

void pol_PutMessage(pim::StoreMessage &message, MessageRecord &record, std::u16string &body)
{
    message.Flags |= text_of(record.IrmcStatus) == "UNREAD" ? pim::kMailUnread : pim::kMailRead;
    set_header(message, u"Return-path", text_of(record.ReturnPath));
    std::string date = text_of(record.Date);
    if (!date.empty()) message.Date = convert::MessageDateToFileTime(date.c_str());
    set_header(message, u"From",
               header_or_entries(text_of(record.From), text_of(record.SenderText),
                                 text_of(record.SenderAltText)));
    set_header(message, u"To",
               header_or_entries(text_of(record.To), text_of(record.RecipientText),
                                 text_of(record.RecipientAltText)));
    set_header(message, u"Cc", text_of(record.Cc));
    set_header(message, u"Subject", text_of(record.Subject));

    body.clear();
    const ContentPart &part = record.MainPart;
    if (!part.Text) return;
    std::u16string text;
    if (!convert::message_body_to_text(part.Text, text_of(part.ContentType).c_str(),
                                       text_of(part.ContentTransferEncoding).c_str(), text))
        throw std::bad_alloc();
    if (text.empty()) return;
    body.reserve(text.size() + text.size() / 16);
    for (char16_t c : text) {
        if (c == u'\n') body += u'\r';
        body += c;
    }
    message.Body = body.data();
    message.BodyLength = body_length(body);
}

}  // namespace kova::store
