// The add-line and add-group logic against the private server, the built
// driver libraries and the logger simulator on pseudo-terminals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "config/add_group.h"
#include "config/add_line.h"
#include "config/edit_line.h"
#include "devices/engine.h"
#include "db/connection.h"
#include "devices/config_load.h"
#include "devices/station_table.h"
#include "drivers/driver_api.h"
#include "platform/format.h"
#include "platform/serial.h"
#include "tests/support/comdir.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::config {
namespace {

using test::DbTest;
using test::execOrFail;
using test::LoggerSim;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::ComDirEnvironment("config"));

constexpr int kSimPort = 4;
constexpr int kOtherSimPort = 6;
constexpr int kMissingPort = 9;

std::string fiftyChinese() {
    std::string s;
    for (int i = 0; i < 50; ++i) s += "温";
    return s;
}

TEST(PortText, ParsesOnlyComNames) {
    struct Case {
        const char* text;
        int port;
    } cases[] = {{"COM1", 1}, {"COM12", 12}, {"无串口", 0}, {"COM", 0}, {"COMx", 0}, {"COM3a", 0}, {"", 0}, {"COM-2", 0}};
    for (const auto& c : cases) EXPECT_EQ(parsePortText(c.text), c.port) << c.text;
}

TEST(PortList, LinksInNumberOrderAndNothingForALinkToNowhere) {
    const std::string dir = platform::comDirectory();
    std::filesystem::create_directories(dir);
    LoggerSim a, b;
    ASSERT_TRUE(a.start()) << a.error();
    ASSERT_TRUE(b.start()) << b.error();
    ASSERT_FALSE(a.linkCom(12).empty());
    ASSERT_FALSE(b.linkCom(2).empty());
    std::filesystem::create_symlink("/nonexistent/tty", dir + "/COM7");
    const std::vector<std::string> choices = serialPortChoices();
    std::filesystem::remove(dir + "/COM7");
    // In number order, beside any real port of this machine.
    auto at = [&](const char* name) { return std::find(choices.begin(), choices.end(), name) - choices.begin(); };
    ASSERT_LT(at("COM2"), static_cast<long>(choices.size()));
    ASSERT_LT(at("COM12"), static_cast<long>(choices.size()));
    EXPECT_LT(at("COM2"), at("COM12"));
    EXPECT_EQ(at("COM7"), static_cast<long>(choices.size()));
}

TEST(PortList, NoPortGivesTheNoPortEntry) {
    if (!platform::enumerateSerialPorts().empty()) GTEST_SKIP() << "this machine has serial ports";
    EXPECT_EQ(serialPortChoices(), std::vector<std::string>{kNoSerialPort});
}

class AddLineTest : public DbTest {
protected:
    static drivers::WiredApi& wired() {
        static drivers::WiredApi w;
        return w;
    }
    static drivers::TevlibApi& tevlib() {
        static drivers::TevlibApi t;
        return t;
    }
    static void SetUpTestSuite() {
        ASSERT_TRUE(wired().loadFrom(TOVANIX_TEST_BIN_DIR, drivers::WiredUse::Polling));
        ASSERT_TRUE(tevlib().loadFrom(TOVANIX_TEST_BIN_DIR));
    }
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        ASSERT_EQ(wired().startThread(), 1);
        sim_ = std::make_unique<LoggerSim>();
        ASSERT_TRUE(sim_->start()) << sim_->error();
        ASSERT_FALSE(sim_->linkCom(kSimPort).empty());
    }
    void TearDown() override {
        for (int p = 0; p <= kMissingPort; ++p) wired().closeCom(p);
        wired().endThread();
        sim_.reset();
    }
    AddLineOutcome add(const std::string& name, const std::string& port, bool isWired = true, bool closing = false) {
        AddLineInput in{name, port, isWired, closing};
        return submitAddLine(prompts, table, PortDrivers{wired(), tevlib()}, in);
    }
    // Whether the library holds the port open: a logger on it answers.
    static bool libraryHolds(int port) {
        float r12[2], r34[2];
        char text[drivers::kTimeTextSize] = {};
        wired().setTargetDevice(port, 1);
        return wired().downloadNow(port, text, r12, r34) == drivers::kDownloadNowOk;
    }

    PromptRecorder prompts;
    devices::StationTable table;
    std::unique_ptr<LoggerSim> sim_;
};

TEST_F(AddLineTest, FirstLineTakesIdOneAndItsPortStaysOpen) {
    const std::string name = "a'b\"c\\d%e_" + fiftyChinese();
    AddLineOutcome out = add(name, "COM4");
    ASSERT_TRUE(out.close) << (prompts.prompts.empty() ? "" : prompts.prompts[0].text);
    EXPECT_EQ(out.lineid, 1);
    EXPECT_TRUE(prompts.prompts.empty());
    EXPECT_EQ(scalar("select lineName from tovanlinetable where lineid=1"), name);
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=1"), "4");
    EXPECT_EQ(scalar("select wired from tovanlinetable where lineid=1"), "1");
    EXPECT_EQ(scalar("select ComType from tovanlinetable where lineid=1"), "1");
    EXPECT_EQ(scalar("select TCPIPPort from tovanlinetable where lineid=1"), "50000");
    EXPECT_EQ(scalar("select HubIPAddr from tovanlinetable where lineid=1"), "192.168.1.100");
    EXPECT_EQ(scalar("select scantimerInter from tovanlinetable where lineid=1"), "3");
    EXPECT_EQ(scalar("select scantimerInterUpper from tovanlinetable where lineid=1"), "60");
    auto line = table.line(1);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->name, name);
    EXPECT_EQ(line->port, kSimPort);
    EXPECT_TRUE(line->portOpen);
    EXPECT_TRUE(line->devices.empty());
    EXPECT_TRUE(libraryHolds(kSimPort));
}

TEST_F(AddLineTest, RefusalsWriteNothing) {
    ASSERT_TRUE(add("一号线", "COM4").close);
    struct Case {
        const char* what;
        std::string port;
        bool closing;
        std::string message;
    } cases[] = {
        {"port of a live line", "COM4", false, "串口;4 已经被其他线路占用"},
        {"port with nothing behind it", "COM9", false, "COM串口9不存在"},
        {"no port at all", kNoSerialPort, false, "COM串口0不存在"},
        {"a deleted line's port still closing", "COM6", true, kClosingInProgress},
    };
    for (const auto& c : cases) {
        prompts.prompts.clear();
        AddLineOutcome out = add("二号线", c.port, true, c.closing);
        EXPECT_FALSE(out.close) << c.what;
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message}) << c.what;
        EXPECT_EQ(prompts.prompts[0].caption, "提示");
        EXPECT_EQ(rowCount("select * from tovanlinetable"), 1) << c.what;
        EXPECT_EQ(table.lineCount(), 1) << c.what;
    }
    // The held port was not reopened by a port test: the first line still talks.
    EXPECT_TRUE(libraryHolds(kSimPort));
}

TEST_F(AddLineTest, DeletedLineGivesBackItsIdAndItsPort) {
    ASSERT_TRUE(add("一号线", "COM4").close);
    LoggerSim other;
    ASSERT_TRUE(other.start());
    ASSERT_FALSE(other.linkCom(kOtherSimPort).empty());
    ASSERT_EQ(add("二号线", "COM6").lineid, 2);
    // Line 1 deleted: its row is marked, its entry and port gone.
    execOrFail("update tovanlinetable set EraseSign=1 where lineid=1");
    table.removeLine(1);
    wired().closeCom(kSimPort);

    AddLineOutcome out = add("新线", "COM4");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(out.lineid, 1);
    EXPECT_EQ(rowCount("select * from tovanlinetable"), 2);
    EXPECT_EQ(scalar("select lineName from tovanlinetable where lineid=1 and EraseSign=0"), "新线");
    // Without a deleted row: live lines + 1.
    LoggerSim third;
    ASSERT_TRUE(third.start());
    ASSERT_FALSE(third.linkCom(8).empty());
    EXPECT_EQ(add("三号线", "COM8").lineid, 3);
}

TEST_F(AddLineTest, WirelessLineIsTestedThroughTheReceiverAndNotLeftOpen) {
    LoggerSim receiver({.addresses = {1}, .receiver = true});
    ASSERT_TRUE(receiver.start()) << receiver.error();
    ASSERT_FALSE(receiver.linkCom(kOtherSimPort).empty());
    AddLineOutcome out = add("无线线路", "COM6", false);
    ASSERT_TRUE(out.close) << (prompts.prompts.empty() ? "" : prompts.prompts[0].text);
    EXPECT_EQ(scalar("select wired from tovanlinetable where lineid=1"), "0");
    EXPECT_EQ(table.line(1)->wired, 0);
    // And a port with nothing behind it fails the wireless test too.
    prompts.prompts.clear();
    EXPECT_FALSE(add("无线2", "COM9", false).close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"COM串口9不存在"});
}

TEST_F(AddLineTest, TwentyLinesAreTheLimit) {
    for (int i = 1; i <= devices::kMaxLines; ++i) {
        devices::LineEntry l;
        l.lineid = i;
        l.port = 100 + i;
        ASSERT_TRUE(table.addLine(l));
    }
    AddLineOutcome out = add("第二十一", "COM4");
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kLinesFull});
    EXPECT_EQ(rowCount("select * from tovanlinetable"), 0);
    EXPECT_FALSE(libraryHolds(kSimPort));
}

TEST_F(AddLineTest, UnreachableDatabaseIsReportedAndChangesNothing) {
    const db::Account good = test::testServer().account;
    db::setAccount({good.user, good.password + "x"});
    AddLineOutcome out = add("一号线", "COM4");
    db::setAccount(good);
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{devices::kCannotOpenDatabase});
    EXPECT_EQ(table.lineCount(), 0);
    EXPECT_EQ(rowCount("select * from tovanlinetable"), 0);
    EXPECT_FALSE(libraryHolds(kSimPort));
}

class AddGroupTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        for (int lineid : {1, 3}) {
            devices::LineEntry l;
            l.lineid = lineid;
            l.port = lineid;
            ASSERT_TRUE(table.addLine(l));
        }
    }
    AddGroupOutcome add(int lineid, const std::string& name) {
        return submitAddGroup(prompts, table, static_cast<unsigned>(lineid) * 100000, name);
    }
    PromptRecorder prompts;
    devices::StationTable table;
};

TEST_F(AddGroupTest, FirstGroupOfLineThreeIs301) {
    AddGroupOutcome out = add(3, "一组");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(out.roomid, 301);
    EXPECT_EQ(scalar("select RoomName from tovanroomtable where roomid=301 and LineID=3 and EraseSign=0"), "一组");
    ASSERT_EQ(table.line(3)->groups.size(), 1u);
    EXPECT_EQ(table.line(3)->groups[0].roomid, 301);
    // Names need not be unique, within a line or across lines.
    EXPECT_EQ(add(3, "一组").roomid, 302);
    EXPECT_EQ(add(1, "一组").roomid, 101);
    EXPECT_TRUE(prompts.prompts.empty());
}

TEST_F(AddGroupTest, DeletedGroupIsRevivedWithItsId) {
    ASSERT_EQ(add(3, "一组").roomid, 301);
    ASSERT_EQ(add(3, "二组").roomid, 302);
    execOrFail("update tovanroomtable set EraseSign=1 where roomid=301");
    table.updateLine(3, [](devices::LineEntry& l) { l.groups.erase(l.groups.begin()); });
    AddGroupOutcome out = add(3, "三组");
    EXPECT_EQ(out.roomid, 301);
    EXPECT_EQ(rowCount("select * from tovanroomtable"), 2);
    EXPECT_EQ(scalar("select RoomName from tovanroomtable where roomid=301"), "三组");
}

TEST_F(AddGroupTest, OddNamesAreStoredUnchanged) {
    const std::string name = "x'y\"z\\%_" + fiftyChinese();
    ASSERT_TRUE(add(1, name).close);
    EXPECT_EQ(scalar("select RoomName from tovanroomtable where roomid=101"), name);
    EXPECT_EQ(table.line(1)->groups[0].name, name);
}

TEST_F(AddGroupTest, RefusalsChangeNothing) {
    AddGroupOutcome empty = add(1, "");
    EXPECT_FALSE(empty.close);
    EXPECT_TRUE(empty.focusName);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kGroupNameEmpty});

    prompts.prompts.clear();
    const db::Account good = test::testServer().account;
    db::setAccount({good.user, good.password + "x"});
    AddGroupOutcome unreachable = add(1, "一组");
    db::setAccount(good);
    EXPECT_FALSE(unreachable.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{devices::kCannotOpenDatabase});
    EXPECT_EQ(rowCount("select * from tovanroomtable"), 0);
    EXPECT_TRUE(table.line(1)->groups.empty());
}

TEST_F(AddGroupTest, NinetyNineGroupsAreTheLimit) {
    for (int i = 1; i <= devices::kMaxGroupsPerLine; ++i) {
        execOrFail(db::sqlf("insert into tovanroomtable (RoomName,LineID,EraseSign,roomid) values('g','1','0','%d');",
                            100 + i));
    }
    // The database alone knows them (the table was loaded before).
    AddGroupOutcome out = add(1, "第一百");
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kGroupsFull});
    EXPECT_EQ(rowCount("select * from tovanroomtable"), devices::kMaxGroupsPerLine);
    // And the table alone knows them.
    execOrFail("delete from tovanroomtable");
    for (int i = 1; i <= devices::kMaxGroupsPerLine; ++i) ASSERT_TRUE(table.addGroup(1, {"g", 1, 100 + i}));
    prompts.prompts.clear();
    EXPECT_FALSE(add(1, "第一百").close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kGroupsFull});
    EXPECT_EQ(rowCount("select * from tovanroomtable"), 0);
}

class EditLineTest : public AddLineTest {
protected:
    void SetUp() override {
        AddLineTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        other_ = std::make_unique<LoggerSim>();
        ASSERT_TRUE(other_->start());
        ASSERT_FALSE(other_->linkCom(kOtherSimPort).empty());
        ASSERT_TRUE(add("一号线", "COM4").close);  // wired, port open
        engine = std::make_unique<devices::Engine>();
        // The engine's table as the dialogs see it: line 1 open on COM4, line 2
        // wireless and closed on COM8.
        devices::LineEntry one = *table.line(1);
        ASSERT_TRUE(engine->table().addLine(one));
        execOrFail("insert into TovanLineTable (EraseSign,lineid,lineName,ComType,TCPIPPORT,HubIPAddr,"
                   "SerialPortNum,ScantimerInter,scantimerInterUpper,wired) "
                   "values('0','2','无线','1','50000','192.168.1.100','8','3','60','0');");
        devices::LineEntry two;
        two.lineid = 2;
        two.port = 8;
        two.wired = 0;
        ASSERT_TRUE(engine->table().addLine(two));
        prompts.prompts.clear();
    }
    bool change(int lineid, const std::string& port, bool isWired) {
        EditLineState st = openEditLine(prompts, *engine, static_cast<unsigned>(lineid) * 100000);
        EXPECT_TRUE(st.found);
        prompts.prompts.clear();
        ChangeLineInput in{lineid, st.settings, port, isWired};
        return submitChangeLine(prompts, *engine, PortDrivers{wired(), tevlib()}, in);
    }
    void closeLineOne() {
        engine->table().updateLine(1, [](devices::LineEntry& l) { l.portOpen = false; });
        wired().closeCom(kSimPort);
    }
    std::unique_ptr<LoggerSim> other_;
    std::unique_ptr<devices::Engine> engine;
};

TEST_F(EditLineTest, OpeningReadsTheRowAndThePortState) {
    EditLineState st = openEditLine(prompts, *engine, 100000);
    ASSERT_TRUE(st.found);
    EXPECT_EQ(st.portText, "COM4");
    EXPECT_TRUE(st.portOpen);
    EXPECT_EQ(st.settings.wired, 1);
    EXPECT_EQ(st.settings.tcpPort, 50000);
    EXPECT_TRUE(prompts.prompts.empty());
    EditLineState missing = openEditLine(prompts, *engine, 700000);
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kLineMissing});
}

TEST_F(EditLineTest, ChangeRefusedWhileThePortIsOpenOrClosing) {
    EXPECT_FALSE(change(1, "COM6", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kCloseFirst});
    closeLineOne();
    engine->portToggle.store(devices::kToggleClosing);
    EXPECT_FALSE(change(1, "COM6", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kClosingInProgress});
    engine->portToggle.store(devices::kToggleOpening);
    EXPECT_FALSE(change(1, "COM6", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kCloseFirst});
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=1"), "4");
}

TEST_F(EditLineTest, WiredLineIsTestedOnItsNewPortAndNotLeftOpen) {
    closeLineOne();
    EXPECT_FALSE(change(1, "COM9", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"COM串口9不存在或被占用"});
    EXPECT_EQ(engine->table().line(1)->port, kSimPort);

    EXPECT_TRUE(change(1, "COM6", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kLineChanged});
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=1"), "6");
    EXPECT_EQ(scalar("select TCPIPPort from tovanlinetable where lineid=1"), "50000");
    EXPECT_EQ(engine->table().line(1)->port, kOtherSimPort);
    EXPECT_FALSE(engine->table().line(1)->portOpen) << "opened only by the toggle";
    EXPECT_FALSE(libraryHolds(kOtherSimPort));
}

TEST_F(EditLineTest, WirelessLineChangesWithoutAPortTest) {
    EXPECT_TRUE(change(2, "COM9", false));
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=2"), "9");
    EXPECT_EQ(engine->table().line(2)->port, kMissingPort);
    // And a wireless line made wired is tested.
    EXPECT_FALSE(change(2, "COM9", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"COM串口9不存在或被占用"});
    EXPECT_EQ(scalar("select wired from tovanlinetable where lineid=2"), "0");
}

TEST_F(EditLineTest, APortOfAnotherLiveLineIsRefusedBeforeAnyTest) {
    EXPECT_FALSE(change(2, "COM4", true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"串口;4 已经被其他线路占用"});
    // Line 1 still talks on its port: no test reopened it.
    EXPECT_TRUE(libraryHolds(kSimPort));
    // Its own port is no conflict.
    EXPECT_TRUE(change(2, "COM8", false));
}

TEST_F(EditLineTest, UnreachableDatabaseChangesNothing) {
    closeLineOne();
    EditLineState st = openEditLine(prompts, *engine, 100000);
    const db::Account good = test::testServer().account;
    db::setAccount({good.user, good.password + "x"});
    prompts.prompts.clear();
    ChangeLineInput in{1, st.settings, "COM6", true};
    EXPECT_FALSE(submitChangeLine(prompts, *engine, PortDrivers{wired(), tevlib()}, in));
    db::setAccount(good);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{devices::kCannotOpenDatabase});
    EXPECT_EQ(engine->table().line(1)->port, kSimPort);
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=1"), "4");
}

}  // namespace
}  // namespace tovanix::config
