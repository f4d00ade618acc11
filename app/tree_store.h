// The statements of renaming tree nodes. Each opens its own connection.
#pragma once

#include <string>

#include "db/store.h"

namespace tovanix::app {

db::StoreResult renameSystem(const std::string& name);
db::StoreResult renameLine(int lineid, const std::string& name);
db::StoreResult renameGroup(int roomid, int lineid, const std::string& name);
db::StoreResult renameDevice(int deviceid, int lineid, const std::string& name);

}  // namespace tovanix::app
