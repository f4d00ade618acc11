// What the add-group dialog (CAddRoom) does on "确定", without its window.
#pragma once

#include <string>

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class StationTable;
}

namespace tovanix::config {

inline constexpr const char* kAddGroupTitle = "添加分组";
inline constexpr const char* kGroupFrame = "组名";
inline constexpr const char* kDefaultGroupName = "分组1";
inline constexpr const char* kGroupNameEmpty = "分组名不能为空";
inline constexpr const char* kGroupOpenFailed = "打开数据库失败";
// A 100th group would take the number of the next line's first group.
inline constexpr const char* kGroupsFull = "该线路的分组数量已达上限（99个），无法再添加分组";

struct AddGroupOutcome {
    bool close = false;
    bool focusName = false;  // the name field gets the caret when the dialog stays
    int roomid = 0;          // the new group's id when closed
};

// lineNodeData: the selected line node's data (lineid * 100000).
AddGroupOutcome submitAddGroup(Prompter& prompter, devices::StationTable& table, unsigned lineNodeData,
                               const std::string& name);

}  // namespace tovanix::config
