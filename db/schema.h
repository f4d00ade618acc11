// Creation statements of TovanDatabase. Column order is a contract: readers
// take "select *" columns by position, through the enums below. Statements
// never alter an existing table; an older layout is replaced only by
// deleting the database.
#pragma once

#include <cstddef>
#include <string>

namespace tovanix::db {

class Connection;

namespace schema {

// Two blanks after "exists", as the station has always sent it.
inline constexpr const char* kCreateDatabase = "Create Database if not exists  TovanDatabase";
extern const char* const kCreateLineTable;
extern const char* const kCreateRoomTable;
extern const char* const kCreateDeviceTable;
extern const char* const kCreateAlarmTable;
extern const char* const kCreateUserTable;
extern const char* const kCreateUserRightTable;
extern const char* const kCreateSystemTable;
extern const char* const kCreateAlarmDeviceTable;
extern const char* const kCreatePhoneNumTable;

// Column positions of "select *" rows, one enum per table, in the order of
// the creation statements above (named as the columns are).
namespace line {  // TovanLineTable
enum Column : std::size_t {
    id, EraseSign, lineid, lineName, ComType, TCPIPPort, HubIPAddr, SerialPortNum, scantimerInter,
    scantimerInterUpper, wired, kColumns
};
}  // namespace line

namespace room {  // TovanRoomTable
enum Column : std::size_t {
    id, RoomName, LineID, EraseSign, roomid, kColumns
};
}  // namespace room

namespace device {  // TovanDeviceTable
enum Column : std::size_t {
    id, DeviceEraseSign, deviceid, LineID, DeviceName, DeviceNumber, DeviceProbeType, AlarmGetSign,
    CHL1GetSign, CHL1Enable, CHL1Type, CHL1Unit, CHL1Lower, CHL1Upper, CHL2GetSign, CHL2Enable, CHL2Type,
    CHL2Unit, CHL2Lower, CHL2Upper, CHL3GetSign, CHL3Enable, CHL3Type, CHL3Unit, CHL3Lower, CHL3Upper,
    CHL4GetSign, CHL4Enable, CHL4Type, CHL4Unit, CHL4Lower, CHL4Upper, DeviceGetStateSign, RecordInterUnit,
    RecordInter, SamplingInter, LCDOFFDelay, AlarmSoundEnable, AlarmSoundMonitorInter, AlarmSoundDuration,
    SMSEnable, SMSRepInter, SMSCHL1Type, SMSCHL1Unit, SMSCHL1Lower, SMSCHL1Upper, SMSCHL2Type, SMSCHL2Unit,
    SMSCHL2Lower, SMSCHL2Upper, SMSCHL3Type, SMSCHL3Unit, SMSCHL3Lower, SMSCHL3Upper, SMSCHL4Type, SMSCHL4Unit,
    SMSCHL4Lower, SMSCHL4Upper, SMSPhone1Enable, SMSPhone1Number, SMSPhone2Enable, SMSPhone2Number,
    SMSPhone3Enable, SMSPhone3Number, DownHour1Enable, DownHour1Timer, DownHour2Enable, DownHour2Timer,
    DownInterEnable, DownInterTimer, DownStartSign, DownLastTime, DownTime10M, DownTimeHour, DownTime3Hour,
    RoomID, SqlRecord, kColumns
};
}  // namespace device

namespace alarm {  // TovanAlarmTable
enum Column : std::size_t {
    id, RecordTime, DeviceName, DeviceNumber, LineName, RoomName, deviceid, lineid, Channel, Value, Event, kColumns
};
}  // namespace alarm

namespace user {  // TovanUserTable
enum Column : std::size_t {
    id, User_Name, PassWord, User_Right, kColumns
};
}  // namespace user

namespace user_right {  // TovanUserRightTable
enum Column : std::size_t {
    id, User_Right, DeviceManagement, AlarmSetting, AlarmAck, DataView, UserManage, DatabaseManage, Setting,
    CompanyInfo, kColumns
};
}  // namespace user_right

namespace system {  // TovanSystrmTable
enum Column : std::size_t {
    id, SystemName, ServerOpen, ServerIP, ServerPort, CompanyName, URL, ModelID, kColumns
};
}  // namespace system

namespace alarm_device {  // TovanAlarmDeviceTable
enum Column : std::size_t {
    id, COM, Sound, GMS, GMSTime, kColumns
};
}  // namespace alarm_device

namespace phone {  // TovanPhoneNumTable
enum Column : std::size_t {
    id, PhoneNum, kColumns
};
}  // namespace phone

namespace data {  // TovanDataTable_<n>
enum Column : std::size_t { RecordDataTime, CHL1, CHL2, CHL3, CHL4, AlarmSign, checksign, user_name, checkevent, kColumns };
}  // namespace data

// The seven configuration tables the main window creates, in that order.
// False when any of them failed.
bool createConfigurationTables(Connection& c);

}  // namespace schema
}  // namespace tovanix::db
