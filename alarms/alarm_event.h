// The event text of an alarm reading, from its AlarmSign: what the alarm
// lists and the exports show.
#pragma once

#include <string>
#include <string_view>

namespace tovanix::alarms {

inline constexpr const char* kEventCh1Low = "通道一下限超标  ";
inline constexpr const char* kEventCh1High = "通道一上限超标  ";
inline constexpr const char* kEventCh2Low = "通道二下限超标  ";
inline constexpr const char* kEventCh2High = "通道二上限超标  ";

inline constexpr int kSignCh1Low = 0x01;
inline constexpr int kSignCh1High = 0x02;
inline constexpr int kSignCh2Low = 0x10;
inline constexpr int kSignCh2High = 0x20;

// Channel one first; within a channel "below" wins over "above".
std::string eventText(int sign);
// The sign as stored (decimal text); text that is no number gives "".
std::string eventText(std::string_view sign);

}  // namespace tovanix::alarms
