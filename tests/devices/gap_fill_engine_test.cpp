// The automatic gap fill end to end: the polling thread on simulated loggers
// that record every minute, the private server, the real libWired.so.
//
// The server is taken away from the station by removing the socket path the
// station connects through: a link to the private server's socket, made for
// this test. A stopped MariaDB removes its socket file, so the client sees
// exactly what it sees then ("Can't connect ... through socket"); unlike
// stopping the shared private server, the other test programs are not
// disturbed and no second server has to be initialised. A refused reading
// (server up, statement failing) is made by a trigger on one data table.
//
// Time is the loggers' own: each "scan period" moves their clocks on by one
// minute and waits for the record the simulator stores for that minute.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <thread>

#include "db/account.h"
#include "db/connection.h"
#include "devices/polling_thread.h"
#include "tests/devices/engine_test_support.h"
#include "tests/support/alarm_sim.h"

namespace tovanix::test {
namespace {

using namespace std::chrono_literals;
using devices::kMsgOpenPorts;
using devices::kMsgScan;

template <typename Cond>
bool eventually(Cond cond, std::chrono::milliseconds timeout = 10s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

constexpr int kPort = 3;
constexpr int kAlarmCom = 9;

class GapFill : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        char tmpl[] = "/tmp/tovanix-gap-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        link_ = dir_ + "/mysqld.sock";
        serverBack();
        // Before any engine thread exists: nobody reads the environment now.
        ::setenv(db::kSocketEnv, link_.c_str(), 1);
    }
    void TearDown() override {
        if (!dir_.empty()) serverBack();
        EngineFixture::TearDown();
        ::setenv(db::kSocketEnv, testServer().socket.c_str(), 1);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    void serverAway() { ASSERT_EQ(::unlink(link_.c_str()), 0); }
    void serverBack() {
        if (::access(link_.c_str(), F_OK) == 0) return;
        ASSERT_EQ(::symlink(testServer().socket.c_str(), link_.c_str()), 0);
    }

    // The loggers of `sim` recording every minute from 10:00 on, with the
    // values of minute m being 200 + m and 600 + m (tenths).
    // The simulator stores a logger's first record at the first minute its
    // clock passes after recording began; that record (10:00) is awaited, so
    // every later minute is certain to be recorded.
    void startRecording(LoggerSim& sim, const std::vector<int>& addresses) {
        std::vector<int> before;
        for (int a : addresses) {
            ASSERT_TRUE(sim.setReading(a, 0, 0, 200, 600));
            ASSERT_TRUE(sim.setClock(a, "2026-12-07 09:59:58"));
            ASSERT_TRUE(sim.setRecording(a, true));
            before.push_back(sim.historyCount(a));
        }
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            ASSERT_TRUE(eventually([&] { return sim.historyCount(addresses[i]) > before[i]; })) << "no first record";
            ASSERT_TRUE(sim.setClock(addresses[i], "2026-12-07 10:00:30"));
        }
        clock.set(localTime(2026, 12, 7, 10, 0, 40));
    }
    // One minute passes on the loggers: each stores its record of minute m.
    void minute(LoggerSim& sim, const std::vector<int>& addresses, int m) {
        for (int a : addresses) {
            const int before = sim.historyCount(a);
            ASSERT_TRUE(sim.setReading(a, 0, 0, 200 + m, 600 + m));
            ASSERT_TRUE(sim.setClock(a, formatLocal(localTime(2026, 12, 7, 10, m, 30))));
            ASSERT_TRUE(eventually([&] { return sim.historyCount(a) > before; })) << "no record of minute " << m;
        }
        clock.set(localTime(2026, 12, 7, 10, m, 40));
    }
    static std::string rows(int n) {
        return "select count(*) from tovandatatable_" + std::to_string(n);
    }
    // Rows of minutes first..last (after 10:00) as "HH:MM=CHL1/CHL2,...".
    static std::string minutes(int n) {
        return scalar("select group_concat(concat(date_format(RecordDataTime,'%H:%i'),'=',CHL1,'/',CHL2) order by "
                      "RecordDataTime separator ',') from tovandatatable_" + std::to_string(n));
    }
    static std::string expected(const std::string& before, int first, int last) {
        std::string s = before;
        for (int m = first; m <= last; ++m) {
            if (!s.empty()) s += ",";
            char buf[64];
            std::snprintf(buf, sizeof buf, "10:%02d=%s/%s", m, tenths(200 + m).c_str(), tenths(600 + m).c_str());
            s += buf;
        }
        return s;
    }
    static std::string tenths(int v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", v / 10.0);
        std::string s = buf;
        if (s.size() > 2 && s.substr(s.size() - 2) == ".0") s.resize(s.size() - 2);
        return s;
    }
    bool logged(const std::string& part) {
        for (const auto& l : logLines())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }

    std::string dir_, link_;
};

TEST_F(GapFill, ServerOutageOfFiveScansFilledAtTheFirstStoredScan) {
    LoggerSim sim({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    addDevice(line, 2, "冷库2");
    // Records the loggers hold from before the gap, one of them already
    // stored with other values: neither may be touched.
    for (int a : {1, 2}) {
        ASSERT_TRUE(sim.addHistory(a, "2026-12-07 09:58", 111, 222));
        ASSERT_TRUE(sim.addHistory(a, "2026-12-07 09:59", 333, 444));
    }
    startRecording(sim, {1, 2});
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);  // 10:00 stored
    execOrFail("insert into tovandatatable_1001 (RecordDataTime,CHL1,CHL2,CHL3,CHL4,AlarmSign,checksign,user_name,"
               "checkevent) values('2026-12-07 09:58:00','1.5','2.5',0,0,'0',0,'','')");
    serverAway();
    for (int m = 1; m <= 5; ++m) {
        minute(sim, {1, 2}, m);
        run(kMsgScan);
    }
    EXPECT_TRUE(logged("gap: 冷库1 (line 1, address 1) reading not stored (database unreachable): gap opened"));
    serverBack();
    minute(sim, {1, 2}, 6);
    const long long scans = engine->scansDone.load();
    run(kMsgScan);  // stores 10:06 and closes the gaps; the fill follows
    EXPECT_EQ(engine->scansDone.load(), scans + 1);

    EXPECT_EQ(minutes(1001), "09:58=1.5/2.5," + expected("", 0, 6)) << "every minute, the 09:58 row untouched";
    EXPECT_EQ(minutes(1002), expected("", 0, 6)) << "09:58 and 09:59 lie before the gap";
    EXPECT_EQ(scalar("select count(distinct RecordDataTime) = count(*) from tovandatatable_1002"), "1");
    EXPECT_TRUE(logged("gap: 冷库2 (line 1, address 2): closed, readings after 2026-12-07 10:00 and before "
                       "2026-12-07 10:06 to be fetched from the logger"));
    EXPECT_TRUE(logged("gap: 冷库2 (line 1, address 2): 5 records fetched between 2026-12-07 10:00 and 2026-12-07 10:06"));
    EXPECT_EQ(engine->gapNotices.load(), 0) << "nothing was lost";
}

TEST_F(GapFill, SilentLoggerFilledWhenItAnswersAgain) {
    LoggerSim sim({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    addDevice(line, 2, "冷库2");
    startRecording(sim, {1, 2});
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    ASSERT_TRUE(sim.setFault(2, LoggerSim::Fault::Silent));
    for (int m = 1; m <= 5; ++m) {
        minute(sim, {1, 2}, m);
        run(kMsgScan);
    }
    EXPECT_EQ(entry(line, 2).status, devices::kStatusNotAnswering);
    EXPECT_TRUE(logged("gap: 冷库2 (line 1, address 2) did not answer: gap opened, readings after 2026-12-07 10:00"));
    EXPECT_EQ(std::stoi(scalar(rows(1002))), 1);
    ASSERT_TRUE(sim.clearFault(2));
    minute(sim, {1, 2}, 6);
    run(kMsgScan);
    EXPECT_EQ(minutes(1002), expected("", 0, 6));
    EXPECT_EQ(minutes(1001), expected("", 0, 6)) << "the answering logger kept its live rows";
}

TEST_F(GapFill, RefusedReadingsFilledOnceTheTableTakesThemAgain) {
    LoggerSim sim({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    addDevice(line, 2, "冷库2");
    startRecording(sim, {1, 2});
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    execOrFail("create trigger refuse_1002 before insert on tovandatatable_1002 for each row "
               "signal sqlstate '45000' set message_text = 'disk full'");
    for (int m = 1; m <= 3; ++m) {
        minute(sim, {1, 2}, m);
        run(kMsgScan);
    }
    EXPECT_TRUE(logged("gap: 冷库2 (line 1, address 2) reading refused by the database: gap opened"));
    EXPECT_FALSE(logged("gap: 冷库1")) << "the other logger's readings were stored";
    execOrFail("drop trigger refuse_1002");
    minute(sim, {1, 2}, 4);
    run(kMsgScan);
    EXPECT_EQ(minutes(1002), expected("", 0, 4));
}

TEST_F(GapFill, RecordsNoLongerInTheLoggerReportedOnce) {
    LoggerSim sim({.addresses = {1}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    startRecording(sim, {1});
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    serverAway();
    for (int m = 1; m <= 5; ++m) {
        minute(sim, {1}, m);
        run(kMsgScan);
        // The logger's memory is lost after 10:02 was recorded.
        if (m == 3) {
            ASSERT_TRUE(sim.clearHistory(1));
        }
    }
    serverBack();
    minute(sim, {1}, 6);
    run(kMsgScan);
    EXPECT_EQ(minutes(1001), expected("", 0, 0) + "," + expected("", 4, 6));
    EXPECT_TRUE(logged("gap: 冷库1 (line 1, address 1): records from 2026-12-07 10:01 to 2026-12-07 10:03 are no "
                       "longer in the logger"));
    EXPECT_EQ(engine->gapNotices.load(), 1);
    EXPECT_EQ(engine->gapNotice(), "冷库1 2026-12-07 10:01至2026-12-07 10:03的记录已不在记录仪中");
    minute(sim, {1}, 7);
    run(kMsgScan);
    EXPECT_EQ(engine->gapNotices.load(), 1) << "reported once";
}

TEST_F(GapFill, ReadingsNotStoredDuringARestoreFilledAfterIt) {
    LoggerSim sim({.addresses = {1}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    startRecording(sim, {1});
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    engine->storingPaused.store(true);
    for (int m = 1; m <= 3; ++m) {
        minute(sim, {1}, m);
        run(kMsgScan);
    }
    EXPECT_TRUE(logged("gap: 冷库1 (line 1, address 1) reading not stored (storing paused for a restore): gap opened"));
    EXPECT_FALSE(logged("reading refused by the database"));
    engine->storingPaused.store(false);
    minute(sim, {1}, 4);
    run(kMsgScan);
    EXPECT_EQ(minutes(1001), expected("", 0, 4));
}

// A long fill (400 records at 9600 baud) with the scan timer running: the
// scans that fall due run between blocks, and an alarm raised meanwhile
// reaches the alarm box within one scan.
TEST_F(GapFill, AlarmDuringALongFillReachesTheBoxWithinOneScan) {
    LoggerSim sim({.addresses = {1, 2}, .paced = true});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    AlarmSim box;
    AlarmSim::Options o;
    o.paced = false;
    o.quiet = true;
    ASSERT_TRUE(box.start(o)) << box.error();
    ASSERT_TRUE(box.linkAs(kAlarmCom));
    setAlarmDevice(kAlarmCom, 1, 0, 1);
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    addDevice(line, 2, "冷库2");
    setRowLimits(line, 2, 1, 2.0f, 8.0f, 0, 0, 0);
    // Logger 1 was last stored at 03:19 and holds 400 records since: twenty blocks.
    execOrFail("update tovandevicetable set DownLastTime='2026-12-07 03:19:00' where DeviceNumber=1");
    ASSERT_TRUE(sim.fillHistory(1, 400, "2026-12-07 03:20", 1));
    ASSERT_TRUE(sim.setReading(2, 50, 500, 50, 500));
    ASSERT_TRUE(sim.setClock(1, "2026-12-07 10:00:30"));
    ASSERT_TRUE(sim.setClock(2, "2026-12-07 10:00:30"));
    ASSERT_TRUE(sim.setFault(1, LoggerSim::Fault::Silent, LoggerSim::kDefaultArg, 1));  // misses the first scan

    timing.beforeReadMs = 5;
    timing.firstScanMs = 100;
    timing.scanUnitMs = 400;  // a scan every 400 ms: many fall due during the fill
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(eventually([&] { return logged("gap: 冷库1 (line 1, address 1): closed"); }));
    ASSERT_TRUE(eventually([&] { return engine->driverState.load() == devices::kStateReadingHistory; }));
    const long long scans = engine->scansDone.load();
    ASSERT_TRUE(sim.setReading(2, 95, 500, 95, 500));  // 9.5 above 8.0
    EXPECT_TRUE(box.waitForSiren(true, 10000));
    const long long scansAtSiren = engine->scansDone.load();
    EXPECT_LE(scansAtSiren, scans + 2) << "the siren came with the first scan that read the new value";
    EXPECT_FALSE(logged("gap: 冷库1 (line 1, address 1): 400 records fetched")) << "the fill was still running";
    ASSERT_TRUE(eventually([&] { return logged("records fetched between 2026-12-07 03:19"); }, 60s));
    EXPECT_EQ(std::stoi(scalar(rows(1001))), 401) << "400 fetched and the live reading";
    EXPECT_TRUE(logged("gap: 冷库1 (line 1, address 1): 400 records fetched"));
}

// Retries of a back-fill an operator would make after 请重试！.
constexpr int kBackfillRetries = 2;

// A long back-fill of a chosen logger (0x49B) hands the scans that fall due
// over as the gap fill does: they run between blocks, not after it.
TEST_F(GapFill, ScansRunBetweenTheBlocksOfALongBackfill) {
    LoggerSim sim({.addresses = {1, 2}, .paced = true});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(kPort).empty());
    const int line = addLine("一号线", kPort, true);
    addDevice(line, 1, "冷库1");
    addDevice(line, 2, "冷库2");
    ASSERT_TRUE(sim.fillHistory(1, 400, "2026-12-07 03:20", 1));
    ASSERT_TRUE(sim.setClock(1, "2026-12-07 10:00:30"));
    ASSERT_TRUE(sim.setClock(2, "2026-12-07 10:00:30"));
    timing.beforeReadMs = 5;
    timing.firstScanMs = 100;
    timing.scanUnitMs = 400;
    startEngine();
    run(kMsgOpenPorts);
    devices::HistoryRequest r;
    r.start = localTime(2026, 12, 7, 0, 0);
    r.end = localTime(2026, 12, 7, 23, 59);
    r.devices = {{line, 1}};
    engine->backfill.begin(r.devices.size());
    ASSERT_TRUE(engine->post(devices::kMsgDownloadChosen, r));
    ASSERT_TRUE(eventually([&] { return engine->backfill.statuses()[0] == devices::kJobDownloading; }));
    const long long scans = engine->scansDone.load();
    ASSERT_TRUE(eventually([&] { return engine->scansDone.load() >= scans + 2 || engine->backfill.running() == 0; },
                           30s));
    EXPECT_EQ(engine->backfill.running(), 1) << "two scans ran while the back-fill was still going";
    ASSERT_TRUE(eventually([&] { return engine->backfill.running() == 0; }, 60s));
    // On a slowed (sanitizer) run a block can still miss its reply after its
    // retries; the job then says 请重试！ and the operator's retry completes it.
    for (int retry = 0; retry < kBackfillRetries && engine->backfill.statuses()[0] == devices::kJobFailed; ++retry) {
        engine->backfill.begin(r.devices.size());
        ASSERT_TRUE(engine->post(devices::kMsgDownloadChosen, r));
        ASSERT_TRUE(eventually([&] { return engine->backfill.running() == 0; }, 60s));
    }
    EXPECT_EQ(engine->backfill.statuses(), (std::vector<int>{devices::kJobDone}));
    EXPECT_GE(std::stoi(scalar(rows(1001))), 400);
}

}  // namespace
}  // namespace tovanix::test
