// CAlarmAck without its window: what the dialog lists when it opens and
// what "确认报警" does.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "alarms/alarm_ack_store.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::alarms {

inline constexpr const char* kAckDialogTitle = "报警信息确认";
inline constexpr const char* kAckTitleFormat = "报警信息 设备名:%s  所在线路:%s";
inline constexpr const char* kAckButton = "确认报警";
inline constexpr const char* kSirenOffButton = "关闭警声";
inline constexpr const char* kNoteTitle = "请输入处理方法";
inline constexpr const char* kSirenLater = "警声将在稍后关闭!";
inline constexpr const char* kAcknowledged = "已确认报警信息";
// The siren message carries the program's name as its caption.
inline constexpr const char* kSirenCaption = "Tovanix";
inline constexpr const char* kAckHeaders[] = {"序号", "报警发生时间", "通道", "数值", "事件"};
inline constexpr int kAckColumns = 5;

// What the acknowledgement needs of the running station; the opener
// supplies it (the station table and the engine live above this folder).
class AckStation {
public:
    struct Names {
        std::string device;
        std::string line;
    };
    virtual ~AckStation() = default;
    // The device's and its line's names; nothing when the device is not in
    // the station table.
    virtual std::optional<Names> find(int lineid, int address) = 0;
    // Sound of the alarm-device settings.
    virtual bool soundOn() = 0;
    // Posts the siren-off message to the alarm thread.
    virtual void sirenOff() = 0;
    // Status normal and the unacknowledged byte cleared, under the station lock.
    virtual void resetEntry(int lineid, int address) = 0;
};

struct AckListing {
    std::string title;  // empty when the device is unknown
    std::vector<OpenAlarm> rows;
};

// Filling the dialog: nothing listed when the database or the device is
// missing.
AckListing listOpenAlarms(AckStation& station, int lineid, int address);

// A row's cell of the dialog's list; column 0 is the running number from 1.
std::string ackCell(const OpenAlarm& row, int index, int column);

struct AckOutcome {
    bool close = false;       // the dialog closes
    bool stored = false;      // the readings were marked acknowledged
};

// "确认报警". askNote shows "请输入处理方法" and returns nothing when the
// operator cancels.
AckOutcome acknowledge(Prompter& prompter, AckStation& station, int lineid, int address, const std::string& user,
                       const std::function<std::optional<std::string>()>& askNote);

}  // namespace tovanix::alarms
