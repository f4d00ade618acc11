// The add-device logic against the private server: checks of the fields,
// row reuse and numbering, the station-table entry and the scan period.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "devices/add_device.h"
#include "devices/config_load.h"
#include "devices/engine.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::devices {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::rowCount;
using test::scalar;

constexpr unsigned kLine1 = 100000;
constexpr unsigned kLine2 = 200000;
constexpr unsigned kGroup102 = 102000;

std::string chinese(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "湿";
    return s;
}

class AddDeviceTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        engine = std::make_unique<Engine>();
        for (int lineid : {1, 2}) {
            LineEntry l;
            l.lineid = lineid;
            l.name = lineid == 1 ? "一号线" : "二号线";
            ASSERT_TRUE(engine->table().addLine(l));
        }
        ASSERT_TRUE(engine->table().addGroup(1, {"二组", 1, 102}));
    }
    AddDeviceOutcome add(const std::string& name, const std::string& address, unsigned node = kLine1,
                         const std::string& nodeText = "一号线") {
        return submitAddDevice(prompts, *engine, {name, address, node, nodeText});
    }
    PromptRecorder prompts;
    std::unique_ptr<Engine> engine;
};

TEST_F(AddDeviceTest, FieldsOutsideTheirRangesAreRefused) {
    struct Case {
        std::string name;
        std::string address;
        bool accepted;
        std::string message;
        AddDeviceField focus;
    } cases[] = {
        {"", "5", false, kNameLengthWrong, AddDeviceField::Name},
        {chinese(51), "5", false, kNameLengthWrong, AddDeviceField::Name},
        {std::string(51, 'a'), "5", false, kNameLengthWrong, AddDeviceField::Name},
        {"A", "0", false, kAddressWrong, AddDeviceField::Address},
        {"A", "1000", false, kAddressWrong, AddDeviceField::Address},
        {"A", "-1", false, kAddressWrong, AddDeviceField::Address},
        {"A", "abc", false, kAddressWrong, AddDeviceField::Address},
        {"A", "12abc", false, kAddressWrong, AddDeviceField::Address},
        {"A", "", false, kAddressWrong, AddDeviceField::Address},
        {"A", "99999999999999999999", false, kAddressWrong, AddDeviceField::Address},
        {"A", "1", true, "", AddDeviceField::None},
        {"B", "999", true, "", AddDeviceField::None},
        {chinese(50), " 7 ", true, "", AddDeviceField::None},
    };
    int live = 0;
    for (const auto& c : cases) {
        prompts.prompts.clear();
        AddDeviceOutcome out = add(c.name, c.address);
        EXPECT_EQ(out.close, c.accepted) << c.name << " / " << c.address;
        if (c.accepted) {
            ++live;
            EXPECT_TRUE(prompts.prompts.empty());
        } else {
            ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message}) << c.address;
            EXPECT_EQ(prompts.prompts[0].caption, c.focus == AddDeviceField::Name ? "设备名称" : "设备地址");
            EXPECT_TRUE(prompts.prompts[0].icon == PromptIcon::Information);
            EXPECT_TRUE(out.focus == c.focus);
        }
        EXPECT_EQ(rowCount("select * from tovandevicetable"), live);
    }
    EXPECT_EQ(scalar("select DeviceName from tovandevicetable where DeviceNumber=7"), chinese(50));
}

TEST_F(AddDeviceTest, NewRowUnderTheLineWithTheDefaultsOfANewLogger) {
    const std::string name = "q'u\"o\\t%e";
    AddDeviceOutcome out = add(name, "5");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(out.lineid, 1);
    EXPECT_EQ(out.roomid, 0);
    EXPECT_EQ(out.address, 5);
    EXPECT_EQ(out.deviceid, 1);
    const char* where = " from tovandevicetable where LineID=1 and DeviceNumber=5 and DeviceEraseSign=0";
    auto col = [&](const char* c) { return scalar(std::string("select ") + c + where); };
    EXPECT_EQ(col("DeviceName"), name);
    EXPECT_EQ(col("deviceid"), "1");
    EXPECT_EQ(col("RoomID"), "0");
    EXPECT_EQ(col("DeviceProbeType"), "4");
    EXPECT_EQ(col("CHL1Type"), "温度");
    EXPECT_EQ(col("CHL2Unit"), "%");
    EXPECT_EQ(col("LCDOFFDelay"), "45");
    EXPECT_EQ(col("DownLastTime"), "2014-01-01 00:00:00");
    EXPECT_EQ(col("SqlRecord"), "0");

    auto d = engine->table().device(1, 5);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->name, name);
    EXPECT_EQ(d->deviceid, 1);
    EXPECT_EQ(d->groupId, 0);
    EXPECT_EQ(d->lineid, 1);
    EXPECT_EQ(d->powerKind, kPowerUnknown);
    // The second device of the line is number 2.
    EXPECT_EQ(add("B", "6").deviceid, 2);
}

TEST_F(AddDeviceTest, UnderAGroupTheDeviceTakesTheGroup) {
    AddDeviceOutcome out = add("G", "9", kGroup102, "二组");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(out.lineid, 1);
    EXPECT_EQ(out.roomid, 102);
    EXPECT_EQ(scalar("select RoomID from tovandevicetable where DeviceNumber=9"), "102");
    EXPECT_EQ(engine->table().device(1, 9)->groupId, 102);
}

TEST_F(AddDeviceTest, AnAddressIsUniqueWithinItsLineOnly) {
    ASSERT_TRUE(add("A", "5").close);
    AddDeviceOutcome again = add("A again", "5", kGroup102, "二组");
    EXPECT_FALSE(again.close);
    ASSERT_EQ(prompts.texts(), std::vector<std::string>{"二组 下地址为 5 的设备已经存在"});
    EXPECT_EQ(prompts.prompts[0].caption, "设备名称");
    EXPECT_EQ(rowCount("select * from tovandevicetable"), 1);
    AddDeviceOutcome other = add("B", "5", kLine2, "二号线");
    ASSERT_TRUE(other.close);
    EXPECT_EQ(other.deviceid, 1);
    EXPECT_TRUE(engine->table().device(2, 5).has_value());
}

TEST_F(AddDeviceTest, DeletedRowIsReusedWithItsDeviceid) {
    ASSERT_EQ(add("A", "5").deviceid, 1);
    ASSERT_EQ(add("B", "6").deviceid, 2);
    execOrFail("update tovandevicetable set DeviceEraseSign=1 where DeviceNumber=5");
    engine->table().removeDevice(1, 5);
    AddDeviceOutcome out = add("C", "8", kGroup102, "二组");
    ASSERT_TRUE(out.close);
    EXPECT_EQ(out.deviceid, 1);
    EXPECT_EQ(rowCount("select * from tovandevicetable"), 2);
    EXPECT_EQ(scalar("select DeviceNumber from tovandevicetable where deviceid=1"), "8");
    EXPECT_EQ(scalar("select RoomID from tovandevicetable where deviceid=1"), "102");
    EXPECT_EQ(engine->table().device(1, 8)->deviceid, 1);
}

TEST_F(AddDeviceTest, ScanPeriodFollowsTheDeviceCount) {
    for (int a = 1; a <= 9; ++a) ASSERT_TRUE(add("D" + std::to_string(a), std::to_string(a)).close);
    EXPECT_EQ(engine->currentScanPeriodMs(), 30000);
    ASSERT_TRUE(add("D10", "10").close);
    EXPECT_EQ(engine->currentScanPeriodMs(), 60000);
}

TEST_F(AddDeviceTest, UnreachableDatabaseIsReportedAndChangesNothing) {
    const db::Account good = test::testServer().account;
    db::setAccount({good.user, good.password + "x"});
    AddDeviceOutcome out = add("A", "5");
    db::setAccount(good);
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kCannotOpenDatabase});
    EXPECT_EQ(engine->table().deviceCount(), 0);
    EXPECT_EQ(rowCount("select * from tovandevicetable"), 0);
}

TEST_F(AddDeviceTest, AFullLineIsRefusedBeforeAnythingIsWritten) {
    for (int a = 1; a <= kMaxDevicesPerLine; ++a) {
        DeviceEntry d;
        d.address = static_cast<std::uint16_t>(a);
        d.lineid = 2;
        ASSERT_GE(engine->table().addDevice(2, d), 0);
    }
    AddDeviceOutcome out = add("A", "5", kLine2, "二号线");
    EXPECT_FALSE(out.close);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kDevicesFull});
    EXPECT_EQ(rowCount("select * from tovandevicetable"), 0);
}

}  // namespace
}  // namespace tovanix::devices
