#include "devices/device_alarm.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "devices/engine.h"
#include "devices/set_device.h"
#include "platform/format.h"
#include "platform/prompter.h"

namespace tovanix::devices {

namespace {

constexpr float kTemperatureMax = 70;
constexpr float kTemperatureMin = -20;
constexpr float kHumidityMax = 100;
constexpr float kHumidityMin = 0;
constexpr int kProgressDots = 4;

constexpr int kCh1Upper = 0, kCh1Lower = 1, kCh2Upper = 2, kCh2Lower = 3;

const char* const kFieldCaptions[kLimitFields] = {"通道一上限", "通道一下限", "通道二上限", "通道二下限"};

LimitField fieldOf(int i) {
    return static_cast<LimitField>(i + 1);
}

std::optional<float> parseLimit(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(begin, &end);
    if (end == begin || errno != 0 || !std::isfinite(v)) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return std::nullopt;
    return v;
}

std::string limitText(float v) {
    return platform::format("%g", static_cast<double>(v));
}

// One failed check: the message, the corrections, the field to select.
LimitCheck refuse(Prompter& p, const std::string& text, const char* caption, LimitField focus) {
    p.inform(text, caption);
    LimitCheck c;
    c.focus = focus;
    return c;
}

}  // namespace

LimitCheck checkLimits(Prompter& p, const AlarmInput& in, int probeType) {
    float v[kLimitFields];
    for (int i = 0; i < kLimitFields; ++i) {
        auto parsed = parseLimit(in.limits[i]);
        if (!parsed) {
            return refuse(p, platform::format(kNotANumberFormat, kFieldCaptions[i]), kFieldCaptions[i], fieldOf(i));
        }
        v[i] = *parsed;
    }
    // A bound beyond its range is put back at the bound.
    auto clamp = [&](int i, bool upper, float bound, const char* message) -> std::optional<LimitCheck> {
        if (upper ? v[i] <= bound : v[i] >= bound) return std::nullopt;
        LimitCheck c = refuse(p, message, kFieldCaptions[i], fieldOf(i));
        c.corrected[i] = limitText(bound);
        return c;
    };
    // The lower limit goes up as it was typed; the upper one is cut to a whole number.
    auto exchange = [&](int upper, int lower, const char* caption) -> std::optional<LimitCheck> {
        if (v[lower] <= v[upper]) return std::nullopt;
        LimitCheck c = refuse(p, kLowerAboveUpper, caption, fieldOf(upper));
        c.corrected[upper] = limitText(std::trunc(v[lower]));
        c.corrected[lower] = limitText(v[upper]);
        return c;
    };
    if (auto c = clamp(kCh1Upper, true, kTemperatureMax, "通道一上限最大值为:70")) return *c;
    if (auto c = clamp(kCh1Lower, false, kTemperatureMin, "通道一下限最小值为:-20")) return *c;
    if (auto c = exchange(kCh1Upper, kCh1Lower, kChannel1Frame)) return *c;
    if (probeType == kProbeHumidity) {
        if (auto c = clamp(kCh2Upper, true, kHumidityMax, "通道二上限最大值为:100")) return *c;
        if (auto c = clamp(kCh2Lower, false, kHumidityMin, "通道二下限最小值为:0")) return *c;
    } else if (probeType == kProbeTwoTemperatures) {
        if (auto c = clamp(kCh2Upper, true, kTemperatureMax, "通道二上限最大值为:70")) return *c;
        if (auto c = clamp(kCh2Lower, false, kTemperatureMin, "通道二下限最小值为:-20")) return *c;
    }
    if (auto c = exchange(kCh2Upper, kCh2Lower, kChannel2Frame)) return *c;
    LimitCheck ok;
    ok.ok = true;
    for (int i = 0; i < kLimitFields; ++i) ok.limits[i] = v[i];
    return ok;
}

int limitTenths(float limit) {
    const std::string text = platform::format("%.1f", static_cast<double>(limit) * 10.0);
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

AlarmWriteRequest alarmRequest(const CurrentDevice& device, const AlarmInput& in, const float limits[kLimitFields]) {
    AlarmWriteRequest r;
    r.lineid = device.lineid;
    r.address = device.address;
    r.ch1Enable = in.ch1Enable ? 1 : 0;
    r.ch2Enable = in.ch2Enable ? 1 : 0;
    r.enableBits = r.ch1Enable | (r.ch2Enable * 2);
    for (int i = 0; i < kLimitFields; ++i) r.limitsTenths[i] = limitTenths(limits[i]);
    r.ch1Type = in.ch1Type;
    r.ch1Unit = in.ch1Unit;
    r.ch2Type = in.ch2Type;
    r.ch2Unit = in.ch2Unit;
    r.ch1Upper = limits[kCh1Upper];
    r.ch1Lower = limits[kCh1Lower];
    r.ch2Upper = limits[kCh2Upper];
    r.ch2Lower = limits[kCh2Lower];
    return r;
}

platform::ResultFollower::Request alarmWriteRequest(Engine& engine, const AlarmWriteRequest& request) {
    platform::ResultFollower::Request r;
    r.post = [&engine, request] { return engine.post(kMsgWriteAlarm, request); };
    r.code = &engine.alarmWriteResult;
    r.pending = kResultPending;
    r.idle = kResultNone;
    r.timeout = std::chrono::milliseconds(kRequestTimeoutMs);
    return r;
}

std::string alarmProgressText(int tick) {
    return std::string(kSettingProgress) + std::string(static_cast<std::size_t>(tick % kProgressDots + 1), '.');
}

PageButton reportAlarmWrite(Prompter& p, platform::ResultFollower::Step step, int code) {
    using Step = platform::ResultFollower::Step;
    if (step == Step::Finished && code == kResultDone) return {kSetDone, false};
    if (step != Step::Finished) {
        p.inform(kSettingFailed, kCaptionInfo);
    } else if (code == kResultDatabaseFailed) {
        p.inform(kDatabaseWriteFailed, kDatabaseCaption);
    } else if (code == kResultPortClosed) {
        p.inform(kPortNotOpen, kPortCaption);
    } else {
        p.inform(kAlarmSetFailed, kCaptionInfo);
    }
    return {kChangeAgain, true};
}

}  // namespace tovanix::devices
