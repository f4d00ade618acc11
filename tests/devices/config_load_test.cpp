#include <gtest/gtest.h>

#include "db/allocation.h"
#include "db/connection.h"
#include "devices/config_load.h"
#include "tests/support/test_db.h"

namespace tovanix::devices {
namespace {

using test::execOrFail;

class ConfigLoad : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createDatabase();
    }
};

TEST_F(ConfigLoad, EmptyDatabaseGetsDefaultRows) {
    StationTable t;
    alarms::AlarmConfig a;
    ConfigLoadResult r = loadConfiguration(t, a, std::time(nullptr));
    EXPECT_TRUE(r.connected);
    EXPECT_EQ(t.lineCount(), 0);
    EXPECT_EQ(r.system.systemName, "系统");
    EXPECT_EQ(test::scalar("select concat(COM,Sound,GMS,GMSTime) from tovanalarmdevicetable"), "0000");
    EXPECT_EQ(a.settings().gmsTime, 1);
    EXPECT_EQ(a.settings().com, 0);
    EXPECT_FALSE(r.lostRecords);
    EXPECT_EQ(r.scanInterval, kDefaultScanInterval);
}

TEST_F(ConfigLoad, LinesGroupsDevicesAndAlarmSettings) {
    db::Connection c;
    ASSERT_TRUE(c.open());
    db::LineSettings l1{"一号线 'A'", 0, "", 3, 5, 0, 1};
    db::LineSettings l2{"无线", 0, "", 4, 7, 0, 0};
    ASSERT_TRUE(db::allocateLine(c, l1).ok());
    ASSERT_TRUE(db::allocateLine(c, l2).ok());
    ASSERT_EQ(db::allocateGroup(c, 1, "冷库").number, 101);
    ASSERT_TRUE(db::allocateDevice(c, 1, 7, "D7", 101).ok());
    ASSERT_TRUE(db::allocateDevice(c, 1, 8, "D8", 0).ok());
    ASSERT_TRUE(db::allocateDevice(c, 2, 1, "W1", 0).ok());
    execOrFail("update tovandevicetable set CHL1Enable=1,CHL1Lower=-20,CHL1Upper=8.5,CHL2Enable=2,CHL2Lower=10,"
               "CHL2Upper=90,RecordInter=5,DeviceProbeType=1,AlarmGetSign=1,SqlRecord=1 where DeviceNumber=7");
    execOrFail("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('9','1','1','0')");
    execOrFail("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('1','0','0','5')");
    for (int i = 0; i < 11; ++i) {
        execOrFail(db::sqlf("insert into tovanphonenumtable (PhoneNum) values('138%08d')", i));
    }
    StationTable t;
    alarms::AlarmConfig a;
    ConfigLoadResult r = loadConfiguration(t, a, std::time(nullptr));
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.scanInterval, 7);  // the last line loaded
    auto lines = t.snapshot();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "一号线 'A'");
    EXPECT_EQ(lines[0].port, 3);
    EXPECT_EQ(lines[0].wired, 1);
    EXPECT_EQ(lines[1].wired, 0);
    ASSERT_EQ(lines[0].groups.size(), 1u);
    EXPECT_EQ(lines[0].groups[0].roomid, 101);
    ASSERT_EQ(lines[0].devices.size(), 2u);
    const DeviceEntry& d = lines[0].devices[0];
    EXPECT_EQ(d.address, 7);
    EXPECT_EQ(d.groupId, 101);
    EXPECT_EQ(d.ch1Enable, 1);
    EXPECT_EQ(d.ch2Enable, 2);
    EXPECT_FLOAT_EQ(d.ch1Lower, -20.0f);
    EXPECT_FLOAT_EQ(d.ch1Upper, 8.5f);
    EXPECT_EQ(d.recordInterval, 5);
    EXPECT_EQ(d.probeType, 1);
    EXPECT_EQ(d.status, kStatusNotAnswering);
    EXPECT_EQ(d.powerKind, kPowerUnknown);
    EXPECT_EQ(d.sqlRecord, 1);
    // The first alarm-device row counts; its GMSTime 0 is used as 1.
    EXPECT_EQ(a.settings().com, 9);
    EXPECT_EQ(a.settings().sound, 1);
    EXPECT_EQ(a.settings().gms, 1);
    EXPECT_EQ(a.settings().gmsTime, 1);
    EXPECT_EQ(a.phones().size(), 10u);
    EXPECT_EQ(r.skippedPhones, 1);
    EXPECT_EQ(a.phones()[0], "13800000000");
}

TEST_F(ConfigLoad, LostRecordsTakeTheOldestOverAllLines) {
    db::Connection c;
    ASSERT_TRUE(c.open());
    db::allocateLine(c, {"L1", 0, "", 1, 3, 0, 1});
    db::allocateLine(c, {"L2", 0, "", 2, 3, 0, 1});
    db::allocateDevice(c, 1, 1, "old", 0);
    db::allocateDevice(c, 2, 1, "recent", 0);
    const std::time_t now = std::time(nullptr);
    execOrFail("update tovandevicetable set DownLastTime='2020-05-01 12:00:00',RecordInter=1 where LineID=1");
    execOrFail(db::sqlf("update tovandevicetable set DownLastTime=from_unixtime(%lld),RecordInter=60 where LineID=2",
                        static_cast<long long>(now - 30 * 60)));
    StationTable t;
    alarms::AlarmConfig a;
    ConfigLoadResult r = loadConfiguration(t, a, now);
    EXPECT_TRUE(r.lostRecords);
    EXPECT_EQ(r.oldestLost, parseDbTime("2020-05-01 12:00:00", now));
    // A device younger than its recording interval alone sets nothing.
    execOrFail("update tovandevicetable set DeviceEraseSign=1 where LineID=1");
    r = loadConfiguration(t, a, now);
    EXPECT_FALSE(r.lostRecords);
}

TEST_F(ConfigLoad, RefusedAccountLoadsNothing) {
    db::Account saved = db::account();
    db::setAccount({saved.user, "wrong"});
    StationTable t;
    LineEntry stale;
    stale.lineid = 5;
    t.addLine(stale);
    alarms::AlarmConfig a;
    ConfigLoadResult r = loadConfiguration(t, a, std::time(nullptr));
    db::setAccount(saved);
    EXPECT_FALSE(r.connected);
    EXPECT_EQ(t.lineCount(), 0);
}

}  // namespace
}  // namespace tovanix::devices
