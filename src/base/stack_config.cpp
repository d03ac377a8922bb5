#include "base/stack_config.h"

#include <optional>
#include <string_view>

#include "base/code_page.h"
#include "base/registry.h"
#include "base/utf16.h"

namespace kova::base {
namespace {

template <size_t N> void set_wide(char16_t (&field)[N], std::u16string_view text)
{
    size_t n = text.size() < N ? text.size() : N - 1;
    text.copy(field, n);
    field[n] = u'\0';
}

template <size_t N> void set_narrow(char (&field)[N], std::string_view text)
{
    size_t n = text.size() < N ? text.size() : N - 1;
    text.copy(field, n);
    field[n] = '\0';
}

std::string root_name(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegistryRoot::Users: return "HKEY_USERS";
    }
    return "HKEY_LOCAL_MACHINE";
}

void read_number(const RegistryKey &key, const char *name, uint32_t &field)
{
    if (std::optional<uint32_t> n = registry_dword(key.path, name)) field = *n;
}

// A text that does not fit the read buffer of `units` (terminator included) fails to
// read, like any other missing value.
std::optional<std::u16string> read_text(const RegistryKey &key, const char *name, size_t units)
{
    std::optional<std::u16string> text = registry_string(key.path, name);
    if (!text || text->size() >= units) return std::nullopt;
    return text;
}

template <size_t N> void read_utf8(const RegistryKey &key, const char *name, char (&field)[N])
{
    if (auto text = read_text(key, name, N)) set_narrow(field, utf16_to_utf8(*text));
}

template <size_t N>
void read_wide(const RegistryKey &key, const char *name, char16_t (&field)[N])
{
    if (auto text = read_text(key, name, N)) set_wide(field, *text);
}

// Stored in the system's code page, as the rest of the library reads them.
template <size_t N>
void read_system(const RegistryKey &key, const char *name, char (&field)[N])
{
    std::optional<std::u16string> text = read_text(key, name, N);
    if (!text) return;
    std::optional<std::string> bytes = utf16_to_bytes(query_ansi_code_page(), *text);
    if (!bytes) bytes = utf16_to_bytes(kWesternCodePage, *text);
    if (bytes) set_narrow(field, *bytes);
}

}  // namespace

RegistryRecord::RegistryRecord()
{
    set_wide(key_path_, u"Software\\Harvex\\BTConfig");
    set_wide(subkey_, u"General");
}

uint32_t RegistryRecord::read()
{
    RegistryKey key{root_name(root_) + "\\" + utf16_to_utf8(key_path_) + "\\" +
                    utf16_to_utf8(subkey_)};
    if (!registry_key_exists(key.path)) return kRegistryKeyNotFound;
    read_values(key);
    return 0;
}

void StackConfig::read_values(const RegistryKey &key)
{
    read_number(key, "MinorClass", minor_class);
    read_utf8(key, "DeviceName", device_name);
    read_number(key, "SecurityType", security_type);
    read_number(key, "MaxSimultConnections", max_simult_connections);
    read_number(key, "CountryCode", country_code);
    read_number(key, "DontShowAdvanced", dont_show_advanced);
    read_number(key, "ForceDevClassMajor", force_dev_class_major);
    read_number(key, "ForceDevClassMinor", force_dev_class_minor);
    read_utf8(key, "UnnamedDeviceName", unnamed_device_name);
    read_number(key, "NoSleepingWhileConnected", no_sleeping_while_connected);
    read_wide(key, "DefaultStatusDll", default_status_dll);
    read_wide(key, "DefaultPropertiesDll", default_properties_dll);
    read_system(key, "DefaultInputCharset", default_input_charset);
    read_system(key, "DefaultOutputCharset", default_output_charset);
}

}  // namespace kova::base
