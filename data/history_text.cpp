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

TimeFields scanTime(std::string_view text) {
    // By hand rather than sscanf: half a million of them make a year's file.
    TimeFields t;
    int* fields[] = {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second};
    std::size_t i = 0;
    for (int* f : fields) {
        while (i < text.size() && (text[i] < '0' || text[i] > '9')) ++i;
        if (i == text.size()) break;
        int v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') v = v * 10 + (text[i++] - '0');
        *f = v;
    }
    return t;
}

std::optional<SpanFields> rowsSpan(const std::vector<ExportRow>& rows) {
    if (rows.empty()) return std::nullopt;
    const auto newest = platform::parseLocalDateTime(std::string(rows.front().timeText()));
    const auto oldest = platform::parseLocalDateTime(std::string(rows.back().timeText()));
    if (!newest || !oldest) return std::nullopt;
    constexpr long kDay = 86400, kHour = 3600, kMinute = 60;
    const long s = static_cast<long>(*newest - *oldest);
    return SpanFields{s / kDay, s % kDay / kHour, s % kHour / kMinute, s % kMinute};
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
