// Texts of the alarm and power-failure short messages.
#pragma once

#include <ctime>
#include <string>

#include "alarms/alarm_messages.h"

namespace tovanix::alarms {

inline constexpr const char* kStatusNoDevice = "短信报警设备没有连接!";
inline constexpr const char* kStatusOpenFailed = "短信报警设备打开失败!";

// "%4d-%.2d-%.2d %.2d:%.2d:%.2d" of a local time.
std::string messageTime(const std::tm& local);
std::string channelText(const AlarmState& state);
std::string alarmMessage(const AlarmState& state, const std::tm& local);
std::string powerFailureMessage(const std::tm& local);

}  // namespace tovanix::alarms
