#include "data/history_text.h"

#include "alarms/alarm_event.h"
#include "platform/format.h"
#include "platform/local_time.h"

namespace tovanix::data {

namespace {

std::string timeText(const char* format, const std::string& time) {
    const platform::DateTimeFields f = platform::scanDateTime(time);
    return platform::format(format, f.year, f.month, f.day, f.hour, f.minute, f.second);
}

}  // namespace

std::string countText(long long count) {
    return platform::format(kCountFormat, static_cast<int>(count));
}

std::string startText(const std::string& first) {
    return first.empty() ? kStartNone : timeText(kStartFormat, first);
}

std::string endText(const std::string& last) {
    return last.empty() ? kEndNone : timeText(kEndFormat, last);
}

std::string valueText(float v) {
    return v == kNoReading ? kNoValueText : platform::format("%0.1f", v);
}

std::string secondChannelText(int probeType, float ch2) {
    return probeType == kProbeTemperatureOnly ? kNoChannelText : valueText(ch2);
}

const char* secondHeader(int probeType) {
    return probeType == kProbeTwoTemperatures ? kHeaderTemperature : kHeaderHumidity;
}

const char* secondSeriesTitle(int probeType) {
    if (probeType == kProbeTemperatureOnly) return kSeriesNone;
    return probeType == kProbeTwoTemperatures ? kSeriesTemperature : kSeriesHumidity;
}

bool drawsSecondChannel(int probeType) {
    return probeType != kProbeTemperatureOnly;
}

std::string readoutText(int probeType, const std::string& label, float y1, float y2) {
    if (probeType == kProbeTemperatureOnly) return platform::format("时间: %s   温度(℃):%4.1f ", label.c_str(), y1);
    if (probeType == kProbeTwoTemperatures) {
        return platform::format("时间: %s   温度(℃):%4.1f     温度(℃):%4.1f", label.c_str(), y1, y2);
    }
    return platform::format("时间: %s   温度(℃):%4.1f     湿度(%%):%4.1f", label.c_str(), y1, y2);
}

std::string alarmCell(const AlarmRow& row, int index, int column) {
    switch (column) {
        case 0:
            return platform::format("%d", index + 1);
        case 1:
            return row.time;
        case 2:
            return platform::format("%0.1f", row.ch1);
        case 3:
            return platform::format("%0.1f", row.ch2);
        case 4:
            return alarms::eventText(row.sign);
        case 5:
            return row.handled ? kHandled : kOpen;
        case 6:
            return row.handled ? row.user : std::string();
        case 7:
            return row.handled ? row.note : std::string();
        default:
            return {};
    }
}

}  // namespace tovanix::data
