#include "app/commands.h"

namespace tovanix::app {

const std::vector<CommandEntry>& commandTable() {
    using users::Right;
    static const std::vector<CommandEntry> table = {
        {kCmdCurrentStatus, "当前状态(&C)", MenuId::Window, std::nullopt, nullptr},
        {kCmdSystemConfig, "系统配置(&S)", MenuId::Window, std::nullopt, nullptr},
        {kCmdCheckAll, "全部检测(&A)", MenuId::Window, std::nullopt, nullptr},
        {kCmdChangePassword, "修改密码(&P)", MenuId::Window, std::nullopt, nullptr},
        {kCmdChangeUser, "更改用户(&D)", MenuId::Window, std::nullopt, nullptr},
        {kCmdDatabaseBackup, "数据库备份与还原", MenuId::Window, Right::DatabaseManage, kNoDatabaseRight, true,
         kNoDatabaseRightCaption},
        {kCmdBackground, "后台运行(&M)", MenuId::Window, std::nullopt, nullptr},
        {kCmdExit, "退出程序(&Q)", MenuId::Window, std::nullopt, nullptr},
        {kCmdAbout, "关于 Tovanix(&A)...", MenuId::Window, std::nullopt, nullptr},
        {kCmdAddLine, "增加线路", MenuId::Root, std::nullopt, nullptr},
        {kCmdLineSettings, "设置线路", MenuId::Line, std::nullopt, nullptr},
        {kCmdDeleteLine, "删除线路", MenuId::Line, std::nullopt, nullptr},
        {kCmdAddGroup, "增加分组", MenuId::Line, std::nullopt, nullptr},
        {kCmdAddDeviceToLine, "增加设备", MenuId::Line, std::nullopt, nullptr},
        {kCmdDeleteGroup, "删除分组", MenuId::Group, std::nullopt, nullptr},
        {kCmdAddDeviceToGroup, "增加设备", MenuId::Group, std::nullopt, nullptr},
        {kCmdDeviceSettings, "设置设备", MenuId::Device, Right::DeviceManagement, kNoDeviceSettingsRight},
        {kCmdDeleteDevice, "删除设备", MenuId::Device, std::nullopt, nullptr},
        {kCmdRestore, "恢复", MenuId::TrayIcon, std::nullopt, nullptr},
        {kCmdClose, "关闭", MenuId::TrayIcon, std::nullopt, nullptr},
        {kCmdTrayAbout, "关于Tovanix", MenuId::TrayIcon, std::nullopt, nullptr},
    };
    return table;
}

const CommandEntry* findCommand(int id) {
    for (const CommandEntry& c : commandTable()) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::vector<const CommandEntry*> commandsOf(MenuId menu) {
    std::vector<const CommandEntry*> out;
    for (const CommandEntry& c : commandTable()) {
        if (c.menu == menu) out.push_back(&c);
    }
    return out;
}

}  // namespace tovanix::app
