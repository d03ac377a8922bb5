#include "convert/charset.h"

#include <optional>
#include <vector>

#include "base/code_page.h"
#include "base/log.h"
#include "base/stack_config.h"
#include "convert/utf8_codec.h"

namespace kova::convert {
namespace {

struct Charset {
    const char *name;
    uint32_t code_page;
};

// Searched from the top in both directions: where a name or a code page occurs twice,
// the upper row wins.
constexpr Charset kCharsets[] = {
    {"UTF-8", 65001},        {"US-ASCII", 1252},      {"SHIFT-JIS", 932},
    {"SJIS", 932},           {"BIG5", 950},           {"UTF-7", 65000},
    {"DIN_66003", 20106},    {"NS_4551-1", 20108},    {"SEN_850200_B", 20107},
    {"_AUTODETECT", 50932},  {"_AUTODETECT_KR", 50949}, {"CSISO2022JP", 50221},
    {"EUC-KR", 51949},       {"GB2312", 936},         {"HZ-GB-2312", 52936},
    {"IBM852", 852},         {"IBM866", 866},         {"IRV", 20105},
    {"ISO-2022-JP", 50220},  {"ISO-2022-JP", 50222},  {"ISO-2022-KR", 50225},
    {"ISO-8859-1", 1252},    {"ISO-8859-1", 28591},   {"ISO-8859-2", 28592},
    {"ISO-8859-3", 28593},   {"ISO-8859-4", 28594},   {"ISO-8859-5", 28595},
    {"ISO-8859-6", 28596},   {"ISO-8859-7", 28597},   {"ISO-8859-8", 28598},
    {"ISO-8859-9", 28599},   {"ISO-8859-15", 28605},  {"KOI8-R", 20866},
    {"KS_C_5601", 949},      {"WINDOWS-1250", 1250},  {"WINDOWS-1251", 1251},
    {"WINDOWS-1252", 1252},  {"WINDOWS-1253", 1253},  {"WINDOWS-1254", 1254},
    {"WINDOWS-1255", 1255},  {"WINDOWS-1256", 1256},  {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258},  {"WINDOWS-874", 874},    {"X-EUC", 51932},
    {"EUC-JP", 51932},
};
static_assert(sizeof kCharsets / sizeof kCharsets[0] == 46);

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool is_native(const char *name)
{
    const char *native = "NATIVE";
    while (*name && ascii_upper(*name) == *native) ++name, ++native;
    return *name == '\0' && *native == '\0';
}

// Code pages are cached once known; 0 means "compute again".
uint32_t g_native = 0;
uint32_t g_input = 0;
uint32_t g_output = 0;
const char *g_output_name = nullptr;

// DefaultInputCharset or DefaultOutputCharset looked up; "direction" names it in the log.
uint32_t configured_code_page(const char *name, uint32_t unset, const char *direction)
{
    if (!*name) return unset;
    uint32_t code_page = CharsetToCodePage(name);
    if (code_page != 0) return code_page;
    if (!is_native(name))
        KOVA_LOG_ERROR("KOVA:  Registry %s CHARSET '%s' not valid, using native codepage",
                       direction, name);
    return NativeCodePage();
}

uint32_t system_code_page()
{
    uint32_t native = NativeCodePage();
    return native != 0 ? native : base::kWesternCodePage;
}

}  // namespace

uint32_t CharsetToCodePage(const char *name)
{
    if (!name || !*name) return 0;
    for (const Charset &c : kCharsets) {
        size_t i = 0;
        while (c.name[i] && ascii_upper(name[i]) == c.name[i]) ++i;
        if (!c.name[i] && !name[i]) return c.code_page;
    }
    return 0;
}

const char *CodePageToCharset(uint32_t code_page)
{
    for (const Charset &c : kCharsets)
        if (c.code_page == code_page) return c.name;
    return nullptr;
}

uint32_t NativeCodePage()
{
    if (g_native == 0) g_native = base::query_ansi_code_page();
    return g_native;
}

uint32_t InputCodePage()
{
    if (g_input == 0) {
        base::StackConfig config;
        config.read();
        g_input = configured_code_page(config.default_input_charset, base::kWesternCodePage,
                                       "input");
    }
    return g_input;
}

uint32_t OutputCodePage()
{
    if (g_output == 0) {
        base::StackConfig config;
        config.read();
        g_output = configured_code_page(config.default_output_charset, kUtf8CodePage, "output");
        g_output_name = g_output == base::kWesternCodePage ? nullptr : CodePageToCharset(g_output);
    }
    return g_output;
}

const char *OutputCharsetName()
{
    OutputCodePage();
    return g_output_name;
}

void BytesToText(uint32_t code_page, std::string_view bytes, std::u16string &out)
{
    std::optional<std::u16string> text = base::bytes_to_utf16(code_page, bytes);
    if (!text && code_page != kUtf8CodePage) {
        text = widen_system(bytes);
    } else if (!text) {
        std::vector<char16_t> units(bytes.size() + 1);
        size_t n = Utf8Decode(bytes.data(), static_cast<int>(bytes.size()), units.data(),
                              units.size());
        text.emplace(units.data(), n);
    }
    // Up to the first NUL, as the store's texts end there.
    text->resize(std::char_traits<char16_t>::length(text->c_str()));
    out = std::move(*text);
}

std::u16string widen_system(std::string_view bytes)
{
    std::optional<std::u16string> text = base::bytes_to_utf16(system_code_page(), bytes);
    if (!text) text = base::bytes_to_utf16(base::kWesternCodePage, bytes);
    return text ? *text : std::u16string();
}

std::string narrow_system(std::u16string_view text)
{
    std::optional<std::string> bytes = base::utf16_to_bytes(system_code_page(), text);
    if (!bytes) bytes = base::utf16_to_bytes(base::kWesternCodePage, text);
    return bytes ? *bytes : std::string();
}

}  // namespace kova::convert
