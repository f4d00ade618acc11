// One reading against a device's alarm limits: the status the status view
// shows, the alarm handed to the alarm thread, the data table's alarm sign
// and the alarm-log rows that are due. No station table and no database:
// the scan runs it under the station lock and adds the names itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "alarms/alarm_messages.h"

namespace tovanix::alarms {

// The device entry's status codes that the test reads and sets.
inline constexpr std::uint8_t kLimitNormal = 1;
inline constexpr std::uint8_t kLimitInAlarm = 2;
inline constexpr std::uint8_t kLimitAlarmOver = 3;  // within limits again after an alarm; a quick read clears it

// AlarmState::mask bits and directions.
inline constexpr std::int8_t kMaskCh1 = 0x01;
inline constexpr std::int8_t kMaskCh2 = 0x02;
inline constexpr int kDirectionBelow = 0;
inline constexpr int kDirectionAbove = 1;

// Alarm sign bits (the data table's AlarmSign, as decimal text).
inline constexpr int kSignCh1Low = 0x01;
inline constexpr int kSignCh1High = 0x02;
inline constexpr int kSignCh2Low = 0x10;
inline constexpr int kSignCh2High = 0x20;

// Alarm-log spacing per device: once a minute, once in two minutes for
// loggers that record every two minutes or slower.
inline constexpr int kAlarmLogSpacingShortS = 60;
inline constexpr int kAlarmLogSpacingLongS = 120;
inline constexpr int kLongIntervalCode = 2;

struct ChannelLimits {
    int enable = 0;  // nonzero: the channel's alarm is on (the loggers store 2)
    float lower = 0;
    float upper = 0;
};

struct DeviceLimits {
    ChannelLimits ch1;
    ChannelLimits ch2;
};

struct LimitInput {
    DeviceLimits limits;
    float ch1 = 0;  // the tested pair: stored, tested and reported (readings 3 and 4)
    float ch2 = 0;
    float signPair[2] = {};   // readings 1 and 2: the alarm sign only
    std::uint8_t status = 0;  // before this reading
    std::int64_t nextAlarmLogTime = 0;
    std::int64_t minute = 0;  // now, truncated to the minute
    int recordInterval = 1;   // the logger's recording interval code
    bool storing = false;     // the pass writes to the database
};

struct AlarmLogEntry {
    int channel = 1;  // 1 or 2
    float value = 0;
    bool belowLower = false;  // else above the upper limit
};

struct LimitResult {
    bool outOfLimits = false;
    std::uint8_t status = kLimitNormal;
    AlarmState alarm;  // all but the device name; empty within limits
    std::string sign;
    std::vector<AlarmLogEntry> logRows;  // due now, channel 1 first
    std::int64_t nextAlarmLogTime = 0;   // moved on only when rows were due
};

// At or beyond a limit of an enabled channel (both bounds count).
bool outOfLimits(const ChannelLimits& c, float value);
bool outOfLimits(const DeviceLimits& l, float ch1, float ch2);
// "0" with both alarms off or no bit set; else the decimal bit set of the
// pair: below wins over above within a channel.
std::string alarmSign(const DeviceLimits& l, const float pair[2]);
LimitResult checkReading(const LimitInput& in);
// The channels of an alarm for the log: "channel 1 9.5 above the upper limit
// 8.0; channel 2 ...".
std::string describeAlarm(const DeviceLimits& l, const AlarmState& a);

}  // namespace tovanix::alarms
