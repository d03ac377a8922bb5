#include "convert/value_text.h"

#include <new>
#include <vector>

#include "base/code_page.h"
#include "convert/charset.h"
#include "convert/iso_date.h"
#include "convert/quoted_printable.h"
#include "convert/utf8_codec.h"
#include "model/alloc.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"

namespace kova::convert {
namespace {

const TextNode *component(const PropertyNode *node, unsigned index)
{
    const TextNode *value = node ? node->Values : nullptr;
    for (unsigned i = 0; value && i < index; ++i) value = value->Next;
    return value;
}

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Where word (upper case) occurs in the upper-cased text, or null.
const char *find_upper(const char *text, std::string_view word)
{
    for (; text && *text; ++text) {
        size_t k = 0;
        while (k < word.size() && text[k] && ascii_upper(text[k]) == word[k]) ++k;
        if (k == word.size()) return text;
    }
    return nullptr;
}

// Quoted-printable when the value says so; otherwise only the encoded line breaks
// that some senders leave in plain values. The result is text itself or, decoded, held
// in storage.
std::string_view undo_transfer_encoding(std::string_view text, bool quoted_printable,
                                        std::string &storage)
{
    if (quoted_printable) {
        storage.resize(text.size() + 1);  // decoding never lengthens
        storage.resize(QpDecode(text, storage.data(), storage.size()));
        return storage;
    }
    if (text.find("=0D=0A") == std::string_view::npos) return text;
    storage = ReplaceAll(text, "=0D=0A", "\r\n");
    return storage;
}

// A backslash takes the next character as it is ("\n" stays the letter n).
void remove_escapes(std::u16string &text)
{
    size_t to = text.find(u'\\');
    if (to == std::u16string::npos) return;
    for (size_t i = to; i < text.size(); ++i) {
        if (text[i] != u'\\')
            text[to++] = text[i];
        else if (i + 1 < text.size())
            text[to++] = text[++i];
    }
    text.resize(to);
}

// ";" and backslash escaped; the text itself, or storage holding the escaped text.
std::u16string_view add_escapes(std::u16string_view text, std::u16string &storage)
{
    if (text.find_first_of(u";\\") == std::u16string_view::npos) return text;
    storage.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (c == u'\\' || c == u';') storage += u'\\';
        storage += c;
    }
    return storage;
}

uint32_t value_code_page(PropertyNode &node)
{
    if (node.CodePage != 0) return node.CodePage;
    if (node.Flags & KOVA_FLAG_CHARSET) {
        if (const TextNode *param = vobject::FindParam(node.Params, "CHARSET")) {
            std::string name = GetParamValue(param->Text, kCharsetNameLimit);
            if (uint32_t code_page = name.empty() ? 0 : CharsetToCodePage(name.c_str()))
                return code_page;
        }
    }
    return InputCodePage();
}

// A code page the platform lacks gets UTF-8 bytes all the same.
std::string to_bytes(uint32_t code_page, std::u16string_view text)
{
    if (std::optional<std::string> bytes = base::utf16_to_bytes(code_page, text)) return *bytes;
    std::vector<char> buffer(4 * text.size() + 1);
    return std::string(buffer.data(), Utf8Encode(text.data(), static_cast<int>(text.size()),
                                                 buffer.data(), buffer.size()));
}

// A parameter node for text, not linked yet; null when either allocation fails.
TextNode *new_param(std::string_view text)
{
    auto *param = static_cast<TextNode *>(model::allocate_zeroed(sizeof(TextNode)));
    if (!param) return nullptr;
    param->Text = model::copy_text(text);
    param->Tag = 1;
    if (!param->Text) {
        model::release(param);
        return nullptr;
    }
    return param;
}

}  // namespace

std::u16string &ValueToText(PropertyNode *node, unsigned index, std::u16string &out)
{
    value_to_text(node, index, out);
    return out;
}

// Every conversion step allocates; running out anywhere gives the empty text, never an
// exception, and leaves the node's CodePage undecided.
bool value_to_text(PropertyNode *node, unsigned index, std::u16string &out)
try {
    out.clear();
    const TextNode *value = component(node, index);
    if (!value || !value->Text) return true;
    bool quoted_printable = (node->Flags & KOVA_FLAG_QUOTED_PRINTABLE) ||
                            vobject::FindParam(node->Params, "QUOTED-PRINTABLE");
    std::string decoded;
    std::string_view bytes = undo_transfer_encoding(value->Text, quoted_printable, decoded);
    uint32_t code_page = value_code_page(*node);
    BytesToText(code_page, bytes, out);
    remove_escapes(out);
    node->CodePage = code_page;
    return true;
} catch (const std::bad_alloc &) {
    out.clear();
    return false;
}

void TextToValue(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index)
{
    text_to_value(text, node, flags, index);
}

bool text_to_value(std::u16string_view text, PropertyNode *node, uint32_t flags, unsigned index)
try {
    if (text.empty() || !node) return true;
    std::u16string storage;
    std::u16string_view escaped = add_escapes(text, storage);
    uint32_t code_page = node->CodePage;
    const char *charset = nullptr;
    if (code_page == 0) {
        if (IsAscii(escaped) && base::code_page_valid(base::kWesternCodePage)) {
            code_page = base::kWesternCodePage;
        } else {
            code_page = OutputCodePage();
            charset = OutputCharsetName();
            if (code_page == 0 || !base::code_page_valid(code_page)) {
                code_page = kUtf8CodePage;
                charset = "UTF-8";
            }
        }
    }
    bool add_charset = charset && !(node->Flags & KOVA_FLAG_CHARSET) &&
                       !vobject::FindParam(node->Params, "CHARSET");
    std::string bytes = to_bytes(code_page, escaped);
    bool add_encoding = false;
    if (flags & kAllowQuotedPrintable) {
        size_t length = QpEncode(bytes, nullptr, 0);
        if (length != bytes.size()) {  // something needed encoding
            std::string encoded(length + 1, '\0');
            encoded.resize(QpEncode(bytes, encoded.data(), encoded.size()));
            bytes = std::move(encoded);
            add_encoding = !(node->Flags & KOVA_FLAG_QUOTED_PRINTABLE);
        }
    }
    // The new parameters are built apart and linked only once the value is stored, so
    // that running out of memory leaves the node as it was.
    TextNode *added = nullptr;
    TextNode **tail = &added;
    if (add_charset) {
        if (!(*tail = new_param(std::string("CHARSET=") + charset))) return false;
        tail = &(*tail)->Next;
    }
    if (add_encoding) {
        *tail = new_param("ENCODING=QUOTED-PRINTABLE");
        if (!*tail) {
            model::release_text_list(added);
            return false;
        }
    }
    if (!model::SetValue(node, model::copy_text(bytes), index)) {
        model::release_text_list(added);
        return false;
    }
    TextNode **end = &node->Params;
    while (*end) end = &(*end)->Next;
    *end = added;
    if (add_charset) node->Flags |= KOVA_FLAG_CHARSET;
    if (add_encoding) node->Flags |= KOVA_FLAG_QUOTED_PRINTABLE;
    if (code_page != base::kWesternCodePage) node->CodePage = code_page;
    return true;
} catch (const std::bad_alloc &) {
    return false;  // nothing of the node has changed before the last step
}

void MessageBodyToText(const char *body, const char *content_type,
                       const char *transfer_encoding, std::u16string &out)
{
    message_body_to_text(body, content_type, transfer_encoding, out);
}

bool message_body_to_text(const char *body, const char *content_type,
                          const char *transfer_encoding, std::u16string &out)
try {
    out.clear();
    if (!body) return true;
    std::string decoded;
    std::string_view bytes = undo_transfer_encoding(
        body, find_upper(transfer_encoding, "QUOTED-PRINTABLE"), decoded);
    uint32_t code_page = 0;
    if (const char *charset = find_upper(content_type, "CHARSET")) {
        std::string name = GetParamValue(charset, kCharsetNameLimit);
        code_page = CharsetToCodePage(name.c_str());
    }
    BytesToText(code_page != 0 ? code_page : InputCodePage(), bytes, out);
    return true;
} catch (const std::bad_alloc &) {
    out.clear();
    return false;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement)
{
    if (pattern.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = text.find(pattern, from)) != std::string_view::npos;
         from = at + pattern.size()) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
    }
    out.append(text.substr(from));
    return out;
}

std::string GetParamValue(std::string_view parameter, size_t limit)
{
    size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view value = parameter.substr(equals + 1);
    value = value.substr(0, value.find(' '));
    return std::string(value.substr(0, limit));
}

bool IsAscii(std::u16string_view text)
{
    for (char16_t c : text)
        if (c > 127) return false;
    return true;
}

bool PutDate(double date, PropertyNode *node, bool with_time, bool local)
try {
    std::u16string text = FormatIsoDate(date, with_time, local);
    if (!node || text.empty()) return true;
    return model::SetValue(node, model::copy_text(narrow_system(text)), 0);
} catch (const std::bad_alloc &) {
    return false;
}

double GetDate(const PropertyNode *node)
{
    const TextNode *value = component(node, 0);
    if (!value || !value->Text) return NoDate;
    return ParseIsoDate(value->Text).date;
}

}  // namespace kova::convert
