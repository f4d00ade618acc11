#include "db/allocation.h"

#include "db/connection.h"
#include "db/schema.h"
#include "platform/local_time.h"

namespace tovanix::db {

namespace {

constexpr const char* kDeviceInsert =
    "insert into TovanDeviceTable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
    "DeviceProbeType,AlarmGetSign,CHL1GetSign,CHL1Enable,CHL1Type,CHL1Unit,CHL1Lower,CHL1Upper,"
    "CHL2GetSign,CHL2Enable,CHL2Type,CHL2Unit,CHL2Lower,CHL2Upper,CHL3GetSign,CHL3Enable,CHL3Type,"
    "CHL3Unit,CHL3Lower,CHL3Upper,CHL4GetSign,CHL4Enable,CHL4Type,CHL4Unit,CHL4Lower,CHL4Upper,"
    "DeviceGetStateSign,RecordInterUnit,RecordInter,SamplingInter,LCDOFFDelay,AlarmSoundEnable,"
    "AlarmSoundMonitorInter,AlarmSoundDuration,SMSEnable,SMSRepInter,SMSCHL1Type,SMSCHL1Unit,"
    "SMSCHL1Lower,SMSCHL1Upper,SMSCHL2Type,SMSCHL2Unit,SMSCHL2Lower,SMSCHL2Upper,SMSCHL3Type,"
    "SMSCHL3Unit,SMSCHL3Lower,SMSCHL3Upper,SMSCHL4Type,SMSCHL4Unit,SMSCHL4Lower,SMSCHL4Upper,"
    "SMSPhone1Enable,SMSPhone1Number,SMSPhone2Enable,SMSPhone2Number,SMSPhone3Enable,SMSPhone3Number,"
    "DownHour1Enable,DownHour1Timer,DownHour2Enable,DownHour2Timer,DownInterEnable,DownInterTimer,"
    "DownStartSign,DownLastTime,DownTime10M,DownTimeHour,DownTime3Hour,RoomID,SqlRecord) values('0',"
    "'%d','%d','%s','%d','4','0','0','0','温度','℃','0','0','0','0','湿度','%%','0','0','0','0',"
    "'温度','℃','0','0','0','0','湿度','%%','0','0','1','1','1','10','45','0','1','8','0','30',"
    "'温度','67','0','0','温度','67','0','0','温度','67','0','0','温度','67','0','0','0','','0','',"
    "'0','','0','59','0','59','0','1','0','%s','1999-12-12 12:12:12','1999-12-12 12:12:12',"
    "'%s','%d','0');";


}  // namespace

std::string initialDownLastTime() {
    return platform::localDateTime(platform::makeLocalTime(kInitialDownYear, 1, 1, 0, 0, 0));
}

Allocation allocateLine(Connection& c, const LineSettings& line) {
    Allocation a;
    auto used = c.query(sqlf("select * from tovanlinetable WHERE SerialPortNum = '%d' and EraseSign='0';", line.serialPort));
    if (!used) return a;
    if (!used->empty()) {
        a.result = AllocationResult::InUse;
        return a;
    }
    const std::string name = c.escape(line.name);
    const std::string hub = c.escape(line.hubAddress);
    auto deleted = c.query("select * from tovanlinetable where EraseSign=1;");
    if (!deleted) return a;
    if (!deleted->empty()) {
        int lineid = deleted->front().integer(schema::line::lineid);
        bool ok = c.exec(sqlf("update  TovanLineTable set EraseSign='0',lineName='%s',ComType='1',TCPIPPORT='%d',"
                              "HubIPAddr='%s',SerialPortNum='%d',ScantimerInter='%d',scantimerInterUpper='%d',"
                              "wired='%d' where lineid='%d';",
                              name.c_str(), line.tcpPort, hub.c_str(), line.serialPort, line.scanInterval,
                              line.scanIntervalUpper, line.wired, lineid));
        if (ok) a = {AllocationResult::Revived, lineid};
        return a;
    }
    auto live = c.query("select * from tovanlinetable WHERE  EraseSign='0';");
    if (!live) return a;
    int lineid = static_cast<int>(live->size()) + 1;
    bool ok = c.exec(sqlf("insert into TovanLineTable (EraseSign,lineid,lineName,ComType,TCPIPPORT,HubIPAddr,"
                          "SerialPortNum,ScantimerInter,scantimerInterUpper,wired) "
                          "values('0','%d','%s','1','%d','%s','%d','%d','%d','%d');",
                          lineid, name.c_str(), line.tcpPort, hub.c_str(), line.serialPort, line.scanInterval,
                          line.scanIntervalUpper, line.wired));
    if (ok) a = {AllocationResult::Created, lineid};
    return a;
}

Allocation allocateGroup(Connection& c, int lineid, const std::string& groupName) {
    Allocation a;
    const std::string name = c.escape(groupName);
    auto deleted = c.query(sqlf("select * from tovanroomtable where LineID = '%d' and EraseSign='1';", lineid));
    if (!deleted) return a;
    if (!deleted->empty()) {
        int roomid = deleted->front().integer(schema::room::roomid);
        if (c.exec(sqlf("update tovanroomtable set RoomName='%s',LineID=%d,EraseSign=0 where roomid=%d;", name.c_str(),
                        lineid, roomid))) {
            a = {AllocationResult::Revived, roomid};
        }
        return a;
    }
    auto live = c.query(sqlf("select * from tovanroomtable where LineID = '%d' and EraseSign ='0';", lineid));
    if (!live) return a;
    // A 100th group would take the number of the next line's first group.
    if (static_cast<int>(live->size()) >= kMaxGroupsPerLine) {
        a.result = AllocationResult::Full;
        return a;
    }
    int roomid = lineid * 100 + static_cast<int>(live->size()) + 1;
    if (c.exec(sqlf("insert into tovanroomtable (RoomName,LineID,EraseSign,roomid) values('%s','%d','0','%d');",
                    name.c_str(), lineid, roomid))) {
        a = {AllocationResult::Created, roomid};
    }
    return a;
}

Allocation allocateDevice(Connection& c, int lineid, int address, const std::string& deviceName, int roomid) {
    Allocation a;
    if (address < kMinDeviceAddress || address > kMaxDeviceAddress) {
        a.result = AllocationResult::Invalid;
        return a;
    }
    auto live = c.query(sqlf("select * from tovandevicetable WHERE LineID = %d and DeviceNumber=%d and DeviceEraseSign=0;",
                             lineid, address));
    if (!live) return a;
    if (!live->empty()) {
        a.result = AllocationResult::InUse;
        return a;
    }
    const std::string name = c.escape(deviceName);
    const std::string downLast = initialDownLastTime();
    auto deleted = c.query(sqlf("select * from tovandevicetable WHERE  DeviceEraseSign=1 and LineID = %d ;", lineid));
    if (!deleted) return a;
    if (!deleted->empty()) {
        const Row& row = deleted->front();
        int deviceid = row.integer(schema::device::deviceid);
        int id = row.integer(schema::device::id);
        if (c.exec(sqlf("update TovanDeviceTable set deviceid=%d,DeviceEraseSign=0,LineID=%d,DeviceName ='%s',"
                        "DeviceNumber=%d,DownLastTime='%s',RoomID=%d,SqlRecord=0,AlarmGetSign=0 where id = %d",
                        deviceid, lineid, name.c_str(), address, downLast.c_str(), roomid, id))) {
            a = {AllocationResult::Revived, deviceid};
        }
        return a;
    }
    auto count = c.query(sqlf("select * from tovandevicetable WHERE  lineid='%d'and DeviceEraseSign='0';", lineid));
    if (!count) return a;
    int deviceid = static_cast<int>(count->size()) + 1;
    if (c.exec(sqlf(kDeviceInsert, deviceid, lineid, name.c_str(), address, downLast.c_str(), downLast.c_str(),
                    roomid))) {
        a = {AllocationResult::Created, deviceid};
    }
    return a;
}

}  // namespace tovanix::db
