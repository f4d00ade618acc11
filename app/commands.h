// The window's commands: their ids, captions, the menu they belong to and
// the right they need. A command shows in its menu only once a handler is
// registered for it, so the dialogs of later parts add their entries by
// registering.
#pragma once

#include <optional>
#include <vector>

#include "users/current_user.h"

namespace tovanix::app {

enum CommandId : int {
    kCmdAbout = 0x10,  // "关于 Tovanix(&A)..." of the system menu
    kCmdCurrentStatus = 32803,
    kCmdSystemConfig = 32804,
    kCmdCheckAll = 32808,
    kCmdChangePassword = 32807,
    kCmdChangeUser = 32771,
    kCmdBackground = 32805,
    kCmdExit = 32806,
    kCmdAddLine = 32779,
    kCmdLineSettings = 32787,
    kCmdDeleteLine = 32784,
    kCmdAddGroup = 32800,
    kCmdAddDeviceToLine = 32809,
    kCmdDeleteGroup = 32798,
    kCmdAddDeviceToGroup = 32786,
    kCmdDeviceSettings = 32802,
    kCmdDeleteDevice = 32781,
    kCmdRestore = 32794,
    kCmdClose = 32795,
    kCmdTrayAbout = 32796,
    kCmdDatabaseBackup = 32820,  // "数据库备份与还原" of the system menu
};

// Menu resources: the window's popup and the five context menus.
enum class MenuId : int {
    Window = 130,
    Root = 152,
    Line = 153,
    Group = 181,
    Device = 154,
    TrayIcon = 177,
};

struct CommandEntry {
    int id;
    const char* text;
    MenuId menu;
    std::optional<users::Right> right;  // checked before the handler runs
    const char* refusal;                // shown when the right is missing
    bool greyedWithoutRight = false;    // the menu item is disabled without the right
    const char* refusalCaption = nullptr;  // the refusal's caption when not "提示"
};

inline constexpr const char* kNoDeviceSettingsRight = "无设备设置权限";
inline constexpr const char* kNoDataViewRight = "无数据查看权限";
inline constexpr const char* kNoDatabaseRight = "无数据库管理权限";
inline constexpr const char* kNoDatabaseRightCaption = "数据库备份";

// Every command, in menu order.
const std::vector<CommandEntry>& commandTable();
const CommandEntry* findCommand(int id);
std::vector<const CommandEntry*> commandsOf(MenuId menu);

}  // namespace tovanix::app
