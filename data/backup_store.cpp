#include "data/backup_store.h"

#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::data::backup {

std::string createDatabase(const db::Account& account) {
    db::Connection c;
    if (!c.open(account, false)) return c.lastError();
    if (!c.exec(db::schema::kCreateDatabase)) return c.lastError();
    return {};
}

}  // namespace tovanix::data::backup
