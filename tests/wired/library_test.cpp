// libWired.so through dlopen, over pseudo-terminals, against the logger
// simulator process.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/crc16.h"
#include "tests/support/comdir.h"
#include "tests/support/logger_sim.h"
#include "tests/wired/wired_binding.h"
#include "wired/protocol.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
namespace proto = tovanix::wired::proto;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using Fault = LoggerSim::Fault;

constexpr int kPort = 3;
constexpr int kOtherPort = 4;
constexpr int kReplyWaitMs = 2000;
constexpr int kLateArrivalMs = 2500;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ComDirEnvironment("wired"));

Bytes withCrc(Bytes b) {
    b.resize(b.size() + proto::kCrcSize);
    tovanix::platform::putCrc16(b);
    return b;
}

class WiredLibrary : public ::testing::Test {
protected:
    static WiredApi& api() {
        static WiredApi a;
        return a;
    }
    static void SetUpTestSuite() {
        if (api().handle == nullptr) api().load();
    }

    void SetUp() override {
        ASSERT_NE(api().handle, nullptr) << api().error;
        ASSERT_TRUE(api().error.empty()) << api().error;
        ASSERT_EQ(api().StartThread(), 1);
    }
    void TearDown() override {
        for (int p = 0; p < 20; ++p) api().W_CloseCom(p);
        api().EndThread();
        sims_.clear();
    }

    // A simulated line on COM<port>, opened by the library.
    LoggerSim& line(int port = kPort, LoggerSimOptions options = {}) {
        auto sim = std::make_unique<LoggerSim>(std::move(options));
        EXPECT_TRUE(sim->start()) << sim->error();
        EXPECT_FALSE(sim->linkCom(port).empty()) << sim->error();
        EXPECT_EQ(api().W_OpenCom(port), 1);
        sims_.push_back(std::move(sim));
        return *sims_.back();
    }

    int downloadNow(int port, int address, float r12[2], float r34[2], char text[20]) {
        api().W_SetTargetDevice(port, address);
        return api().W_DownloadNow(port, text, r12, r34);
    }
    int downloadNow(int address = 1, int port = kPort) {
        float a[2], b[2];
        char t[20] = {};
        return downloadNow(port, address, a, b, t);
    }

    std::vector<std::unique_ptr<LoggerSim>> sims_;
};

// ---- port layer ------------------------------------------------------------

TEST_F(WiredLibrary, PortNumbersOutsideTheTableAreRefused) {
    EXPECT_EQ(api().W_OpenCom(20), 0);
    EXPECT_EQ(api().W_OpenCom(-1), 0);
    EXPECT_EQ(api().W_OpenCom(1000), 0);
    EXPECT_EQ(api().W_CloseCom(20), 0);
    EXPECT_EQ(api().W_DownloadNow(20, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(api().W_GetRecordingInterval(-3), 0);
}

TEST_F(WiredLibrary, MissingDeviceDoesNotOpen) {
    EXPECT_EQ(api().W_OpenCom(0), 0);  // no COM0 link, and no ttyS fallback for 0
    EXPECT_EQ(api().W_CloseCom(0), 0);
}

TEST_F(WiredLibrary, CloseWithoutOpenReturnsZero) { EXPECT_EQ(api().W_CloseCom(kOtherPort), 0); }

TEST_F(WiredLibrary, EndThreadWithoutReceiverDoesNothing) {
    api().EndThread();
    api().EndThread();
    EXPECT_EQ(api().StartThread(), 1);
}

TEST_F(WiredLibrary, StartThreadAfterOpenDisarmsUntilReopened) {
    line();
    ASSERT_EQ(downloadNow(), 22);
    EXPECT_EQ(api().StartThread(), 1);  // disarms every port
    auto t0 = Clock::now();
    EXPECT_EQ(downloadNow(), 0);
    EXPECT_GE(elapsedMs(t0), kReplyWaitMs - 50);
    ASSERT_EQ(api().W_OpenCom(kPort), 1);
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, NoReceiverNoReply) {
    api().EndThread();
    line();
    EXPECT_EQ(downloadNow(), 0);
}

TEST_F(WiredLibrary, ClosedPortIsNotUsed) {
    LoggerSim& sim = line();
    ASSERT_EQ(downloadNow(), 22);
    EXPECT_NE(api().W_CloseCom(kPort), 0);
    EXPECT_EQ(api().W_CloseCom(kPort), 0);  // already closed
    sim.clearLog();
    auto t0 = Clock::now();
    EXPECT_EQ(downloadNow(), 0);
    EXPECT_LT(elapsedMs(t0), 500);  // nothing could be sent
    EXPECT_TRUE(sim.raw().empty());
    // The simulator keeps its side of the line: reopening works.
    ASSERT_EQ(api().W_OpenCom(kPort), 1);
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, DeviceThatGoesAwayIsNotWatchedInALoop) {
    LoggerSim& sim = line();
    ASSERT_EQ(downloadNow(), 22);
    sim.stop();  // the far end of the pty closes
    auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    double c0 = cpu();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_LT(cpu() - c0, 0.05);
    EXPECT_EQ(downloadNow(), 0);
}

TEST_F(WiredLibrary, OpeningAnOpenPortStartsItAfresh) {
    line();
    EXPECT_EQ(api().W_OpenCom(kPort), 1);
    EXPECT_EQ(downloadNow(), 22);
}

// The receiver waits in poll() on the open port; reopening or closing must
// not race it (a descriptor closed under poll keeps its lock until poll
// returns, so the reopen found the port "in use").
TEST_F(WiredLibrary, ReopenAndCloseWhileTheReceiverWaitsOnThePort) {
    line();
    for (int delayMs : {0, 1, 5, 20, 60}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ASSERT_EQ(api().W_OpenCom(kPort), 1) << "reopen after " << delayMs << " ms";
        EXPECT_EQ(downloadNow(), 22) << "after " << delayMs << " ms";
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ASSERT_EQ(api().W_CloseCom(kPort), 1) << "close after " << delayMs << " ms";
        ASSERT_EQ(api().W_OpenCom(kPort), 1) << "open after close, " << delayMs << " ms";
        EXPECT_EQ(downloadNow(), 22) << "after close and open, " << delayMs << " ms";
    }
}

TEST_F(WiredLibrary, ReceiverFollowsTheCurrentPort) {
    LoggerSim& a = line(kPort);
    LoggerSim& b = line(kOtherPort);
    ASSERT_TRUE(a.setReading(1, 0, 0, 111, 0));
    ASSERT_TRUE(b.setReading(1, 0, 0, 222, 0));
    for (int round = 0; round < 3; ++round) {
        float r12[2], r34[2];
        char t[20] = {};
        ASSERT_EQ(downloadNow(kPort, 1, r12, r34, t), 22);
        EXPECT_FLOAT_EQ(r34[0], 11.1f);
        ASSERT_EQ(downloadNow(kOtherPort, 1, r12, r34, t), 22);
        EXPECT_FLOAT_EQ(r34[0], 22.2f);
    }
}

TEST_F(WiredLibrary, TrickleWithShortGapsIsOneReply) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Trickle, 10));
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, GapOfTwentyMillisecondsOrMoreSplitsTheReply) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Split, 80, 1));
    EXPECT_EQ(downloadNow(), 0);  // sees only the first part's length
    // The second part, collected after the failure, does not answer the next request.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, SlowFirstByteIsTakenAloneAndFails) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::SlowFirst, 300, 1));
    EXPECT_EQ(downloadNow(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, SilenceTimesOutAfterTheWait) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Silent));
    auto t0 = Clock::now();
    EXPECT_EQ(downloadNow(), 0);
    long ms = elapsedMs(t0);
    EXPECT_GE(ms, kReplyWaitMs - 50);
    EXPECT_LT(ms, kReplyWaitMs + 500);
}

TEST_F(WiredLibrary, LateReplyDoesNotAnswerTheNextRequest) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setReading(1, 0, 0, 111, 0));
    ASSERT_TRUE(sim.setFault(1, Fault::Late, kLateArrivalMs, 1));
    EXPECT_EQ(downloadNow(), 0);
    // The late reply arrives and is collected after the wait has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(kLateArrivalMs - kReplyWaitMs + 400));
    ASSERT_TRUE(sim.setReading(1, 0, 0, 222, 0));
    float r12[2], r34[2];
    char t[20] = {};
    ASSERT_EQ(downloadNow(kPort, 1, r12, r34, t), 22);
    EXPECT_FLOAT_EQ(r34[0], 22.2f);  // its own answer, not the stale 11.1
}

// A reply that ends just before the wait runs out is still settling when
// the next request starts: the next logger's reply must not be lost with it.
TEST_F(WiredLibrary, ReplyAtTheEndOfTheWaitDoesNotCostTheNextLoggersReply) {
    LoggerSim& sim = line(kPort, {.addresses = {1, 2}});
    ASSERT_TRUE(sim.setReading(2, 0, 0, 222, 0));
    // Replies that start this late end (at 9600 baud) before the wait does,
    // but their settling runs past it. Later ones overlap the next request
    // on the wire, which no receiver can untangle.
    for (int lateMs : {1950, 1960, 1965}) {
        ASSERT_TRUE(sim.setFault(1, Fault::Late, lateMs, 1));
        downloadNow(1);  // may or may not be in time; the next one must be
        float r12[2] = {}, r34[2] = {};
        char t[20] = {};
        EXPECT_EQ(downloadNow(kPort, 2, r12, r34, t), 22) << "logger 1 late by " << lateMs << " ms";
        EXPECT_FLOAT_EQ(r34[0], 22.2f) << "logger 1 late by " << lateMs << " ms";
    }
}

TEST_F(WiredLibrary, LateReplyIsDroppedBeforeTheNextOperationOfAnotherKind) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Late, kLateArrivalMs, 1));
    EXPECT_EQ(downloadNow(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLateArrivalMs - kReplyWaitMs + 400));
    api().W_SetTargetDevice(kPort, 1);
    char text[20] = {};
    EXPECT_EQ(api().W_GetClock(kPort, text), 1);
    EXPECT_EQ(std::strlen(text), 19u);
}

// Exchanges a slowed test run may need before a line is clean again.
constexpr int kRecoveryAttempts = 5;

TEST_F(WiredLibrary, ReplyLongerThanTheBufferFails) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Oversize, 250, 1));
    EXPECT_EQ(downloadNow(), 0);
    ASSERT_TRUE(sim.setFault(1, Fault::Oversize, 400, 1));
    api().W_SetTargetDevice(kPort, 1);
    unsigned char times[20][5];
    double values[20][2];
    int count = -1;
    EXPECT_EQ(api().W_GetHistroy(kPort, 0, times, values, &count), 0);
    EXPECT_EQ(count, -1);
    // The library gives up before the simulator has paced out the whole long
    // reply; the line must come back once that tail has passed.
    int result = 0;
    for (int attempt = 0; attempt < kRecoveryAttempts && result == 0; ++attempt) result = downloadNow();
    EXPECT_EQ(result, 22);
}

// ---- replies judged by length and CRC ---------------------------------------

TEST_F(WiredLibrary, OneByteShortOrLongFailsEvenWithAGoodCrc) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Short, LoggerSim::kDefaultArg, 1));
    EXPECT_EQ(downloadNow(), 0);
    ASSERT_TRUE(sim.setFault(1, Fault::Long, LoggerSim::kDefaultArg, 1));
    EXPECT_EQ(downloadNow(), 0);
    EXPECT_EQ(downloadNow(), 22);
}

TEST_F(WiredLibrary, BadCrcFails) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::BadCrc, LoggerSim::kDefaultArg, 1));
    EXPECT_EQ(downloadNow(), 0);
    EXPECT_EQ(downloadNow(), 22);
}

// ---- operations ------------------------------------------------------------

TEST_F(WiredLibrary, DownloadNowReadsBothPairs) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setReading(1, 253, -5, -105, 602));
    ASSERT_TRUE(sim.setClock(1, "2024-03-05 14:27:33"));
    sim.clearLog();
    float r12[2] = {}, r34[2] = {};
    char text[20] = {};
    ASSERT_EQ(downloadNow(kPort, 1, r12, r34, text), 22);
    EXPECT_STREQ(text, "2024-03-05 14:27:00");
    EXPECT_FLOAT_EQ(r12[0], 25.3f);
    EXPECT_FLOAT_EQ(r12[1], -0.5f);
    EXPECT_FLOAT_EQ(r34[0], -10.5f);
    EXPECT_FLOAT_EQ(r34[1], 60.2f);
    EXPECT_EQ(sim.raw(), (Bytes{0x01, 0x03, 0x00, 0xCE, 0x00, 0x04, 0x25, 0xF6}));
}

TEST_F(WiredLibrary, AddressAbove255GoesOutAsItsLowByte) {
    LoggerSim& sim = line(kPort, {.addresses = {0, 1}});
    sim.clearLog();
    EXPECT_EQ(api().W_SetTargetDevice(kPort, 256), 256);
    char text[20] = {};
    float a[2], b[2];
    EXPECT_EQ(api().W_DownloadNow(kPort, text, a, b), 22);
    EXPECT_EQ(sim.sent(0).size(), 1u);
    EXPECT_EQ(downloadNow(257), 22);
    ASSERT_EQ(sim.sent(1).size(), 1u);
    EXPECT_EQ(sim.sent(1)[0][0], 0x01);
}

TEST_F(WiredLibrary, TargetAddressKeptOrClearedAsEachOperationSays) {
    LoggerSim& sim = line(kPort, {.addresses = {0, 5}});
    auto lastAddress = [&] {
        Bytes raw = sim.raw();
        sim.clearLog();
        return raw.empty() ? -1 : raw[0];
    };
    char mask = 0;
    int limits[4], duration = 0, interval = 0;
    char text[20] = {};

    sim.clearLog();
    api().W_SetTargetDevice(kPort, 5);
    ASSERT_EQ(api().W_GetAlarm(kPort, &mask, limits, &duration, &interval), 33);
    EXPECT_EQ(lastAddress(), 5);
    // Kept after a successful W_GetAlarm, W_SetAlarm and W_GetRecordingInterval.
    ASSERT_EQ(api().W_SetAlarm(kPort, mask, limits, duration, interval), 1);
    EXPECT_EQ(lastAddress(), 5);
    ASSERT_EQ(api().W_GetRecordingInterval(kPort), interval);
    EXPECT_EQ(lastAddress(), 5);
    // Cleared after W_GetClock: the next request goes to address 0.
    ASSERT_EQ(api().W_GetClock(kPort, text), 1);
    EXPECT_EQ(lastAddress(), 5);
    ASSERT_EQ(api().W_GetClock(kPort, text), 1);
    EXPECT_EQ(lastAddress(), 0);
    // Cleared after a failed W_GetAlarm.
    ASSERT_TRUE(sim.setFault(5, Fault::Silent, LoggerSim::kDefaultArg, 1));
    api().W_SetTargetDevice(kPort, 5);
    EXPECT_EQ(api().W_GetAlarm(kPort, &mask, limits, &duration, &interval), 0);
    EXPECT_EQ(lastAddress(), 5);
    EXPECT_EQ(api().W_GetRecordingInterval(kPort), interval);
    EXPECT_EQ(lastAddress(), 0);
}

TEST_F(WiredLibrary, AlarmSettingsRoundTripWithNegativeLimits) {
    LoggerSim& sim = line();
    const int limits[4] = {300, -200, 800, -300};
    api().W_SetTargetDevice(kPort, 1);
    sim.clearLog();
    ASSERT_EQ(api().W_SetAlarm(kPort, 3, limits, 10, 5), 1);

    Bytes expected{0x01, 0x10, 0x00, 0x05, 0x00, 0x0F, 0x1B, 0x05, 0xEE, 0x02, 0x03, 0x00,
                   0x2C, 0x01, 0x38, 0xFF, 0x20, 0x03, 0xD4, 0xFE};
    expected.insert(expected.end(), 12, 0);
    expected.push_back(0x0A);
    expected.push_back(0x00);
    EXPECT_EQ(sim.raw(), withCrc(expected));
    auto stored = sim.alarm(1);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->limits[1], -200);
    EXPECT_EQ(stored->limits[3], -300);
    EXPECT_EQ(stored->mask, 3);
    EXPECT_EQ(stored->intervalCode, 5);
    EXPECT_EQ(stored->soundDuration, 10);

    char mask = 0;
    int got[4] = {}, duration = 0, interval = 0;
    ASSERT_EQ(api().W_GetAlarm(kPort, &mask, got, &duration, &interval), 33);
    EXPECT_EQ(mask, 3);
    EXPECT_EQ(got[0], 300);
    EXPECT_EQ(got[1], -200);
    EXPECT_EQ(got[2], 800);
    EXPECT_EQ(got[3], -300);
    EXPECT_EQ(duration, 10);
    EXPECT_EQ(interval, 5);
}

TEST_F(WiredLibrary, GetAlarmDecodesPositiveWordsHighByteFirst) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setAlarm(1, {.mask = 1, .limits = {300, 0, 950, 50}, .soundDuration = 65000, .intervalCode = 15}));
    api().W_SetTargetDevice(kPort, 1);
    char mask = 0;
    int got[4] = {}, duration = 0, interval = 0;
    ASSERT_EQ(api().W_GetAlarm(kPort, &mask, got, &duration, &interval), 33);
    EXPECT_EQ(mask, 1);
    EXPECT_EQ(got[0], 300);
    EXPECT_EQ(got[2], 950);
    EXPECT_EQ(got[3], 50);
    EXPECT_EQ(duration, 65000);  // unsigned
    EXPECT_EQ(interval, 15);
}

TEST_F(WiredLibrary, RecordingIntervalIsZeroOnFailureAndForCodeZero) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setAlarm(1, {.mask = 3, .limits = {300, 100, 800, 200}, .soundDuration = 10, .intervalCode = 30}));
    api().W_SetTargetDevice(kPort, 1);
    EXPECT_EQ(api().W_GetRecordingInterval(kPort), 30);
    ASSERT_TRUE(sim.setAlarm(1, {.mask = 3, .limits = {300, 100, 800, 200}, .soundDuration = 10, .intervalCode = 0}));
    EXPECT_EQ(api().W_GetRecordingInterval(kPort), 0);
    ASSERT_TRUE(sim.setFault(1, Fault::Silent));
    EXPECT_EQ(api().W_GetRecordingInterval(kPort), 0);
}

TEST_F(WiredLibrary, ClockGetAndSet) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setClock(1, "2023-12-31 23:59:30"));
    api().W_SetTargetDevice(kPort, 1);
    char text[20] = {};
    ASSERT_EQ(api().W_GetClock(kPort, text), 1);
    EXPECT_EQ(std::strlen(text), 19u);
    EXPECT_EQ(std::string(text).substr(0, 17), "2023-12-31 23:59:");

    const unsigned char bcd[6] = {0x25, 0x06, 0x15, 0x08, 0x30, 0x00};
    sim.clearLog();
    api().W_SetTargetDevice(kPort, 1);
    ASSERT_EQ(api().W_SetClock(kPort, bcd), 1);
    EXPECT_EQ(sim.raw(), withCrc({0x01, 0x10, 0x00, 0xC8, 0x00, 0x06, 0x06, 0x25, 0x06, 0x15, 0x08, 0x30, 0x00}));
    EXPECT_EQ(sim.clock(1).substr(0, 16), "2025-06-15 08:30");
}

TEST_F(WiredLibrary, OldestRecordTimeAndCount) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.fillHistory(1, 45, "2024-01-02 03:04", 5));
    ASSERT_TRUE(sim.setSecondWord(1, 0x1234));
    ASSERT_TRUE(sim.setAlarm(1, {.mask = 3, .limits = {300, 100, 800, 200}, .soundDuration = 10, .intervalCode = 5}));
    api().W_SetTargetDevice(kPort, 1);
    sim.clearLog();
    char text[20] = {};
    int interval = -1, count = -1, word = -1;
    ASSERT_EQ(api().W_GetOldestRecordTime(kPort, text, &interval, &count, &word), 1);
    EXPECT_STREQ(text, "2024-01-02 03:04:00");
    EXPECT_EQ(interval, 5);
    EXPECT_EQ(count, 45);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(sim.raw(), withCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x02}));
}

TEST_F(WiredLibrary, HistoryInBlocksOfTwenty) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.fillHistory(1, 45, "2024-01-02 03:04", 1));
    unsigned char times[21][5] = {};
    double values[21][2] = {};
    std::memset(times[20], 0xAB, 5);
    values[20][0] = 12345;
    int count = -1;
    sim.clearLog();
    // Blocks count from 1.
    api().W_SetTargetDevice(kPort, 1);
    ASSERT_EQ(api().W_GetHistroy(kPort, 1, times, values, &count), 1);
    EXPECT_EQ(sim.raw(), withCrc({0x01, 0x03, 0x01, 0x00, 0x00, 0x01}));
    EXPECT_EQ(count, 20);
    EXPECT_EQ(times[0][0], 24);
    EXPECT_EQ(times[0][1], 1);
    EXPECT_EQ(times[0][2], 2);
    EXPECT_EQ(times[0][3], 3);
    EXPECT_EQ(times[0][4], 4);
    EXPECT_EQ(times[19][4], 23);
    EXPECT_DOUBLE_EQ(values[0][0], 100);
    EXPECT_DOUBLE_EQ(values[0][1], 500);
    EXPECT_DOUBLE_EQ(values[19][0], 119);
    EXPECT_EQ(times[20][0], 0xAB);  // nothing past 20 records
    EXPECT_DOUBLE_EQ(values[20][0], 12345);

    api().W_SetTargetDevice(kPort, 1);
    ASSERT_EQ(api().W_GetHistroy(kPort, 3, times, values, &count), 1);
    EXPECT_EQ(count, 5);
    EXPECT_DOUBLE_EQ(values[4][0], 144);
}

TEST_F(WiredLibrary, HistoryByteCounts) {
    LoggerSim& sim = line();
    unsigned char times[20][5];
    double values[20][2];
    int count = -1;
    // No records: byte count 2.
    api().W_SetTargetDevice(kPort, 1);
    ASSERT_EQ(api().W_GetHistroy(kPort, 0, times, values, &count), 1);
    EXPECT_EQ(count, 0);
    struct Case {
        int byteCount;
        int result;
        int records;
    };
    for (Case c : {Case{10, 1, 0}, Case{11, 1, 1}, Case{182, 1, 20}, Case{184, 1, 20}, Case{185, 0, -1}, Case{195, 0, -1}}) {
        ASSERT_TRUE(sim.setFault(1, Fault::HistBytes, c.byteCount, 1));
        count = -1;
        api().W_SetTargetDevice(kPort, 1);
        EXPECT_EQ(api().W_GetHistroy(kPort, 0, times, values, &count), c.result) << c.byteCount;
        EXPECT_EQ(count, c.records) << c.byteCount;
    }
}

TEST_F(WiredLibrary, ClearDataSendsThirtySixBytes) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.fillHistory(1, 10, "2024-01-02 03:04", 1));
    sim.clearLog();
    api().W_SetTargetDevice(kPort, 1);
    ASSERT_EQ(api().W_ClearData(kPort), 1);
    Bytes expected = withCrc({0x01, 0x10, 0x00, 0xC0, 0x00, 0x00});
    expected.insert(expected.end(), 28, 0);
    EXPECT_EQ(sim.raw(), expected);
    EXPECT_EQ(sim.historyCount(1), 0);
}

TEST_F(WiredLibrary, ClearDataWaitsThreeSeconds) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Late, 2600, 1));
    api().W_SetTargetDevice(kPort, 1);
    EXPECT_EQ(api().W_ClearData(kPort), 1);  // a reply after 2 s still counts here
}

TEST_F(WiredLibrary, SetRecordingIntervalKeepsTheOtherSettings) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setAlarm(1, {.mask = 2, .limits = {250, -150, 900, 100}, .soundDuration = 20, .intervalCode = 1}));
    api().W_SetTargetDevice(kPort, 1);
    sim.clearLog();
    ASSERT_EQ(api().W_SetRecordingInterval(kPort, 60), 1);
    auto frames = sim.sent(1);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][1], 0x03);
    EXPECT_EQ(frames[1][1], 0x10);
    auto stored = sim.alarm(1);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->intervalCode, 60);
    EXPECT_EQ(stored->mask, 2);
    EXPECT_EQ(stored->limits[1], -150);
    EXPECT_EQ(stored->limits[2], 900);
    EXPECT_EQ(stored->soundDuration, 20);
}

TEST_F(WiredLibrary, SetRecordingIntervalSendsNothingWhenTheReadFails) {
    LoggerSim& sim = line();
    ASSERT_TRUE(sim.setFault(1, Fault::Silent));
    api().W_SetTargetDevice(kPort, 1);
    sim.clearLog();
    EXPECT_EQ(api().W_SetRecordingInterval(kPort, 60), 0);
    auto frames = sim.sent(1);
    ASSERT_EQ(frames.size(), 1u);  // only the read
    EXPECT_EQ(frames[0], withCrc({0x01, 0x03, 0x00, 0x04, 0x00, 0x10}));
}

TEST_F(WiredLibrary, SetRecordingIntervalWrongLengthKeepsTargetBadCrcClearsIt) {
    LoggerSim& sim = line(kPort, {.addresses = {0, 9}});
    auto nextAddress = [&] {
        sim.clearLog();
        char text[20] = {};
        api().W_GetClock(kPort, text);
        Bytes raw = sim.raw();
        return raw.empty() ? -1 : raw[0];
    };
    // The read goes through, the write's reply is one byte short.
    ASSERT_TRUE(sim.setFault(9, Fault::Short, LoggerSim::kDefaultArg, 1, 1));
    api().W_SetTargetDevice(kPort, 9);
    EXPECT_EQ(api().W_SetRecordingInterval(kPort, 7), 0);
    EXPECT_EQ(nextAddress(), 9);
    // The same with a bad CRC forgets the target.
    ASSERT_TRUE(sim.setFault(9, Fault::BadCrc, LoggerSim::kDefaultArg, 1, 1));
    api().W_SetTargetDevice(kPort, 9);
    EXPECT_EQ(api().W_SetRecordingInterval(kPort, 7), 0);
    EXPECT_EQ(nextAddress(), 0);
    // Success forgets it too.
    api().W_SetTargetDevice(kPort, 9);
    EXPECT_EQ(api().W_SetRecordingInterval(kPort, 7), 1);
    EXPECT_EQ(nextAddress(), 0);
}

}  // namespace
}  // namespace tovanix::test
