// The statements of the login and of the change of one's own account. Each
// function opens its own connection and closes it before it returns.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "users/current_user.h"

namespace tovanix::users {

// Rights columns of tovanuserrighttable, by position.
inline constexpr int kRightsDeviceManagementColumn = 2;
inline constexpr int kRightsAlarmSettingColumn = 3;
inline constexpr int kRightsAlarmAckColumn = 4;
inline constexpr int kRightsDataViewColumn = 5;
inline constexpr int kRightsUserManageColumn = 6;
inline constexpr int kRightsDatabaseManageColumn = 7;
// tovanusertable by position.
inline constexpr int kUserNameColumn = 1;
inline constexpr int kUserPasswordColumn = 2;
inline constexpr int kUserLevelColumn = 3;

struct LoginNames {
    bool connected = false;
    std::vector<std::string> names;  // sorted as the drop-down list shows them
};

// Opening of the login dialog: creates the database and the user table as
// needed, adds "root" to an empty table, lists every name, sorted.
LoginNames loadLoginNames();

// The drop-down order: letters compared without case, then byte order.
void sortNames(std::vector<std::string>& names);

struct StoredUser {
    std::string name;
    std::string password;
    int level = 0;
};

enum class LookupResult { ConnectFailed, NoSuchUser, Found };
struct Lookup {
    LookupResult result = LookupResult::ConnectFailed;
    StoredUser user;
    // The six rights of the user's level; all refused when the level has no
    // rights row. "root" gets every right without reading one.
    CurrentUser rights;
};
// The first row of the name, and the rights of its level.
Lookup lookUpUser(const std::string& name);

// Whether a user of this name exists; nullopt when the database is
// unreachable.
std::optional<bool> userExists(const std::string& name);

enum class UpdateResult { ConnectFailed, Failed, Done };
UpdateResult updateNameAndPassword(const std::string& newName, const std::string& newPassword,
                                   const std::string& currentName, const std::string& currentPassword);
UpdateResult updateName(const std::string& newName, const std::string& currentName, const std::string& currentPassword);
UpdateResult updatePassword(const std::string& newPassword, const std::string& currentName,
                            const std::string& currentPassword);

}  // namespace tovanix::users
