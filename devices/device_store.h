// Statements the polling thread and the settings-read thread send about
// devices.
#pragma once

#include <string>

namespace tovanix::db {
class Connection;
}

namespace tovanix::devices {

// Alarm settings as read from a logger, in the units of the device row.
struct LoggerSettings {
    int ch1Enable = 0;
    float ch1Lower = 0, ch1Upper = 0;
    int ch2Enable = 0;  // 0 or 2: bit 1 of the logger's mask kept in place
    float ch2Lower = 0, ch2Upper = 0;
    int alarmSoundEnable = 0;
    int alarmSoundMonitorInter = 0;
    int alarmSoundDuration = 0;
    int recordInter = 0;
    int recordInterUnit = 0;
    int samplingInter = 0;
    int lcdOffDelay = 0;
};

// Decodes W_GetAlarm's outputs (limits: ch1 upper, ch1 lower, ch2 upper,
// ch2 lower, tenths) the way every reader of logger settings does.
LoggerSettings fromLoggerAlarm(int mask, const int limits[4], int soundDuration, int interval);

enum class SettingsKey {
    ByDeviceid,      // settings page: WHERE deviceid = .. and LineID = ..
    ByAddress,       // settings read of all devices: WHERE DeviceNumber = .. and LineID = ..
};
bool storeLoggerSettings(db::Connection& c, const LoggerSettings& s, SettingsKey key, int deviceidOrAddress,
                         int lineid);
// New-device probe: also sets DownLastTime.
bool storeProbedSettings(db::Connection& c, const LoggerSettings& s, const std::string& downLastTime, int address,
                         int lineid);

struct AlarmRow {
    std::string time;          // "%Y-%m-%d %H:%M:00"
    std::string deviceName;
    int address = 0;
    std::string lineName;
    std::string roomName;
    int deviceid = 0;
    int lineid = 0;
    int channel = 1;           // 1 or 2
    double value = 0;
    bool belowLower = false;   // "下限超标", else "上限超标"
};
bool insertAlarmRow(db::Connection& c, const AlarmRow& row);
bool setAlarmGetSign(db::Connection& c, int address, int lineid);

struct AlarmLimitsUpdate {
    int ch1Enable = 0;
    std::string ch1Type, ch1Unit;
    float ch1Lower = 0, ch1Upper = 0;
    int ch2Enable = 0;
    std::string ch2Type, ch2Unit;
    float ch2Lower = 0, ch2Upper = 0;
    int soundDuration = 0;
};
bool updateAlarmLimits(db::Connection& c, const AlarmLimitsUpdate& u, int deviceid, int lineid);
bool updateRecordInterval(db::Connection& c, int minutes, int deviceid, int lineid);

// Newest RecordDataTime of a data table, empty when none.
std::string newestStoredTime(db::Connection& c, int n);

}  // namespace tovanix::devices
