// libTevlib.so through dlopen, over a pseudo-terminal, against the
// simulator's wireless receiver mode.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "tests/support/comdir.h"
#include "tests/support/logger_sim.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Fault = LoggerSim::Fault;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPort = 6;
constexpr int kReplyTimeoutMs = 1000;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new ComDirEnvironment("tevlib"));

struct TevlibApi {
    int (*T_Open)(int) = nullptr;
    void (*T_Close)(void) = nullptr;
    void (*T_SetTargetDevice)(int) = nullptr;
    int (*T_GetState)(unsigned char*, float*, float*, unsigned char*) = nullptr;
    int (*T_Start)(void) = nullptr;
    int (*T_Stop)(void) = nullptr;
    int (*T_GetBeep)(unsigned char*, unsigned char*, unsigned char*) = nullptr;
    int (*T_GetConfig)(int*, int*, int*, int*) = nullptr;
    int (*T_SetDeviceID)(int) = nullptr;
    void* handle = nullptr;
    std::string error;

    template <typename F>
    void bind(F& slot, const char* name) {
        slot = reinterpret_cast<F>(::dlsym(handle, name));
        if (slot == nullptr) error += std::string(" missing ") + name;
    }
    void load() {
        std::error_code ec;
        fs::path self = fs::read_symlink("/proc/self/exe", ec);
        std::string path = (self.parent_path().parent_path() / "bin" / "libTevlib.so").string();
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            error = ::dlerror();
            return;
        }
        bind(T_Open, "T_Open");
        bind(T_Close, "T_Close");
        bind(T_SetTargetDevice, "T_SetTargetDevice");
        bind(T_GetState, "T_GetState");
        bind(T_Start, "T_Start");
        bind(T_Stop, "T_Stop");
        bind(T_GetBeep, "T_GetBeep");
        bind(T_GetConfig, "T_GetConfig");
        bind(T_SetDeviceID, "T_SetDeviceID");
    }
};

class Tevlib : public ::testing::Test {
protected:
    static TevlibApi& api() {
        static TevlibApi a;
        return a;
    }
    static void SetUpTestSuite() {
        if (api().handle == nullptr) api().load();
    }
    void SetUp() override {
        ASSERT_NE(api().handle, nullptr) << api().error;
        ASSERT_TRUE(api().error.empty()) << api().error;
    }
    void TearDown() override { api().T_Close(); }

    // A receiver with loggers 1, 2 and 3 on COM<kPort>, opened, target 1.
    LoggerSim& receiver(std::vector<int> addresses = {1, 2, 3}) {
        sim_ = std::make_unique<LoggerSim>(LoggerSimOptions{.addresses = std::move(addresses), .receiver = true});
        EXPECT_TRUE(sim_->start()) << sim_->error();
        EXPECT_FALSE(sim_->linkCom(kPort).empty());
        EXPECT_EQ(api().T_Open(kPort), 1);
        api().T_SetTargetDevice(1);
        return *sim_;
    }

    std::unique_ptr<LoggerSim> sim_;
};

TEST_F(Tevlib, OpenFailsWithoutADevice) { EXPECT_EQ(api().T_Open(kPort + 1), 0); }

TEST_F(Tevlib, OpenCloseAndReopen) {
    receiver();
    api().T_Close();
    api().T_Close();  // harmless
    EXPECT_EQ(api().T_Open(kPort), 1);
    EXPECT_EQ(api().T_Open(kPort), 1);  // an open port is closed first
}

TEST_F(Tevlib, OperationsWithoutAnOpenPortFail) {
    api().T_SetTargetDevice(1);
    unsigned char running = 0, kind = 0;
    float p1 = 0, p2 = 0;
    EXPECT_EQ(api().T_GetState(&running, &p1, &p2, &kind), 0);
    EXPECT_EQ(api().T_Start(), 0);
}

TEST_F(Tevlib, GetStateReadsRunningPowerAndKind) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setRunning(2, false));
    ASSERT_TRUE(sim.setPower(2, 3.125f, 4.5f, 1));
    sim.clearLog();
    api().T_SetTargetDevice(2);
    unsigned char running = 9, kind = 9;
    float p1 = 0, p2 = 0;
    ASSERT_NE(api().T_GetState(&running, &p1, &p2, &kind), 0);
    EXPECT_EQ(running, 0);
    EXPECT_FLOAT_EQ(p1, 3.125f);
    EXPECT_FLOAT_EQ(p2, 4.5f);
    EXPECT_EQ(kind, 1);
    // A5, length 3, address 2 little endian, command 01, CRC.
    Bytes raw = sim.raw();
    ASSERT_EQ(raw.size(), 7u);
    EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 5), (Bytes{0xA5, 0x03, 0x02, 0x00, 0x01}));
}

TEST_F(Tevlib, NullOutputsFailWithoutSending) {
    LoggerSim& sim = receiver();
    sim.clearLog();
    unsigned char b = 0;
    float f = 0;
    int i = 0;
    EXPECT_EQ(api().T_GetState(nullptr, &f, &f, &b), 0);
    EXPECT_EQ(api().T_GetBeep(&b, nullptr, &b), 0);
    EXPECT_EQ(api().T_GetConfig(&i, &i, nullptr, &i), 0);
    EXPECT_TRUE(sim.raw().empty());
}

TEST_F(Tevlib, StartAndStop) {
    LoggerSim& sim = receiver();
    api().T_SetTargetDevice(3);
    ASSERT_NE(api().T_Stop(), 0);
    EXPECT_EQ(sim.wirelessState(3)->running, 0);
    ASSERT_NE(api().T_Start(), 0);
    EXPECT_EQ(sim.wirelessState(3)->running, 1);
    unsigned char running = 0, kind = 0;
    float p1 = 0, p2 = 0;
    ASSERT_NE(api().T_GetState(&running, &p1, &p2, &kind), 0);
    EXPECT_NE(running, 0);
}

TEST_F(Tevlib, BeepAndConfig) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setBeep(1, 1, 15, 200));
    ASSERT_TRUE(sim.setConfig(1, 30, 2, 600, 45));
    unsigned char e = 0, m = 0, d = 0;
    ASSERT_NE(api().T_GetBeep(&e, &m, &d), 0);
    EXPECT_EQ(e, 1);
    EXPECT_EQ(m, 15);
    EXPECT_EQ(d, 200);
    int ri = 0, unit = 0, si = 0, lcd = 0;
    ASSERT_NE(api().T_GetConfig(&ri, &unit, &si, &lcd), 0);
    EXPECT_EQ(ri, 30);
    EXPECT_EQ(unit, 2);
    EXPECT_EQ(si, 600);
    EXPECT_EQ(lcd, 45);
}

TEST_F(Tevlib, SetDeviceIdMovesTheLoggerAndTheTarget) {
    LoggerSim& sim = receiver();
    api().T_SetTargetDevice(2);
    ASSERT_NE(api().T_SetDeviceID(742), 0);
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 3, 742}));
    unsigned char e = 0, m = 0, d = 0;
    EXPECT_NE(api().T_GetBeep(&e, &m, &d), 0);  // the target followed
    EXPECT_EQ(sim.sent(742).size(), 1u);
}

TEST_F(Tevlib, SlowConfirmationOfANewIdIsStillAccepted) {
    LoggerSim& sim = receiver();
    constexpr int kSlowMs = 200;  // well inside the reply time-out
    ASSERT_TRUE(sim.setFault(2, Fault::Late, kSlowMs, 1));
    api().T_SetTargetDevice(2);
    auto t0 = Clock::now();
    EXPECT_NE(api().T_SetDeviceID(21), 0);
    EXPECT_GE(elapsedMs(t0), kSlowMs);
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 3, 21}));
}

TEST_F(Tevlib, SetDeviceIdRefusals) {
    LoggerSim& sim = receiver();
    sim.clearLog();
    EXPECT_EQ(api().T_SetDeviceID(0), 0);
    EXPECT_EQ(api().T_SetDeviceID(1000), 0);
    EXPECT_TRUE(sim.raw().empty());  // refused before anything is sent
    EXPECT_EQ(api().T_SetDeviceID(3), 0);  // taken by another logger
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 2, 3}));
    // No logger at the target: the receiver says so, at once.
    api().T_SetTargetDevice(55);
    auto t0 = Clock::now();
    EXPECT_EQ(api().T_SetDeviceID(56), 0);
    EXPECT_LT(elapsedMs(t0), kReplyTimeoutMs);
}

TEST_F(Tevlib, UnknownAddressFailsWithoutRepeat) {
    LoggerSim& sim = receiver();
    api().T_SetTargetDevice(77);
    sim.clearLog();
    unsigned char running = 0, kind = 0;
    float p1 = 0, p2 = 0;
    EXPECT_EQ(api().T_GetState(&running, &p1, &p2, &kind), 0);
    EXPECT_EQ(sim.sent(77).size(), 1u);
}

TEST_F(Tevlib, LostReplyIsRepeatedOnce) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setFault(1, Fault::BadCrc, LoggerSim::kDefaultArg, 1));
    sim.clearLog();
    unsigned char e = 0, m = 0, d = 0;
    EXPECT_NE(api().T_GetBeep(&e, &m, &d), 0);
    EXPECT_EQ(sim.sent(1).size(), 2u);
}

TEST_F(Tevlib, SilentLoggerFailsAfterTwoAttempts) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setFault(1, Fault::Silent));
    sim.clearLog();
    auto t0 = Clock::now();
    EXPECT_EQ(api().T_Start(), 0);
    long ms = elapsedMs(t0);
    EXPECT_GE(ms, 2 * kReplyTimeoutMs - 50);
    EXPECT_LT(ms, 2 * kReplyTimeoutMs + 500);
    EXPECT_EQ(sim.sent(1).size(), 2u);
}

TEST_F(Tevlib, LateAnswerIsNotTakenForTheNextRequest) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setBeep(1, 1, 2, 3));
    // First attempt answered late (after the 1 s wait), the repeat in time.
    ASSERT_TRUE(sim.setFault(1, Fault::Late, 1200, 1));
    unsigned char e = 0, m = 0, d = 0;
    EXPECT_NE(api().T_GetBeep(&e, &m, &d), 0);
    EXPECT_EQ(d, 3);
    int ri = 0, unit = 0, si = 0, lcd = 0;
    EXPECT_NE(api().T_GetConfig(&ri, &unit, &si, &lcd), 0);
}

TEST_F(Tevlib, SetDeviceIdIsNotRepeated) {
    LoggerSim& sim = receiver();
    ASSERT_TRUE(sim.setFault(2, Fault::BadCrc, LoggerSim::kDefaultArg, 1));
    api().T_SetTargetDevice(2);
    sim.clearLog();
    EXPECT_EQ(api().T_SetDeviceID(20), 0);  // the confirmation was garbled
    EXPECT_EQ(sim.sent(2).size(), 1u);
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 3, 20}));  // though the logger moved
}

TEST_F(Tevlib, LookedUpOnlyOperationsReturnZero) {
    const char* names[] = {"T_DownloadNow", "T_SetTimeouts", "T_GetTimeouts", "T_SetClock", "T_Clear",
                           "T_SetAlarmConfig", "T_GetAlarmConfig", "T_SetAlarmChl", "T_SetBeep",
                           "T_SetAlarmEnable", "T_GetClock", "T_SetConfig", "T_DownloadAll", "T_DownloadAllEx"};
    for (const char* n : names) EXPECT_NE(::dlsym(api().handle, n), nullptr) << n;
    auto clear = reinterpret_cast<int (*)(void)>(::dlsym(api().handle, "T_Clear"));
    auto setBeep = reinterpret_cast<int (*)(unsigned char, unsigned char, unsigned char)>(::dlsym(api().handle, "T_SetBeep"));
    auto getClock = reinterpret_cast<int (*)(char*)>(::dlsym(api().handle, "T_GetClock"));
    char text[20] = {};
    EXPECT_EQ(clear(), 0);
    EXPECT_EQ(setBeep(1, 2, 3), 0);
    EXPECT_EQ(getClock(text), 0);
}

}  // namespace
}  // namespace tovanix::test
