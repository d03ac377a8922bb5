#include "test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/log.h"
#include "base/utf16.h"

namespace kova::testing {

TempDevice::TempDevice()
{
    char pattern[] = "/tmp/kova-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    if (const char *old = std::getenv("KOVA_DEVICE_ROOT")) {
        previous_ = old;
        had_previous_ = true;
    }
    setenv("KOVA_DEVICE_ROOT", root_.c_str(), 1);
}

TempDevice::~TempDevice()
{
    if (had_previous_)
        setenv("KOVA_DEVICE_ROOT", previous_.c_str(), 1);
    else
        unsetenv("KOVA_DEVICE_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::u16string TempDevice::wide_path(std::string_view name) const { return widen(path(name)); }

void TempDevice::write_registry(std::string_view body) const
{
    write_file(path("registry.reg"),
               "Windows Registry Editor Version 5.00\r\n\r\n" + std::string(body));
}

void TempDevice::log_to(uint32_t address) const
{
    char line[128];
    std::snprintf(line, sizeof line,
                  "[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug]\r\n"
                  "\"LogIPAddr\"=dword:%08x\r\n",
                  address);
    write_registry(line);
}

uint32_t loopback_address_for_process()
{
    unsigned pid = static_cast<unsigned>(getpid());
    return (127u << 24) | ((1 + pid % 250) << 16) | ((1 + pid / 250 % 250) << 8) |
           (1 + pid / 62500 % 250);
}

LogReceiver::LogReceiver(const TempDevice &device) : address_(loopback_address_for_process())
{
    socket_ = socket(AF_INET, SOCK_DGRAM, 0);
    int reuse = 1;  // so that a `kova log` bound to 0.0.0.0:38182 does not stop the tests
    if (socket_ >= 0) setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(38182);
    at.sin_addr.s_addr = htonl(address_);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0)
        throw std::runtime_error("cannot bind the log receiver");
    device.log_to(address_);
    base::configure_log();
}

LogReceiver::~LogReceiver()
{
    if (socket_ >= 0) close(socket_);
}

void LogReceiver::drain()
{
    char buffer[2048];
    while (true) {
        pollfd p{socket_, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) break;
        ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
        if (n < 0) break;
        pending_.emplace_back(buffer, static_cast<size_t>(n));
    }
}

std::vector<std::string> LogReceiver::datagrams()
{
    drain();
    return pending_;
}

std::vector<std::string> LogReceiver::texts()
{
    drain();
    std::vector<std::string> out;
    for (const std::string &d : pending_) {
        if (d.size() < 8) continue;
        out.push_back(d.substr(8));
    }
    return out;
}

bool LogReceiver::saw(std::string_view line)
{
    for (const std::string &t : texts())
        if (t == line) return true;
    return false;
}

void write_file(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::u16string widen(std::string_view utf8) { return base::utf8_to_utf16(utf8); }

}  // namespace kova::testing
