// Local time as the station writes and reads it: texts for the database and
// the logs, the loggers' BCD clock bytes, and the database's date-time texts
// back to time_t. Everything is in the process's time zone (TZ).
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

namespace tovanix::platform {

inline constexpr const char* kDateTimeFormat = "%Y-%m-%d %H:%M:%S";
inline constexpr int kSecondsPerMinute = 60;
inline constexpr int kLoggerYearBase = 2000;  // the loggers count years from 2000
inline constexpr std::size_t kBcdClockBytes = 6;

std::tm localTm(std::time_t t);
// strftime of the local time of `t`; texts longer than 63 bytes come back empty.
std::string formatLocal(std::time_t t, const char* format);
// "YYYY-MM-DD HH:MM:SS".
std::string localDateTime(std::time_t t);
// The start of the minute that holds `t`.
std::time_t minuteStart(std::time_t t);
// "YYYY-MM-DD HH:MM:00" of the minute that holds `t`.
std::string minuteStamp(std::time_t t);

// Two BCD digits of the last two decimal digits of a non-negative `v`.
unsigned char toBcd(int v);
// Year - 2000, month, day, hour, minute, second of the local time, each as
// two BCD digits: the loggers' clock-setting bytes.
void bcdClock(std::time_t t, unsigned char out[kBcdClockBytes]);

// The numbers of a "%d-%d-%d %d:%d:%d" text; fields the text lacks stay 0.
struct DateTimeFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int count = 0;  // fields read, from the left
};
DateTimeFields scanDateTime(const std::string& text);
// True when `f` names the same local minute as `t` (the seconds do not count).
bool sameLocalMinute(const DateTimeFields& f, std::time_t t);
// mktime of a local date and time, daylight saving as the zone has it;
// -1 when the time cannot be represented.
std::time_t makeLocalTime(int year, int month, int day, int hour, int minute, int second);
// A "YYYY-MM-DD HH:MM:SS" text (the time part may be short or missing) as a
// local time; nothing when a date field is missing or zero, or mktime fails.
std::optional<std::time_t> parseLocalDateTime(const std::string& text);

}  // namespace tovanix::platform
