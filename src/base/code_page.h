// The platform's code-page services, on glibc iconv: a Windows code page number maps to
// an iconv name, and a code page is valid on the system when iconv can open it.
// Conversions never fail on content: a byte the code page leaves undefined, or a
// character it cannot represent, becomes '?', the default character of the code pages
// we deal with, as the platform's conversions do without their strict flags.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kova::base {

constexpr char16_t kDefaultChar = u'?';

// The code page the system falls back to when its locale cannot be read.
constexpr uint32_t kWesternCodePage = 1252;

// One conversion descriptor; "none" is (iconv_t)-1, not null.
class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv() { close(); }
    Iconv(Iconv &&other) noexcept : cd_(other.cd_) { other.cd_ = none(); }
    Iconv &operator=(Iconv &&other) noexcept;
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    bool ok() const { return cd_ != none(); }
    iconv_t get() const { return cd_; }

private:
    static iconv_t none() { return reinterpret_cast<iconv_t>(-1); }
    void close();
    iconv_t cd_;
};

// iconv's name for a Windows code page; empty for 0.
std::string iconv_name(uint32_t code_page);

// Whether both directions between the code page and UTF-16 can be opened.
bool code_page_valid(uint32_t code_page);

// Bytes in the code page to UTF-16 and back; nullopt when the code page is not valid.
std::optional<std::u16string> bytes_to_utf16(uint32_t code_page, std::string_view bytes);
std::optional<std::string> utf16_to_bytes(uint32_t code_page, std::u16string_view text);

// The ANSI code page of the system's locale: the decimal text of "ACP" under
// HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage; 1252 when the value is absent,
// 0 (a failed locale query) when it is not a number. Read afresh at every call.
uint32_t query_ansi_code_page();

}  // namespace kova::base
