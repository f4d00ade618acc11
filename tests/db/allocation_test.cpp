#include <gtest/gtest.h>

#include "db/allocation.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "db/removal.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

namespace tovanix::db {
namespace {

std::string schemaAlarmInsert(int deviceid, int lineid) {
    return tovanix::db::sqlf("insert into TovanAlarmTable (RecordTime,DeviceName,DeviceNumber,LineName,RoomName,deviceid,"
                             "lineid,Channel,Value,Event) values('2026-01-01 00:00:00','d','9','L','R','%d','%d','1','9.5','上限超标');",
                             deviceid, lineid);
}

using test::rowCount;
using test::scalar;

class Allocation : public test::DbTest {
protected:
    void SetUp() override {
        test::DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createDatabase();
        ASSERT_TRUE(c.open()) << c.lastError();
    }
    LineSettings line(const std::string& name, int port) {
        LineSettings s;
        s.name = name;
        s.serialPort = port;
        s.scanInterval = 3;
        return s;
    }
    Connection c;
};

TEST_F(Allocation, LinesCountUpAndRefuseABusyPort) {
    EXPECT_EQ(allocateLine(c, line("一号线", 1)).number, 1);
    EXPECT_EQ(allocateLine(c, line("二号线", 2)).number, 2);
    auto busy = allocateLine(c, line("重复", 2));
    EXPECT_EQ(busy.result, AllocationResult::InUse);
    EXPECT_EQ(rowCount("select * from tovanlinetable"), 2);
    EXPECT_EQ(scalar("select ComType from tovanlinetable where lineid=2"), "1");
    EXPECT_EQ(scalar("select lineName from tovanlinetable where lineid=2"), "二号线");
}

TEST_F(Allocation, DeletedLineIsRevivedWithItsNumber) {
    allocateLine(c, line("L1", 1));
    allocateLine(c, line("L2", 2));
    allocateLine(c, line("L3", 3));
    auto removed = removeLine(c, 2);
    ASSERT_TRUE(removed.found);
    EXPECT_EQ(removed.serialPort, 2);
    auto revived = allocateLine(c, line("新线", 7));
    EXPECT_EQ(revived.result, AllocationResult::Revived);
    EXPECT_EQ(revived.number, 2);
    EXPECT_EQ(scalar("select SerialPortNum from tovanlinetable where lineid=2"), "7");
    EXPECT_EQ(scalar("select EraseSign from tovanlinetable where lineid=2"), "0");
    EXPECT_EQ(allocateLine(c, line("L4", 4)).number, 4);
}

TEST_F(Allocation, GroupsOfLine3Run301To399ThenRefuse) {
    for (int i = 1; i <= kMaxGroupsPerLine; ++i) {
        auto g = allocateGroup(c, 3, "组" + std::to_string(i));
        ASSERT_EQ(g.result, AllocationResult::Created);
        if (i == 1) {
            EXPECT_EQ(g.number, 301);
        }
        if (i == 99) {
            EXPECT_EQ(g.number, 399);
        }
    }
    EXPECT_EQ(allocateGroup(c, 3, "too many").result, AllocationResult::Full);
    EXPECT_EQ(allocateGroup(c, 4, "next line").number, 401);
    ASSERT_TRUE(removeGroup(c, 350, 3));
    auto again = allocateGroup(c, 3, "again");
    EXPECT_EQ(again.result, AllocationResult::Revived);
    EXPECT_EQ(again.number, 350);
}

TEST_F(Allocation, DeviceInsertWritesTheDefaults) {
    auto d = allocateDevice(c, 1, 15, "冷库'A\"\\%", 0);
    ASSERT_EQ(d.result, AllocationResult::Created);
    EXPECT_EQ(d.number, 1);
    auto rows = c.query("select * from tovandevicetable");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    const Row& r = rows->front();
    ASSERT_EQ(r.size(), 77u);
    EXPECT_EQ(r.text(schema::device::DeviceName), "冷库'A\"\\%");
    EXPECT_EQ(r.integer(schema::device::DeviceNumber), 15);
    EXPECT_EQ(r.integer(schema::device::DeviceProbeType), 4);
    EXPECT_EQ(r.text(schema::device::CHL1Type), "温度");
    EXPECT_EQ(r.text(schema::device::CHL1Unit), "℃");
    EXPECT_EQ(r.text(schema::device::CHL2Type), "湿度");
    EXPECT_EQ(r.text(schema::device::CHL2Unit), "%");
    EXPECT_EQ(r.text(schema::device::CHL4Type), "湿度");
    EXPECT_EQ(r.text(schema::device::CHL4Unit), "%");
    EXPECT_EQ(r.integer(schema::device::RecordInter), 1);
    EXPECT_EQ(r.integer(schema::device::SamplingInter), 10);
    EXPECT_EQ(r.integer(schema::device::LCDOFFDelay), 45);
    EXPECT_EQ(r.integer(schema::device::AlarmSoundDuration), 8);
    EXPECT_EQ(r.integer(schema::device::SMSRepInter), 30);
    EXPECT_EQ(r.text(schema::device::SMSCHL1Type), "温度");
    EXPECT_EQ(r.integer(schema::device::SMSCHL1Unit), 67);
    EXPECT_EQ(r.integer(schema::device::DownHour1Timer), 59);
    EXPECT_EQ(r.text(schema::device::DownLastTime), "2014-01-01 00:00:00");
    EXPECT_EQ(r.text(schema::device::DownTime10M), "1999-12-12 12:12:12");
    EXPECT_EQ(r.text(schema::device::DownTime3Hour), "2014-01-01 00:00:00");
    EXPECT_EQ(r.integer(schema::device::RoomID), 0);
    EXPECT_EQ(r.integer(schema::device::SqlRecord), 0);
}

TEST_F(Allocation, DeletedDeviceIsRevivedWithDeviceidAndOldSettings) {
    allocateDevice(c, 1, 1, "D1", 0);
    allocateDevice(c, 1, 2, "D2", 101);
    allocateDevice(c, 1, 3, "D3", 0);
    // Device 2 had settings of its own and readings.
    test::execOrFail("update tovandevicetable set CHL1Lower=-20,CHL1Upper=8,RecordInter=5,SqlRecord=1,AlarmGetSign=1 "
                     "where DeviceNumber=2 and LineID=1");
    ASSERT_TRUE(createDataTable(c, dataTableNumber(1, 2)));
    ASSERT_TRUE(storeLiveReading(c, 1002, "2026-01-01 10:00:00", 1.0, 2.0, "0"));
    ASSERT_TRUE(dropDataTable(c, 1, 2));
    ASSERT_TRUE(markDeviceDeleted(c, 2, 1));

    EXPECT_EQ(allocateDevice(c, 1, 3, "dup", 0).result, AllocationResult::InUse);
    auto d = allocateDevice(c, 1, 40, "新设备", 102);
    EXPECT_EQ(d.result, AllocationResult::Revived);
    EXPECT_EQ(d.number, 2);
    auto rows = c.query("select * from tovandevicetable where DeviceNumber=40 and LineID=1 and DeviceEraseSign=0");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    const Row& r = rows->front();
    EXPECT_EQ(r.integer(schema::device::deviceid), 2);                    // deviceid kept
    EXPECT_EQ(r.text(schema::device::DeviceName), "新设备");
    EXPECT_EQ(r.integer(schema::device::AlarmGetSign), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(r.real(schema::device::CHL1Lower)), -20.0f);  // old settings stay
    EXPECT_FLOAT_EQ(static_cast<float>(r.real(schema::device::CHL1Upper)), 8.0f);
    EXPECT_EQ(r.integer(schema::device::RecordInter), 5);
    EXPECT_EQ(r.text(schema::device::DownLastTime), "2014-01-01 00:00:00");
    EXPECT_EQ(r.integer(schema::device::RoomID), 102);
    EXPECT_EQ(r.integer(schema::device::SqlRecord), 0);
    // The revived device's table starts empty (it was dropped with the old one).
    EXPECT_EQ(rowCount("select * from information_schema.tables where table_name='tovandatatable_1002'"), 0);
    EXPECT_EQ(allocateDevice(c, 1, 41, "D4", 0).number, 4);
    EXPECT_EQ(allocateDevice(c, 2, 3, "other line, same address", 0).result, AllocationResult::Created);
}

TEST_F(Allocation, DeviceAddressBounds) {
    EXPECT_EQ(allocateDevice(c, 1, 0, "x", 0).result, AllocationResult::Invalid);
    EXPECT_EQ(allocateDevice(c, 1, 1000, "x", 0).result, AllocationResult::Invalid);
    EXPECT_TRUE(allocateDevice(c, 1, 1, "x", 0).ok());
    EXPECT_TRUE(allocateDevice(c, 1, 999, "y", 0).ok());
}

TEST_F(Allocation, LineRemovalDropsTablesAndMarksEverything) {
    allocateLine(c, line("L1", 1));
    allocateGroup(c, 1, "G");
    allocateDevice(c, 1, 5, "a", 101);
    allocateDevice(c, 1, 6, "b", 0);
    createDataTable(c, 1005);
    createDataTable(c, 1006);
    auto r = removeLine(c, 1);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.devicesRemoved, 2);
    EXPECT_EQ(rowCount("select * from information_schema.tables where table_name like 'tovandatatable_100%'"), 0);
    EXPECT_EQ(rowCount("select * from tovandevicetable where DeviceEraseSign=0"), 0);
    EXPECT_EQ(scalar("select EraseSign from tovanroomtable where roomid=101"), "1");
    EXPECT_EQ(scalar("select EraseSign from tovanlinetable where lineid=1"), "1");
    EXPECT_FALSE(removeLine(c, 1).found);  // already gone
}

TEST_F(Allocation, GroupRemovalMovesDevicesToTheLine) {
    allocateGroup(c, 3, "G1");
    allocateGroup(c, 3, "G2");
    allocateDevice(c, 3, 7, "in G2", 302);
    createDataTable(c, 3007);
    storeLiveReading(c, 3007, "2026-12-01 08:00:00", 4.5, 60.0, "0");
    ASSERT_TRUE(removeGroup(c, 302, 3));
    EXPECT_EQ(scalar("select RoomID from tovandevicetable where DeviceNumber=7"), "0");
    EXPECT_EQ(rowCount("select * from tovandatatable_3007"), 1);
}

TEST_F(Allocation, AlarmRowsRemovedByTheDevicesDeviceid) {
    test::execOrFail(schemaAlarmInsert(2, 5));
    test::execOrFail(schemaAlarmInsert(3, 5));
    ASSERT_TRUE(deleteDeviceAlarmRows(c, 2, 5));
    EXPECT_EQ(rowCount("select * from tovanalarmtable"), 1);
}

}  // namespace
}  // namespace tovanix::db
