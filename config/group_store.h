// The statement of the add-group dialog, on a connection of its own.
#pragma once

#include <string>

#include "db/allocation.h"
#include "db/store.h"

namespace tovanix::config {

struct GroupAdd {
    db::StoreResult result = db::StoreResult::ConnectFailed;
    db::Allocation allocation;  // Full at 99 live groups
};
// Revives a deleted group row of the line with its roomid, or inserts
// roomid = lineid * 100 + live groups + 1.
GroupAdd addGroupRow(int lineid, const std::string& name);

}  // namespace tovanix::config
