// The one statement the restore needs of its own: the database it loads
// into, created when a fresh server has none yet.
#pragma once

#include <string>

#include "db/account.h"

namespace tovanix::data::backup {

// Empty when the database is there; else the server's error text.
std::string createDatabase(const db::Account& account);

}  // namespace tovanix::data::backup
