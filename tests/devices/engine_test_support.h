// A station on simulated lines for the engine tests: a fresh database with
// lines and devices written by SQL, logger simulators per line, the alarm
// simulator, and an engine with short waits and a settable clock.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/engine.h"
#include "tests/support/alarm_sim.h"
#include "tests/support/logger_sim.h"
#include "tests/support/test_db.h"

namespace tovanix::test {

// Settable clock for the engine (alarm-log minutes, message times).
class FakeClock {
public:
    explicit FakeClock(std::time_t t) : t_(t) {}
    std::time_t operator()() const { return t_.load(); }
    void set(std::time_t t) { t_.store(t); }
    void advance(long seconds) { t_.fetch_add(seconds); }

private:
    std::atomic<std::time_t> t_;
};

// Local time of a calendar date, for readable test data.
std::time_t localTime(int y, int mo, int d, int h, int mi, int s = 0);
std::string formatLocal(std::time_t t, const char* fmt = "%Y-%m-%d %H:%M:%S");

// Fast waits; scans are posted by the tests, not by the timer.
devices::EngineTiming fastTiming();

class EngineFixture : public DbTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Seeds a line by SQL (allocation statements) and returns its lineid.
    int addLine(const std::string& name, int port, bool wired);
    void addDevice(int lineid, int address, const std::string& name, int roomid = 0);
    // Limits in the device row (what the configuration load reads).
    void setRowLimits(int lineid, int address, int en1, float lo1, float up1, int en2, float lo2, float up2,
                      int recordInter = 1);
    void setAlarmDevice(int com, int sound, int gms, int gmsTime);
    void addPhone(const std::string& number);

    // Loads the configuration and starts the engine (and nothing else).
    void startEngine(const std::string& driverFolder = {});
    // Posts and waits until the polling thread is idle again.
    void run(std::uint32_t message, std::any payload = {});
    void waitPollingIdle(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    void waitAlarmIdle(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    devices::DeviceEntry entry(int lineid, int address);
    std::vector<std::string> logLines();

    FakeClock clock{localTime(2026, 12, 7, 10, 15, 20)};
    devices::EngineTiming timing = fastTiming();  // what startEngine gives the engine
    std::unique_ptr<devices::Engine> engine;
    std::mutex logMutex;  // guards log
    std::vector<std::string> log;
};

}  // namespace tovanix::test
