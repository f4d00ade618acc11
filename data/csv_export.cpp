#include "data/csv_export.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "alarms/alarm_event.h"
#include "data/history_text.h"
#include "platform/encoding.h"
#include "platform/format.h"

namespace tovanix::data {

namespace {

constexpr std::size_t kNoteLimit = 99;  // characters of AlarmSign the note keeps
constexpr std::size_t kLineReserve = 48;  // a reading's line with a short note

// The note in GBK; the signs the station stores are ASCII and pass as they are.
std::string gbk(const std::string& utf8) {
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) return platform::utf8ToGbk(utf8);
    }
    return utf8;
}

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
    // A stack buffer for the half million short lines of a year; the rare
    // long device name or note takes the general path.
    char buf[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buf, sizeof buf, format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof buf) {
        out.append(buf, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        out += platform::vformat(format, args);
    }
    va_end(args);
}

void channelText(char* buf, std::size_t size, float v) {
    if (v == kNoReading) {
        std::snprintf(buf, size, "N/A");
    } else {
        std::snprintf(buf, size, "%.02f", static_cast<double>(v));
    }
}

void appendLine(std::string& out, const ExportRow& row, const char* ch2, const std::string& note) {
    const TimeFields t = scanTime(row.timeText());
    char ch1[32];
    channelText(ch1, sizeof ch1, row.ch1);
    appendf(out, "%d-%d-%d,%d:%d:%d,%s,%s,%s  \r\n", t.year, t.month, t.day, t.hour, t.minute, t.second, ch1, ch2,
            note.c_str());
}

// Min, max and the double sum of one channel; the minimum and maximum start
// at the first valid value.
struct ChannelFigures {
    bool any = false;
    float min = 0, max = 0;
    double sum = 0;
    long long valid = 0;
    void add(float v) {
        if (v == kNoReading) return;
        if (!any) {
            any = true;
            min = max = v;
        } else if (v < min) {
            min = v;
        } else if (v > max) {
            max = v;
        }
        sum += v;
        ++valid;
    }
};

std::string figure(const char* format, bool any, double v) {
    if (!any) return "N/A";
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void appendIdentity(std::string& out, const DeviceReportInfo& info) {
    out += "\r\n";
    appendf(out, "Model,%s \r\n", platform::utf8ToGbk(info.deviceName).c_str());
    appendf(out, "Serial No.,%d \r\n", info.deviceNumber);
}

}  // namespace

std::string logDuration(const std::vector<ExportRow>& rows) {
    if (rows.size() < 2) return {};
    const auto span = rowsSpan(rows);
    if (!span) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%ld day(s) %ld hour(s) %ld minute(s) %ld second(s)", span->days, span->hours,
                  span->minutes, span->seconds);
    return buf;
}

std::string curveCsv(const DeviceReportInfo& info, bool deviceFound, const std::vector<ExportRow>& rows) {
    const bool single = info.probeType == kProbeTemperatureOnly;
    std::string out;
    if (deviceFound) out.reserve(rows.size() * kLineReserve + 512);
    if (single) {
        out += "Date,Time,T.(C),---,Note\r\n";
    } else if (info.probeType == kProbeTwoTemperatures) {
        out += "Date,Time,T.(C),T.(C),Note\r\n";
    } else {
        out += "Date,Time,T.(C),H.(%),Note\r\n";
    }
    ChannelFigures f1, f2;
    if (deviceFound) {
        char ch2[32];
        for (const ExportRow& row : rows) {
            if (single) {
                std::snprintf(ch2, sizeof ch2, "0");
            } else {
                channelText(ch2, sizeof ch2, row.ch2);
            }
            // The sign is digits or "A" as the station stores it; a note
            // typed elsewhere is converted like the device name.
            appendLine(out, row, ch2, gbk(row.sign.substr(0, kNoteLimit)));
            f1.add(row.ch1);
            f2.add(row.ch2);
        }
    }
    appendIdentity(out, info);
    appendf(out, "Log Duration.,%s \r\n", deviceFound ? logDuration(rows).c_str() : "");
    out += "\r\n";
    const ChannelInfo& c1 = info.channels[0];
    const ChannelInfo& c2 = info.channels[1];
    // The limits are printed as the integer part of the stored text.
    appendf(out, "Alarm Max,,%d,%d \r\n", static_cast<int>(c1.upper), single ? 0 : static_cast<int>(c2.upper));
    appendf(out, "Alarm Min,,%d,%d \r\n", static_cast<int>(c1.lower), single ? 0 : static_cast<int>(c2.lower));
    if (single) f2 = ChannelFigures{true, 0, 0, 0, 1};
    // A channel without any valid reading has no average, maximum or minimum.
    const auto avg = [](const ChannelFigures& f) { return f.valid > 0 ? f.sum / static_cast<double>(f.valid) : 0.0; };
    appendf(out, "Avr,,%s,%s \r\n", figure("%.2lf", f1.any, avg(f1)).c_str(), figure("%.2lf", f2.any, avg(f2)).c_str());
    appendf(out, "Max,,%s,%s \r\n", figure("%.2f", f1.any, f1.max).c_str(), figure("%.2f", f2.any, f2.max).c_str());
    appendf(out, "Min,,%s,%s \r\n", figure("%.2f", f1.any, f1.min).c_str(), figure("%.2f", f2.any, f2.min).c_str());
    return out;
}

std::string alarmCsv(const DeviceReportInfo& info, bool deviceFound, const std::vector<ExportRow>& rows) {
    std::string out = "Date,Time,T.(C),H.(%),Note\r\n";
    if (deviceFound) {
        char ch2[32];
        for (const ExportRow& row : rows) {
            channelText(ch2, sizeof ch2, row.ch2);
            appendLine(out, row, ch2, platform::utf8ToGbk(alarms::eventText(row.sign)));
        }
    }
    appendIdentity(out, info);
    return out;
}

std::string defaultExportName(const std::string& deviceName, bool alarmView, int year, int month, int day, int hour,
                              int minute) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%d%02d%02d%02d%02d", alarmView ? "_Alarm_" : "_", year, month, day, hour,
                  minute);
    return deviceName + buf;
}

std::string openQuestion(const std::string& path) {
    std::string name = path;
    if (const auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    std::string ext;
    if (const auto dot = name.rfind('.'); dot != std::string::npos) {
        ext = name.substr(dot + 1);
        name.erase(dot);
    }
    const std::string question = kOpenQuestion;
    // "%s.%s创建成功…": the two holes filled without printf, a name may hold '%'.
    const auto first = question.find("%s");
    std::string out = question.substr(0, first) + name + ".";
    out += ext + question.substr(question.find("%s", first + 2) + 2);
    return out;
}

}  // namespace tovanix::data
