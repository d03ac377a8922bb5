// Shared test fixtures: a private device root, a receiver for the diagnostic log on a
// loopback address of the test's own, and small file helpers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kova::testing {

// Makes a fresh device root in a temporary folder and points KOVA_DEVICE_ROOT at it
// for as long as the object lives; removes the folder afterwards.
class TempDevice {
public:
    TempDevice();
    ~TempDevice();
    TempDevice(const TempDevice &) = delete;
    TempDevice &operator=(const TempDevice &) = delete;

    const std::string &root() const { return root_; }
    std::string path(std::string_view name) const { return root_ + "/" + std::string(name); }
    std::u16string wide_path(std::string_view name) const;
    // Writes registry.reg; body holds the key and value lines after the header.
    void write_registry(std::string_view body) const;
    // Writes a registry that sends the library's log to address (host byte order).
    void log_to(uint32_t address) const;

private:
    std::string root_;
    std::string previous_;
    bool had_previous_ = false;
};

// Binds UDP port 38182 on a loopback address unique to this process, writes that
// address as LogIPAddr into the device's registry and runs configure_log(), so that
// every log line of the library arrives here.
class LogReceiver {
public:
    explicit LogReceiver(const TempDevice &device);
    ~LogReceiver();
    LogReceiver(const LogReceiver &) = delete;
    LogReceiver &operator=(const LogReceiver &) = delete;

    // The texts of all datagrams that arrived so far (header checked and stripped).
    std::vector<std::string> texts();
    // The raw datagrams that arrived so far.
    std::vector<std::string> datagrams();
    // Whether any text equals line exactly.
    bool saw(std::string_view line);
    uint32_t address() const { return address_; }  // host byte order

private:
    int socket_ = -1;
    uint32_t address_ = 0;
    std::vector<std::string> pending_;
    void drain();
};

// The address LogReceiver uses in this process, host byte order.
uint32_t loopback_address_for_process();

void write_file(const std::string &path, std::string_view bytes);
std::string read_file(const std::string &path);
std::u16string widen(std::string_view utf8);

}  // namespace kova::testing
