// A request handed to a worker thread and followed through the result code
// the handler sets when it is done. The dialogs poll it on their timers
// (widgets/request_timer wraps it in one); the worker never calls back into
// the user interface.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace tovanix::platform {

class ResultFollower {
public:
    using Clock = std::chrono::steady_clock;

    enum class Step {
        Idle,       // nothing started
        Waiting,    // the handler has not set its result yet
        Finished,   // the code left the pending value: code() holds it
        TimedOut,   // still pending at the deadline; the code is left as it is
        NotPosted,  // no thread took the request; the code is back at `idle`
    };

    struct Request {
        std::function<bool()> post;  // posts the request; false when no thread runs to take it
        std::atomic<int>* code = nullptr;
        int pending = 1;  // stored before posting; the handler replaces it with its result
        int idle = 0;     // put back when the request could not be posted
        std::chrono::milliseconds timeout{0};  // zero: follow as long as it takes
    };

    // Stores the pending code, posts, and gives the first step.
    Step start(Request request, Clock::time_point now = Clock::now());
    // Reads the code once; a finished or timed-out request stays so.
    Step poll(Clock::time_point now = Clock::now());
    Step step() const { return step_; }
    int code() const { return code_; }

private:
    Request request_;
    Step step_ = Step::Idle;
    int code_ = 0;
    Clock::time_point deadline_{};
};

}  // namespace tovanix::platform
