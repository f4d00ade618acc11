#include "db/maintenance.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::db {

DropDatabaseResult dropStationDatabase(const Account& account) {
    Connection c;
    if (!c.open(account, false)) return DropDatabaseResult::ConnectFailed;
    c.exec(schema::kCreateDatabase);
    c.exec(kUseDatabase);
    return c.exec("drop database TovanDatabase") ? DropDatabaseResult::Dropped : DropDatabaseResult::DropFailed;
}

}  // namespace tovanix::db
