#include "devices/device_store.h"

#include "db/connection.h"

namespace tovanix::devices {

using db::sqlf;

namespace {
constexpr double kTenth = 10.0;
constexpr int kCh1Bit = 0x01;
constexpr int kCh2Bit = 0x02;
constexpr int kLowByte = 0xFF;
}  // namespace

LoggerSettings fromLoggerAlarm(int mask, const int limits[4], int soundDuration, int interval) {
    LoggerSettings s;
    s.ch1Enable = mask & kCh1Bit;
    s.ch2Enable = mask & kCh2Bit;
    s.ch1Upper = static_cast<float>(limits[0] / kTenth);
    s.ch1Lower = static_cast<float>(limits[1] / kTenth);
    s.ch2Upper = static_cast<float>(limits[2] / kTenth);
    s.ch2Lower = static_cast<float>(limits[3] / kTenth);
    s.alarmSoundEnable = (mask & 0xFF) != 0 ? 1 : 0;
    s.alarmSoundMonitorInter = 0;
    s.alarmSoundDuration = soundDuration & kLowByte;
    s.recordInter = interval;
    return s;
}

bool storeLoggerSettings(db::Connection& c, const LoggerSettings& s, SettingsKey key, int id, int lineid) {
    std::string sql = sqlf("Update  tovandevicetable set CHL1Enable=%d,CHL1Lower=%f,CHL1Upper=%f, CHL2Enable=%d,"
                           "CHL2Lower=%f,CHL2Upper=%f,AlarmSoundEnable=%d,AlarmSoundMonitorInter=%d,"
                           "AlarmSoundDuration=%d,RecordInter=%d,RecordInterUnit=%d,SamplingInter=%d,LCDOFFDelay=%d,"
                           "SqlRecord=1 ",
                           s.ch1Enable, s.ch1Lower, s.ch1Upper, s.ch2Enable, s.ch2Lower, s.ch2Upper,
                           s.alarmSoundEnable, s.alarmSoundMonitorInter, s.alarmSoundDuration, s.recordInter,
                           s.recordInterUnit, s.samplingInter, s.lcdOffDelay);
    sql += key == SettingsKey::ByDeviceid ? sqlf("WHERE deviceid = %d and LineID=%d;", id, lineid)
                                          : sqlf("WHERE DeviceNumber = %d and LineID=%d;", id, lineid);
    return c.exec(sql);
}

bool storeProbedSettings(db::Connection& c, const LoggerSettings& s, const std::string& downLastTime, int address,
                         int lineid) {
    return c.exec(sqlf("Update  tovandevicetable set CHL1Enable=%d,CHL1Lower=%f,CHL1Upper=%f, CHL2Enable=%d,"
                       "CHL2Lower=%f,CHL2Upper=%f,AlarmSoundEnable=%d,AlarmSoundMonitorInter=%d,"
                       "AlarmSoundDuration=%d,RecordInter=%d,RecordInterUnit=%d,SamplingInter=%d,LCDOFFDelay=%d,"
                       "SqlRecord=1,DownLastTime='%s'WHERE DeviceNumber = %d and LineID=%d and DeviceEraseSign=0;",
                       s.ch1Enable, s.ch1Lower, s.ch1Upper, s.ch2Enable, s.ch2Lower, s.ch2Upper, s.alarmSoundEnable,
                       s.alarmSoundMonitorInter, s.alarmSoundDuration, s.recordInter, s.recordInterUnit,
                       s.samplingInter, s.lcdOffDelay, c.escape(downLastTime).c_str(), address, lineid));
}

bool insertAlarmRow(db::Connection& c, const AlarmRow& r) {
    return c.exec(sqlf("insert into TovanAlarmTable (RecordTime,DeviceName,DeviceNumber,LineName,RoomName,deviceid,"
                       "lineid,Channel,Value,Event) values('%s','%s','%d','%s','%s','%d','%d','%d','%f','%s');",
                       c.escape(r.time).c_str(), c.escape(r.deviceName).c_str(), r.address,
                       c.escape(r.lineName).c_str(), c.escape(r.roomName).c_str(), r.deviceid, r.lineid, r.channel,
                       r.value, r.belowLower ? "下限超标" : "上限超标"));
}

bool setAlarmGetSign(db::Connection& c, int address, int lineid) {
    return c.exec(sqlf("update tovandevicetable set AlarmGetSign=1 WHERE DeviceNumber = %d and LineID=%d and "
                       "DeviceEraseSign=0;",
                       address, lineid));
}

bool updateAlarmLimits(db::Connection& c, const AlarmLimitsUpdate& u, int deviceid, int lineid) {
    return c.exec(sqlf("update tovandevicetable set CHL1Enable=%d,CHL1Type='%s',CHL1Unit='%s',CHL1Lower=%f,"
                       "CHL1Upper=%f,CHL2Enable=%d,CHL2Type='%s',CHL2Unit='%s',CHL2Lower=%f,CHL2Upper=%f ,"
                       "AlarmSoundEnable=0,AlarmSoundMonitorInter=0,AlarmSoundDuration=%d WHERE deviceid = %d and "
                       "LineID=%d;",
                       u.ch1Enable, c.escape(u.ch1Type).c_str(), c.escape(u.ch1Unit).c_str(), u.ch1Lower, u.ch1Upper,
                       u.ch2Enable, c.escape(u.ch2Type).c_str(), c.escape(u.ch2Unit).c_str(), u.ch2Lower, u.ch2Upper,
                       u.soundDuration, deviceid, lineid));
}

bool updateRecordInterval(db::Connection& c, int minutes, int deviceid, int lineid) {
    return c.exec(sqlf("update tovandevicetable set RecordInter=%d WHERE deviceid = %d and LineID=%d and "
                       "DeviceEraseSign=0;",
                       minutes, deviceid, lineid));
}

std::string newestStoredTime(db::Connection& c, int n) {
    auto rows = c.query(sqlf("select *  from tovandatatable_%d order by RecordDataTime DESC limit 0,1;", n));
    if (!rows || rows->empty()) return {};
    return rows->front().text(0);
}

}  // namespace tovanix::devices
