#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

#include "app/credentials.h"
#include "db/allocation.h"
#include "db/connection.h"
#include "platform/serial.h"
#include "tests/support/logger_sim.h"
#include "tests/support/process.h"
#include "tests/support/test_db.h"

namespace tovanix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Headless : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        home_ = fs::temp_directory_path() / ("tovanix-headless-" + std::to_string(::getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_ / "runtime");
        env_ = {{"TOVANIX_HOME", home_.string()},
                {"XDG_RUNTIME_DIR", (home_ / "runtime").string()},
                {"TOVANIX_COMDIR", (home_ / "comdir").string()},
                {"TOVANIX_DB_SOCKET", test::testServer().socket}};
    }
    void TearDown() override { fs::remove_all(home_); }
    std::string program() const { return test::binDir() + "/tovanix"; }
    fs::path home_;
    std::map<std::string, std::string> env_;
};

TEST_F(Headless, MissingCredentialsFileIsAClearError) {
    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    EXPECT_EQ(p.wait(20s), 1);
    EXPECT_NE(p.output().find("data.drk"), std::string::npos) << p.output();
    EXPECT_NE(p.output().find("missing"), std::string::npos) << p.output();
}

TEST_F(Headless, UnreadableCredentialsFileIsAClearError) {
    fs::create_directories(home_ / "data.drk");  // there, but no file to read
    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    EXPECT_EQ(p.wait(20s), 1);
    EXPECT_NE(p.output().find("cannot be read"), std::string::npos) << p.output();
}

TEST_F(Headless, RefusedAccountIsAClearError) {
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), {test::testServer().account.user, "nope"}));
    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    EXPECT_EQ(p.wait(20s), 1);
    EXPECT_NE(p.output().find("refuses the account"), std::string::npos) << p.output();
}

TEST_F(Headless, UnreachableServerIsToldApartFromARefusedAccount) {
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
    env_["TOVANIX_DB_SOCKET"] = (home_ / "no-server-here.sock").string();
    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    EXPECT_EQ(p.wait(20s), 1);
    EXPECT_NE(p.output().find("无法连接数据库服务器: "), std::string::npos) << p.output();
    // The client library's own words name the socket it tried.
    EXPECT_NE(p.output().find("no-server-here.sock"), std::string::npos) << p.output();
    EXPECT_EQ(p.output().find("refuses the account"), std::string::npos) << p.output();
}

TEST_F(Headless, CreatesTheDatabaseRunsAndStopsOnSigterm) {
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    ASSERT_TRUE(p.waitForOutput("configuration: 0 lines, 0 devices", 20s)) << p.output();
    // As the login would: the database, the user table and root exist now.
    EXPECT_EQ(test::scalar("select User_Name from tovanusertable"), "root");
    EXPECT_EQ(test::rowCount("select * from tovansystrmtable"), 1);

    // A second station on the same account and session is refused.
    test::ChildProcess second;
    ASSERT_TRUE(second.start(program(), {"--headless"}, env_));
    EXPECT_EQ(second.wait(20s), 1);
    EXPECT_NE(second.output().find("程序已经在运行，请勿重复登录"), std::string::npos) << second.output();

    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(30s), 0) << p.output();
    EXPECT_NE(p.output().find("stopped"), std::string::npos);
}

TEST_F(Headless, MonitorsASimulatedLineAndStopsCleanly) {
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
    createDatabase();
    {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::allocateLine(c, {"一号线", 0, "", 3, 3, 0, 1}).ok());
        ASSERT_TRUE(db::allocateDevice(c, 1, 1, "冷库1", 0).ok());
        ASSERT_TRUE(db::allocateDevice(c, 1, 2, "冷库2", 0).ok());
    }
    test::LoggerSim sim({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(3, (home_ / "comdir").string()).empty());
    // Records the station has not seen yet: the new devices' data is "lost".
    ASSERT_TRUE(sim.fillHistory(1, 25, "2026-01-05 08:00", 1));
    ASSERT_TRUE(sim.setReading(1, 50, 500, 51, 501));

    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    ASSERT_TRUE(p.waitForOutput("lost records since", 20s)) << p.output();
    ASSERT_TRUE(p.waitForOutput("download: line 1 address 1: 25 records, 25 new", 30s)) << p.output();
    // The first scan comes 10 s after the start.
    ASSERT_TRUE(p.waitForOutput("scan: 2 read, 0 failed", 40s)) << p.output();
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(30s), 0) << p.output();
    EXPECT_EQ(test::rowCount("select * from tovandatatable_1001 where RecordDataTime<'2026-02-01'"), 25);
    EXPECT_EQ(test::rowCount("select * from tovandatatable_1001 where round(CHL1,1)=5.1"), 1);
    // The ports were closed: the line is free again.
    EXPECT_TRUE(sim.ok("PING"));
    platform::SerialPort port;
    ::setenv("TOVANIX_COMDIR", (home_ / "comdir").c_str(), 1);
    EXPECT_TRUE(port.open(3)) << port.lastError();
    ::unsetenv("TOVANIX_COMDIR");
}

// What an operator reads in the log: every logger in alarm with its channel,
// value and limit, and the history download from its span to its end.
TEST_F(Headless, LogNamesEveryLoggerInAlarmAndTheDownload) {
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
    createDatabase();
    {
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::allocateLine(c, {"一号线", 0, "", 3, 3, 0, 1}).ok());
        ASSERT_TRUE(db::allocateDevice(c, 1, 1, "冷库1", 0).ok());
        ASSERT_TRUE(db::allocateDevice(c, 1, 2, "冷库2", 0).ok());
    }
    test::LoggerSim sim({.addresses = {1, 2}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_FALSE(sim.linkCom(3, (home_ / "comdir").string()).empty());
    ASSERT_TRUE(sim.fillHistory(1, 25, "2026-01-05 08:00", 1));
    // Channel 1 alarm on, limits 2.0 to 8.0 (tenths).
    test::LoggerSim::Alarm limits;
    limits.mask = 1;
    limits.limits[0] = 80;
    limits.limits[1] = 20;
    limits.intervalCode = 1;
    ASSERT_TRUE(sim.setAlarm(1, limits));
    ASSERT_TRUE(sim.setAlarm(2, limits));
    ASSERT_TRUE(sim.setReading(1, 95, 500, 95, 500));
    ASSERT_TRUE(sim.setReading(2, 10, 500, 10, 500));

    test::ChildProcess p;
    ASSERT_TRUE(p.start(program(), {"--headless"}, env_));
    ASSERT_TRUE(p.waitForOutput("download: 2 loggers, records from ", 20s)) << p.output();
    ASSERT_TRUE(p.waitForOutput("download: line 1 address 2: no records", 30s)) << p.output();
    ASSERT_TRUE(p.waitForOutput("download: finished, 25 new records from 2 of 2 loggers", 30s)) << p.output();
    ASSERT_TRUE(p.waitForOutput("scan: 2 read, 0 failed, 2 in alarm", 40s)) << p.output();
    EXPECT_NE(p.output().find("scan: in alarm: 冷库1 (line 1 一号线, address 1): channel 1 9.5 above the upper limit 8.0"),
              std::string::npos)
        << p.output();
    EXPECT_NE(p.output().find("scan: in alarm: 冷库2 (line 1 一号线, address 2): channel 1 1.0 below the lower limit 2.0"),
              std::string::npos)
        << p.output();
    p.signal(SIGTERM);
    EXPECT_EQ(p.wait(30s), 0) << p.output();
}

}  // namespace
}  // namespace tovanix
