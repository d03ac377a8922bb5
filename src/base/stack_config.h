// The Bluetooth stack's general settings, read from the registry key
// HKLM\Software\Harvex\BTConfig\General. The library needs only the two default
// charsets; the record is built, read and dropped each time one of them is wanted.
// A missing key or value is silent: the constructor's defaults stand.
#pragma once

#include <cstdint>
#include <string>

namespace kova::base {

constexpr size_t kRegistryPathUnits = 260;
// What the registry answers when a key cannot be opened.
constexpr uint32_t kRegistryKeyNotFound = 2;

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot, Users };

// An open registry key, as read_values() receives it.
struct RegistryKey {
    std::string path;  // "HKEY_LOCAL_MACHINE\Software\..."
};

// Where a record lives in the registry, and the reading that every record shares.
// Nothing is ever written: the device registry is read-only to us.
class RegistryRecord {
public:
    RegistryRecord();
    virtual ~RegistryRecord() = default;
    RegistryRecord(const RegistryRecord &) = default;
    RegistryRecord &operator=(const RegistryRecord &) = default;

    // Opens "<key path>\<subkey>" below the root and fills the fields from it; returns
    // 0, or kRegistryKeyNotFound with every field left as it was.
    uint32_t read();
    void set_root(RegistryRoot root) { root_ = root; }

protected:
    // Each value that is present replaces its field; a missing one leaves it alone.
    virtual void read_values(const RegistryKey &key) = 0;

    char16_t key_path_[kRegistryPathUnits];
    char16_t subkey_[kRegistryPathUnits];
    RegistryRoot root_ = RegistryRoot::LocalMachine;
};

class StackConfig final : public RegistryRecord {
public:
    uint32_t minor_class = 4;
    char device_name[248] = {};  // UTF-8
    uint32_t security_type = 2;
    uint32_t max_simult_connections = 1;
    uint32_t country_code = 0;
    uint32_t dont_show_advanced = 0;
    uint32_t force_dev_class_major = 0;
    uint32_t force_dev_class_minor = 0;
    char unnamed_device_name[50] = "<No Name>";  // UTF-8
    uint32_t no_sleeping_while_connected = 0;
    char16_t default_status_dll[kRegistryPathUnits] = {};
    char16_t default_properties_dll[kRegistryPathUnits] = {};
    // Charset names in the system's code page: a name of the charset table or "NATIVE";
    // empty selects 1252 for input and UTF-8 for output.
    char default_input_charset[260] = {};
    char default_output_charset[260] = {};

protected:
    void read_values(const RegistryKey &key) override;
};

}  // namespace kova::base
