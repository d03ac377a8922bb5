// Receiving the library's diagnostic log: a UDP socket on port 38182 and the texts of
// the datagrams that arrive there (an 8-byte header, then the text). The socket is bound
// with SO_REUSEADDR, so that `kova log` on 0.0.0.0 and a `kova check` on a loopback
// address of its own can listen at the same time; each datagram goes to the socket bound
// most precisely to its address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::cli {

// The text of a datagram: channel, text length and two zero fields (16 bits each,
// little-endian), then the text. A length field that promises more than came is cut to
// what came. nullopt for a datagram shorter than its header.
std::optional<std::string> datagram_text(const unsigned char *data, size_t size);

class LogSocket {
public:
    LogSocket() = default;
    ~LogSocket();
    LogSocket(const LogSocket &) = delete;
    LogSocket &operator=(const LogSocket &) = delete;

    // address in host byte order. 0, or errno when the socket cannot be made or bound.
    int bind(uint32_t address);
    // Waits up to timeout_ms (0: not at all) for a datagram; its text, or nullopt when
    // none came (or the wait was interrupted).
    std::optional<std::string> receive(int timeout_ms);
    // Every text that has arrived, without waiting.
    std::vector<std::string> drain();

private:
    int fd_ = -1;
};

}  // namespace kova::cli
