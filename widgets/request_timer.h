// The one way a dialog waits for the polling thread: post a request, follow
// its result code on a timer, hear once how it ended. The user interface
// never blocks while a logger is being read or written.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "platform/result_follower.h"

namespace tovanix::widgets {

class RequestTimer : public QObject {
    Q_OBJECT
public:
    using Step = platform::ResultFollower::Step;
    // Called once with Finished (and the handler's code), TimedOut or
    // NotPosted.
    using Done = std::function<void(Step step, int code)>;

    explicit RequestTimer(QObject* parent = nullptr);

    // Starts following; a request still followed is dropped without its
    // callback. `intervalMs` is how often the code is read.
    void follow(platform::ResultFollower::Request request, int intervalMs, Done done);
    bool busy() const { return timer_.isActive(); }
    // Stops following without calling back (the dialog is closing).
    void cancel();

private:
    void check();
    void finish(Step step);

    platform::ResultFollower follower_;
    QTimer timer_;
    Done done_;
};

}  // namespace tovanix::widgets
