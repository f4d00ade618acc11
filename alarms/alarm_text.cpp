#include "alarms/alarm_text.h"

#include "platform/format.h"

namespace tovanix::alarms {

namespace {
std::string channelOne(const AlarmState& s) {
    return platform::format(s.ch1Direction == 1 ? "通道一:%0.1f超过上限\r\n" : "通道一:%0.1f低于下限\r\n",
                    static_cast<double>(s.ch1Value));
}
std::string channelTwo(const AlarmState& s) {
    return platform::format(s.ch2Direction == 1 ? "通道二:%0.1f超过上限\r\n" : "通道二:%0.1f低于下限\r\n",
                    static_cast<double>(s.ch2Value));
}
}  // namespace

std::string messageTime(const std::tm& t) {
    return platform::format("%4d-%.2d-%.2d %.2d:%.2d:%.2d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                    t.tm_sec);
}

std::string channelText(const AlarmState& s) {
    switch (s.mask) {
        case 1: return channelOne(s);
        case 2: return channelTwo(s);
        case 3: return channelOne(s) + channelTwo(s);
        default: return "系统误报警\r\n";
    }
}

std::string alarmMessage(const AlarmState& s, const std::tm& local) {
    return s.deviceName + "发生报警！\r\n" + channelText(s) + "发生时间:" + messageTime(local);
}

std::string powerFailureMessage(const std::tm& local) { return "系统发生断电\r\n发生时间:" + messageTime(local); }

}  // namespace tovanix::alarms
