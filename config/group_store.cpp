#include "config/group_store.h"

#include "db/connection.h"

namespace tovanix::config {

GroupAdd addGroupRow(int lineid, const std::string& name) {
    GroupAdd add;
    add.result = db::onOwnConnection([&](db::Connection& c) {
        add.allocation = db::allocateGroup(c, lineid, name);
        return add.allocation.result != db::AllocationResult::Failed;
    });
    return add;
}

}  // namespace tovanix::config
