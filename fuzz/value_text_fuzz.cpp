// ValueToText and MessageBodyToText on a property node built from arbitrary bytes, and
// TextToValue of arbitrary UTF-16 followed by ValueToText, which must give the text
// back. Input: a flags byte, a code-page byte, the parameter texts up to the first
// line feed (split at ';'), then the value (split at ';' into components); the same
// bytes after the line feed, taken in pairs, are the UTF-16 text stored.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "convert/value_text.h"
#include "fuzz_support.h"
#include "model/alloc.h"
#include "model/record.h"

using namespace kova;

namespace {

const uint32_t kCodePages[] = {0,     1252,  65001, 932,   50220, 28595, 20866, 1251,
                               949,   950,   65000, 51932, 52936, 20106, 12345, 874};

struct OwnedNode {
    PropertyNode node{};
    ~OwnedNode()
    {
        model::release_text_list(node.Params);
        model::release_text_list(node.Values);
    }
};

void split_into(std::string_view text, OwnedNode &owner, bool values)
{
    unsigned index = 0;
    while (true) {
        size_t end = text.find(';');
        char *copy = model::copy_text(text.substr(0, end));
        if (values) model::SetValue(&owner.node, copy, index++);
        else model::AddParam(&owner.node, copy);
        if (end == std::string_view::npos || index >= 8) break;
        text.remove_prefix(end + 1);
    }
}

bool round_trips(std::u16string_view text, bool quoted_printable)
{
    for (char16_t c : text)
        if (c == 0 || (c >= 0xd800 && c <= 0xdfff)) return false;  // cut or made '?'
    // A plain value keeps a literal "=0D=0A", which reads back as a line break.
    return quoted_printable || text.find(u"=0D=0A") == std::u16string_view::npos;
}

unsigned params_with(const PropertyNode &node, const char *word)
{
    unsigned n = 0;
    for (const TextNode *p = node.Params; p; p = p->Next)
        if (p->Text && std::strstr(p->Text, word)) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::scratch_dir();
    if (size < 2) return 0;
    uint8_t flags = data[0];
    uint32_t code_page = kCodePages[data[1] % (sizeof kCodePages / sizeof kCodePages[0])];
    std::string_view rest(reinterpret_cast<const char *>(data) + 2, size - 2);
    size_t newline = rest.find('\n');
    std::string_view params = rest.substr(0, newline);
    std::string_view value = newline == std::string_view::npos ? "" : rest.substr(newline + 1);

    OwnedNode read;
    read.node.Flags = flags & 0x0f;
    read.node.CodePage = code_page;
    split_into(params, read, false);
    split_into(value, read, true);
    std::u16string text;
    for (unsigned i = 0; i < 9; ++i) convert::ValueToText(&read.node, i, text);
    const char *type = read.node.Params ? read.node.Params->Text : nullptr;
    const char *encoding =
        read.node.Params && read.node.Params->Next ? read.node.Params->Next->Text : nullptr;
    std::string body(value);
    convert::MessageBodyToText(body.c_str(), type, encoding, text);

    std::u16string stored;
    for (size_t i = 0; i + 1 < value.size(); i += 2)
        stored += static_cast<char16_t>(static_cast<uint8_t>(value[i]) |
                                        static_cast<uint8_t>(value[i + 1]) << 8);
    bool quoted_printable = flags & 0x10;
    unsigned index = flags >> 5;
    OwnedNode written;
    convert::TextToValue(stored, &written.node, quoted_printable, index);
    convert::TextToValue(stored, &written.node, quoted_printable, index + 1);
    if (params_with(written.node, "ENCODING") > 1 || params_with(written.node, "CHARSET") > 1)
        __builtin_trap();
    if (!stored.empty() && round_trips(stored, quoted_printable)) {
        for (unsigned i : {index, index + 1})
            if (convert::ValueToText(&written.node, i, text) != stored) __builtin_trap();
    }
    return 0;
}
