// Creation statements of TovanDatabase. Column order is a contract: readers
// take "select *" columns by position. Statements never alter an existing
// table; an older layout is replaced only by deleting the database.
#pragma once

#include <string>

namespace tovanix::db {

class Connection;

namespace schema {

// Two blanks after "exists", as the station has always sent it.
inline constexpr const char* kCreateDatabase = "Create Database if not exists  TovanDatabase";
extern const char* const kCreateLineTable;
extern const char* const kCreateRoomTable;
extern const char* const kCreateDeviceTable;
extern const char* const kCreateAlarmTable;
extern const char* const kCreateUserTable;
extern const char* const kCreateUserRightTable;
extern const char* const kCreateSystemTable;
extern const char* const kCreateAlarmDeviceTable;
extern const char* const kCreatePhoneNumTable;

// Number of columns of TovanDeviceTable.
inline constexpr int kDeviceColumns = 77;

// The seven configuration tables the main window creates, in that order.
// False when any of them failed.
bool createConfigurationTables(Connection& c);

}  // namespace schema
}  // namespace tovanix::db
