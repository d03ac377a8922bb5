// The device registry: the text file registry.reg in the device root, in the Windows
// registry export format ("Windows Registry Editor Version 5.00" or "REGEDIT4", [KEY]
// lines, "Name"="text", "Name"=dword:0000002a, hex:/hex(2): values, ';' comments),
// UTF-8 or UTF-16LE with a byte-order mark. Key and value names compare
// case-insensitively. The file is read afresh at every query and never written; a
// missing file is an empty registry and a malformed line is skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kova::base {

// KOVA_DEVICE_ROOT, else $XDG_DATA_HOME/kova, else ~/.local/share/kova.
std::string device_root();

struct RegistryValue {
    enum class Kind { String, Dword, Binary } kind = Kind::String;
    std::u16string text;         // String
    uint32_t number = 0;         // Dword
    std::vector<uint8_t> bytes;  // Binary (hex:, hex(n):)
};

// key: a full path such as "HKEY_LOCAL_MACHINE\Software\Harvex\BTConfig\General"
// ("HKLM\..." is accepted too). name: the value name, "" or "@" for the default value.
std::optional<RegistryValue> registry_value(std::string_view key, std::string_view name);

// Whether the key occurs in the file at all.
bool registry_key_exists(std::string_view key);

// A dword value; nullopt when missing or of another type.
std::optional<uint32_t> registry_dword(std::string_view key, std::string_view name);

// A string value (REG_SZ; hex(2) and hex(1) are decoded as UTF-16LE); nullopt when
// missing or of another type.
std::optional<std::u16string> registry_string(std::string_view key, std::string_view name);

}  // namespace kova::base
