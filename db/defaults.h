// Rows the station needs before its first use: the built-in account, the
// rights of the two configurable levels, the system row and the alarm-output
// row.
#pragma once

#include <string>

namespace tovanix::db {

class Connection;

inline constexpr const char* kRootUser = "root";
inline constexpr const char* kRootInitialPassword = "582046";
inline constexpr int kLevelGuest = 0;
inline constexpr int kLevelAdministrator = 1;
inline constexpr int kLevelSystemAdministrator = 2;

inline constexpr const char* kDefaultSystemName = "系统";
inline constexpr const char* kDefaultServerIp = "127.0.0.1";
inline constexpr int kDefaultServerPort = 4000;
inline constexpr const char* kDefaultCompanyName = "Tovanix 温湿度监测";
inline constexpr const char* kDefaultCompanyUrl = "https://tovanix.example";
inline constexpr const char* kDefaultModelId = "C00000";

// Database, "use", user table; inserts "root" when the table is empty.
// Returns false when a statement failed. `inserted` tells whether root was
// added.
bool ensureUserTable(Connection& c, bool* inserted = nullptr);
// Rights table; inserts the default row of `level` (0 or 1) when missing.
bool ensureRightsRow(Connection& c, int level);
// Inserts the default system row when the table is empty.
bool ensureSystemRow(Connection& c);
// Inserts the default alarm-output row when the table is empty.
bool ensureAlarmDeviceRow(Connection& c, bool* inserted = nullptr);

}  // namespace tovanix::db
