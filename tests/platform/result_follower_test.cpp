#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform/message_thread.h"
#include "platform/result_follower.h"

namespace tovanix::platform {
namespace {

using namespace std::chrono_literals;
using Step = ResultFollower::Step;
using Clock = ResultFollower::Clock;

// A request's life on a simulated clock: whether a thread takes it, when
// (ms after the post) and with which code its handler finishes (-1: never),
// the time-out, the moments it is looked at and the steps seen then.
struct Case {
    std::string name;
    bool taken;
    int finishAtMs;
    int finishCode;
    int timeoutMs;
    std::vector<int> pollAtMs;
    std::vector<Step> expected;  // first: the step start() gives
    int finalCode;
};

TEST(ResultFollower, FollowsTheCodeUntilItEndsOrTimesOut) {
    const Case cases[] = {
        {"finishes at once", true, 0, 2, 1000, {}, {Step::Finished}, 2},
        {"finishes later", true, 250, 3, 1000, {100, 200, 300, 400}, {Step::Waiting, Step::Waiting, Step::Waiting,
                                                                     Step::Finished, Step::Finished}, 3},
        {"times out", true, -1, 0, 500, {100, 499, 500, 900}, {Step::Waiting, Step::Waiting, Step::Waiting,
                                                              Step::TimedOut, Step::TimedOut}, 1},
        {"late result after time-out stays timed out", true, 700, 2, 500, {600, 800},
         {Step::Waiting, Step::TimedOut, Step::TimedOut}, 1},
        {"no time-out waits", true, -1, 0, 0, {1000, 100000}, {Step::Waiting, Step::Waiting, Step::Waiting}, 1},
        {"not posted", false, -1, 0, 500, {100}, {Step::NotPosted, Step::NotPosted}, 0},
        {"zero result code counts as finished", true, 50, 0, 500, {100}, {Step::Waiting, Step::Finished}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> code{7};  // whatever a previous request left
        const Clock::time_point t0{};
        ResultFollower::Request r;
        r.code = &code;
        r.pending = 1;
        r.idle = 0;
        r.timeout = std::chrono::milliseconds(c.timeoutMs);
        int pendingAtPost = -1;
        r.post = [&] {
            pendingAtPost = code.load();
            if (c.taken && c.finishAtMs == 0) code.store(c.finishCode);
            return c.taken;
        };
        ResultFollower f;
        std::vector<Step> seen{f.start(r, t0)};
        EXPECT_EQ(pendingAtPost, 1) << "the code is pending before the post";
        for (int at : c.pollAtMs) {
            if (c.taken && c.finishAtMs > 0 && at >= c.finishAtMs) code.store(c.finishCode);
            seen.push_back(f.poll(t0 + std::chrono::milliseconds(at)));
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(f.code(), c.finalCode);
    }
}

// With a real worker: the handler's code reaches the follower.
TEST(ResultFollower, SeesTheResultOfARealHandler) {
    std::atomic<int> code{0};
    MessageThread worker("worker");
    constexpr std::uint32_t kRequest = 0x4A2;
    worker.on(kRequest, [&](const Message&) { code.store(5); });
    worker.start();
    ResultFollower f;
    ResultFollower::Request r;
    r.code = &code;
    r.timeout = 5s;
    r.post = [&] { return worker.post(kRequest); };
    f.start(r);
    ASSERT_TRUE(worker.waitIdle(5s));
    EXPECT_EQ(f.poll(), Step::Finished);
    EXPECT_EQ(f.code(), 5);
    worker.quit();
    worker.join();
}

}  // namespace
}  // namespace tovanix::platform
