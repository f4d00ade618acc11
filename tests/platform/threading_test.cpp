#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/message_thread.h"

namespace tovanix::platform {
namespace {

using namespace std::chrono_literals;

struct Request {
    int line;
    int device;
    std::string name;
};

TEST(MessageThread, HandlesInOrderOneAtATime) {
    MessageThread t("test");
    std::mutex m;
    std::vector<std::uint32_t> seen;
    std::atomic<int> inside{0};
    std::atomic<int> overlap{0};
    auto handler = [&](const Message& msg) {
        if (inside.fetch_add(1) != 0) overlap++;
        std::this_thread::sleep_for(1ms);
        {
            std::lock_guard<std::mutex> lock(m);
            seen.push_back(msg.id);
        }
        inside.fetch_sub(1);
    };
    for (std::uint32_t id : {0x497u, 0x498u, 0x499u, 0x49Au}) t.on(id, handler);
    t.start();
    // Posted from several threads, each thread's own order is kept.
    t.post(0x49A);
    t.post(0x499);
    t.post(0x498);
    for (int i = 0; i < 20; ++i) t.post(0x497);
    t.join();
    ASSERT_EQ(seen.size(), 23u);
    EXPECT_EQ(seen[0], 0x49Au);
    EXPECT_EQ(seen[1], 0x499u);
    EXPECT_EQ(seen[2], 0x498u);
    EXPECT_EQ(overlap.load(), 0);
}

TEST(MessageThread, PayloadIsACopyOfTheSendersRecord) {
    MessageThread t;
    AutoResetEvent go;
    Request received{};
    AutoResetEvent done;
    t.on(0x49C, [&](const Message& msg) {
        go.wait();
        const Request* r = msg.as<Request>();
        ASSERT_NE(r, nullptr);
        received = *r;
        done.set();
    });
    t.start();
    {
        Request local{2, 14, "冷库 1"};
        t.post(0x49C, local);
        local.line = -1;  // the dialog changes or drops its record afterwards
        local.name = "gone";
    }
    go.set();
    ASSERT_TRUE(done.waitFor(2s));
    EXPECT_EQ(received.line, 2);
    EXPECT_EQ(received.device, 14);
    EXPECT_EQ(received.name, "冷库 1");
}

TEST(MessageThread, UnknownMessagesAreCountedAndQuitDrainsQueue) {
    MessageThread t;
    std::atomic<int> handled{0};
    t.on(1, [&](const Message&) { handled++; });
    t.start();
    t.post(1);
    t.post(99);
    t.post(1);
    t.quit();
    EXPECT_FALSE(t.post(1));  // refused after the quit message
    t.join();
    EXPECT_EQ(handled.load(), 2);
    EXPECT_EQ(t.unhandled(), 1u);
}

TEST(MessageThread, DiscardKeepsOnlyWhatIsAsked) {
    MessageThread t;
    AutoResetEvent go;
    std::mutex m;
    std::vector<std::uint32_t> seen;
    auto handler = [&](const Message& msg) {
        if (msg.id == 1) go.wait();  // holds the loop while the rest queue up
        std::lock_guard<std::mutex> lock(m);
        seen.push_back(msg.id);
    };
    for (std::uint32_t id : {1u, 2u, 3u}) t.on(id, handler);
    t.start();
    t.post(1);
    for (int i = 0; i < 5; ++i) {
        t.post(2);
        t.post(3);
    }
    ASSERT_TRUE([&] {
        for (int i = 0; i < 400 && t.pending() != 10; ++i) std::this_thread::sleep_for(5ms);
        return t.pending() == 10;
    }());
    EXPECT_EQ(t.discardPending([](const Message& msg) { return msg.id == 3; }), 5u);
    go.set();
    ASSERT_TRUE(t.waitIdle(2s));
    t.join();
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 3, 3, 3, 3, 3}));
}

TEST(AutoResetEvent, ReleasesOneWaiterPerSet) {
    AutoResetEvent e;
    std::atomic<int> through{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (e.waitFor(3s)) through++;
        });
    }
    std::this_thread::sleep_for(50ms);
    e.set();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(through.load(), 1);
    // A set while nobody has taken the previous one is not counted twice, so
    // hand out the rest one at a time.
    for (int want = 2; want <= 3; ++want) {
        e.set();
        for (int i = 0; i < 200 && through.load() < want; ++i) std::this_thread::sleep_for(5ms);
        EXPECT_EQ(through.load(), want);
    }
    for (auto& w : waiters) w.join();
}

TEST(AutoResetEvent, SignalledStartAndTimeout) {
    AutoResetEvent e(true);
    EXPECT_TRUE(e.waitFor(0ms));
    EXPECT_FALSE(e.waitFor(20ms));  // reset by the first wait
    e.set();
    e.set();  // setting twice is still one pass
    EXPECT_TRUE(e.waitFor(0ms));
    EXPECT_FALSE(e.waitFor(0ms));
}

TEST(AutoResetEvent, HoldReleasesOnScopeExit) {
    AutoResetEvent deviceEvent(true);
    {
        EventHold hold(deviceEvent);
        EXPECT_FALSE(deviceEvent.waitFor(0ms));
    }
    EXPECT_TRUE(deviceEvent.waitFor(0ms));
}

}  // namespace
}  // namespace tovanix::platform
