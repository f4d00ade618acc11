#include "tests/devices/engine_test_support.h"

#include <cstdio>

#include "db/allocation.h"
#include "devices/polling_thread.h"
#include "db/connection.h"
#include "tests/support/process.h"

namespace tovanix::test {

std::time_t localTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string formatLocal(std::time_t t, const char* fmt) {
    std::tm tm {};
    localtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, fmt, &tm);
    return buf;
}

devices::EngineTiming fastTiming() {
    devices::EngineTiming t;
    t.beforeReadMs = 5;
    t.afterReadMs = 5;
    t.settingsPauseMs = 5;
    t.downloadEndMs = 5;
    t.firstScanMs = 3600 * 1000;  // the tests post scans themselves
    t.scanUnitMs = 3600 * 1000;
    t.tickMs = 3600 * 1000;       // counters move only when a test moves them
    t.alarm.perNumberWaitMs = 400;  // after the modem's result line
    return t;
}

void EngineFixture::SetUp() {
    DbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    createDatabase();
}

void EngineFixture::TearDown() {
    if (HasFailure()) {
        for (const auto& line : logLines()) std::fprintf(stderr, "  engine: %s\n", line.c_str());
    }
    if (engine) {
        engine->post(devices::kMsgCloseAllPorts);
        engine->stop();
        engine.reset();
    }
}

int EngineFixture::addLine(const std::string& name, int port, bool wired) {
    db::Connection c;
    EXPECT_TRUE(c.open());
    db::LineSettings s;
    s.name = name;
    s.serialPort = port;
    s.scanInterval = 3;
    s.wired = wired ? 1 : 0;
    auto a = db::allocateLine(c, s);
    EXPECT_TRUE(a.ok());
    return a.number;
}

void EngineFixture::addDevice(int lineid, int address, const std::string& name, int roomid) {
    db::Connection c;
    ASSERT_TRUE(c.open());
    ASSERT_TRUE(db::allocateDevice(c, lineid, address, name, roomid).ok());
}

void EngineFixture::setRowLimits(int lineid, int address, int en1, float lo1, float up1, int en2, float lo2, float up2,
                                 int recordInter) {
    execOrFail(db::sqlf("update tovandevicetable set CHL1Enable=%d,CHL1Lower=%f,CHL1Upper=%f,CHL2Enable=%d,"
                        "CHL2Lower=%f,CHL2Upper=%f,RecordInter=%d where LineID=%d and DeviceNumber=%d",
                        en1, lo1, up1, en2, lo2, up2, recordInter, lineid, address));
}

void EngineFixture::setAlarmDevice(int com, int sound, int gms, int gmsTime) {
    execOrFail("delete from tovanalarmdevicetable");
    execOrFail(db::sqlf("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('%d','%d','%d','%d')", com,
                        sound, gms, gmsTime));
}

void EngineFixture::addPhone(const std::string& number) {
    execOrFail("insert into tovanphonenumtable (PhoneNum) values('" + number + "')");
}

void EngineFixture::startEngine(const std::string& driverFolder) {
    engine = std::make_unique<devices::Engine>(timing);
    engine->setNow([this] { return clock(); });
    engine->setLog([this](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        log.push_back(line);
    });
    engine->setDriverFolder(driverFolder.empty() ? binDir() : driverFolder);
    ASSERT_TRUE(engine->loadConfiguration().connected);
    engine->assignSequenceNumbers();
    engine->start();
}

void EngineFixture::waitPollingIdle(std::chrono::milliseconds timeout) {
    ASSERT_TRUE(engine->pollingThread()->waitIdle(timeout)) << "polling thread still busy";
}

void EngineFixture::waitAlarmIdle(std::chrono::milliseconds timeout) {
    ASSERT_TRUE(engine->alarmThread()->waitIdle(timeout)) << "alarm thread still busy";
}

void EngineFixture::run(std::uint32_t message, std::any payload) {
    ASSERT_TRUE(engine->post(message, std::move(payload)));
    waitPollingIdle();
}

devices::DeviceEntry EngineFixture::entry(int lineid, int address) {
    auto d = engine->table().device(lineid, address);
    EXPECT_TRUE(d.has_value()) << "no device " << lineid << "/" << address;
    return d.value_or(devices::DeviceEntry{});
}

std::vector<std::string> EngineFixture::logLines() {
    std::lock_guard<std::mutex> lock(logMutex);
    return log;
}

}  // namespace tovanix::test
