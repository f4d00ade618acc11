// A worker thread with a message queue: messages {number, payload by value}
// are taken in order and dispatched through a handler table, one handler at a
// time. Stands in for a thread with its own message loop.
#pragma once

#include <any>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace tovanix::platform {

struct Message {
    std::uint32_t id = 0;
    std::any payload;  // a copy of the sender's record; the sender may be gone

    template <typename T>
    const T* as() const { return std::any_cast<T>(&payload); }
};

class MessageThread {
public:
    using Handler = std::function<void(const Message&)>;

    explicit MessageThread(std::string name = {});
    virtual ~MessageThread();
    MessageThread(const MessageThread&) = delete;
    MessageThread& operator=(const MessageThread&) = delete;

    // Handlers are registered before start().
    void on(std::uint32_t id, Handler handler);
    void start();
    // Queues a message; false once the thread has been asked to quit.
    bool post(std::uint32_t id, std::any payload = {});
    // Asks the loop to end after the messages already queued (the quit message).
    void quit();
    // Drops the queued messages for which keep() is false; returns how many.
    std::size_t discardPending(const std::function<bool(const Message&)>& keep);
    // quit() and wait for the thread to end.
    void join();
    bool running() const;
    std::size_t pending() const;
    // Waits until the queue is empty and no handler runs. False on time-out.
    bool waitIdle(std::chrono::milliseconds timeout) const;
    // Number of messages that had no handler (dropped).
    std::size_t unhandled() const;

private:
    void loop();

    std::string name_;
    std::unordered_map<std::uint32_t, Handler> handlers_;  // written before start() only
    mutable std::mutex mutex_;  // guards queue_, quitting_, unhandled_, busy_
    std::condition_variable cv_;
    mutable std::condition_variable idleCv_;
    bool busy_ = false;
    std::deque<Message> queue_;
    bool quitting_ = false;
    std::size_t unhandled_ = 0;
    std::thread thread_;
};

}  // namespace tovanix::platform
