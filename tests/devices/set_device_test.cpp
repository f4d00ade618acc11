// The logger settings window's logic without a window, against the private
// server: the limit checks and corrections in their order, the ×10 rule,
// the database update interval's bounds read back from the line rows, the
// texts of the basic and recording pages, and the rename checks.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/data_table.h"
#include "devices/add_device.h"
#include "devices/device_alarm.h"
#include "devices/device_record.h"
#include "devices/engine.h"
#include "devices/set_device.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::devices {
namespace {

using test::DbTest;
using test::execOrFail;
using test::PromptRecorder;
using test::scalar;

struct LimitCase {
    const char* name;
    int probeType;
    const char* limits[kLimitFields];  // ch1 upper, ch1 lower, ch2 upper, ch2 lower
    const char* message;               // nullptr: accepted
    const char* caption;
    LimitField focus;
    const char* corrected[kLimitFields];  // nullptr: left as typed
};

TEST(DeviceAlarmChecks, CorrectionsInTheirOrder) {
    const LimitCase cases[] = {
        {"accepted", 4, {"30", "10", "80", "20"}, nullptr, nullptr, LimitField::None, {}},
        {"ch1 upper above 70", 4, {"70.5", "10", "80", "20"}, "通道一上限最大值为:70", "通道一上限",
         LimitField::Ch1Upper, {"70", nullptr, nullptr, nullptr}},
        {"ch1 lower below -20", 4, {"30", "-20.1", "80", "20"}, "通道一下限最小值为:-20", "通道一下限",
         LimitField::Ch1Lower, {nullptr, "-20", nullptr, nullptr}},
        {"ch1 lower above upper", 4, {"20.2", "30.6", "80", "20"}, "下限不能大于上限", "通道一",
         LimitField::Ch1Upper, {"30", "20.2", nullptr, nullptr}},
        {"negative pair exchanged toward zero", 4, {"-10.5", "-3.7", "80", "20"}, "下限不能大于上限", "通道一",
         LimitField::Ch1Upper, {"-3", "-10.5", nullptr, nullptr}},
        {"ch1 first when both are wrong", 4, {"71", "10", "101", "20"}, "通道一上限最大值为:70", "通道一上限",
         LimitField::Ch1Upper, {"70", nullptr, nullptr, nullptr}},
        {"humidity upper above 100", 4, {"30", "10", "101", "20"}, "通道二上限最大值为:100", "通道二上限",
         LimitField::Ch2Upper, {nullptr, nullptr, "100", nullptr}},
        {"humidity lower below 0", 4, {"30", "10", "80", "-1"}, "通道二下限最小值为:0", "通道二下限",
         LimitField::Ch2Lower, {nullptr, nullptr, nullptr, "0"}},
        {"second temperature above 70", 2, {"30", "10", "80", "20"}, "通道二上限最大值为:70", "通道二上限",
         LimitField::Ch2Upper, {nullptr, nullptr, "70", nullptr}},
        {"second temperature below -20", 2, {"30", "10", "60", "-25"}, "通道二下限最小值为:-20", "通道二下限",
         LimitField::Ch2Lower, {nullptr, nullptr, nullptr, "-20"}},
        {"single temperature: no range on channel 2", 1, {"30", "10", "500", "-300"}, nullptr, nullptr,
         LimitField::None, {}},
        {"ch2 lower above upper", 1, {"30", "10", "5", "9.9"}, "下限不能大于上限", "通道二", LimitField::Ch2Upper,
         {nullptr, nullptr, "9", "5"}},
        {"not a number", 4, {"30", "abc", "80", "20"}, "通道一下限必须是数字", "通道一下限", LimitField::Ch1Lower, {}},
        {"empty", 4, {"30", "10", "", "20"}, "通道二上限必须是数字", "通道二上限", LimitField::Ch2Upper, {}},
        {"trailing garbage", 4, {"30x", "10", "80", "20"}, "通道一上限必须是数字", "通道一上限", LimitField::Ch1Upper,
         {}},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        PromptRecorder p;
        AlarmInput in;
        for (int i = 0; i < kLimitFields; ++i) in.limits[i] = c.limits[i];
        const LimitCheck r = checkLimits(p, in, c.probeType);
        EXPECT_EQ(r.ok, c.message == nullptr);
        EXPECT_EQ(r.focus, c.focus);
        if (c.message == nullptr) {
            EXPECT_TRUE(p.prompts.empty());
            continue;
        }
        ASSERT_EQ(p.prompts.size(), 1u);
        EXPECT_EQ(p.prompts[0].text, c.message);
        EXPECT_EQ(p.prompts[0].caption, c.caption);
        EXPECT_EQ(p.prompts[0].icon, PromptIcon::Information);
        for (int i = 0; i < kLimitFields; ++i) {
            if (c.corrected[i] == nullptr) {
                EXPECT_FALSE(r.corrected[i]) << i;
            } else {
                ASSERT_TRUE(r.corrected[i]) << i;
                EXPECT_EQ(*r.corrected[i], c.corrected[i]) << i;
            }
        }
    }
}

TEST(DeviceAlarmChecks, TenthsCutAtThePoint) {
    const std::pair<float, int> cases[] = {{25.37f, 253}, {-3.25f, -32}, {30.0f, 300}, {-20.0f, -200},
                                           {0.04f, 0},    {70.0f, 700},  {20.2f, 202}, {-0.05f, 0}};
    for (auto [limit, tenths] : cases) EXPECT_EQ(limitTenths(limit), tenths) << limit;
    CurrentDevice d;
    d.lineid = 3;
    d.address = 7;
    AlarmInput in;
    in.ch1Enable = true;
    in.ch2Enable = true;
    in.ch1Type = "温度";
    const float limits[kLimitFields] = {25.37f, -3.25f, 80.0f, 20.0f};
    const AlarmWriteRequest r = alarmRequest(d, in, limits);
    EXPECT_EQ(r.enableBits, 3);
    EXPECT_EQ(r.limitsTenths[0], 253);
    EXPECT_EQ(r.limitsTenths[1], -32);
    EXPECT_EQ(r.limitsTenths[2], 800);
    EXPECT_FLOAT_EQ(r.ch1Upper, 25.37f);
    EXPECT_EQ(r.lineid, 3);
    EXPECT_EQ(r.address, 7);
}

TEST(DevicePages, Texts) {
    EXPECT_EQ(powerKindText(0), "外接电源");
    EXPECT_EQ(powerKindText(1), "电量低");
    EXPECT_EQ(powerKindText(2), "电量适中");
    EXPECT_EQ(powerKindText(3), "电量足");
    EXPECT_EQ(powerKindText(7), "未知");
    EXPECT_EQ(voltsText(3.6f), "3.600V");
    EXPECT_EQ(probeTypeIndex(1), 0);
    EXPECT_EQ(probeTypeIndex(2), 1);
    EXPECT_EQ(probeTypeIndex(4), 2);
    EXPECT_EQ(probeTypeOfIndex(2), 4);
    EXPECT_EQ(wiredIntervalText(5), "5分钟");
    EXPECT_EQ(wiredIntervalText(60), "1小时");
    EXPECT_EQ(wiredIntervalText(180), "3小时");
    EXPECT_EQ(wiredIntervalIndex(60), 5);
    EXPECT_EQ(wiredIntervalIndex(3), -1);
    EXPECT_EQ(wiredIntervalMinutes(5, 3), 60);
    EXPECT_EQ(wiredIntervalMinutes(-1, 3), 3) << "no choice keeps the current value";
    EXPECT_EQ(networkIntervalText(10, 0), "10秒");
    EXPECT_EQ(networkIntervalText(5, 1), "5分");
    EXPECT_EQ(networkIntervalText(2, 2), "2小时");
    EXPECT_EQ(networkIntervalText(2, 9), "2出错");
    EXPECT_EQ(infoTitle("B区-07"), " B区-07 的设备信息");
    EXPECT_EQ(readingTitle("B区-07", 0), "正在获取 B区-07 的设置值.");
    EXPECT_EQ(readingTitle("B区-07", 4), "正在获取 B区-07 的设置值.....");
    EXPECT_EQ(readingTitle("B区-07", 5), "正在获取 B区-07 的设置值.") << "again after five";
    EXPECT_EQ(synchronisingText(3), "正在同步时钟....");
    EXPECT_EQ(synchronisingText(4), "正在同步时钟.");
    EXPECT_EQ(alarmProgressText(1), "设置中..");
}

class SetDeviceStoreTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        engine = std::make_unique<Engine>();
        execOrFail(
            "insert into TovanLineTable (EraseSign,lineid,lineName,ComType,TCPIPPORT,HubIPAddr,SerialPortNum,"
            "ScantimerInter,scantimerInterUpper,wired) values('0','1','一号线','1','0','','0','3','60','1'),"
            "('0','2','二号线','1','0','','0','5','60','1');");
        LineEntry l;
        l.lineid = 1;
        l.name = "一号线";
        ASSERT_TRUE(engine->table().addLine(l));
        ASSERT_TRUE(submitAddDevice(prompts, *engine, {"甲", "5", 100000, "一号线"}).close);
        ASSERT_TRUE(submitAddDevice(prompts, *engine, {"乙", "6", 100000, "一号线"}).close);
        engine->storedUpdateInterval.store(3);
        prompts.prompts.clear();
    }
    PromptRecorder prompts;
    std::unique_ptr<Engine> engine;
};

TEST_F(SetDeviceStoreTest, UpdateIntervalBoundsAndTheRowsItChanges) {
    struct Case {
        const char* hours;
        const char* minutes;
        const char* message;  // nullptr: stored
        const char* caption;
        UpdateField focus;
    };
    const Case cases[] = {
        {"0", "0", "数据库更新时间不能低于1分钟", "数据库更新时间", UpdateField::Minutes},
        {"24", "1", "数据库更新时间不能超过24小时", "数据库更新时间", UpdateField::Minutes},
        {"25", "0", "小时设置框的范围为0~24", "小时", UpdateField::Hours},
        {"-1", "30", "小时设置框的范围为0~24", "小时", UpdateField::Hours},
        {"1", "60", "分钟设置框的范围为0~59", "小时", UpdateField::Minutes},
        {"一", "0", "请输入数字", "小时", UpdateField::Hours},
        {"1", "", "请输入数字", "小时", UpdateField::Minutes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hours) + ":" + c.minutes);
        prompts.prompts.clear();
        const UpdateOutcome out = submitUpdateInterval(prompts, *engine, c.hours, c.minutes);
        EXPECT_FALSE(out.stored);
        EXPECT_EQ(out.focus, c.focus);
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(prompts.prompts[0].caption, c.caption);
    }
    EXPECT_EQ(scalar("select group_concat(scantimerInter order by lineid) from tovanlinetable"), "3,5");

    prompts.prompts.clear();
    EXPECT_TRUE(submitUpdateInterval(prompts, *engine, "24", "0").stored);
    EXPECT_TRUE(prompts.prompts.empty());
    EXPECT_EQ(engine->updateInterval.load(), 1440);
    // Only the rows holding the station's value change.
    EXPECT_EQ(scalar("select group_concat(scantimerInter order by lineid) from tovanlinetable"), "1440,5");
    EXPECT_TRUE(submitUpdateInterval(prompts, *engine, "0", "1").stored);
    EXPECT_EQ(scalar("select group_concat(scantimerInter order by lineid) from tovanlinetable"), "1,5");
}

TEST_F(SetDeviceStoreTest, RenameChecksBeforeTheLoggerIsContacted) {
    CurrentDevice d = loadCurrentDevice(*engine, 100005);
    ASSERT_TRUE(d.found);
    EXPECT_EQ(d.name, "甲");
    db::Connection c;
    ASSERT_TRUE(c.open());
    ASSERT_TRUE(db::createDataTable(c, 1008));  // a table left at address 8
    struct Case {
        const char* name;
        const char* address;
        RenameStep step;
        const char* message;
        RenameField focus;
    };
    const Case cases[] = {
        {"甲", "5", RenameStep::Refused, "设备名和设备地址未改变", RenameField::None},
        {"", "5", RenameStep::Refused, "设备名长度不符合要求，必须在（1-50）字符之间", RenameField::Name},
        {"甲", "1000", RenameStep::Refused, "设备地址必须在1~999之间！", RenameField::Address},
        {"甲", "x", RenameStep::Refused, "设备地址必须在1~999之间！", RenameField::Address},
        {"乙", "5", RenameStep::Refused, "设备已经存在！", RenameField::Name},
        {"甲", "6", RenameStep::Refused, "设备地址 6 已经有对应的设备存在", RenameField::Address},
        {"甲", "8", RenameStep::Refused, "地址为 8 的数据表已经存在，设备地址未修改", RenameField::Address},
        {"丙'\\", "5", RenameStep::Store, nullptr, RenameField::None},
        {"甲", "9", RenameStep::CheckLogger, nullptr, RenameField::None},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.name) + "@" + k.address);
        prompts.prompts.clear();
        const RenameCheck r = checkRename(prompts, d, k.name, k.address);
        EXPECT_EQ(r.step, k.step);
        EXPECT_EQ(r.focus, k.focus);
        if (k.message != nullptr)
            EXPECT_EQ(prompts.texts(), std::vector<std::string>{k.message});
        else
            EXPECT_TRUE(prompts.prompts.empty());
    }

    // The name alone: the row, the entry and the record, nothing else.
    ASSERT_TRUE(storeRename(prompts, *engine, d, "丙'\\", 5));
    EXPECT_EQ(scalar("select DeviceName from tovandevicetable where DeviceNumber=5"), "丙'\\");
    EXPECT_EQ(engine->table().device(1, 5)->name, "丙'\\");
    // A new address moves the data table with the row.
    ASSERT_TRUE(db::createDataTable(c, 1005));
    ASSERT_TRUE(db::storeLiveReading(c, 1005, "2026-12-01 10:00:00", 21.5, 55.0, "0"));
    ASSERT_TRUE(storeRename(prompts, *engine, d, "丙", 9));
    EXPECT_EQ(d.address, 9);
    EXPECT_EQ(scalar("select count(*) from TovanDataTable_1009"), "1");
    EXPECT_EQ(test::rowCount("show tables like 'tovandatatable\\_1005'"), 0);
    EXPECT_EQ(scalar("select DeviceNumber from tovandevicetable where DeviceName='丙'"), "9");
    EXPECT_TRUE(engine->table().device(1, 9));
    EXPECT_FALSE(engine->table().device(1, 5));
}

TEST_F(SetDeviceStoreTest, ProbeTypeStoredInTheRowAndTheEntry) {
    CurrentDevice d = loadCurrentDevice(*engine, 100006);
    ASSERT_TRUE(d.found);
    ASSERT_TRUE(submitProbeType(prompts, *engine, d, 1));
    EXPECT_EQ(scalar("select DeviceProbeType from tovandevicetable where DeviceNumber=6"), "2");
    EXPECT_EQ(engine->table().device(1, 6)->probeType, 2);
    ASSERT_TRUE(submitProbeType(prompts, *engine, d, 2));
    EXPECT_EQ(scalar("select DeviceProbeType from tovandevicetable where DeviceNumber=6"), "4");
    EXPECT_EQ(scalar("select DeviceProbeType from tovandevicetable where DeviceNumber=5"), "4") << "only its row";
}

}  // namespace
}  // namespace tovanix::devices
