#include "wired/port_layer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tovanix::wired {

namespace {

constexpr std::size_t kDiscardChunk = 256;

// The messages the station showed in boxes; a library writes them to stderr.
constexpr const char* kSetCommStateError = "SetCommState Error";
constexpr const char* kCantCreateEvent = "Can't create event object!";

}  // namespace

PortLayer& PortLayer::instance() {
    static PortLayer layer;
    return layer;
}

PortLayer::PortLayer() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PortLayer::~PortLayer() {
    // Unloading the library must not leave a thread running in unmapped code.
    endThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& port : ports_) port.serial.close();
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int PortLayer::startThread() {
    std::lock_guard<std::mutex> life(lifecycle_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& port : ports_) port.armed = false;
    }
    if (receiver_.joinable()) {
        wake();
        return 1;
    }
    if (wakeFd_ < 0) {
        std::fprintf(stderr, "%s\n", kCantCreateEvent);
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = false;
    }
    receiver_ = std::thread([this] { receiverLoop(); });
    return 1;
}

void PortLayer::endThread() {
    std::lock_guard<std::mutex> life(lifecycle_);
    if (!receiver_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    stateChanged_.notify_all();
    wake();
    receiver_.join();
    drainWake();
}

bool PortLayer::receiverRunning() {
    std::lock_guard<std::mutex> life(lifecycle_);
    return receiver_.joinable();
}

int PortLayer::open(int port) {
    if (!inRange(port)) return 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Port& p = ports_[port];
        // Opening an open port starts it afresh instead of leaking the old handle.
        closeWhenReleased(lock, port);
        if (!p.serial.open(port)) return 0;
        if (!p.serial.configureRaw8N1(kBaud)) {
            std::fprintf(stderr, "%s\n", kSetCommStateError);
            p.serial.close();
            return 0;
        }
        p.armed = true;
        currentPort_ = port;
        p.serial.flush();
    }
    stateChanged_.notify_all();
    wake();
    return 1;
}

int PortLayer::close(int port) {
    if (!inRange(port)) return 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Port& p = ports_[port];
        if (!p.serial.isOpen()) return 0;
        p.serial.flush();
        closeWhenReleased(lock, port);
    }
    stateChanged_.notify_all();
    wake();
    return 1;
}

void PortLayer::closeWhenReleased(std::unique_lock<std::mutex>& lock, int port) {
    Port& p = ports_[port];
    p.armed = false;
    ++p.generation;
    p.received = 0;
    p.replySignalled = false;
    if (polling_ == port) {
        wake();
        pollLeft_.wait(lock, [&] { return polling_ != port; });
    }
    p.serial.close();
}

void PortLayer::begin(int port, bool fullPurge) {
    if (!inRange(port)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Port& p = ports_[port];
    ++p.exchange;
    p.received = 0;
    p.replySignalled = false;
    if (fullPurge) {
        p.serial.flush();
    } else {
        p.serial.flushInput();
    }
}

long PortLayer::send(int port, const std::uint8_t* data, std::size_t len) {
    if (!inRange(port)) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    Port& p = ports_[port];
    if (!p.serial.isOpen()) return 0;
    long n = p.serial.write(data, len, kSendTimeoutMs);
    return n < 0 ? 0 : n;
}

void PortLayer::makeCurrent(int port) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = currentPort_ != port;
        currentPort_ = port;
    }
    if (changed) {
        stateChanged_.notify_all();
        wake();
    }
}

bool PortLayer::waitReply(int port, std::chrono::milliseconds timeout, std::size_t& count,
                          std::array<std::uint8_t, proto::kRxBufferSize>& out) {
    if (!inRange(port)) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    Port& p = ports_[port];
    if (!replyReady_.wait_for(lock, timeout, [&] { return p.replySignalled; })) return false;
    p.replySignalled = false;
    count = p.received;
    out = rxBuffer_;
    return true;
}

void PortLayer::cleanup(int port, bool purge) {
    if (!inRange(port)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    rxBuffer_.fill(0);
    Port& p = ports_[port];
    p.received = 0;
    if (purge && p.serial.isOpen()) p.serial.flush();
}

void PortLayer::wake() {
    if (wakeFd_ < 0) return;
    std::uint64_t one = 1;
    ssize_t n = ::write(wakeFd_, &one, sizeof one);
    (void)n;  // a full counter already wakes the receiver
}

void PortLayer::drainWake() {
    std::uint64_t value = 0;
    ssize_t n = ::read(wakeFd_, &value, sizeof value);
    (void)n;  // EAGAIN: nothing pending
}

bool PortLayer::stillWatching(int p, std::uint64_t generation) {
    return !stop_ && currentPort_ == p && ports_[p].armed && ports_[p].generation == generation &&
           ports_[p].serial.isOpen();
}

bool PortLayer::settleSleep(int p, std::uint64_t generation) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + kSettlePeriod;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return true;
        pollfd w{wakeFd_, POLLIN, 0};
        int r = ::poll(&w, 1, static_cast<int>(left));
        if (r > 0) {
            drainWake();
            std::lock_guard<std::mutex> lock(mutex_);
            if (!stillWatching(p, generation)) return false;
        }
    }
}

void PortLayer::receiverLoop() {
    for (;;) {
        int p = -1;
        int fd = -1;
        std::uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Nothing to watch: block until a port is armed or the current port changes.
            stateChanged_.wait(lock, [&] {
                return stop_ || (inRange(currentPort_) && ports_[currentPort_].armed &&
                                 ports_[currentPort_].serial.isOpen());
            });
            if (stop_) return;
            p = currentPort_;
            fd = ports_[p].serial.fd();
            generation = ports_[p].generation;
            polling_ = p;
        }

        // Wait for the first byte, or for a change of what to watch.
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            polling_ = -1;
        }
        pollLeft_.notify_all();
        if (r < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "wired receiver: poll: %s\n", std::strerror(errno));
            return;
        }
        if (fds[1].revents & POLLIN) {
            drainWake();
            continue;
        }
        std::uint64_t exchange = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!stillWatching(p, generation)) continue;
            const bool broken = (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            if ((fds[0].revents & POLLIN) == 0 || (broken && ports_[p].serial.bytesWaiting() <= 0)) {
                // Hang-up or error and no data: the device went away. Stop
                // watching it rather than spin; reopening arms it again.
                ports_[p].armed = false;
                continue;
            }
            exchange = ports_[p].exchange;
        }

        // Settle: counts every 20 ms until two successive ones are equal.
        int previous = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!stillWatching(p, generation)) continue;
            previous = ports_[p].serial.bytesWaiting();
        }
        if (!settleSleep(p, generation)) continue;
        if (previous <= 0) continue;
        bool watching = true;
        for (;;) {
            int now = 0;
            bool restarted = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!stillWatching(p, generation)) {
                    watching = false;
                    break;
                }
                now = ports_[p].serial.bytesWaiting();
                // A new request started while an old reply was settling: its
                // purge took the old bytes, so what waits now answers the new
                // request. Settle again on its behalf rather than drop it.
                if (ports_[p].exchange != exchange) {
                    exchange = ports_[p].exchange;
                    restarted = true;
                }
            }
            if (restarted && now <= 0) {
                watching = false;  // nothing yet: wait for its first byte
                break;
            }
            if (now == previous && !restarted) break;
            previous = now;
            if (!settleSleep(p, generation)) {
                watching = false;
                break;
            }
        }
        if (!watching || previous <= 0) continue;

        bool signal = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!stillWatching(p, generation)) continue;
            Port& port = ports_[p];
            const std::size_t settled = static_cast<std::size_t>(previous);
            // Keep at most the buffer's 200 bytes; read and drop the rest.
            std::size_t kept = 0;
            std::size_t wanted = std::min(settled, rxBuffer_.size());
            std::array<std::uint8_t, proto::kRxBufferSize> fresh{};
            while (kept < wanted) {
                long n = port.serial.read(fresh.data() + kept, wanted - kept);
                if (n <= 0) break;
                kept += static_cast<std::size_t>(n);
            }
            std::size_t dropped = 0;
            std::uint8_t scratch[kDiscardChunk];
            while (kept + dropped < settled) {
                long n = port.serial.read(scratch, std::min(sizeof scratch, settled - kept - dropped));
                if (n <= 0) break;
                dropped += static_cast<std::size_t>(n);
            }
            // A reply that began before the current exchange started belongs
            // to an earlier request; it must not answer this one.
            if (port.exchange == exchange && kept > 0) {
                rxBuffer_ = fresh;
                port.received = kept + dropped;
                port.replySignalled = true;
                signal = true;
            }
        }
        if (signal) replyReady_.notify_all();
    }
}

}  // namespace tovanix::wired
