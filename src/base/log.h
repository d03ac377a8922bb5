// The diagnostic log: every message is one UDP datagram to the address in the registry
// value "LogIPAddr" under Software\Harvex\BTConfig\Debug, port 38182. The log is off
// until configure_log() has run (KOVA_Open does that) and whenever the value is 0.
#pragma once

#include <cstdint>

namespace kova::base {

// Fixed here; call sites test it before formatting.
constexpr uint8_t kLogLevel = 9;
constexpr uint16_t kLogPort = 38182;
constexpr unsigned kLogTextCapacity = 992;

// Errors and warnings go out from level 1, traces (entry, details, growth) from level 4.
constexpr bool log_errors() { return kLogLevel >= 1; }
constexpr bool log_traces() { return kLogLevel >= 4; }

// Re-reads the registry: turns the log off, keeps the socket, or makes a new one.
void configure_log();

// Formats with printf rules (cut at 991 characters) and sends one datagram.
void log_message(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Whether a socket is open, for tests.
bool log_is_on();

}  // namespace kova::base

#define KOVA_LOG_ERROR(...)                                                                        \
    do {                                                                                           \
        if (::kova::base::log_errors()) ::kova::base::log_message(__VA_ARGS__);                   \
    } while (0)
#define KOVA_LOG_TRACE(...)                                                                        \
    do {                                                                                           \
        if (::kova::base::log_traces()) ::kova::base::log_message(__VA_ARGS__);                   \
    } while (0)
