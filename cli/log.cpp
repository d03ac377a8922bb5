// kova log: prints the diagnostic datagrams that arrive on UDP port 38182, one message
// a line with the local time of arrival, until SIGINT or SIGTERM.
#include <arpa/inet.h>
#include <signal.h>

#include <cstdio>
#include <ctime>

#include "commands.h"
#include "common.h"
#include "log_socket.h"

namespace kova::cli {
namespace {

// A wait short enough that a signal is noticed at once, whatever it interrupted.
constexpr int kPollMs = 200;

volatile sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

void catch_signals()
{
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void print_stamped(const std::string &text)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::printf("%02d:%02d:%02d.%03ld %s\n", local.tm_hour, local.tm_min, local.tm_sec,
                now.tv_nsec / 1000000, one_line(text).c_str());
    std::fflush(stdout);
}

}  // namespace

int run_log(const LogOptions &options)
{
    in_addr address{};
    if (inet_pton(AF_INET, options.address.c_str(), &address) != 1) {
        error(options.address, "not an IPv4 address");
        return kExitUsage;
    }
    catch_signals();
    LogSocket socket;
    if (int failure = socket.bind(ntohl(address.s_addr))) {
        error(options.address + " port 38182", "cannot listen" + with_reason(failure));
        return kExitFailed;
    }
    std::fprintf(stderr, "listening on %s port 38182; Ctrl-C stops\n", options.address.c_str());
    while (!g_stop)
        if (auto text = socket.receive(kPollMs)) print_stamped(*text);
    return kExitOk;
}

}  // namespace kova::cli
