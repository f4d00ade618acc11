#include "tests/support/pty_pair.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tovanix::test {

PtyPair::PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slave_ = ::ptsname(master_);
    keepSlave_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    // The device side is raw too, so bytes pass unchanged.
    termios tio {};
    if (keepSlave_ >= 0 && ::tcgetattr(keepSlave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(keepSlave_, TCSANOW, &tio);
    }
}

PtyPair::~PtyPair() {
    if (keepSlave_ >= 0) ::close(keepSlave_);
    if (master_ >= 0) ::close(master_);
}

void PtyPair::writeMaster(const std::uint8_t* data, std::size_t len) {
    std::size_t done = 0;
    while (done < len) {
        ssize_t n = ::write(master_, data + done, len - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> PtyPair::readMaster(std::size_t count, int timeoutMs) {
    std::vector<std::uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p {master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::uint8_t buf[512];
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

}  // namespace tovanix::test
