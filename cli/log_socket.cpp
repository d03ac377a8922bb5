#include "log_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "base/log.h"

namespace kova::cli {
namespace {

constexpr size_t kHeaderBytes = 8;
// More than a library datagram (8 + 991) can be, so that a foreign one is cut, not split.
constexpr size_t kDatagramCapacity = 65536;
// A file with many warnings in one object sends them all before the tool can read any.
constexpr int kReceiveBuffer = 4 << 20;

}  // namespace

std::optional<std::string> datagram_text(const unsigned char *data, size_t size)
{
    if (size < kHeaderBytes) return std::nullopt;
    size_t length = data[2] | (data[3] << 8);
    if (length > size - kHeaderBytes) length = size - kHeaderBytes;
    return std::string(reinterpret_cast<const char *>(data) + kHeaderBytes, length);
}

LogSocket::~LogSocket()
{
    if (fd_ >= 0) close(fd_);
}

int LogSocket::bind(uint32_t address)
{
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd_ < 0) return errno;
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(base::kLogPort);
    at.sin_addr.s_addr = htonl(address);
    if (::bind(fd_, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0) return 0;
    int failure = errno;
    close(fd_);
    fd_ = -1;
    return failure;
}

std::optional<std::string> LogSocket::receive(int timeout_ms)
{
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
        static unsigned char buffer[kDatagramCapacity];
        ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0) return std::nullopt;
        // A datagram too short to be one of ours is passed over.
        if (auto text = datagram_text(buffer, static_cast<size_t>(n))) return text;
    }
}

std::vector<std::string> LogSocket::drain()
{
    std::vector<std::string> texts;
    while (auto text = receive(0)) texts.push_back(std::move(*text));
    return texts;
}

}  // namespace kova::cli
