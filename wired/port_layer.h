// Port layer of libWired: ports 0-19 by number, one receiver thread that
// collects replies on the current port, a reply event per port.
//
// A reply is taken as complete once at least one byte has arrived and the
// input queue has stopped growing for one settle period (counts read every
// 20 ms until two successive ones are equal). At most 200 bytes are kept;
// the received count is the settled count, so an oversized reply fails the
// callers' length check.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/serial.h"
#include "wired/protocol.h"

namespace tovanix::wired {

inline constexpr int kPortCount = 20;
inline constexpr int kBaud = 9600;
inline constexpr std::chrono::milliseconds kSettlePeriod{20};
inline constexpr int kSendTimeoutMs = 200;

class PortLayer {
public:
    static PortLayer& instance();
    ~PortLayer();
    PortLayer(const PortLayer&) = delete;
    PortLayer& operator=(const PortLayer&) = delete;

    static bool inRange(int port) { return port >= 0 && port < kPortCount; }

    // StartThread: disarms every port and starts the receiver when none runs.
    int startThread();
    // EndThread: stops and joins the receiver; a no-op when none runs.
    void endThread();
    bool receiverRunning();

    int open(int port);
    int close(int port);

    // One exchange, in the order the logger operations use them.
    // begin: drops any reply collected before this request, discards
    // unread input (both queues when fullPurge).
    void begin(int port, bool fullPurge);
    long send(int port, const std::uint8_t* data, std::size_t len);
    void makeCurrent(int port);
    // Waits for the port's reply event. On success stores the received count
    // and copies min(count, 200) bytes into out.
    bool waitReply(int port, std::chrono::milliseconds timeout, std::size_t& count,
                   std::array<std::uint8_t, proto::kRxBufferSize>& out);
    // Clears the receive buffer and count; purges both queues when asked.
    void cleanup(int port, bool purge);

private:
    PortLayer();

    struct Port {
        platform::SerialPort serial;
        bool armed = false;
        std::uint64_t generation = 0;  // bumped on every open and close
        std::size_t received = 0;      // settled count of the last reply
        bool replySignalled = false;   // the reply event (auto-reset)
        std::uint64_t exchange = 0;    // bumped at the start of each exchange
    };

    void receiverLoop();
    void wake();
    void drainWake();
    // Waits one settle period; false when the receiver must leave port p.
    bool settleSleep(int p, std::uint64_t generation);
    bool stillWatching(int p, std::uint64_t generation);  // needs mutex_
    // Closes port p's descriptor once the receiver no longer polls it; needs
    // mutex_ held by lock.
    void closeWhenReleased(std::unique_lock<std::mutex>& lock, int p);

    // Wakes the receiver out of poll(); made once, never changed until the
    // library is unloaded, so it needs no lock.
    const int wakeFd_;

    // mutex_ guards every field below up to lifecycle_.
    std::mutex mutex_;
    std::condition_variable stateChanged_;  // receiver waits for an armed current port
    std::condition_variable replyReady_;    // operations wait for a reply event
    std::condition_variable pollLeft_;      // the receiver left poll() on polling_
    std::array<Port, kPortCount> ports_;
    std::array<std::uint8_t, proto::kRxBufferSize> rxBuffer_{};  // shared by all ports
    int currentPort_ = -1;
    // The port whose descriptor the receiver is inside poll() on, or -1. A
    // descriptor closed under poll() stays alive (and keeps its lock) until
    // poll returns, so a reopen straight after would find the port in use.
    int polling_ = -1;
    bool stop_ = false;

    // lifecycle_ guards receiver_ (StartThread, EndThread).
    std::mutex lifecycle_;
    std::thread receiver_;
};

}  // namespace tovanix::wired
