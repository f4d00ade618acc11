// Servers on the loopback address for the connection test: one that accepts
// connections, one where nothing listens (refused at once), and one whose
// queue is full, so a connect waits without an answer until it gives up.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace tovanix::test {

class LocalTcp {
public:
    enum class Kind { Accepting, Refusing, Silent };

    explicit LocalTcp(Kind kind) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        const int backlog = kind == Kind::Silent ? 0 : kBacklog;
        if (kind != Kind::Refusing && ::listen(fd_, backlog) != 0) return;
        if (kind == Kind::Silent && !fillQueue(a)) return;
        port_ = ntohs(a.sin_port);
    }
    ~LocalTcp() {
        for (int c : fillers_) ::close(c);
        if (fd_ >= 0) ::close(fd_);
    }
    LocalTcp(const LocalTcp&) = delete;
    LocalTcp& operator=(const LocalTcp&) = delete;

    // 0 when the socket could not be set up.
    int port() const { return port_; }

private:
    static constexpr int kBacklog = 4;
    static constexpr int kConnectWaitMs = 2000;

    // One connection that is never accepted fills a queue of length 0; the
    // kernel drops the SYN of every later one.
    bool fillQueue(const sockaddr_in& a) {
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c < 0) return false;
        fillers_.push_back(c);
        if (::connect(c, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return true;
        pollfd p{c, POLLOUT, 0};
        return ::poll(&p, 1, kConnectWaitMs) == 1;
    }

    int fd_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

}  // namespace tovanix::test
