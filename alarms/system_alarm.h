// What the alarm-output page (CSystemAlarm) and the phone-number dialog
// (CAddPhoneNum) do, without their windows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "alarms/alarm_config.h"
#include "alarms/alarm_output_store.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::alarms {

// Captions of the page.
inline constexpr const char* kSirenFrame = "声光报警";
inline constexpr const char* kEnable = "启用";
inline constexpr const char* kBoxOffButton = "关闭警声";
inline constexpr const char* kPortFrame = "声光短信报警串口号";
inline constexpr const char* kPortLabel = "COM";
inline constexpr const char* kConfirmButton = "确认";
inline constexpr const char* kConfirmedButton = "确认√";
inline constexpr const char* kSmsFrame = "短信报警";
inline constexpr const char* kRepeatLabel = "重发间隔";
inline constexpr const char* kMinutes = "分钟";
inline constexpr const char* kAddButton = "添加";
inline constexpr const char* kDeleteButton = "删除";
inline constexpr const char* kNumberColumn = "序号";
inline constexpr const char* kPhoneColumn = "手机号码";
inline constexpr const char* kAddPhoneTitle = "增加的电话号码";

// Messages.
inline constexpr const char* kWriteFailed = "数据库写入失败";
inline constexpr const char* kPortMissing = "串口COM%d不存在！";
inline constexpr const char* kPortTestNoAnswer = "串口测试未完成，请稍后重试";
inline constexpr const char* kPhoneLength = "电话号码必须为11位";
inline constexpr const char* kPhoneLengthCaption = "电话号码位数有误";
inline constexpr const char* kPhoneExists = "电话号码已经存在";
// The alarm thread serves at most ten numbers.
inline constexpr const char* kPhoneListFull = "最多只能设置10个电话号码，请先删除一个号码";
inline constexpr const char* kDeletePhoneAsk = "确定删除号码: %s ？";
inline constexpr const char* kDeleteFailed = "未删除成功！";
inline constexpr const char* kDeleteDone = "删除成功！";
inline constexpr const char* kBoxOffNotice = "警声将在稍后关闭!";

inline constexpr int kPhoneDigits = 11;

// One opening of the page: a save is sent only while the page's previous
// statement succeeded; a fresh page may always save.
struct AlarmPageSession {
    bool lastStatementOk = true;
};

struct AlarmPageView {
    AlarmDeviceSettings settings;
    std::vector<std::string> phones;  // the first ten rows of the table
};
// Reads the phone table into the list and the in-memory phone list (memory
// kept when the server cannot be reached) and shows the settings in memory.
AlarmPageView openAlarmPage(AlarmConfig& config, AlarmPageSession& session);

// Sound, GMS or GMSTime (below 1 stored as 1). True when saved; memory
// changes only then.
bool saveAlarmSetting(Prompter& prompter, AlarmConfig& config, AlarmPageSession& session, AlarmColumn column,
                      int value);

struct PortConfirmOutcome {
    bool saved = false;
    bool restore = false;  // put `com` back into the edit and give it the focus
    int com = 0;
};
// After the alarm thread's port test: `opened` says whether the port opened.
PortConfirmOutcome confirmPort(Prompter& prompter, AlarmConfig& config, AlarmPageSession& session, int com,
                               bool opened);

// "添加": false (with a message) when the list is full.
bool phoneListHasRoom(Prompter& prompter, const AlarmConfig& config);

enum class PhoneSubmit {
    StayOpen,   // wrong length: the dialog stays open
    AskAgain,   // a duplicate: the dialog is shown again
    Refused,    // the list is full or the server failed: the dialog closes
    Added,
};
PhoneSubmit submitPhone(Prompter& prompter, AlarmConfig& config, const std::string& number);

struct PhoneDeletion {
    bool changed = false;
    std::vector<std::string> phones;  // the list as read after the last deletion
};
// Asks for each number in turn; Cancel ends the whole deletion.
PhoneDeletion deletePhones(Prompter& prompter, AlarmConfig& config, const std::vector<std::string>& selected);

// "关闭警声": tells the operator, then posts the siren-off job.
void switchSirenOff(Prompter& prompter, const std::function<bool()>& postBoxOff);

}  // namespace tovanix::alarms
