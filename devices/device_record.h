// The recording settings page (CDeviceRecord) without its window: the
// logger's recording interval (0x49F to the polling thread) and the
// station's database update interval.
#pragma once

#include <string>

#include "devices/device_alarm.h"
#include "devices/messages.h"
#include "platform/result_follower.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;
struct CurrentDevice;

inline constexpr const char* kRecordFrame = "记录间隔";
inline constexpr const char* kCurrentInterval = "当前记录间隔";
inline constexpr const char* kNewInterval = "新记录间隔";
inline constexpr const char* kUpdateFrame = "数据库更新时间";
inline constexpr const char* kHoursLabel = "小时";
inline constexpr const char* kMinutesLabel = "分钟";
inline constexpr const char* kApply = "应用";
inline constexpr const char* kApplied = "应用√";
inline constexpr const char* kMinutesFormat = "%d分钟";
inline constexpr const char* kHoursFormat = "%d小时";
inline constexpr const char* kHoursRange = "小时设置框的范围为0~24";
inline constexpr const char* kMinutesRange = "分钟设置框的范围为0~59";
inline constexpr const char* kHoursCaption = "小时";
inline constexpr const char* kUpdateTooLong = "数据库更新时间不能超过24小时";
inline constexpr const char* kUpdateTooShort = "数据库更新时间不能低于1分钟";
inline constexpr const char* kUpdateCaption = "数据库更新时间";
inline constexpr const char* kDatabaseOpenFailed = "数据库打开失败！";
inline constexpr const char* kDatabaseOperationFailed = "数据库操作失败！";
inline constexpr const char* kDeviceSetDatabaseFailed = "设备操作成功，数据库修改失败！";
inline constexpr const char* kNumbersOnly = "请输入数字";
inline constexpr const char* kNetworkApplyNote = "无线设备的记录间隔在此只能查看";

struct IntervalChoice {
    const char* text;
    int minutes;
};
inline constexpr IntervalChoice kWiredIntervals[] = {
    {"1分钟", 1}, {"2分钟", 2}, {"5分钟", 5}, {"15分钟", 15}, {"30分钟", 30},
    {"1小时", 60}, {"2小时", 120}, {"3小时", 180}, {"4小时", 240},
};
inline constexpr const char* kNetworkIntervals[] = {"10秒", "20秒", "30秒", "1分",  "5分",  "10分", "15分",
                                                    "20分", "30分", "1小时", "2小时", "3小时", "6小时"};
inline constexpr const char* kUnitNames[] = {"秒", "分", "小时"};
inline constexpr const char* kUnitWrong = "出错";

// "%d分钟" below an hour, "%d小时" from 60 minutes on.
std::string wiredIntervalText(int minutes);
// "%d%s" with the unit 0 秒, 1 分, 2 小时, otherwise "出错".
std::string networkIntervalText(int value, int unit);
// The list entry of a wired interval, -1 when it is none of the nine.
int wiredIntervalIndex(int minutes);
// Minutes of the chosen entry; a choice outside the list keeps `current`.
int wiredIntervalMinutes(int index, int current);

platform::ResultFollower::Request intervalWriteRequest(Engine& engine, const IntervalRequest& request);
PageButton reportIntervalWrite(Prompter& prompter, platform::ResultFollower::Step step, int code);

enum class UpdateField { None, Hours, Minutes };
struct UpdateOutcome {
    bool stored = false;
    UpdateField focus = UpdateField::None;
};
// The database update interval from its two fields: checked, stored in the
// line rows that hold the station's value, then taken as that value.
UpdateOutcome submitUpdateInterval(Prompter& prompter, Engine& engine, const std::string& hoursText,
                                   const std::string& minutesText);
// The station's value split into the two fields.
int updateHours(int minutes);
int updateMinutes(int minutes);

}  // namespace tovanix::devices
