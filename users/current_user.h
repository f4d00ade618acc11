// The user logged in to this run: name, password as typed, level and the six
// rights that the commands check. Set by a successful login, read by every
// part of the program; one process-wide value under its own lock.
#pragma once

#include <string>

namespace tovanix::users {

enum class Right {
    DeviceManagement,
    AlarmSetting,
    AlarmAck,
    DataView,
    UserManage,
    DatabaseManage,
};

struct CurrentUser {
    std::string name;
    std::string password;
    int level = 0;
    int deviceManagement = 0;
    int alarmSetting = 0;
    int alarmAck = 0;
    int dataView = 0;
    int userManage = 0;
    int databaseManage = 0;

    bool has(Right right) const;
    void grantAll();
};

// Level tags of the status bar.
inline constexpr const char* kTagGuest = "[访客]";
inline constexpr const char* kTagAdministrator = "[管理员]";
inline constexpr const char* kTagSystemAdministrator = "[系统管理员]";
inline constexpr const char* kTagUnknown = "[未知]";
const char* levelTag(int level);

// "当前用户:%s%s": the text of the status bar's first pane.
std::string statusPaneText(const CurrentUser& user);

CurrentUser current();
// A successful login.
void setCurrent(const CurrentUser& user);
// The user changed his own name and password (the level and rights stay).
void updateCurrentAccount(const std::string& name, const std::string& password);
bool hasRight(Right right);

}  // namespace tovanix::users
