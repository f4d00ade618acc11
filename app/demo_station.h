// The demonstration station that scripts/run brings up on the simulators:
// one wired line of twelve loggers on COM1 (two groups of four and four
// loggers directly under the line), the alarm device on COM5 with one phone
// number. Logger 7 is the one the simulator drives over its upper limit.
#pragma once

#include <string>

namespace tovanix::app::demo {

inline constexpr int kLoggerPort = 1;
inline constexpr int kAlarmPort = 5;
inline constexpr int kLoggers = 12;
inline constexpr int kLoggersPerGroup = 4;
inline constexpr int kCrossingLogger = 7;
inline constexpr const char* kSystemName = "冷链监测演示站";
inline constexpr const char* kLineName = "冷链一号线";
inline constexpr const char* kPhone = "13912345678";

// Creates the database with its tables and default rows; with `withLine`,
// and when the station has no live line yet, adds the demo line, its groups
// and loggers, and the alarm-device settings. Uses the process-wide account.
bool seed(bool withLine, std::string* error);

}  // namespace tovanix::app::demo
