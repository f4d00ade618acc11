// The logger settings window (CSetDevice) without its pages' windows: the
// current device record that its three pages read, the titles while the
// logger's settings are read, and what the basic page shows and does.
#pragma once

#include <string>

#include <memory>

#include "devices/drive_binding.h"
#include "platform/result_follower.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::devices {

class Engine;

inline constexpr const char* kSetDeviceTitleFormat = " %s 的设备信息";
inline constexpr const char* kReadingTitleFormat = "正在获取 %s 的设置值%s";
// The alarm page keeps its controls disabled after a failed read; the title
// says why instead of showing zeros as the logger's limits.
inline constexpr const char* kReadFailedTitleFormat = " %s 的设备信息（未能读取设备的设置值）";
inline constexpr int kReadingDotsMax = 5;
inline constexpr int kReadingTitleMs = 500;  // timer 1

inline constexpr const char* kTabInfo = "基本信息";
inline constexpr const char* kTabAlarm = "报警设置";
inline constexpr const char* kTabRecord = "记录设置";

// Power kinds as the basic page names them.
inline constexpr const char* kPowerExternalText = "外接电源";
inline constexpr const char* kPowerLowText = "电量低";
inline constexpr const char* kPowerMediumText = "电量适中";
inline constexpr const char* kPowerFullText = "电量足";
inline constexpr const char* kPowerUnknownText = "未知";
inline constexpr const char* kVoltsFormat = "%.3fV";

// Probe types, in the sorted order of the list: indices 0, 1, 2 stand for 1, 2, 4.
inline constexpr const char* kProbeTypeNames[] = {"单温度", "双温度", "温湿度"};
inline constexpr int kProbeTypeValues[] = {1, 2, 4};
inline constexpr int kProbeHumidity = 4;
inline constexpr int kProbeTwoTemperatures = 2;

inline constexpr const char* kTemperatureName = "温度";
inline constexpr const char* kHumidityName = "湿度";
inline constexpr const char* kCelsiusUnit = "℃";
inline constexpr const char* kPercentUnit = "%";

inline constexpr const char* kWorking = "工作";
inline constexpr const char* kStopped = "停机";
inline constexpr const char* kSynchronise = "同步时钟";
inline constexpr const char* kSynchroniseHint = "按下按钮同步时钟";
inline constexpr const char* kSynchronising = "正在同步时钟";
inline constexpr const char* kClockSynchronised = "时钟同步成功！";
inline constexpr const char* kClockFailed = "时钟同步失败！";
inline constexpr const char* kPortNotOpen = "串口未打开";
inline constexpr const char* kPortCaption = "串口";
inline constexpr const char* kSettingFailed = "设置失败！";
inline constexpr const char* kChange = "修改";
inline constexpr const char* kChanging = "修改中...";
inline constexpr const char* kChangeAgain = "再次修改";
inline constexpr const char* kChanged = "修改成功";
inline constexpr const char* kNothingChanged = "设备名和设备地址未改变";
inline constexpr const char* kNameLengthRule = "设备名长度不符合要求，必须在（1-50）字符之间";
inline constexpr const char* kNameCaptionShort = "设备名";
inline constexpr const char* kAddressRule = "设备地址必须在1~999之间！";
inline constexpr const char* kAddressCaptionShort = "设备地址";
inline constexpr const char* kAddressUsedFormat = "设备地址 %d 已经有对应的设备存在";
inline constexpr const char* kNoDeviceAtAddressFormat = "设备地址 %d 没有对应的设备存在";
inline constexpr const char* kDeviceInfoFailed = "设备信息修改失败！";
inline constexpr const char* kTableAtAddressFormat = "地址为 %d 的数据表已经存在，设备地址未修改";

// A request to the polling thread that never ends (the thread stopped, the
// line went meanwhile) is given up after this long.
inline constexpr int kRequestTimeoutMs = 30000;

// Everything the three pages show of the device open in the window.
struct CurrentDevice {
    bool found = false;
    int lineid = 0;
    int port = 0;
    bool wired = true;
    int rowId = 0;
    int deviceid = 0;
    std::string name;
    int address = 0;
    bool running = false;
    float power1 = 0, power2 = 0;
    int powerKind = 0;
    int probeType = kProbeHumidity;
    int ch1Enable = 0, ch2Enable = 0;
    float ch1Upper = 0, ch1Lower = 0, ch2Upper = 0, ch2Lower = 0;
    std::string ch1Type, ch1Unit, ch2Type, ch2Unit;
    int soundEnable = 0, monitorInter = 0, soundDuration = 0;
    int recordInterval = 1;    // wired: minutes
    int recordInterUnit = 0;   // network: the unit of recordInterval
    bool settingsLoaded = false;
};

// The device of a tree node (data / 100000 the line, data % 1000 the
// address), from its station-table entry and its row; found is false when
// either is missing.
CurrentDevice loadCurrentDevice(Engine& engine, unsigned nodeData);
// The same device read again (after its settings were read).
CurrentDevice reloadCurrentDevice(Engine& engine, const CurrentDevice& current);

std::string infoTitle(const std::string& name);
// Tick n (from 0) of the title while reading: one to five dots, then again.
std::string readingTitle(const std::string& name, int tick);
std::string readFailedTitle(const std::string& name);

std::string powerKindText(int kind);
std::string voltsText(float volts);
// List index of a probe type (any unknown type shows as 温湿度) and back.
int probeTypeIndex(int probeType);
int probeTypeOfIndex(int index);

// The probe type button: stored in the row, then in the entry. False after
// "设备信息修改失败！".
bool submitProbeType(Prompter& prompter, Engine& engine, CurrentDevice& current, int index);

// Clock synchronisation (0x49D): the request, and the message of its end.
platform::ResultFollower::Request clockSyncRequest(Engine& engine, const CurrentDevice& current);
// "正在同步时钟." with one to four dots for tick n.
std::string synchronisingText(int tick);
void reportClockSync(Prompter& prompter, platform::ResultFollower::Step step, int code);

// Rename and re-address (button 1001). A new address is checked first: no
// live device and no data table there, and (for a wired logger, which the
// operator has set to it already) a logger answering at it.
enum class RenameField { None, Name, Address };
enum class RenameStep {
    Refused,      // a message was shown; nothing changed
    CheckLogger,  // ask the polling thread whether a logger answers at newAddress
    Store,        // the name alone changed: store it
};
struct RenameCheck {
    RenameStep step = RenameStep::Refused;
    RenameField focus = RenameField::None;
    int newAddress = 0;
};
RenameCheck checkRename(Prompter& prompter, const CurrentDevice& current, const std::string& name,
                        const std::string& addressText);
// Whether a logger answers at the new address (a new polling request).
platform::ResultFollower::Request addressCheckRequest(Engine& engine, int lineid, int address);
// The end of that check; true when the logger answered. Otherwise its
// message was shown.
bool loggerAnswered(Prompter& prompter, platform::ResultFollower::Step step, int code, int address);
// The row (and the data table, when the address changes), then the entry and
// the current record. False after a message.
bool storeRename(Prompter& prompter, Engine& engine, CurrentDevice& current, const std::string& name,
                 int newAddress, RenameField* focus = nullptr);
// The message of a row that could not be stored; the field to correct, if any.
RenameField reportRenameFailure(Prompter& prompter, ReAddressResult result, int newAddress);

// Network loggers: start and stop (and a new address) through the binder's
// Tevlib job.
inline constexpr const char* kStartButton = "启动";
inline constexpr const char* kStopButton = "停机";
inline constexpr const char* kStateLabel = "状态";
inline constexpr const char* kStarting = "正在启动...";
inline constexpr const char* kStopping = "正在停机...";
inline constexpr const char* kPortCannotOpen = "串口无法打开";
inline constexpr const char* kStartedOk = "设备启动成功";
inline constexpr const char* kStartFailed = "设备启动失败";
inline constexpr const char* kStoppedOk = "设备停机成功";
inline constexpr const char* kStopFailed = "设备停机失败";

// Starts the job when followed; `result` is made by the caller. A new
// address is followed until the job ends, however long the device event is
// held: the binder stores the row once the logger moved, and the page must
// see that end to take the tree along.
platform::ResultFollower::Request networkJobRequest(CTovanDeviveDrive& drive,
                                                   const CTovanDeviveDrive::NetworkRequest& request,
                                                   const std::shared_ptr<CTovanDeviveDrive::NetworkResult>& result);
// The end of a start or stop: its message; on success the entry and the
// record take the running state (and, after a start, the power). Returns
// whether the logger now runs.
bool finishNetworkRun(Prompter& prompter, Engine& engine, CurrentDevice& current, bool start,
                      platform::ResultFollower::Step step, const CTovanDeviveDrive::NetworkResult& result);
// The end of a network address change (the logger moved and the binder
// stored the row and the entry); false after its message, with the field to
// correct in *focus.
bool networkAddressChanged(Prompter& prompter, platform::ResultFollower::Step step,
                           const CTovanDeviveDrive::NetworkResult& result, int address, RenameField* focus = nullptr);

// Whether the device's line port is open now (the polling thread's view).
bool linePortOpen(Engine& engine, int lineid);

}  // namespace tovanix::devices
