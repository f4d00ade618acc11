#include <gtest/gtest.h>

#include <map>

#include "db/connection.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

namespace tovanix::db {
namespace {

using test::DbTest;

struct Column {
    std::string name;
    std::string type;
};

std::vector<Column> columnsOf(const std::string& table) {
    Connection c;
    EXPECT_TRUE(c.open());
    auto rows = c.query("SHOW COLUMNS FROM " + table);
    std::vector<Column> out;
    if (!rows) {
        ADD_FAILURE() << c.lastError();
        return out;
    }
    for (const auto& r : *rows) out.push_back({r.text(0), r.text(1)});
    return out;
}

std::string describe(const std::vector<Column>& cols) {
    std::string s;
    for (const auto& c : cols) s += c.name + " " + c.type + ",";
    return s;
}

// The layout every "select *" reader relies on, as the server reports it.
const std::map<std::string, std::string> kExpected = {
    {"TovanLineTable",
     "id int(3),EraseSign int(1),lineid int(1),lineName varchar(120),ComType int(1),TCPIPPort int(2),"
     "HubIPAddr varchar(30),SerialPortNum int(2),scantimerInter int(2),scantimerInterUpper int(2),wired int(1),"},
    {"TovanRoomTable", "id int(3),RoomName varchar(120),LineID int(3),EraseSign int(1),roomid int(3),"},
    {"TovanAlarmTable",
     "id int(3),RecordTime datetime,DeviceName varchar(120),DeviceNumber int(1),LineName varchar(120),"
     "RoomName varchar(120),deviceid int(1),lineid int(1),Channel int(1),Value float,Event varchar(20),"},
    {"TovanUserTable", "id int(3),User_Name char(16),PassWord char(41),User_Right int(1),"},
    {"TovanUserRightTable",
     "id int(3),User_Right int(1),DeviceManagement int(1),AlarmSetting int(1),AlarmAck int(1),DataView int(1),"
     "UserManage int(1),DatabaseManage int(1),Setting int(1),CompanyInfo int(1),"},
    {"TovanSystrmTable",
     "id int(3),SystemName varchar(120),ServerOpen int(1),ServerIP varchar(120),ServerPort int(1),"
     "CompanyName varchar(120),URL varchar(120),ModelID varchar(6),"},
    {"TovanAlarmDeviceTable", "id int(3),COM int(1),Sound int(1),GMS int(1),GMSTime int(1),"},
    {"TovanPhoneNumTable", "id int(3),PhoneNum varchar(11),"},
    {"TovanDataTable_12007",
     "RecordDataTime datetime,CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign varchar(8),checksign int(1),"
     "user_name char(16),checkevent char(120),"},
};

class Schema : public DbTest {
protected:
    static void createDataTableForTest() {
        test::execOrFail("Create Table if not exists TovanDataTable_12007(RecordDataTime datetime not null primary key,"
                         "CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                         "user_name char(16),checkevent char(120))");
    }
};

TEST_F(Schema, EveryTableHasItsColumnsInOrder) {
    createDatabase();
    test::execOrFail(schema::kCreateUserTable);
    test::execOrFail(schema::kCreateUserRightTable);
    createDataTableForTest();
    for (const auto& [table, expected] : kExpected) {
        EXPECT_EQ(describe(columnsOf(table)), expected) << table;
    }
}

// Each column enum names the column the server reports at that position.
struct EnumColumn {
    std::size_t position;
    const char* name;
};
#define TOVANIX_COL(table, column) EnumColumn{schema::table::column, #column}

TEST_F(Schema, ColumnEnumsMatchTheServersLayout) {
    createDatabase();
    test::execOrFail(schema::kCreateUserTable);
    test::execOrFail(schema::kCreateUserRightTable);
    createDataTableForTest();
    const struct {
        std::string table;
        std::size_t count;
        std::vector<EnumColumn> columns;
    } cases[] = {
        {"TovanLineTable", schema::line::kColumns,
         {TOVANIX_COL(line, id), TOVANIX_COL(line, lineid), TOVANIX_COL(line, lineName),
          TOVANIX_COL(line, SerialPortNum), TOVANIX_COL(line, scantimerInter), TOVANIX_COL(line, wired)}},
        {"TovanRoomTable", schema::room::kColumns,
         {TOVANIX_COL(room, RoomName), TOVANIX_COL(room, LineID), TOVANIX_COL(room, EraseSign),
          TOVANIX_COL(room, roomid)}},
        {"TovanDeviceTable", schema::device::kColumns,
         {TOVANIX_COL(device, deviceid), TOVANIX_COL(device, DeviceName), TOVANIX_COL(device, DeviceNumber),
          TOVANIX_COL(device, DeviceProbeType), TOVANIX_COL(device, CHL1Enable), TOVANIX_COL(device, CHL1Lower),
          TOVANIX_COL(device, CHL2Upper), TOVANIX_COL(device, RecordInter), TOVANIX_COL(device, AlarmSoundDuration),
          TOVANIX_COL(device, SMSPhone3Number), TOVANIX_COL(device, DownLastTime),
          TOVANIX_COL(device, DownTime3Hour), TOVANIX_COL(device, RoomID), TOVANIX_COL(device, SqlRecord)}},
        {"TovanAlarmTable", schema::alarm::kColumns,
         {TOVANIX_COL(alarm, RecordTime), TOVANIX_COL(alarm, DeviceName), TOVANIX_COL(alarm, lineid),
          TOVANIX_COL(alarm, Channel), TOVANIX_COL(alarm, Value), TOVANIX_COL(alarm, Event)}},
        {"TovanUserTable", schema::user::kColumns,
         {TOVANIX_COL(user, User_Name), TOVANIX_COL(user, PassWord), TOVANIX_COL(user, User_Right)}},
        {"TovanUserRightTable", schema::user_right::kColumns,
         {TOVANIX_COL(user_right, User_Right), TOVANIX_COL(user_right, DeviceManagement),
          TOVANIX_COL(user_right, AlarmSetting), TOVANIX_COL(user_right, AlarmAck), TOVANIX_COL(user_right, DataView),
          TOVANIX_COL(user_right, UserManage), TOVANIX_COL(user_right, DatabaseManage),
          TOVANIX_COL(user_right, Setting), TOVANIX_COL(user_right, CompanyInfo)}},
        {"TovanSystrmTable", schema::system::kColumns,
         {TOVANIX_COL(system, SystemName), TOVANIX_COL(system, ServerPort), TOVANIX_COL(system, CompanyName),
          TOVANIX_COL(system, URL), TOVANIX_COL(system, ModelID)}},
        {"TovanAlarmDeviceTable", schema::alarm_device::kColumns,
         {TOVANIX_COL(alarm_device, COM), TOVANIX_COL(alarm_device, Sound), TOVANIX_COL(alarm_device, GMS),
          TOVANIX_COL(alarm_device, GMSTime)}},
        {"TovanPhoneNumTable", schema::phone::kColumns, {TOVANIX_COL(phone, PhoneNum)}},
        {"TovanDataTable_12007", schema::data::kColumns,
         {TOVANIX_COL(data, RecordDataTime), TOVANIX_COL(data, CHL1), TOVANIX_COL(data, CHL2),
          TOVANIX_COL(data, AlarmSign), TOVANIX_COL(data, checksign), TOVANIX_COL(data, user_name),
          TOVANIX_COL(data, checkevent)}},
    };
    for (const auto& t : cases) {
        const auto cols = columnsOf(t.table);
        ASSERT_EQ(cols.size(), t.count) << t.table;
        for (const EnumColumn& e : t.columns) EXPECT_EQ(cols[e.position].name, e.name) << t.table;
    }
}
#undef TOVANIX_COL

TEST_F(Schema, DeviceTableHas77ColumnsInOrder) {
    createDatabase();
    auto cols = columnsOf("TovanDeviceTable");
    ASSERT_EQ(cols.size(), static_cast<std::size_t>(schema::device::kColumns));
    const std::pair<int, std::string> spots[] = {
        {0, "id int(1)"},           {1, "DeviceEraseSign int(1)"}, {2, "deviceid int(1)"},
        {3, "LineID int(3)"},       {4, "DeviceName varchar(120)"}, {5, "DeviceNumber int(2)"},
        {10, "CHL1Type varchar(16)"}, {12, "CHL1Lower float"},    {19, "CHL2Upper float"},
        {32, "DeviceGetStateSign int(1)"}, {34, "RecordInter int(1)"}, {41, "SMSRepInter int(2)"},
        {43, "SMSCHL1Unit int(1)"}, {57, "SMSCHL4Upper float"},   {58, "SMSPhone1Enable int(1)"},
        {63, "SMSPhone3Number varchar(16)"}, {65, "DownHour1Timer int(2)"}, {70, "DownStartSign int(1)"},
        {71, "DownLastTime datetime"}, {74, "DownTime3Hour datetime"}, {75, "RoomID int(3)"},
        {76, "SqlRecord int(1)"},
    };
    for (const auto& [i, want] : spots) EXPECT_EQ(cols[i].name + " " + cols[i].type, want) << "column " << i + 1;
}

TEST_F(Schema, CreationNeverAltersAnExistingTable) {
    createDatabase();
    test::execOrFail("insert into TovanPhoneNumTable (PhoneNum) values('13800000000')");
    createDatabase();  // second run: "if not exists"
    EXPECT_EQ(test::rowCount("select * from tovanphonenumtable"), 1);
}

TEST_F(Schema, MixedCaseNamesAddressTheSameTable) {
    createDatabase();
    test::execOrFail("insert into TovanLineTable (EraseSign,lineid,lineName) values(0,1,'A')");
    EXPECT_EQ(test::rowCount("select * from tovanlinetable"), 1);
    EXPECT_EQ(test::rowCount("select * from TOVANLINETABLE"), 1);
    Connection c;
    ASSERT_TRUE(c.open(test::testServer().account, false));
    EXPECT_TRUE(c.exec("use tovanDatabase"));
    auto rows = c.query("select lineName from TovanLineTable");
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 1u);
}

TEST_F(Schema, DatabaseStatementKeepsItsTwoBlanks) {
    EXPECT_STREQ(schema::kCreateDatabase, "Create Database if not exists  TovanDatabase");
}

}  // namespace
}  // namespace tovanix::db
