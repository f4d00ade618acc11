#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/data_table.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

namespace tovanix::db {
namespace {

using test::rowCount;
using test::scalar;

class DataTable : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createDatabase();
        ASSERT_TRUE(c.open()) << c.lastError();
    }
    Connection c;
};

TEST(DataTableNumber, LineTimesThousandPlusAddress) {
    EXPECT_EQ(dataTableNumber(12, 7), 12007);
    EXPECT_EQ(dataTableNumber(2, 15), 2015);
    EXPECT_EQ(dataTableName(dataTableNumber(3, 7)), "TovanDataTable_3007");
}

TEST(AlarmSign, ZeroEmptyAndANeverAlarm) {
    for (const char* s : {"0", "", "A", "a", "0 "}) EXPECT_FALSE(isAlarmSign(s)) << '"' << s << '"';
    for (const char* s : {"1", "2", "16", "17", "33", "00"}) EXPECT_TRUE(isAlarmSign(s)) << s;
}

TEST_F(DataTable, AddressSevenOnLineTwelve) {
    int n = dataTableNumber(12, 7);
    ASSERT_TRUE(createDataTable(c, n)) << c.lastError();
    ASSERT_TRUE(storeLiveReading(c, n, "2026-12-07 10:15:00", 4.25, 61.0, "0"));
    EXPECT_EQ(rowCount("select * from TovanDataTable_12007"), 1);
}

TEST_F(DataTable, LiveReplacesFetchedIgnores) {
    ASSERT_TRUE(createDataTable(c, 1001));
    ASSERT_TRUE(storeLiveReading(c, 1001, "2026-12-07 10:15:00", 4.0, 50.0, "0"));
    ASSERT_TRUE(storeLiveReading(c, 1001, "2026-12-07 10:15:00", 9.04, 51.0, "2"));
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 1);
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001"), "9");
    EXPECT_EQ(scalar("select AlarmSign from tovandatatable_1001"), "2");
    // A fetched record with an existing time leaves the row as it is.
    ASSERT_TRUE(storeFetchedRecord(c, 1001, "2026-12-07 10:15:00", -3.0, 10.0));
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001"), "9");
    ASSERT_TRUE(storeFetchedRecord(c, 1001, "2026-12-07 10:14:00", -3.0, 10.0));
    EXPECT_EQ(rowCount("select * from tovandatatable_1001"), 2);
    EXPECT_EQ(scalar("select AlarmSign from tovandatatable_1001 where RecordDataTime='2026-12-07 10:14:00'"), "0");
    EXPECT_EQ(scalar("select CHL1 from tovandatatable_1001 where RecordDataTime='2026-12-07 10:14:00'"), "-3");
}

TEST_F(DataTable, AlarmPredicateIgnoresZeroEmptyAndA) {
    ASSERT_TRUE(createDataTable(c, 2001));
    const char* signs[] = {"0", "", "A", "1", "17", "33"};
    int minute = 0;
    for (const char* s : signs) {
        storeLiveReading(c, 2001, sqlf("2026-12-07 10:%02d:00", minute++), 1.0, 2.0, s);
    }
    // checksign does not matter for the alarm-row rule.
    test::execOrFail("update tovandatatable_2001 set checksign=1 where AlarmSign in ('0','','A')");
    EXPECT_EQ(rowCount(std::string("select * from tovandatatable_2001 where ") + kAlarmRowPredicate), 3);
    EXPECT_EQ(rowCount(std::string("select * from tovandatatable_2001 where ") + kAlarmRowPredicate +
                       " and checksign='0'"),
              3);
}

TEST_F(DataTable, DownLastTimeOfTheLiveDeviceOnly) {
    test::execOrFail("insert into tovandevicetable (DeviceEraseSign,LineID,DeviceNumber,DownLastTime) "
                     "values(0,1,5,'2014-01-01 00:00:00'),(1,1,5,'2014-01-01 00:00:00')");
    ASSERT_TRUE(updateDownLastTime(c, 5, 1, "2026-12-07 10:15:00"));
    EXPECT_EQ(scalar("select DownLastTime from tovandevicetable where DeviceEraseSign=0"), "2026-12-07 10:15:00");
    EXPECT_EQ(scalar("select DownLastTime from tovandevicetable where DeviceEraseSign=1"), "2014-01-01 00:00:00");
}

TEST_F(DataTable, EscapingRoundTrips) {
    const std::string texts[] = {
        "it's", "back\\slash", "100%", "%s%d", "quote\"d", "温度'; drop table tovanlinetable; --",
        "😀 emoji", "\x01\x7f", "a\nb\r\tc", "锟斤拷"};
    test::execOrFail("Create Table if not exists EscapeProbe(id int auto_increment primary key, t VARCHAR(120))");
    for (const auto& t : texts) {
        ASSERT_TRUE(c.exec(sqlf("insert into EscapeProbe (t) values('%s')", c.escape(t).c_str()))) << c.lastError();
        auto rows = c.query(sqlf("select t from EscapeProbe where t='%s'", c.escape(t).c_str()));
        ASSERT_TRUE(rows);
        ASSERT_EQ(rows->size(), 1u) << t;
        EXPECT_EQ(rows->front().text(0), t);
        c.exec("delete from EscapeProbe");
    }
    EXPECT_EQ(rowCount("select * from tovanlinetable"), 0);  // the injection did nothing
}

TEST_F(DataTable, AConnectionTheServerDroppedIsSeenAsLost) {
    EXPECT_FALSE(c.connectionLost());
    Connection victim;
    ASSERT_TRUE(victim.open());
    auto id = victim.query("select connection_id()");
    ASSERT_TRUE(id && !id->empty());
    ASSERT_TRUE(c.exec("kill " + id->front().text(0)));
    EXPECT_FALSE(victim.exec("select 1"));
    EXPECT_TRUE(victim.connectionLost()) << victim.lastErrno() << " " << victim.lastError();
    ASSERT_TRUE(victim.open());
    EXPECT_TRUE(victim.exec("select 1"));
}

class Defaults : public test::DbTest {};

TEST_F(Defaults, EmptyUserTableGetsExactlyOneRoot) {
    Connection c;
    ASSERT_TRUE(c.open());
    bool inserted = false;
    ASSERT_TRUE(ensureUserTable(c, &inserted));
    EXPECT_TRUE(inserted);
    ASSERT_TRUE(ensureUserTable(c, &inserted));
    EXPECT_FALSE(inserted);
    EXPECT_EQ(rowCount("select * from tovanusertable"), 1);
    EXPECT_EQ(scalar("select concat(User_Name,'/',PassWord,'/',User_Right) from tovanusertable"), "root/582046/2");
}

TEST_F(Defaults, RightsRowsOfLevelsOneAndZero) {
    createDatabase();
    Connection c;
    ASSERT_TRUE(c.open());
    ASSERT_TRUE(ensureRightsRow(c, kLevelAdministrator));
    ASSERT_TRUE(ensureRightsRow(c, kLevelAdministrator));
    ASSERT_TRUE(ensureRightsRow(c, kLevelGuest));
    ASSERT_TRUE(ensureRightsRow(c, kLevelSystemAdministrator));
    EXPECT_EQ(rowCount("select * from tovanuserrighttable"), 2);
    EXPECT_EQ(scalar("select concat(DeviceManagement,AlarmSetting,AlarmAck,DataView,UserManage,DatabaseManage,Setting,"
                     "CompanyInfo) from tovanuserrighttable where User_Right=1"),
              "00010000");
    EXPECT_EQ(scalar("select concat(DeviceManagement,AlarmSetting,AlarmAck,DataView,UserManage,DatabaseManage,Setting,"
                     "CompanyInfo) from tovanuserrighttable where User_Right=0"),
              "00000000");
}

TEST_F(Defaults, SystemAndAlarmDeviceRowsOnce) {
    createDatabase();
    Connection c;
    ASSERT_TRUE(c.open());
    ASSERT_TRUE(ensureSystemRow(c));
    ASSERT_TRUE(ensureSystemRow(c));
    EXPECT_EQ(rowCount("select * from tovansystrmtable"), 1);
    EXPECT_EQ(scalar("select concat(SystemName,'|',ServerOpen,'|',ServerIP,'|',ServerPort,'|',ModelID) from "
                     "tovansystrmtable"),
              "系统|0|127.0.0.1|4000|C00000");
    bool inserted = false;
    ASSERT_TRUE(ensureAlarmDeviceRow(c, &inserted));
    EXPECT_TRUE(inserted);
    ASSERT_TRUE(ensureAlarmDeviceRow(c, &inserted));
    EXPECT_FALSE(inserted);
    EXPECT_EQ(scalar("select concat(COM,Sound,GMS,GMSTime) from tovanalarmdevicetable"), "0000");
}

}  // namespace
}  // namespace tovanix::db
