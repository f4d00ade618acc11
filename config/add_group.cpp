#include "config/add_group.h"

#include "config/group_store.h"
#include "devices/config_load.h"
#include "devices/station_table.h"
#include "platform/prompter.h"

namespace tovanix::config {

namespace {
constexpr unsigned kLineNodeFactor = 100000;  // line node data = lineid * 100000
}

AddGroupOutcome submitAddGroup(Prompter& p, devices::StationTable& table, unsigned lineNodeData,
                               const std::string& name) {
    if (name.empty()) {
        p.inform(kGroupNameEmpty, kCaptionInfo);
        return {false, true, 0};
    }
    const int lineid = static_cast<int>(lineNodeData / kLineNodeFactor);
    auto line = table.line(lineid);
    if (line && static_cast<int>(line->groups.size()) >= devices::kMaxGroupsPerLine) {
        p.inform(kGroupsFull, kCaptionInfo);
        return {};
    }
    const GroupAdd add = addGroupRow(lineid, name);
    if (add.result == db::StoreResult::ConnectFailed) {
        p.inform(devices::kCannotOpenDatabase, kCaptionInfo);
        return {};
    }
    if (add.allocation.result == db::AllocationResult::Full) {
        p.inform(kGroupsFull, kCaptionInfo);
        return {};
    }
    if (!add.allocation.ok()) {
        p.inform(kGroupOpenFailed, kCaptionInfo);
        return {};
    }
    table.addGroup(lineid, devices::GroupEntry{name, lineid, add.allocation.number});
    return {true, false, add.allocation.number};
}

}  // namespace tovanix::config
