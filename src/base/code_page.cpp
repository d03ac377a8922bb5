#include "base/code_page.h"

#include <cerrno>
#include <deque>
#include <type_traits>

#include "base/registry.h"
#include "base/utf16.h"

namespace kova::base {
namespace {

constexpr const char *kLocaleKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage";

// Code pages whose iconv name is not "CP" followed by the number. The Japanese and
// Korean auto-detection pages and HZ have no iconv counterpart and stay invalid.
struct IconvName {
    uint32_t code_page;
    const char *name;
};
constexpr IconvName kIconvNames[] = {
    {65001, "UTF-8"},        {65000, "UTF-7"},       {20105, "ANSI_X3.4-1968"},
    {20106, "DIN_66003"},    {20107, "SEN_850200_B"}, {20108, "NS_4551-1"},
    {20866, "KOI8-R"},       {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},   {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},   {28605, "ISO-8859-15"}, {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},  {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},       {51949, "EUC-KR"},
};

constexpr const char *kUtf16 = "UTF-16LE";
constexpr uint32_t kUtf8 = 65001;

// Runs all of input through cd into out. Where cd rejects the input (an undefined
// byte, an unrepresentable character, a sequence cut off at the end) skip() says how
// many bytes to drop and fallback() writes the default character instead.
template <class Skip, class Fallback>
void run(iconv_t cd, std::string_view input, std::string &out, Skip skip, Fallback fallback)
{
    char *in = const_cast<char *>(input.data());
    size_t in_left = input.size();
    char chunk[1024];
    while (in_left > 0) {
        char *o = chunk;
        size_t o_left = sizeof chunk;
        size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        int error = errno;
        out.append(chunk, static_cast<size_t>(o - chunk));
        if (r != static_cast<size_t>(-1) || error == E2BIG) continue;
        size_t n = error == EINVAL ? in_left : skip(in, in_left);
        in += n;
        in_left -= n;
        fallback(out);
    }
    // A stateful encoding (ISO-2022-JP) returns to its initial shift state.
    char *o = chunk;
    size_t o_left = sizeof chunk;
    iconv(cd, nullptr, nullptr, &o, &o_left);
    out.append(chunk, static_cast<size_t>(o - chunk));
}

bool is_high_surrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

unsigned unit_at(const char *le)
{
    return static_cast<unsigned char>(le[0]) | (static_cast<unsigned char>(le[1]) << 8);
}

// Both directions between a code page and UTF-16; "none" where iconv cannot open it.
struct Converters {
    uint32_t code_page;
    Iconv to_utf16, from_utf16;
};

// Opening a converter loads its gconv module, and closing the last one unloads it again,
// which costs more than most conversions do: the converters of a code page stay open
// for the life of the process, failures included. The library is called from one
// thread at a time.
Converters &converters(uint32_t code_page)
{
    static std::deque<Converters> cache;  // references stay valid as it grows
    for (Converters &c : cache)
        if (c.code_page == code_page) return c;
    std::string name = iconv_name(code_page);
    return cache.emplace_back(Converters{code_page, Iconv(kUtf16, name.c_str()),
                                         Iconv(name.c_str(), kUtf16)});
}

// A converter back in its initial state.
iconv_t fresh(const Iconv &cd)
{
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    return cd.get();
}

// Code pages that hold the ASCII characters as themselves, one byte each: ASCII text
// needs no converter there, and that is most of what a contact holds.
bool ascii_as_is(uint32_t code_page)
{
    return code_page == kUtf8 || (code_page >= 1250 && code_page <= 1257) ||
           (code_page >= 28591 && code_page <= 28599) || code_page == 28605;
}

// Each unit copied to the other width; false (out unspecified) when one is not ASCII.
template <class To, class From> bool copy_ascii(const From &text, To &out)
{
    using Unit = std::make_unsigned_t<typename From::value_type>;
    out.resize(text.size());
    unsigned any = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned unit = static_cast<Unit>(text[i]);
        any |= unit;
        out[i] = static_cast<typename To::value_type>(unit);
    }
    return any < 0x80;
}

// Well-formed UTF-8 as UTF-16, which is what iconv makes of it; false at the first
// sequence iconv refuses (a stray or missing continuation byte, an overlong form, a
// surrogate, past U+10FFFF), where iconv's own handling of the fault must decide.
bool decode_utf8(std::string_view bytes, std::u16string &out)
{
    static constexpr unsigned kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        unsigned b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        size_t length = b >= 0xF8 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (length == 0 || bytes.size() - i < length) return false;
        unsigned c = b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < kShortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return true;
}

// UTF-16 as UTF-8; false at a lone surrogate, which iconv replaces.
bool encode_utf8(std::u16string_view text, std::string &out)
{
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c > 0xDBFF || i + 1 == text.size() || !is_low_surrogate(text[i + 1])) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        append_utf8(out, c);
    }
    return true;
}

}  // namespace

Iconv &Iconv::operator=(Iconv &&other) noexcept
{
    if (this != &other) {
        close();
        cd_ = other.cd_;
        other.cd_ = none();
    }
    return *this;
}

void Iconv::close()
{
    if (cd_ != none()) iconv_close(cd_);
    cd_ = none();
}

std::string iconv_name(uint32_t code_page)
{
    if (code_page == 0) return {};
    for (const IconvName &n : kIconvNames)
        if (n.code_page == code_page) return n.name;
    return "CP" + std::to_string(code_page);
}

bool code_page_valid(uint32_t code_page)
{
    if (code_page == 0) return false;
    const Converters &c = converters(code_page);
    return c.to_utf16.ok() && c.from_utf16.ok();
}

std::optional<std::u16string> bytes_to_utf16(uint32_t code_page, std::string_view bytes)
{
    if (code_page == 0) return std::nullopt;
    const Iconv &cd = converters(code_page).to_utf16;
    if (!cd.ok()) return std::nullopt;
    std::u16string decoded;
    if (ascii_as_is(code_page) && copy_ascii(bytes, decoded)) return decoded;
    decoded.clear();
    if (code_page == kUtf8 && decode_utf8(bytes, decoded)) return decoded;
    std::string le;
    run(
        fresh(cd), bytes, le, [](const char *, size_t) { return size_t{1}; },
        [](std::string &out) { out.append("?\0", 2); });
    std::u16string text;
    text.reserve(le.size() / 2);
    for (size_t i = 0; i + 1 < le.size(); i += 2) text += static_cast<char16_t>(unit_at(&le[i]));
    return text;
}

std::optional<std::string> utf16_to_bytes(uint32_t code_page, std::u16string_view text)
{
    if (code_page == 0) return std::nullopt;
    const Iconv &converter = converters(code_page).from_utf16;
    if (!converter.ok()) return std::nullopt;
    std::string encoded;
    if (ascii_as_is(code_page) && copy_ascii(text, encoded)) return encoded;
    encoded.clear();
    if (code_page == kUtf8 && encode_utf8(text, encoded)) return encoded;
    iconv_t cd = fresh(converter);
    std::string le;
    le.reserve(text.size() * 2);
    for (char16_t unit : text) {
        le += static_cast<char>(unit & 0xFF);
        le += static_cast<char>(unit >> 8);
    }
    std::string bytes;
    // A character outside the code page is one unit, or a surrogate pair; a lone
    // surrogate is one unit too.
    auto skip = [](const char *in, size_t left) -> size_t {
        if (left >= 4 && is_high_surrogate(unit_at(in)) && is_low_surrogate(unit_at(in + 2)))
            return 4;
        return left < 2 ? left : 2;
    };
    // The default character goes through the converter, so that a shifting encoding
    // switches back to ASCII before it.
    auto fallback = [cd](std::string &out) {
        char question[2] = {'?', '\0'};
        char *in = question;
        size_t in_left = sizeof question;
        char encoded[16];
        char *o = encoded;
        size_t o_left = sizeof encoded;
        if (iconv(cd, &in, &in_left, &o, &o_left) == static_cast<size_t>(-1))
            out += '?';
        else
            out.append(encoded, static_cast<size_t>(o - encoded));
    };
    run(cd, le, bytes, skip, fallback);
    return bytes;
}

uint32_t query_ansi_code_page()
{
    std::optional<RegistryValue> acp = registry_value(kLocaleKey, "ACP");
    if (!acp) return kWesternCodePage;
    if (acp->kind != RegistryValue::Kind::String) return 0;
    // Read as the C runtime reads a number: leading blanks, then digits.
    const std::u16string &text = acp->text;
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    uint32_t number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && number < 100000000; ++i)
        number = number * 10 + static_cast<uint32_t>(text[i] - u'0');
    return number;
}

}  // namespace kova::base
