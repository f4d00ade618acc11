// The statements of the user-management page and the add-user dialog, each
// on a connection of its own. A user is changed or deleted by its row id:
// the server compares names without regard to case.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "db/store.h"

namespace tovanix::users {

struct ListedUser {
    int id = 0;
    std::string name;
};
struct UserList {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    std::vector<ListedUser> users;  // every account but "root"
};
UserList listUsers();

// The eight flags of a rights row, in column order (DeviceManagement …
// CompanyInfo).
using RightFlags = std::array<int, 8>;
enum RightFlag { kDeviceManagement, kAlarmSetting, kAlarmAck, kDataView, kUserManage, kDatabaseManage, kSetting, kCompanyInfo };

struct RightsRead {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    RightFlags flags{};
};
// The row of the level; created as the level's default when missing
// (level 1: data viewing only; level 0: nothing).
RightsRead readRights(int level);
db::StoreResult saveRights(int level, const RightFlags& flags);

struct UserLevel {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    int level = 0;
};
UserLevel readUserLevel(int id);

struct UserInsert {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    bool exists = false;  // a name equal but for letter case counts as the same
};
UserInsert insertUser(const std::string& name, const std::string& password, int level);
db::StoreResult deleteUser(int id);
// The password of the account named exactly "root".
db::StoreResult setRootPassword(const std::string& password);

}  // namespace tovanix::users
