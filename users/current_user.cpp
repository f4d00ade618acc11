#include "users/current_user.h"

#include <mutex>

#include "db/defaults.h"

namespace tovanix::users {

namespace {

std::mutex currentMutex;  // guards currentUser
CurrentUser currentUser;

}  // namespace

bool CurrentUser::has(Right right) const {
    switch (right) {
        case Right::DeviceManagement:
            return deviceManagement != 0;
        case Right::AlarmSetting:
            return alarmSetting != 0;
        case Right::AlarmAck:
            return alarmAck != 0;
        case Right::DataView:
            return dataView != 0;
        case Right::UserManage:
            return userManage != 0;
        case Right::DatabaseManage:
            return databaseManage != 0;
    }
    return false;
}

void CurrentUser::grantAll() {
    deviceManagement = alarmSetting = alarmAck = dataView = userManage = databaseManage = 1;
}

const char* levelTag(int level) {
    switch (level) {
        case db::kLevelGuest:
            return kTagGuest;
        case db::kLevelAdministrator:
            return kTagAdministrator;
        case db::kLevelSystemAdministrator:
            return kTagSystemAdministrator;
        default:
            return kTagUnknown;
    }
}

std::string statusPaneText(const CurrentUser& user) {
    return std::string("当前用户:") + user.name + levelTag(user.level);
}

CurrentUser current() {
    std::lock_guard<std::mutex> lock(currentMutex);
    return currentUser;
}

void setCurrent(const CurrentUser& user) {
    std::lock_guard<std::mutex> lock(currentMutex);
    currentUser = user;
}

void updateCurrentAccount(const std::string& name, const std::string& password) {
    std::lock_guard<std::mutex> lock(currentMutex);
    currentUser.name = name;
    currentUser.password = password;
}

bool hasRight(Right right) {
    return current().has(right);
}

}  // namespace tovanix::users
