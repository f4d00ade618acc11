// The polling thread end to end: SQL-seeded lines, logger simulators on
// pseudo-terminals, the real libWired.so, the private server.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "devices/polling_thread.h"
#include "tests/devices/engine_test_support.h"
#include "platform/serial.h"
#include "tests/support/process.h"

namespace tovanix::test {
namespace {

using namespace std::chrono_literals;
using devices::kMsgOpenPorts;
using devices::kMsgQuickRead;
using devices::kMsgReadSettings;
using devices::kMsgScan;

class Scan : public EngineFixture {};

LoggerSim::Alarm limits(int mask, int up1, int lo1, int up2, int lo2, int interval = 1) {
    LoggerSim::Alarm a;
    a.mask = mask;
    a.limits[0] = up1;
    a.limits[1] = lo1;
    a.limits[2] = up2;
    a.limits[3] = lo2;
    a.intervalCode = interval;
    return a;
}

TEST_F(Scan, ThreeLinesEndToEnd) {
    LoggerSim a({.addresses = {1, 2, 3}, .paced = false});
    LoggerSim b({.addresses = {5, 7}, .paced = false});
    LoggerSim w({.addresses = {1}, .paced = false, .receiver = true});
    ASSERT_TRUE(a.start()) << a.error();
    ASSERT_TRUE(b.start()) << b.error();
    ASSERT_TRUE(w.start()) << w.error();
    ASSERT_FALSE(a.linkCom(3).empty());
    ASSERT_FALSE(b.linkCom(4).empty());
    ASSERT_FALSE(w.linkCom(5).empty());
    const int l1 = addLine("一号线", 3, true);
    const int l2 = addLine("二号线 'B'", 4, true);
    const int l3 = addLine("无线", 5, false);
    for (int addr : {1, 2, 3}) addDevice(l1, addr, "冷库" + std::to_string(addr));
    addDevice(l2, 5, "仓库5");
    addDevice(l2, 7, "仓库7");
    addDevice(l3, 1, "无线1");
    ASSERT_TRUE(a.setAlarm(1, limits(0x03, 80, -200, 900, 100, 1)));
    ASSERT_TRUE(a.setReading(1, 50, 600, 52, 610));
    ASSERT_TRUE(b.setReading(7, -125, 300, -123, 305));
    ASSERT_TRUE(a.setClock(1, "2026-12-07 10:15:00"));
    ASSERT_TRUE(b.setClock(7, "2026-12-07 10:15:00"));

    startEngine();
    run(kMsgOpenPorts);
    EXPECT_TRUE(engine->table().line(l1)->portOpen);
    EXPECT_TRUE(engine->table().line(l2)->portOpen);
    EXPECT_FALSE(engine->table().line(l3)->portOpen) << "the wireless line's port belongs to its own library";

    run(kMsgReadSettings);
    EXPECT_EQ(scalar("select concat(SqlRecord,'/',CHL1Enable,'/',CHL1Lower,'/',CHL1Upper,'/',CHL2Enable,'/',"
                     "CHL2Lower,'/',CHL2Upper) from tovandevicetable where LineID=1 and DeviceNumber=1"),
              "1/1/-20/8/2/10/90");
    EXPECT_EQ(entry(l1, 1).settingsLoaded, 1);
    EXPECT_EQ(entry(l1, 1).ch2Enable, 2);
    EXPECT_EQ(scalar("select SqlRecord from tovandevicetable where LineID=3"), "0");

    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 1);
    EXPECT_EQ(scalar("select concat(RecordDataTime,'|',CHL1,'|',CHL2,'|',AlarmSign) from tovandatatable_1001"),
              "2026-12-07 10:15:00|5.2|61|0");
    EXPECT_EQ(scalar("select concat(CHL1,'|',CHL2) from tovandatatable_2007"), "-12.3|30.5");
    EXPECT_EQ(scalar("select DownLastTime from tovandevicetable where LineID=2 and DeviceNumber=7"),
              "2026-12-07 10:15:00");
    EXPECT_EQ(entry(l1, 1).status, devices::kStatusNormal);
    EXPECT_EQ(entry(l1, 1).powerKind, devices::kPowerExternal);
    EXPECT_FLOAT_EQ(entry(l2, 7).ch1, -12.3f);

    // Same minute again: one row, holding the second reading.
    ASSERT_TRUE(a.setReading(1, 50, 600, 55, 620));
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 1);
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001"), "5.5");

    // The scan never speaks to the wireless line.
    EXPECT_TRUE(w.raw().empty());
    EXPECT_EQ(rowCount("show tables like 'tovandatatable_3001'"), 0);

    // Quick read: values and status, no rows.
    ASSERT_TRUE(a.setReading(1, 50, 600, 99, 620));
    run(kMsgQuickRead);
    EXPECT_FLOAT_EQ(entry(l1, 1).ch1, 9.9f);
    EXPECT_FLOAT_EQ(entry(l1, 1).power1, 5.0f);
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001"), "5.5");
    auto lines = logLines();
    bool scanLine = false;
    for (const auto& l : lines) scanLine = scanLine || l.find("scan: 5 read, 0 failed") != std::string::npos;
    EXPECT_TRUE(scanLine);
}

TEST_F(Scan, StatusesAndTheFourthFailure) {
    LoggerSim a({.addresses = {1}, .paced = false});
    ASSERT_TRUE(a.start()) << a.error();
    a.linkCom(3);
    const int l = addLine("L", 3, true);
    addDevice(l, 1, "D1");
    setRowLimits(l, 1, 1, 2.0f, 8.0f, 0, 0, 0);
    ASSERT_TRUE(a.setReading(1, 50, 500, 50, 500));
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusNormal);
    ASSERT_TRUE(a.setReading(1, 90, 500, 90, 500));
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusAlarm);
    EXPECT_EQ(entry(l, 1).unacknowledged, 1);
    EXPECT_EQ(scalar("select AlarmGetSign from tovandevicetable where DeviceNumber=1"), "1");
    ASSERT_TRUE(a.setReading(1, 50, 500, 50, 500));
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusAlarmOver);
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusAlarmOver);
    ASSERT_TRUE(a.setFault(1, LoggerSim::Fault::Silent));
    for (int i = 1; i <= 3; ++i) {
        run(kMsgScan);
        EXPECT_EQ(entry(l, 1).status, devices::kStatusAlarmOver) << "failure " << i;
        EXPECT_EQ(entry(l, 1).failureCount, i);
    }
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusNotAnswering);
    EXPECT_EQ(entry(l, 1).failureCount, 0);
    ASSERT_TRUE(a.clearFault(1));
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusNormal);
}

TEST_F(Scan, BadRepliesCountAsFailures) {
    LoggerSim a({.addresses = {1}, .paced = false});
    ASSERT_TRUE(a.start());
    a.linkCom(3);
    const int l = addLine("L", 3, true);
    addDevice(l, 1, "D1");
    startEngine();
    run(kMsgOpenPorts);
    const LoggerSim::Fault faults[] = {LoggerSim::Fault::BadCrc, LoggerSim::Fault::Short, LoggerSim::Fault::Long,
                                       LoggerSim::Fault::Oversize};
    int expected = 0;
    for (auto f : faults) {
        ASSERT_TRUE(a.setFault(1, f, LoggerSim::kDefaultArg, 1));
        run(kMsgScan);
        ++expected;
        if (expected > 3) expected = 0;
        EXPECT_EQ(entry(l, 1).failureCount, expected) << static_cast<int>(f);
    }
    EXPECT_EQ(rowCount("show tables like 'tovandatatable_1001'"), 0) << "no row for a bad reply";
    // A reply that trickles in with short gaps is one good reply.
    ASSERT_TRUE(a.setFault(1, LoggerSim::Fault::Trickle, 5, 1));
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).failureCount, 0);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 1);
}

TEST_F(Scan, AlarmRowsAtMostOncePerMinute) {
    LoggerSim a({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(a.start());
    a.linkCom(3);
    const int l = addLine("L", 3, true);
    execOrFail("insert into tovanroomtable (RoomName,LineID,EraseSign,roomid) values('冷库组','1','0','101')");
    addDevice(l, 1, "每分钟", 101);
    addDevice(l, 2, "两分钟");
    setRowLimits(l, 1, 1, 2.0f, 8.0f, 2, 30.0f, 80.0f, 1);
    setRowLimits(l, 2, 1, 2.0f, 8.0f, 0, 0, 0, 2);
    ASSERT_TRUE(a.setReading(1, 90, 200, 90, 200));  // ch1 above, ch2 below
    ASSERT_TRUE(a.setReading(2, 10, 200, 10, 200));  // ch1 below
    startEngine();
    run(kMsgOpenPorts);

    clock.set(localTime(2026, 12, 7, 10, 15, 20));
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovanalarmtable where DeviceNumber=1"), 2);
    EXPECT_EQ(rowCount("select * from tovanalarmtable where DeviceNumber=2"), 1);
    EXPECT_EQ(scalar("select concat(RecordTime,'|',DeviceName,'|',LineName,'|',RoomName,'|',deviceid,'|',lineid,'|',"
                     "Channel,'|',Value,'|',Event) from tovanalarmtable where DeviceNumber=1 and Channel=1"),
              "2026-12-07 10:15:00|每分钟|L|冷库组|1|1|1|9|上限超标");
    EXPECT_EQ(scalar("select Event from tovanalarmtable where DeviceNumber=1 and Channel=2"), "下限超标");
    EXPECT_EQ(scalar("select Event from tovanalarmtable where DeviceNumber=2"), "下限超标");
    EXPECT_EQ(scalar("select AlarmSign from tovandatatable_1001"), "18");  // 0x02 | 0x10

    clock.set(localTime(2026, 12, 7, 10, 15, 55));
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovanalarmtable"), 3);
    clock.set(localTime(2026, 12, 7, 10, 16, 2));
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovanalarmtable where DeviceNumber=1"), 4);
    EXPECT_EQ(rowCount("select * from tovanalarmtable where DeviceNumber=2"), 1) << "interval 2: 120 s";
    clock.set(localTime(2026, 12, 7, 10, 17, 0));
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovanalarmtable where DeviceNumber=2"), 2);
}

TEST_F(Scan, DisabledAlarmsAreNeverLogged) {
    LoggerSim a({.addresses = {1}, .paced = false});
    ASSERT_TRUE(a.start());
    a.linkCom(3);
    const int l = addLine("L", 3, true);
    addDevice(l, 1, "off");
    setRowLimits(l, 1, 0, 2.0f, 8.0f, 0, 30.0f, 80.0f);
    ASSERT_TRUE(a.setReading(1, 900, 0, 900, 0));
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    EXPECT_EQ(entry(l, 1).status, devices::kStatusNormal);
    EXPECT_EQ(rowCount("select * from tovanalarmtable"), 0);
    EXPECT_EQ(scalar("select AlarmSign from tovandatatable_1001"), "0");
}

// Waits until cond() holds or five seconds pass.
template <typename Cond>
bool eventually(Cond cond) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST_F(Scan, TimerPostsOnlyWhileIdle) {
    devices::EngineTiming t = fastTiming();
    t.firstScanMs = 50;
    t.scanUnitMs = 100;
    t.tickMs = 20;
    engine = std::make_unique<devices::Engine>(t);
    engine->setDriverFolder(binDir());
    ASSERT_TRUE(engine->loadConfiguration().connected);
    engine->start();
    ASSERT_TRUE(eventually([&] { return engine->scansPosted() >= 2; }));
    EXPECT_EQ(engine->currentScanPeriodMs(), 100) << "0 devices: one unit after the first scan";

    // Busy: the device event held, so no pass can end and put the state back.
    engine->deviceEvent.wait();
    engine->driverState.store(devices::kStateReadingSettings);
    long long skipped = engine->scansSkipped();
    ASSERT_TRUE(eventually([&] { return engine->scansSkipped() > skipped; }));
    const long long posted = engine->scansPosted();
    skipped = engine->scansSkipped();
    ASSERT_TRUE(eventually([&] { return engine->scansSkipped() >= skipped + 3; }));
    EXPECT_EQ(engine->scansPosted(), posted) << "no scan while the state code is not 0";
    engine->driverState.store(devices::kStateIdle);
    engine->deviceEvent.set();
    EXPECT_TRUE(eventually([&] { return engine->scansPosted() > posted; }));

    // The period follows the device count after additions.
    devices::LineEntry line;
    line.lineid = 1;
    engine->table().addLine(line);
    for (int i = 1; i <= 25; ++i) {
        devices::DeviceEntry d;
        d.address = static_cast<std::uint16_t>(i);
        engine->table().addDevice(1, d);
        if (i == 9 || i == 10 || i == 25) {
            engine->restartScanTimer();
            EXPECT_EQ(engine->currentScanPeriodMs(), devices::scanPeriodMs(i, 100)) << i;
        }
    }
    EXPECT_EQ(engine->currentScanPeriodMs(), 300);
    // The one-second tick advances the rate-limit counters.
    const std::uint32_t before = engine->alarmShared().smsTimer.load();
    EXPECT_TRUE(eventually([&] { return engine->alarmShared().smsTimer.load() > before; }));
}

TEST_F(Scan, StopDropsQueuedWorkButClosesThePorts) {
    LoggerSim a({.addresses = {1, 2, 3, 4, 5}, .paced = false});
    ASSERT_TRUE(a.start());
    a.linkCom(3);
    const int l = addLine("L", 3, true);
    for (int addr = 1; addr <= 5; ++addr) addDevice(l, addr, "D" + std::to_string(addr));
    startEngine();
    run(devices::kMsgOpenPorts);
    for (int addr = 1; addr <= 5; ++addr) ASSERT_TRUE(a.setFault(addr, LoggerSim::Fault::Silent));
    // Five loggers that never answer cost ten seconds a pass; three passes queued.
    engine->post(kMsgScan);
    engine->post(kMsgReadSettings);
    engine->post(kMsgQuickRead);
    std::this_thread::sleep_for(100ms);  // let the first pass begin its first read
    engine->post(devices::kMsgCloseAllPorts);
    const auto t0 = std::chrono::steady_clock::now();
    engine->stop();
    const auto took = std::chrono::steady_clock::now() - t0;
    // One read's time-out at most, not thirty seconds of queued passes.
    EXPECT_LT(took, 8s);
    EXPECT_FALSE(engine->table().line(l)->portOpen);
    platform::SerialPort p;
    EXPECT_TRUE(p.open(3)) << "the port was closed: " << p.lastError();
    engine.reset();
}

}  // namespace
}  // namespace tovanix::test
