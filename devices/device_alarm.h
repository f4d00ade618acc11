// The device alarm page (CDeviceAlarm) without its window: the checks and
// corrections of the limits before "设置", the request to the polling
// thread (0x49E) and what the page shows while and after it runs.
#pragma once

#include <optional>
#include <string>

#include "devices/messages.h"
#include "platform/result_follower.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;
struct CurrentDevice;

inline constexpr const char* kChannel1Frame = "通道一";
inline constexpr const char* kChannel2Frame = "通道二";
inline constexpr const char* kBuzzerFrame = "蜂鸣器";
inline constexpr const char* kProbeTypeLabel = "探头类型";
inline constexpr const char* kProbeUnitLabel = "探头单位";
inline constexpr const char* kUpperLabel = "上限";
inline constexpr const char* kLowerLabel = "下限";
inline constexpr const char* kMonitorInterval = "监测间隔";
inline constexpr const char* kMinutesShort = "分";
inline constexpr const char* kBuzzerDuration = "蜂鸣器持续时间";
inline constexpr const char* kSecondsShort = "秒";
inline constexpr const char* kSetButton = "设置";
inline constexpr const char* kSettingNow = "正在设置";
inline constexpr const char* kSetAgain = "再次设置";
inline constexpr const char* kSettingProgress = "设置中";
inline constexpr const char* kSetDone = "设置完成";
inline constexpr const char* kAlarmSetFailed = "报警设置失败";
inline constexpr const char* kDatabaseWriteFailed = "数据库写入失败";
inline constexpr const char* kDatabaseCaption = "数据库";
inline constexpr const char* kLowerAboveUpper = "下限不能大于上限";
inline constexpr const char* kNotANumberFormat = "%s必须是数字";
inline constexpr int kAlarmProgressMs = 200;

enum class LimitField { None, Ch1Upper, Ch1Lower, Ch2Upper, Ch2Lower };
inline constexpr int kLimitFields = 4;  // in the order of LimitField after None

// The page's fields as typed.
struct AlarmInput {
    bool ch1Enable = false;
    bool ch2Enable = false;
    std::string ch1Type, ch1Unit, ch2Type, ch2Unit;
    std::string limits[kLimitFields];  // ch1 upper, ch1 lower, ch2 upper, ch2 lower
};

struct LimitCheck {
    bool ok = false;
    LimitField focus = LimitField::None;       // the field to select after a refusal
    std::optional<std::string> corrected[kLimitFields];  // texts the page puts back
    float limits[kLimitFields] = {};           // when ok
};

// The checks in their order; the first that fails shows its message, puts
// its corrected value(s) into the result and stops. Text that is not a
// number is refused before any check.
LimitCheck checkLimits(Prompter& prompter, const AlarmInput& in, int probeType);

// A limit in tenths as the logger takes it: ten times the limit, written
// with one decimal, cut at the point (25.37 → 253, −3.25 → −32).
int limitTenths(float limit);

AlarmWriteRequest alarmRequest(const CurrentDevice& device, const AlarmInput& in, const float limits[kLimitFields]);
platform::ResultFollower::Request alarmWriteRequest(Engine& engine, const AlarmWriteRequest& request);

// "设置中." … "设置中...." for tick n.
std::string alarmProgressText(int tick);

struct PageButton {
    std::string caption;
    bool enabled = true;
};
// The end of a write: its message, and the button's caption and state.
PageButton reportAlarmWrite(Prompter& prompter, platform::ResultFollower::Step step, int code);

}  // namespace tovanix::devices
