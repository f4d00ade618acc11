#include "platform/local_time.h"

#include <cstdio>

namespace tovanix::platform {

namespace {
constexpr int kTmYearBase = 1900;
constexpr int kDateFields = 3;
constexpr int kFormatBufferSize = 64;
constexpr int kDecimal = 10;
constexpr int kNibbleBits = 4;
}  // namespace

std::tm localTm(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string formatLocal(std::time_t t, const char* format) {
    const std::tm tm = localTm(t);
    char buf[kFormatBufferSize];
    const std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

std::string localDateTime(std::time_t t) {
    return formatLocal(t, kDateTimeFormat);
}

std::time_t minuteStart(std::time_t t) {
    return t - t % kSecondsPerMinute;
}

std::string minuteStamp(std::time_t t) {
    return formatLocal(minuteStart(t), "%Y-%m-%d %H:%M") + ":00";
}

unsigned char toBcd(int v) {
    return static_cast<unsigned char>(((v / kDecimal) % kDecimal) << kNibbleBits | (v % kDecimal));
}

void bcdClock(std::time_t t, unsigned char out[kBcdClockBytes]) {
    const std::tm tm = localTm(t);
    out[0] = toBcd(tm.tm_year + kTmYearBase - kLoggerYearBase);
    out[1] = toBcd(tm.tm_mon + 1);
    out[2] = toBcd(tm.tm_mday);
    out[3] = toBcd(tm.tm_hour);
    out[4] = toBcd(tm.tm_min);
    out[5] = toBcd(tm.tm_sec);
}

DateTimeFields scanDateTime(const std::string& text) {
    DateTimeFields f;
    const int n =
        std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &f.year, &f.month, &f.day, &f.hour, &f.minute, &f.second);
    f.count = n > 0 ? n : 0;  // EOF on an empty text
    return f;
}

bool sameLocalMinute(const DateTimeFields& f, std::time_t t) {
    const std::tm tm = localTm(t);
    return f.year == tm.tm_year + kTmYearBase && f.month == tm.tm_mon + 1 && f.day == tm.tm_mday &&
           f.hour == tm.tm_hour && f.minute == tm.tm_min;
}

std::time_t makeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - kTmYearBase;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::optional<std::time_t> parseLocalDateTime(const std::string& text) {
    const DateTimeFields f = scanDateTime(text);
    if (f.count < kDateFields || f.year == 0 || f.month == 0 || f.day == 0) return std::nullopt;
    const std::time_t t = makeLocalTime(f.year, f.month, f.day, f.hour, f.minute, f.second);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

}  // namespace tovanix::platform
