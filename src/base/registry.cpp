#include "base/registry.h"

#include <cstdio>
#include <cstdlib>

#include "base/utf16.h"

namespace kova::base {
namespace {

// Registry files are small; anything larger than this is not one of ours.
constexpr size_t kMaxRegistryBytes = 16u << 20;

std::string read_file(const std::string &path)
{
    std::string data;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    char chunk[8192];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && data.size() < kMaxRegistryBytes)
        data.append(chunk, n);
    std::fclose(f);
    return data;
}

// The Windows editor writes UTF-16LE with a BOM; others write UTF-8 (BOM optional).
std::string as_utf8(const std::string &raw)
{
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE) {
        std::u16string wide;
        for (size_t i = 2; i + 1 < raw.size(); i += 2)
            wide += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                          (static_cast<unsigned char>(raw[i + 1]) << 8));
        return utf16_to_utf8(wide);
    }
    if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return raw.substr(3);
    return raw;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string canonical_key(std::string_view key)
{
    std::string k(trim(key));
    while (!k.empty() && k.back() == '\\') k.pop_back();
    if (k.size() >= 4 && same_name(std::string_view(k).substr(0, 4), "HKLM") &&
        (k.size() == 4 || k[4] == '\\'))
        k = "HKEY_LOCAL_MACHINE" + k.substr(4);
    return k;
}

// "text with \" and \\" -> the text; the view stands after the closing quote.
std::optional<std::string> take_quoted(std::string_view &s)
{
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    size_t i = 1;
    for (; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    if (i >= s.size()) return std::nullopt;
    s.remove_prefix(i + 1);
    return out;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> parse_hex_bytes(std::string_view s)
{
    std::vector<uint8_t> bytes;
    while (true) {
        s = trim(s);
        if (s.empty()) return bytes;
        if (s.size() < 2) return std::nullopt;
        int hi = hex_digit(s[0]), lo = hex_digit(s[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        s.remove_prefix(2);
        s = trim(s);
        if (s.empty()) return bytes;
        if (s.front() != ',') return std::nullopt;
        s.remove_prefix(1);
    }
}

std::optional<RegistryValue> parse_data(std::string_view s)
{
    RegistryValue v;
    s = trim(s);
    if (!s.empty() && s.front() == '"') {
        auto text = take_quoted(s);
        if (!text || !trim(s).empty()) return std::nullopt;
        v.kind = RegistryValue::Kind::String;
        v.text = utf8_to_utf16(*text);
        return v;
    }
    if (s.size() > 6 && same_name(s.substr(0, 6), "dword:")) {
        std::string_view digits = s.substr(6);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        uint32_t n = 0;
        for (char c : digits) {
            int d = hex_digit(c);
            if (d < 0) return std::nullopt;
            n = n * 16 + static_cast<uint32_t>(d);
        }
        v.kind = RegistryValue::Kind::Dword;
        v.number = n;
        return v;
    }
    // hex:..  (binary) and hex(N):.. where 1 (REG_SZ) and 2 (REG_EXPAND_SZ) hold UTF-16LE.
    if (s.size() >= 4 && same_name(s.substr(0, 3), "hex")) {
        std::string_view rest = s.substr(3);
        uint32_t type = 3;
        if (!rest.empty() && rest.front() == '(') {
            size_t close = rest.find(')');
            // A value type is a dword: more than eight digits is not one.
            if (close == std::string_view::npos || close > 9) return std::nullopt;
            type = 0;
            for (char c : rest.substr(1, close - 1)) {
                int d = hex_digit(c);
                if (d < 0) return std::nullopt;
                type = type * 16 + static_cast<uint32_t>(d);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') return std::nullopt;
        auto bytes = parse_hex_bytes(rest.substr(1));
        if (!bytes) return std::nullopt;
        if (type == 1 || type == 2) {
            v.kind = RegistryValue::Kind::String;
            for (size_t i = 0; i + 1 < bytes->size(); i += 2) {
                char16_t c = static_cast<char16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
                if (c == 0) break;
                v.text += c;
            }
        } else if (type == 4 && bytes->size() == 4) {
            v.kind = RegistryValue::Kind::Dword;
            v.number = (*bytes)[0] | ((*bytes)[1] << 8) | ((*bytes)[2] << 16) |
                       (static_cast<uint32_t>((*bytes)[3]) << 24);
        } else {
            v.kind = RegistryValue::Kind::Binary;
            v.bytes = std::move(*bytes);
        }
        return v;
    }
    return std::nullopt;
}

struct Query {
    std::string key;
    std::string_view name;
    bool key_seen = false;
    std::optional<RegistryValue> value;
};

// Walks the file once; later lines override earlier ones, as an import would.
void scan(Query &q)
{
    std::string text = as_utf8(read_file(device_root() + "/registry.reg"));
    std::string_view rest(text);
    bool in_key = false;
    std::string logical;
    while (!rest.empty()) {
        size_t nl = rest.find('\n');
        std::string_view line = trim(rest.substr(0, nl));
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        // A trailing backslash continues a hex list on the next line, as often as the
        // list needs.
        if (!line.empty() && line.back() == '\\' &&
            (!logical.empty() || line.find("=hex") != std::string_view::npos)) {
            logical.append(line.substr(0, line.size() - 1));
            continue;
        }
        if (!logical.empty()) {
            logical.append(line);
            line = logical;
        }
        if (line.empty() || line.front() == ';') {
            logical.clear();
            continue;
        }
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            in_key = close != std::string_view::npos && line.size() > 1 && line[1] != '-' &&
                     same_name(canonical_key(line.substr(1, close - 1)), q.key);
            if (in_key) q.key_seen = true;
        } else if (in_key) {
            std::string_view s = line;
            std::string name;
            if (s.front() == '@') {
                s.remove_prefix(1);
            } else if (auto quoted = take_quoted(s)) {
                name = *quoted;
            } else {
                logical.clear();
                continue;
            }
            s = trim(s);
            if (!s.empty() && s.front() == '=' && same_name(name, q.name)) {
                if (trim(s.substr(1)) == "-") {
                    q.value.reset();
                } else if (auto v = parse_data(s.substr(1))) {
                    q.value = std::move(v);
                }
            }
        }
        logical.clear();
    }
}

Query run_query(std::string_view key, std::string_view name)
{
    Query q;
    q.key = canonical_key(key);
    q.name = name == "@" ? std::string_view() : name;
    scan(q);
    return q;
}

}  // namespace

std::string device_root()
{
    const char *root = std::getenv("KOVA_DEVICE_ROOT");
    if (root && *root) return root;
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/kova";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/kova";
}

std::optional<RegistryValue> registry_value(std::string_view key, std::string_view name)
{
    return run_query(key, name).value;
}

bool registry_key_exists(std::string_view key) { return run_query(key, "\x01").key_seen; }

std::optional<uint32_t> registry_dword(std::string_view key, std::string_view name)
{
    auto v = registry_value(key, name);
    if (!v || v->kind != RegistryValue::Kind::Dword) return std::nullopt;
    return v->number;
}

std::optional<std::u16string> registry_string(std::string_view key, std::string_view name)
{
    auto v = registry_value(key, name);
    if (!v || v->kind != RegistryValue::Kind::String) return std::nullopt;
    return v->text;
}

}  // namespace kova::base
