// Loading the station's configuration from the database into the station
// table, the alarm-output settings and the phone list, once at start.
#pragma once

#include <ctime>
#include <string>

#include "alarms/alarm_config.h"
#include "devices/station_table.h"

namespace tovanix::devices {

inline constexpr const char* kCannotOpenDatabase = "无法打开数据库";
inline constexpr int kDefaultScanInterval = 3;

struct SystemInfo {
    std::string systemName;   // root of the device tree
    std::string companyName;  // for reports
    std::string url;
};

struct ConfigLoadResult {
    bool connected = false;       // false: "无法打开数据库", nothing loaded
    int scanInterval = kDefaultScanInterval;
    int storedScanInterval = 0;   // scantimerInter as the last line holds it
    bool lostRecords = false;     // some device's data is older than its recording interval
    std::time_t oldestLost = 0;   // oldest DownLastTime among those devices
    int skippedLines = 0;         // rows beyond the table's capacity
    int skippedGroups = 0;
    int skippedDevices = 0;
    int skippedPhones = 0;
    SystemInfo system;
};

// Parses "%d-%d-%d %d:%d:%d"; a zero year, month or day (or text that does
// not parse) gives `fallback`.
std::time_t parseDbTime(const std::string& text, std::time_t fallback);

// Fills `table` (cleared first) and `alarm` from the database, creating the
// configuration tables and the default system and alarm-output rows as
// needed. `now` is the current time.
ConfigLoadResult loadConfiguration(StationTable& table, alarms::AlarmConfig& alarm, std::time_t now);

}  // namespace tovanix::devices
