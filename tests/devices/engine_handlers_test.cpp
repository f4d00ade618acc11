// The polling thread's requests from the dialogs, the settings-read thread,
// history download and a station without libTevlib.so.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "db/connection.h"
#include "db/data_table.h"
#include "devices/drive_binding.h"
#include "tests/devices/engine_test_support.h"
#include "platform/serial.h"
#include "tests/support/process.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace devices;

class Handlers : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(logger.start()) << logger.error();
        logger.linkCom(3);
        line = addLine("一号线", 3, true);
        addDevice(line, 1, "D1");
        addDevice(line, 2, "D2");
    }
    LoggerSim logger{LoggerSimOptions{.addresses = {1, 2}, .paced = false}};
    int line = 0;
};

TEST_F(Handlers, WriteAlarmSettingsWithNegativeLimits) {
    startEngine();
    AlarmWriteRequest r;
    r.lineid = line;
    r.address = 1;
    r.ch1Enable = 1;
    r.ch2Enable = 1;
    r.enableBits = 3;
    r.limitsTenths[0] = 80;    // ch1 upper
    r.limitsTenths[1] = -200;  // ch1 lower
    r.limitsTenths[2] = 900;
    r.limitsTenths[3] = 0;
    r.ch1Type = "温度";
    r.ch1Unit = "℃";
    r.ch2Type = "湿度";
    r.ch2Unit = "%";
    r.ch1Upper = 8.0f;
    r.ch1Lower = -20.0f;
    r.ch2Upper = 90.0f;
    r.ch2Lower = 0.0f;
    run(kMsgWriteAlarm, r);
    EXPECT_EQ(engine->alarmWriteResult.load(), kResultPortClosed) << "ports not opened yet";

    run(kMsgOpenPorts);
    run(kMsgWriteAlarm, r);
    EXPECT_EQ(engine->alarmWriteResult.load(), kResultDone);
    auto block = logger.alarm(1);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->mask, 3);
    EXPECT_EQ(block->limits[1], -200);
    EXPECT_EQ(block->soundDuration, 301);
    EXPECT_FLOAT_EQ(entry(line, 1).ch1Lower, -20.0f);
    EXPECT_EQ(scalar("select concat(CHL1Enable,'|',CHL1Lower,'|',CHL1Upper,'|',CHL2Unit,'|',AlarmSoundDuration) from "
                     "tovandevicetable where DeviceNumber=1"),
              "1|-20|8|%|301");

    ASSERT_TRUE(logger.setFault(1, LoggerSim::Fault::Silent));
    run(kMsgWriteAlarm, r);
    EXPECT_EQ(engine->alarmWriteResult.load(), kResultDeviceFailed);
}

TEST_F(Handlers, RecordingIntervalAndStartLogging) {
    startEngine();
    run(kMsgWriteInterval, IntervalRequest{line, 1, 60});
    EXPECT_EQ(engine->intervalResult.load(), kResultPortClosed);
    run(kMsgStartLogging, DeviceRequest{line, 1});
    EXPECT_EQ(engine->startLoggingResult.load(), kStartLoggingPortClosed);

    run(kMsgOpenPorts);
    run(kMsgWriteInterval, IntervalRequest{line, 1, 60});
    EXPECT_EQ(engine->intervalResult.load(), kResultDone);
    EXPECT_EQ(logger.alarm(1)->intervalCode, 60);
    EXPECT_EQ(entry(line, 1).recordInterval, 60);
    EXPECT_EQ(scalar("select RecordInter from tovandevicetable where DeviceNumber=1"), "60");

    // A logger that does not answer the read inside the write: nothing sent.
    ASSERT_TRUE(logger.setFault(2, LoggerSim::Fault::Silent));
    logger.clearLog();
    run(kMsgWriteInterval, IntervalRequest{line, 2, 5});
    EXPECT_EQ(engine->intervalResult.load(), kResultDeviceFailed);
    for (const auto& f : logger.sent(2)) EXPECT_NE(f[1], 0x10) << "a write went out";
    ASSERT_TRUE(logger.clearFault(2));

    ASSERT_TRUE(logger.fillHistory(1, 5, "2026-12-07 08:00", 1));
    ASSERT_TRUE(logger.setClock(1, "2025-01-01 00:00:00"));
    run(kMsgStartLogging, DeviceRequest{line, 1});
    EXPECT_EQ(engine->startLoggingResult.load(), kResultDone);
    EXPECT_EQ(logger.historyCount(1), 0) << "a new recording erases the stored records";
    EXPECT_EQ(logger.clock(1).substr(0, 16), formatLocal(clock(), "%Y-%m-%d %H:%M"));
}

TEST_F(Handlers, ProbeSetsTheClockOnlyWhenTheMinuteDiffers) {
    ASSERT_TRUE(logger.fillHistory(1, 3, "2026-12-07 08:00", 1));
    ASSERT_TRUE(logger.fillHistory(2, 3, "2026-12-07 08:00", 1));
    // The station's clock stands at 10:15:20; the logger's runs on from 10:15:00.
    ASSERT_TRUE(logger.setClock(1, "2026-12-07 10:15:00"));
    ASSERT_TRUE(logger.setClock(2, "2020-02-02 02:02:02"));
    LoggerSim::Alarm a;
    a.mask = 1;
    a.limits[0] = 250;
    a.limits[1] = -50;
    a.intervalCode = 5;
    ASSERT_TRUE(logger.setAlarm(2, a));
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgProbeDevice, DeviceRequest{line, 1});
    run(kMsgProbeDevice, DeviceRequest{line, 2});
    EXPECT_EQ(logger.historyCount(1), 3) << "same minute: records kept";
    EXPECT_EQ(logger.historyCount(2), 0) << "clock set: records erased";
    EXPECT_EQ(logger.clock(2).substr(0, 16), formatLocal(clock(), "%Y-%m-%d %H:%M"));
    DeviceEntry d = entry(line, 2);
    EXPECT_EQ(d.status, kStatusNormal);
    EXPECT_EQ(d.powerKind, kPowerExternal);
    EXPECT_FLOAT_EQ(d.ch1Upper, 25.0f);
    EXPECT_FLOAT_EQ(d.ch1Lower, -5.0f);
    EXPECT_EQ(d.settingsLoaded, 1);
    EXPECT_EQ(scalar("select concat(SqlRecord,'|',RecordInter,'|',CHL1Lower) from tovandevicetable where "
                     "DeviceNumber=2"),
              "1|5|-5");
    EXPECT_EQ(scalar("select DownLastTime from tovandevicetable where DeviceNumber=2"), d.readingTime);
    EXPECT_EQ(engine->driverState.load(), kStateIdle);

    // A logger that does not answer leaves the state idle and the event free.
    ASSERT_TRUE(logger.setFault(1, LoggerSim::Fault::Silent));
    run(kMsgProbeDevice, DeviceRequest{line, 1});
    EXPECT_EQ(engine->driverState.load(), kStateIdle);
    EXPECT_TRUE(engine->deviceEvent.waitFor(0ms));
    engine->deviceEvent.set();
}

TEST_F(Handlers, HistoryDownloadStoresTheRangeAndNeverOverwrites) {
    // 30 records from 08:00, one a minute: two blocks.
    ASSERT_TRUE(logger.fillHistory(1, 30, "2026-12-07 08:00", 1));
    ASSERT_TRUE(logger.fillHistory(2, 20, "2026-12-07 09:00", 1));
    startEngine();
    run(kMsgOpenPorts);
    {
        db::Connection c;
        ASSERT_TRUE(c.open());
        db::createDataTable(c, 1001);
        db::storeLiveReading(c, 1001, "2026-12-07 08:10:00", 77.7, 1.0, "2");
    }
    HistoryRequest range;
    range.start = localTime(2026, 12, 7, 8, 5);
    range.end = localTime(2026, 12, 7, 8, 24);
    logger.clearLog();
    run(kMsgDownloadAll, range);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 20);
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001 where RecordDataTime='2026-12-07 08:10:00'"), "77.7");
    EXPECT_EQ(scalar("select AlarmSign from tovandatatable_1001 where RecordDataTime='2026-12-07 08:10:00'"), "2");
    // Record i holds 100 + i and 500 - i, stored divided by ten.
    EXPECT_EQ(scalar("select concat(CHL1,'|',CHL2,'|',AlarmSign) from tovandatatable_1001 where "
                     "RecordDataTime='2026-12-07 08:05:00'"),
              "10.5|49.5|0");
    EXPECT_EQ(rowCount("select * from tovandatatable_1001 where RecordDataTime='2026-12-07 08:24:00'"), 1);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001 where RecordDataTime<'2026-12-07 08:05:00'"), 0);
    EXPECT_EQ(rowCount("select * from tovandatatable_1002"), 0) << "device 2's records are outside the range";
    EXPECT_EQ(engine->recoveryFlag.load(), 0);
    int blockRequests = 0;
    for (const auto& f : logger.sent(1)) blockRequests += f.size() == 8 && f[1] == 0x03 && f[2] == 0x01;
    EXPECT_EQ(blockRequests, 2);

    // Chosen devices only.
    HistoryRequest chosen;
    chosen.start = localTime(2026, 12, 7, 0, 0);
    chosen.end = localTime(2026, 12, 7, 23, 59);
    chosen.devices.push_back({line, 2});
    run(kMsgDownloadChosen, chosen);
    EXPECT_EQ(rowCount("select * from tovandatatable_1002"), 20);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 20);

    // A block that fails twice is skipped; the rest still arrives.
    ASSERT_TRUE(logger.clearHistory(1));
    ASSERT_TRUE(logger.fillHistory(1, 40, "2026-12-07 12:00", 1));
    ASSERT_TRUE(logger.setFault(1, LoggerSim::Fault::Silent, LoggerSim::kDefaultArg, 2, 1));
    chosen.devices = {{line, 1}};
    run(kMsgDownloadChosen, chosen);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001 where RecordDataTime>='2026-12-07 12:00:00'"), 20);
}

TEST_F(Handlers, BackfillJobsShowEachDevicesStatusAndOnlyTheSpanArrives) {
    ASSERT_TRUE(logger.fillHistory(1, 30, "2026-12-07 08:00", 1));
    ASSERT_TRUE(logger.fillHistory(2, 30, "2026-12-07 08:00", 1));
    const int closed = addLine("未开线路", 9, true);  // no port behind COM9
    addDevice(closed, 5, "D5");
    startEngine();
    run(kMsgOpenPorts);
    HistoryRequest r;
    r.start = localTime(2026, 12, 7, 8, 10);
    r.end = localTime(2026, 12, 7, 8, 19);
    r.devices = {{line, 2}, {line, 1}, {closed, 5}, {line, 7}};
    engine->backfill.begin(r.devices.size());
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(engine->backfill.running(), 1);
    run(kMsgDownloadChosen, r);
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{kJobDone, kJobDone, kJobFailed, kJobFailed}));
    EXPECT_EQ(engine->backfill.running(), 0);
    EXPECT_EQ(engine->recoveryFlag.load(), 0) << "the start-up download's flag is not touched";
    for (int table : {1001, 1002}) {
        EXPECT_EQ(rowCount(db::sqlf("select * from tovandatatable_%d", table)), 10) << table;
        EXPECT_EQ(rowCount(db::sqlf("select * from tovandatatable_%d where RecordDataTime<'2026-12-07 08:10:00' or "
                                    "RecordDataTime>'2026-12-07 08:19:00'",
                                    table)),
                  0);
    }

    // A logger that stops answering fails; the other one is still done.
    ASSERT_TRUE(logger.setFault(1, LoggerSim::Fault::Silent));
    r.devices = {{line, 1}, {line, 2}};
    engine->backfill.begin(r.devices.size());
    run(kMsgDownloadChosen, r);
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{kJobFailed, kJobDone}));
    EXPECT_EQ(engine->backfill.running(), 0);
}

TEST_F(Handlers, ScansStoreNothingWhileARestoreLoads) {
    ASSERT_TRUE(logger.setClock(1, "2026-12-07 10:15:00"));
    startEngine();
    run(kMsgOpenPorts);
    engine->storingPaused.store(true);
    run(kMsgScan);
    EXPECT_EQ(entry(line, 1).status, 1) << "the logger is still read";
    EXPECT_EQ(rowCount("show tables like 'tovandatatable_1001'"), 0);
    engine->storingPaused.store(false);
    run(kMsgScan);
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 1);
}

TEST_F(Handlers, DownloadsStoreNothingWhileARestoreLoads) {
    ASSERT_TRUE(logger.fillHistory(1, 30, "2026-12-07 08:00", 1));
    startEngine();
    run(kMsgOpenPorts);
    HistoryRequest r;
    r.start = localTime(2026, 12, 7, 0, 0);
    r.end = localTime(2026, 12, 7, 23, 59);
    r.devices = {{line, 1}};
    engine->storingPaused.store(true);
    engine->backfill.begin(r.devices.size());
    run(kMsgDownloadChosen, r);
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{kJobFailed})) << "a paused store is a failed job";
    run(kMsgDownloadAll, r);
    EXPECT_EQ(rowCount("show tables like 'tovandatatable_1001'"), 0) << "no table made, nothing stored";
    engine->storingPaused.store(false);
    engine->backfill.begin(r.devices.size());
    run(kMsgDownloadChosen, r);
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{kJobDone}));
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 30);
}

TEST_F(Handlers, BackfillOfALoggerWithAnImplausibleOldestTimeFails) {
    // Year 2000: before any logger's clock can be right.
    ASSERT_TRUE(logger.fillHistory(1, 5, "2000-06-01 08:00", 1));
    startEngine();
    run(kMsgOpenPorts);
    HistoryRequest r;
    r.start = localTime(2000, 1, 1, 0, 0);
    r.end = localTime(2000, 12, 31, 23, 59);
    r.devices = {{line, 1}};
    engine->backfill.begin(r.devices.size());
    run(kMsgDownloadChosen, r);
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{kJobFailed})) << "not done with nothing read";
}

TEST_F(Handlers, SettingsReadThreadWiredAndWireless) {
    LoggerSim w({.addresses = {4}, .paced = false, .receiver = true});
    ASSERT_TRUE(w.start()) << w.error();
    w.linkCom(5);
    const int wl = addLine("无线", 5, false);
    addDevice(wl, 4, "W4");
    ASSERT_TRUE(w.setBeep(4, 1, 3, 30));
    ASSERT_TRUE(w.setConfig(4, 10, 0, 5, 60));
    LoggerSim::Alarm a;
    a.mask = 2;
    a.limits[2] = 850;
    a.limits[3] = 150;
    a.soundDuration = 0x1FF;
    a.intervalCode = 15;
    ASSERT_TRUE(logger.setAlarm(2, a));
    startEngine();
    run(kMsgOpenPorts);
    {
        CTovanDeviveDrive drive(*engine);
        EXPECT_TRUE(drive.tevlib().loaded());
        drive.startSettingsRead({line, 2});
        drive.join();
        EXPECT_EQ(engine->settingsPageState.load(), 1);
        EXPECT_EQ(engine->driverState.load(), kStateIdle);
        EXPECT_EQ(scalar("select concat(CHL2Enable,'|',CHL2Lower,'|',CHL2Upper,'|',AlarmSoundEnable,'|',"
                         "AlarmSoundDuration,'|',RecordInter,'|',SqlRecord) from tovandevicetable where LineID=1 and "
                         "DeviceNumber=2"),
                  "2|15|85|1|255|15|1");
        EXPECT_TRUE(engine->table().line(line)->portOpen) << "the polling thread's port stays open";

        drive.startSettingsRead({wl, 4});
        drive.join();
        EXPECT_EQ(scalar("select concat(AlarmSoundEnable,'|',AlarmSoundMonitorInter,'|',AlarmSoundDuration,'|',"
                         "RecordInter,'|',RecordInterUnit,'|',SamplingInter,'|',LCDOFFDelay,'|',SqlRecord) from "
                         "tovandevicetable where LineID=2"),
                  "1|3|30|10|0|5|60|1");
        EXPECT_EQ(entry(wl, 4).settingsLoaded, 1);
    }
    // The wired line still works after the dialog's binder went.
    ASSERT_TRUE(logger.setReading(1, 10, 20, 30, 40));
    run(kMsgScan);
    EXPECT_FLOAT_EQ(entry(line, 1).ch1, 3.0f);
}

TEST_F(Handlers, WithoutTevlibWiredLinesStillWork) {
    const fs::path dir = fs::temp_directory_path() / ("tovanix-drivers-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::create_symlink(binDir() + "/libWired.so", dir / "libWired.so");
    fs::create_symlink(binDir() + "/libAlarm.so", dir / "libAlarm.so");
    const int wl = addLine("无线", 5, false);
    addDevice(wl, 4, "W4");
    ASSERT_TRUE(logger.setReading(1, 10, 20, 30, 40));
    startEngine(dir.string());
    run(kMsgOpenPorts);
    run(kMsgScan);
    EXPECT_FLOAT_EQ(entry(line, 1).ch1, 3.0f);
    {
        CTovanDeviveDrive drive(*engine);
        EXPECT_FALSE(drive.tevlib().loaded());
        EXPECT_EQ(drive.tevlib().open(5), 0);
        drive.startSettingsRead({wl, 4});
        drive.join();
        EXPECT_EQ(engine->settingsPageState.load(), 1);
        EXPECT_EQ(scalar("select SqlRecord from tovandevicetable where LineID=2"), "0");
    }
    engine->post(kMsgCloseAllPorts);
    engine->stop();
    engine.reset();
    fs::remove_all(dir);
}

TEST_F(Handlers, RequestsForVanishedLinesAndDevicesEndCleanly) {
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgStartLogging, DeviceRequest{99, 1});
    EXPECT_EQ(engine->startLoggingResult.load(), kStartLoggingPortClosed) << "no line 99: the dialog must not wait";
    run(kMsgWriteAlarm, std::string("not a request record"));
    EXPECT_EQ(engine->alarmWriteResult.load(), kResultDeviceFailed);
    // A device deleted before its probe ran: its logger is left alone.
    ASSERT_TRUE(logger.fillHistory(2, 4, "2026-12-07 08:00", 1));
    ASSERT_TRUE(logger.setClock(2, "2020-01-01 00:00:00"));
    engine->table().removeDevice(line, 2);
    logger.clearLog();
    run(kMsgProbeDevice, DeviceRequest{line, 2});
    EXPECT_TRUE(logger.sent(2).empty());
    EXPECT_EQ(logger.historyCount(2), 4);
}

TEST_F(Handlers, PortHandlersCloseAndReopen) {
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(engine->table().line(line)->portOpen);
    run(kMsgClosePort, LineRequest{line});
    EXPECT_FALSE(engine->table().line(line)->portOpen);
    run(kMsgScan);
    EXPECT_EQ(entry(line, 1).readCounter, 0) << "a closed port is not read";
    run(kMsgOpenPort, LineRequest{line});
    EXPECT_TRUE(engine->table().line(line)->portOpen);
    run(kMsgScan);
    EXPECT_EQ(entry(line, 1).readCounter, 1);
    run(kMsgCloseAllPorts);
    EXPECT_FALSE(engine->table().line(line)->portOpen);
    // The line is free for another program now.
    platform::SerialPort p;
    EXPECT_TRUE(p.open(3)) << p.lastError();
}

}  // namespace
}  // namespace tovanix::test

namespace tovanix::test {
namespace {

using namespace devices;

class PortRequests : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(logger.start()) << logger.error();
        logger.linkCom(3);
        line = addLine("一号线", 3, true);
        addDevice(line, 1, "D1");
    }
    bool answers() {
        run(kMsgQuickRead);
        return entry(line, 1).status == kStatusNormal;
    }
    LoggerSim logger{LoggerSimOptions{.addresses = {1}, .paced = false}};
    int line = 0;
};

TEST_F(PortRequests, ToggleAndDeletionKeepTheirOwnStates) {
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(engine->table().line(line)->portOpen);
    // A deletion's close is pending while the edit dialog's toggle is handled.
    engine->lineClosing.store(1);
    engine->portToggle.store(kToggleClosing);
    run(kMsgClosePort, LineRequest{line, kPortOfEntry, PortRequester::Toggle});
    EXPECT_EQ(engine->portToggle.load(), kToggleIdle);
    EXPECT_EQ(engine->lineClosing.load(), 1) << "the deletion's close has not run";
    EXPECT_FALSE(engine->table().line(line)->portOpen);

    engine->portToggle.store(kToggleOpening);
    run(kMsgOpenPort, LineRequest{line, kPortOfEntry, PortRequester::Toggle});
    EXPECT_EQ(engine->portToggle.load(), kToggleIdle);
    EXPECT_EQ(engine->lineClosing.load(), 1);
    EXPECT_TRUE(engine->table().line(line)->portOpen);
    EXPECT_TRUE(answers());
}

TEST_F(PortRequests, DeletionClosesTheCarriedPortWhenTheEntryIsGone) {
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(engine->table().line(line)->portOpen);
    {
        platform::SerialPort held;
        EXPECT_FALSE(held.open(3)) << "the library holds the port";
    }
    engine->table().removeLine(line);
    engine->lineClosing.store(1);
    run(kMsgClosePort, LineRequest{line, 3});
    EXPECT_EQ(engine->lineClosing.load(), 0);
    // The port is free: another opener gets it.
    platform::SerialPort p;
    EXPECT_TRUE(p.open(3)) << p.lastError();
}

}  // namespace
}  // namespace tovanix::test
