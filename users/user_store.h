// The statements of the login and of the change of one's own account. Each
// function opens its own connection and closes it before it returns.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/store.h"
#include "users/current_user.h"

namespace tovanix::users {

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

db::StoreResult updateNameAndPassword(const std::string& newName, const std::string& newPassword,
                                   const std::string& currentName, const std::string& currentPassword);
db::StoreResult updateName(const std::string& newName, const std::string& currentName, const std::string& currentPassword);
db::StoreResult updatePassword(const std::string& newPassword, const std::string& currentName,
                            const std::string& currentPassword);

}  // namespace tovanix::users
