#include "platform/result_follower.h"

namespace tovanix::platform {

ResultFollower::Step ResultFollower::start(Request request, Clock::time_point now) {
    request_ = std::move(request);
    // Pending before the post: a quick handler may finish before we look.
    request_.code->store(request_.pending);
    code_ = request_.pending;
    if (!request_.post || !request_.post()) {
        request_.code->store(request_.idle);
        code_ = request_.idle;
        return step_ = Step::NotPosted;
    }
    deadline_ = now + request_.timeout;
    step_ = Step::Waiting;
    return poll(now);
}

ResultFollower::Step ResultFollower::poll(Clock::time_point now) {
    if (step_ != Step::Waiting) return step_;
    code_ = request_.code->load();
    if (code_ != request_.pending) return step_ = Step::Finished;
    if (request_.timeout.count() > 0 && now >= deadline_) return step_ = Step::TimedOut;
    return step_;
}

}  // namespace tovanix::platform
