#include "platform/message_thread.h"

#include <pthread.h>

namespace tovanix::platform {

MessageThread::MessageThread(std::string name) : name_(std::move(name)) {}

MessageThread::~MessageThread() { join(); }

void MessageThread::on(std::uint32_t id, Handler handler) { handlers_[id] = std::move(handler); }

void MessageThread::start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] { loop(); });
    if (!name_.empty()) pthread_setname_np(thread_.native_handle(), name_.substr(0, 15).c_str());
}

bool MessageThread::post(std::uint32_t id, std::any payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (quitting_) return false;
        queue_.push_back(Message{id, std::move(payload)});
    }
    cv_.notify_one();
    return true;
}

void MessageThread::quit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
    }
    cv_.notify_all();
}

std::size_t MessageThread::discardPending(const std::function<bool(const Message&)>& keep) {
    std::size_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = queue_.begin(); it != queue_.end();) {
            if (keep && keep(*it)) {
                ++it;
            } else {
                it = queue_.erase(it);
                ++dropped;
            }
        }
    }
    idleCv_.notify_all();
    return dropped;
}

void MessageThread::join() {
    quit();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool MessageThread::running() const { return thread_.joinable(); }

std::size_t MessageThread::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

std::size_t MessageThread::unhandled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unhandled_;
}

bool MessageThread::waitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return idleCv_.wait_for(lock, timeout, [this] { return queue_.empty() && !busy_; });
}

void MessageThread::loop() {
    for (;;) {
        Message msg;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            busy_ = false;
            if (queue_.empty()) idleCv_.notify_all();
            cv_.wait(lock, [this] { return quitting_ || !queue_.empty(); });
            if (queue_.empty()) return;  // quitting and drained
            msg = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        auto it = handlers_.find(msg.id);
        if (it == handlers_.end()) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++unhandled_;
            continue;
        }
        it->second(msg);
    }
}

}  // namespace tovanix::platform
