#include "db/schema.h"

#include "db/connection.h"

namespace tovanix::db::schema {

const char* const kCreateLineTable =
    "Create Table if not exists TovanLineTable(id int(3) auto_increment not null primary key"
    ",EraseSign int(1),lineid int(1),lineName VARCHAR(120),ComType int(1),TCPIPPort int(2)"
    ",HubIPAddr VARCHAR(30),SerialPortNum int(2),scantimerInter int(2)"
    ",scantimerInterUpper int(2),wired int(1))";

const char* const kCreateRoomTable =
    "Create Table if not exists TovanRoomTable(id int(3) auto_increment not null primary key"
    ",RoomName VARCHAR(120),LineID int(3),EraseSign int(1),roomid int(3))";

const char* const kCreateDeviceTable =
    "Create Table if not exists TovanDeviceTable(id int(1) auto_increment not null primary key"
    ",DeviceEraseSign int(1),deviceid int(1),LineID int(3),DeviceName VARCHAR(120)"
    ",DeviceNumber int(2),DeviceProbeType int(1),AlarmGetSign int(1),CHL1GetSign int(1)"
    ",CHL1Enable int(1),CHL1Type VARCHAR(16),CHL1Unit VARCHAR(16),CHL1Lower float"
    ",CHL1Upper float,CHL2GetSign int(1),CHL2Enable int(1),CHL2Type VARCHAR(16)"
    ",CHL2Unit VARCHAR(16),CHL2Lower float,CHL2Upper float,CHL3GetSign int(1),CHL3Enable int(1)"
    ",CHL3Type VARCHAR(16),CHL3Unit VARCHAR(16),CHL3Lower float,CHL3Upper float"
    ",CHL4GetSign int(1),CHL4Enable int(1),CHL4Type VARCHAR(16),CHL4Unit VARCHAR(16)"
    ",CHL4Lower float,CHL4Upper float,DeviceGetStateSign int(1),RecordInterUnit int(1)"
    ",RecordInter int(1),SamplingInter int(1),LCDOFFDelay int(1),AlarmSoundEnable int(1)"
    ",AlarmSoundMonitorInter int(1),AlarmSoundDuration int(1),SMSEnable int(1)"
    ",SMSRepInter int(2),SMSCHL1Type VARCHAR(16),SMSCHL1Unit int(1),SMSCHL1Lower float"
    ",SMSCHL1Upper float,SMSCHL2Type VARCHAR(16),SMSCHL2Unit int(1),SMSCHL2Lower float"
    ",SMSCHL2Upper float,SMSCHL3Type VARCHAR(16),SMSCHL3Unit int(1),SMSCHL3Lower float"
    ",SMSCHL3Upper float,SMSCHL4Type VARCHAR(16),SMSCHL4Unit int(1),SMSCHL4Lower float"
    ",SMSCHL4Upper float,SMSPhone1Enable int(1),SMSPhone1Number VARCHAR(16)"
    ",SMSPhone2Enable int(1),SMSPhone2Number VARCHAR(16),SMSPhone3Enable int(1)"
    ",SMSPhone3Number VARCHAR(16),DownHour1Enable int(1),DownHour1Timer int(2)"
    ",DownHour2Enable int(1),DownHour2Timer int(2),DownInterEnable int(1),DownInterTimer int(1)"
    ",DownStartSign int(1),DownLastTime datetime,DownTime10M datetime,DownTimeHour datetime"
    ",DownTime3Hour datetime,RoomID int(3),SqlRecord int(1))";

const char* const kCreateAlarmTable =
    "Create Table if not exists TovanAlarmTable(id int(3) auto_increment not null primary key"
    ",RecordTime datetime,DeviceName VARCHAR(120),DeviceNumber int(1),LineName VARCHAR(120)"
    ",RoomName VARCHAR(120),deviceid int(1),lineid int(1),Channel int(1),Value float"
    ",Event VARCHAR(20))";

const char* const kCreateUserTable =
    "Create Table if not exists TovanUserTable(id int(3) auto_increment not null primary key"
    ",User_Name char(16),PassWord char(41),User_Right int(1))";

const char* const kCreateUserRightTable =
    "Create Table if not exists TovanUserRightTable(id int(3) auto_increment not null primary key"
    ",User_Right int(1),DeviceManagement int(1),AlarmSetting int(1),AlarmAck int(1)"
    ",DataView int(1),UserManage int(1),DatabaseManage int(1),Setting int(1)"
    ",CompanyInfo int(1))";

const char* const kCreateSystemTable =
    "Create Table if not exists TovanSystrmTable(id int(3) auto_increment not null primary key"
    ",SystemName VARCHAR(120),ServerOpen int(1),ServerIP VARCHAR(120),ServerPort int(1)"
    ",CompanyName VARCHAR(120),URL VARCHAR(120),ModelID VARCHAR(6))";

const char* const kCreateAlarmDeviceTable =
    "Create Table if not exists TovanAlarmDeviceTable(id int(3) auto_increment not null primary key"
    ",COM int(1),Sound int(1),GMS int(1),GMSTime int(1))";

const char* const kCreatePhoneNumTable =
    "Create Table if not exists TovanPhoneNumTable(id int(3) auto_increment not null primary key"
    ",PhoneNum VARCHAR(11))";

bool createConfigurationTables(Connection& c) {
    bool ok = true;
    for (const char* sql : {kCreateLineTable, kCreateRoomTable, kCreateDeviceTable, kCreateAlarmTable,
                            kCreateSystemTable, kCreateAlarmDeviceTable, kCreatePhoneNumTable}) {
        ok = c.exec(sql) && ok;
    }
    return ok;
}

}  // namespace tovanix::db::schema
