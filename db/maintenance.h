// The delete-old-database operation: the only way to replace the schema of an
// older station version, since creation statements never alter a table. The
// question and messages around it belong to the database login dialog.
#pragma once

#include "db/account.h"

namespace tovanix::db {

enum class DropDatabaseResult {
    ConnectFailed,  // the server refused the account
    Dropped,        // the database is gone
    DropFailed,     // the drop statement failed
};

// Connects with `account`, creates the database when missing (so a drop
// never fails for that alone) and drops it.
DropDatabaseResult dropStationDatabase(const Account& account);

}  // namespace tovanix::db
