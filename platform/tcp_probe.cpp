#include "platform/tcp_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace tovanix::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxPort = 65535;

struct AddrInfoFree {
    void operator()(addrinfo* a) const { freeaddrinfo(a); }
};
using AddrList = std::unique_ptr<addrinfo, AddrInfoFree>;

AddrList resolve(const std::string& host, int port, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return AddrList();
    return AddrList(list);
}

// One non-blocking connect, waited for until the deadline.
bool connectOne(int fd, const addrinfo& a, Clock::time_point deadline) {
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        int error = 0;
        socklen_t len = sizeof error;
        return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    }
}

// With no address to try, whether a socket could have been made at all.
bool socketAvailable() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

TcpProbeResult probeTcp(const std::string& host, int port, std::chrono::milliseconds timeout) {
    TcpProbeResult r;
    const Clock::time_point deadline = Clock::now() + timeout;
    // A numeric address needs no lookup; a name may wait on the resolver,
    // whose own time-out bounds it (the caller does not wait for it).
    AddrList list;
    if (!host.empty() && port > 0 && port <= kMaxPort) {
        list = resolve(host, port, true);
        if (!list) list = resolve(host, port, false);
    }
    if (!list) {
        r.socketCreated = socketAvailable();
        return r;
    }
    for (const addrinfo* a = list.get(); a != nullptr && Clock::now() < deadline; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        r.socketCreated = true;
        const bool ok = connectOne(fd, *a, deadline);
        ::close(fd);
        if (ok) {
            r.connected = true;
            break;
        }
    }
    return r;
}

}  // namespace tovanix::platform
