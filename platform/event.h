// Auto-reset event: set() lets exactly one waiter through, then the event is
// unsignalled again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tovanix::platform {

class AutoResetEvent {
public:
    explicit AutoResetEvent(bool signalled = false) : signalled_(signalled) {}
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void set() {
        // Notified under the lock: the waiter let through may destroy the
        // event as soon as it returns, and must not do so while notify_one()
        // still uses it.
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
        cv_.notify_one();
    }
    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = false;
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }
    // Returns false when the time-out passed without the event being set.
    bool waitFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

private:
    std::mutex mutex_;  // guards signalled_
    std::condition_variable cv_;
    bool signalled_;
};

// Scoped hold of an auto-reset event used as a lock (the device event, the
// port event): waits on construction, sets on destruction.
class EventHold {
public:
    explicit EventHold(AutoResetEvent& e) : e_(e) { e_.wait(); }
    ~EventHold() { e_.set(); }
    EventHold(const EventHold&) = delete;
    EventHold& operator=(const EventHold&) = delete;

private:
    AutoResetEvent& e_;
};

}  // namespace tovanix::platform
