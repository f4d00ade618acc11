// Thread messages of the alarm thread and the alarm record that travels
// with 0x4A0 (by value: the scan goes on to the next device meanwhile).
#pragma once

#include <cstdint>
#include <string>

namespace tovanix::alarms {

enum AlarmMessage : std::uint32_t {
    kMsgAlarmSms = 0x4A0,      // AlarmState
    kMsgAlarmBoxOff = 0x4A1,
    kMsgPowerCheck = 0x4A7,
    kMsgAlarmBoxOn = 0x4A8,
    kMsgPortTest = 0x4A9,      // PortTestRequest: can the alarm device's port be opened?
};

// The alarm-output page's port test. It runs as a job of the alarm thread so
// its open and close never fall into the middle of a siren or message job.
struct PortTestRequest {
    int com = 0;
};

// The last alarm the scan found, handed to the alarm thread as one copy.
struct AlarmState {
    std::string deviceName;
    std::int8_t mask = 0;      // bit 0 channel 1 out of limits, bit 1 channel 2
    int ch1Direction = 0;      // 1 above the upper limit, 0 below the lower
    float ch1Value = 0;
    int ch2Direction = 0;
    float ch2Value = 0;
};

}  // namespace tovanix::alarms
