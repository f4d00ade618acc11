// The data-centre page's back-fill and the lost-record dialog without their
// windows: the span check, the job list handed to the polling thread, and the
// texts the two show while they follow it.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "devices/messages.h"

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::data {

// The data-centre page (CSystemData).
inline constexpr const char* kBackfillGroup = "数据补传";
inline constexpr const char* kInvertButton = "全选/反选";
inline constexpr const char* kStartLabel = "开始时间";
inline constexpr const char* kEndLabel = "结束时间";
inline constexpr const char* kColumnNumber = "序号";
inline constexpr const char* kColumnName = "设备名";
inline constexpr const char* kColumnAddress = "设备地址";
inline constexpr const char* kColumnLine = "设备所在线路";
inline constexpr const char* kColumnStatus = "状态";
inline constexpr const char* kColumnDeviceId = "deviceid";
inline constexpr const char* kColumnLineId = "LineID";
inline constexpr const char* kDownloading = "下载中";
inline constexpr const char* kRetry = "请重试！";
inline constexpr const char* kDownloaded = "下载完成！";
inline constexpr const char* kSpanCaption = "设备名称";
inline constexpr const char* kSpanNotIncreasing = "查询开始时间必须早于结束时间";
// Both downloads store readings: none starts while a restore loads.
inline constexpr const char* kBackupRunning = "正在备份或还原数据库，请完成后再补传数据";
inline constexpr int kDefaultSpanSeconds = 8 * 3600;  // the pickers open on the last eight hours
inline constexpr int kBackfillTimerMs = 500;
inline constexpr int kBackfillDotsMax = 6;

// The lost-record dialog (CLoadLostRecord).
inline constexpr const char* kLostTitle = "数据补传";
inline constexpr const char* kLostCountdown = "检测到部分数据未上传，将在 %d 秒后自动补传";
inline constexpr const char* kLostStartTitle = "数据补传中......";
inline constexpr const char* kLostRunningTitle = "数据补传中";
inline constexpr const char* kLostDoneTitle = "补传完成！";
inline constexpr const char* kLostDoneMessage = "补传完成";
inline constexpr const char* kLostCaption = "补传数据";
inline constexpr const char* kLostOk = "补传数据";
inline constexpr const char* kLostOkAgain = "确认补传";
inline constexpr int kLostCountdownSeconds = 10;
inline constexpr int kLostTimerMs = 1000;
inline constexpr int kLostDotsMax = 5;

// Stores the span and the chosen devices' jobs and posts 0x49B. False, with
// the message, when the span does not increase or a backup or restore runs;
// false without one when no device is chosen or the polling thread is not
// running.
bool startBackfill(Prompter& prompter, devices::Engine& engine, std::time_t start, std::time_t end,
                   const std::vector<devices::DeviceRequest>& chosen);

// The "状态" column of a job: "下载中" with the dots while it downloads.
std::string backfillStatusText(int status, int dots);

// Sets the recovery flag and posts 0x4A6 with the span; false, with the
// message, when the span does not increase or a backup or restore runs.
bool startRecovery(Prompter& prompter, devices::Engine& engine, std::time_t start, std::time_t end);

}  // namespace tovanix::data
