#include "base/log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/registry.h"

namespace kova::base {
namespace {

int g_socket = -1;
uint32_t g_address = 0;  // network byte order

void close_socket()
{
    if (g_socket >= 0) close(g_socket);
    g_socket = -1;
}

}  // namespace

void configure_log()
{
    uint32_t value =
        registry_dword("HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug", "LogIPAddr")
            .value_or(0);
    if (value == 0) {
        close_socket();
        g_address = 0;
        return;
    }
    uint32_t address = htonl(value);
    if (address == g_address && g_socket >= 0) return;
    close_socket();
    g_address = address;
    g_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (g_socket < 0) return;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(g_socket, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0) {
        close_socket();
        g_address = 0;
    }
}

bool log_is_on() { return g_socket >= 0; }

void log_message(const char *format, ...)
{
    if (g_socket < 0) return;
    unsigned char datagram[8 + kLogTextCapacity];
    char *text = reinterpret_cast<char *>(datagram + 8);
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, kLogTextCapacity, format, args);
    va_end(args);
    if (n < 0) return;
    size_t length = static_cast<size_t>(n) < kLogTextCapacity ? static_cast<size_t>(n)
                                                              : kLogTextCapacity - 1;
    // Channel 0, text length, two zero fields; all little-endian.
    std::memset(datagram, 0, 8);
    datagram[2] = static_cast<unsigned char>(length & 0xff);
    datagram[3] = static_cast<unsigned char>(length >> 8);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kLogPort);  // the bytes 0x95 0x26
    to.sin_addr.s_addr = g_address;
    sendto(g_socket, datagram, 8 + length, MSG_DONTWAIT | MSG_NOSIGNAL,
           reinterpret_cast<sockaddr *>(&to), sizeof to);
}

}  // namespace kova::base
