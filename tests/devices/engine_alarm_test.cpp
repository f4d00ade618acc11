// Out-of-limit readings through to the alarm box and the modem: the real
// libWired.so and libAlarm.so against both simulators.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "alarms/alarm_text.h"
#include "db/connection.h"
#include "db/schema.h"
#include "tests/devices/engine_test_support.h"
#include "tests/support/process.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using devices::kMsgOpenPorts;
using devices::kMsgScan;

constexpr int kAlarmCom = 9;

class Alarms : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(logger.start()) << logger.error();
        logger.linkCom(3);
        AlarmSim::Options o;
        o.paced = false;
        o.networkDelayMs = 300;  // beyond the 100 ms end-of-reply gap, as a real network is
        o.quiet = true;
        ASSERT_TRUE(box.start(o)) << box.error();
        ASSERT_TRUE(box.linkAs(kAlarmCom));
        line = addLine("一号线", 3, true);
        addDevice(line, 1, "冷库A");
        setRowLimits(line, 1, 1, 2.0f, 8.0f, 0, 0, 0);
        ASSERT_TRUE(logger.setReading(1, 90, 500, 95, 500));  // 9.5 above 8.0
    }
    void scanAndSettle() {
        run(kMsgScan);
        waitAlarmIdle();
    }
    std::string alarmText(const std::string& device, const std::string& channel) {
        return device + "发生报警！\r\n" + channel + "发生时间:" + formatLocal(clock(), "%Y-%m-%d %H:%M:%S");
    }
    LoggerSim logger{LoggerSimOptions{.addresses = {1}, .paced = false}};
    AlarmSim box;
    int line = 0;
};

TEST_F(Alarms, SirenAndMessageToEveryNumberThenRateLimited) {
    setAlarmDevice(kAlarmCom, 1, 1, 1);
    addPhone("13912345678");
    addPhone("13800000001");
    addPhone("15000000002");
    startEngine();
    run(kMsgOpenPorts);
    scanAndSettle();
    EXPECT_TRUE(box.waitForSiren(true, 5000));
    ASSERT_TRUE(box.waitForMessages(3, 10000));
    auto msgs = box.messages();
    ASSERT_EQ(msgs.size(), 3u);
    const std::string text = alarmText("冷库A", "通道一:9.5超过上限\r\n");
    EXPECT_EQ(msgs[0].recipient, "+8613912345678");
    EXPECT_EQ(msgs[1].recipient, "+8613800000001");
    EXPECT_EQ(msgs[2].recipient, "+8615000000002");
    for (const auto& m : msgs) {
        EXPECT_TRUE(m.decoded) << m.error;
        EXPECT_EQ(m.textUtf8(), text);
    }
    int sent = 0;
    for (const auto& l : logLines()) sent += l.find("sent") != std::string::npos;
    EXPECT_EQ(sent, 3) << "the modem echoed every message exactly";

    // Within GMSTime: neither siren nor message again.
    box.clearMessages();
    engine->postAlarm(alarms::kMsgAlarmBoxOff);
    EXPECT_TRUE(box.waitForSiren(false, 5000));
    engine->alarmShared().smsTimer.store(59);
    engine->alarmShared().boxTimer.store(59);
    clock.advance(30);
    scanAndSettle();
    EXPECT_TRUE(box.messages().empty());
    EXPECT_EQ(box.siren(), std::optional<bool>(false));
    // A minute on, both pass again.
    engine->alarmShared().smsTimer.store(60);
    engine->alarmShared().boxTimer.store(60);
    scanAndSettle();
    EXPECT_TRUE(box.waitForSiren(true, 5000));
    EXPECT_TRUE(box.waitForMessages(3, 10000));
}

TEST_F(Alarms, BothChannelsInOneMessage) {
    setRowLimits(line, 1, 1, 2.0f, 8.0f, 2, 30.0f, 80.0f);
    ASSERT_TRUE(logger.setReading(1, 90, 200, 313, 100));  // 31.3 above, 10.0 below
    setAlarmDevice(kAlarmCom, 0, 1, 1);
    addPhone("13912345678");
    startEngine();
    run(kMsgOpenPorts);
    scanAndSettle();
    ASSERT_TRUE(box.waitForMessages(1, 10000));
    EXPECT_EQ(box.messages()[0].textUtf8(), alarmText("冷库A", "通道一:31.3超过上限\r\n通道二:10.0低于下限\r\n"));
    EXPECT_EQ(box.siren(), std::optional<bool>(false)) << "Sound off: the siren stays off";
}

TEST_F(Alarms, PowerFailureMessageAndStatusTexts) {
    ASSERT_TRUE(logger.setReading(1, 50, 500, 50, 500));  // no alarm
    setAlarmDevice(kAlarmCom, 1, 1, 1);
    addPhone("13912345678");
    addPhone("13912345679");
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(box.setPower(false));
    scanAndSettle();
    ASSERT_TRUE(box.waitForMessages(2, 10000));
    const std::string want = "系统发生断电\r\n发生时间:" + formatLocal(clock(), "%Y-%m-%d %H:%M:%S");
    for (const auto& m : box.messages()) EXPECT_EQ(m.textUtf8(), want);
    EXPECT_EQ(engine->alarmShared().statusText(), "");
    box.clearMessages();
    scanAndSettle();  // power timer was reset: no second message
    EXPECT_TRUE(box.messages().empty());
    ASSERT_TRUE(box.setPower(true));
    engine->alarmShared().powerTimer.store(3600);
    scanAndSettle();
    EXPECT_TRUE(box.messages().empty()) << "power present";

    // The SMS-device status texts.
    engine->alarmShared().config.setSettings({0, 1, 1, 1});
    scanAndSettle();
    EXPECT_EQ(engine->alarmShared().statusText(), alarms::kStatusNoDevice);
    engine->alarmShared().config.setSettings({17, 1, 1, 1});  // no such port
    scanAndSettle();
    EXPECT_EQ(engine->alarmShared().statusText(), alarms::kStatusOpenFailed);
}

TEST_F(Alarms, WithoutShortMessagesTheSirenStillSounds) {
    setAlarmDevice(kAlarmCom, 1, 0, 1);
    addPhone("13912345678");
    startEngine();
    run(kMsgOpenPorts);
    ASSERT_TRUE(box.setPower(false));
    scanAndSettle();
    EXPECT_TRUE(box.waitForSiren(true, 5000));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(box.messages().empty());
    EXPECT_EQ(box.status()["power_queries"], "0") << "GMS 0: mains are not watched";
}

TEST_F(Alarms, EmptyPhoneListResetsTheTimerAndSendsNothing) {
    setAlarmDevice(kAlarmCom, 0, 1, 1);
    startEngine();
    run(kMsgOpenPorts);
    scanAndSettle();
    EXPECT_EQ(engine->alarmShared().smsTimer.load(), 0u);
    EXPECT_TRUE(box.messages().empty());
}

TEST_F(Alarms, StopDoesNotWaitForTheRemainingNumbers) {
    setAlarmDevice(kAlarmCom, 0, 1, 1);
    for (const char* n : {"13912345670", "13912345671", "13912345672"}) addPhone(n);
    devices::EngineTiming t = fastTiming();
    t.alarm.perNumberWaitMs = 20000;  // the product waits 6 s a number; ten numbers make a minute
    engine = std::make_unique<devices::Engine>(t);
    engine->setNow([this] { return clock(); });
    engine->setDriverFolder(binDir());
    ASSERT_TRUE(engine->loadConfiguration().connected);
    engine->start();
    run(kMsgOpenPorts);
    run(kMsgScan);
    ASSERT_TRUE(box.waitForMessages(1, 10000));
    engine->post(devices::kMsgCloseAllPorts);
    const auto t0 = std::chrono::steady_clock::now();
    engine->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
    EXPECT_EQ(box.messages().size(), 1u);
    engine.reset();
}

// The alarm-output page's port test queues behind a message job instead of
// opening and closing the port in its middle.
TEST_F(Alarms, PortTestIsAJobOfItsOwn) {
    setAlarmDevice(kAlarmCom, 1, 1, 1);
    addPhone("13912345670");
    addPhone("13912345671");
    startEngine();
    run(kMsgOpenPorts);
    run(kMsgScan);
    auto& shared = engine->alarmShared();
    shared.portTestResult.store(alarms::kPortTestPending);
    ASSERT_TRUE(engine->postAlarm(alarms::kMsgPortTest, alarms::PortTestRequest{kAlarmCom}));
    waitAlarmIdle();
    EXPECT_EQ(shared.portTestResult.load(), alarms::kPortTestOpened);
    ASSERT_EQ(box.messages().size(), 2u);
    for (const auto& m : box.messages()) EXPECT_TRUE(m.decoded) << m.error;

    constexpr int kNoSuchPort = 12;
    for (int com : {kNoSuchPort, 0}) {
        shared.portTestResult.store(alarms::kPortTestPending);
        ASSERT_TRUE(engine->postAlarm(alarms::kMsgPortTest, alarms::PortTestRequest{com}));
        waitAlarmIdle();
        EXPECT_EQ(shared.portTestResult.load(), alarms::kPortTestMissing) << com;
    }
}

TEST_F(Alarms, DatabaseOutageStillRaisesTheAlarm) {
    // A server of this test's own, so stopping it disturbs nobody.
    const fs::path dir = fs::temp_directory_path() / ("tovanix-outage-" + std::to_string(::getpid()));
    const std::string script = std::string(TOVANIX_TEST_SOURCE_DIR) + "/scripts/db-server";
    ChildProcess up;
    ASSERT_TRUE(up.start(script, {"start", dir.string()}));
    ASSERT_EQ(up.wait(120s), 0) << up.output();
    db::ServerAddress addr;
    ASSERT_TRUE(db::readServerFile((dir / "client.cnf").string(), addr));
    db::Account own;
    {
        std::ifstream in(dir / "client.cnf");
        std::string l;
        while (std::getline(in, l)) {
            if (l.rfind("user=", 0) == 0) own.user = l.substr(5);
            if (l.rfind("password=", 0) == 0) own.password = l.substr(9);
        }
    }
    const std::string sharedSocket = testServer().socket;
    ::setenv(db::kSocketEnv, addr.socket.c_str(), 1);
    db::setAccount(own);
    {
        db::Connection c;
        ASSERT_TRUE(c.open(own, false)) << c.lastError();
        c.exec(db::schema::kCreateDatabase);
        c.exec(db::kUseDatabase);
        ASSERT_TRUE(db::schema::createConfigurationTables(c));
    }
    line = addLine("一号线", 3, true);
    addDevice(line, 1, "冷库A");
    setRowLimits(line, 1, 1, 2.0f, 8.0f, 0, 0, 0);
    setAlarmDevice(kAlarmCom, 1, 1, 1);
    addPhone("13912345678");
    startEngine();
    run(kMsgOpenPorts);

    ChildProcess down;
    ASSERT_TRUE(down.start(script, {"stop", dir.string()}));
    EXPECT_EQ(down.wait(120s), 0) << down.output();

    scanAndSettle();
    EXPECT_EQ(entry(line, 1).status, devices::kStatusAlarm);
    EXPECT_FLOAT_EQ(entry(line, 1).ch1, 9.5f);
    EXPECT_TRUE(box.waitForSiren(true, 5000));
    EXPECT_TRUE(box.waitForMessages(1, 10000));
    bool logged = false;
    for (const auto& l : logLines()) logged = logged || l.find("not stored") != std::string::npos;
    EXPECT_TRUE(logged);

    ::setenv(db::kSocketEnv, sharedSocket.c_str(), 1);
    db::setAccount(testServer().account);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tovanix::test
