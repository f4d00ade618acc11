#include "widgets/request_timer.h"

namespace tovanix::widgets {

RequestTimer::RequestTimer(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &RequestTimer::check);
}

void RequestTimer::follow(platform::ResultFollower::Request request, int intervalMs, Done done) {
    cancel();
    done_ = std::move(done);
    const Step first = follower_.start(std::move(request));
    if (first != Step::Waiting) {
        finish(first);
        return;
    }
    timer_.start(intervalMs);
}

void RequestTimer::cancel() {
    timer_.stop();
    done_ = nullptr;
}

void RequestTimer::check() {
    const Step s = follower_.poll();
    if (s != Step::Waiting) finish(s);
}

void RequestTimer::finish(Step step) {
    timer_.stop();
    // The callback may start the next request on this timer.
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) done(step, follower_.code());
}

}  // namespace tovanix::widgets
