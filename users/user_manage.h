// What the user-management page (CUserManage) and the add-user dialog
// (CUserAdd) do, without their windows.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "users/user_manage_store.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

inline constexpr const char* kAddUserTitle = "新增用户";
inline constexpr const char* kUserNameLabel = "用户名";
inline constexpr const char* kPasswordLabel = "密码";
inline constexpr const char* kConfirmPasswordLabel = "确认密码";
inline constexpr const char* kLevelUser = "用户";
inline constexpr const char* kLevelGuest = "访客";
inline constexpr const char* kAddUserButton = "新增";
inline constexpr const char* kDeleteUserButton = "删除";
inline constexpr const char* kRightsFrame = "权限设置";
inline constexpr const char* kApplyButton = "应用";
inline constexpr const char* kAppliedButton = "应用√";
inline constexpr const char* kPasswordFrame = "密码修改";
inline constexpr const char* kOldPasswordLabel = "原密码";
inline constexpr const char* kNewPasswordLabel = "新密码";
inline constexpr const char* kRepeatPasswordLabel = "重复密码";
// Check captions in the order of the six rights (DeviceManagement … DatabaseManage).
inline constexpr const char* kRightCaptions[6] = {"设备设置", "报警设置", "报警确认", "数据查看", "用户管理", "数据库管理"};

inline constexpr const char* kNameEmpty = "用户名不能为空！";
inline constexpr const char* kPasswordEmpty = "密码不能为空！";
inline constexpr const char* kPasswordsDiffer = "两次密码输入不一致！";
// User_Name holds 16 characters; a longer name would be cut by the server.
inline constexpr const char* kNameTooLong = "用户名不能超过16个字符！";
inline constexpr const char* kUserExists = "用户名  %s  已经存在！";
inline constexpr const char* kUserAddFailed = "用户添加失败！";
inline constexpr const char* kUserAdded = "用户添加成功！";
inline constexpr const char* kRootNotDeleted = "root用户不能删除！";
inline constexpr const char* kDeleteUserAsk = "确定删除用户: %s ？";
inline constexpr const char* kUserDeleteFailed = "未删除成功！";
inline constexpr const char* kUserDeleted = "删除成功！";
inline constexpr const char* kRightsSaveFailed = "权限修改失败！";
inline constexpr const char* kNewPasswordsDiffer = "两次输入的新密码不一致！";
inline constexpr const char* kOldPasswordWrong = "原密码错误！";
inline constexpr const char* kPasswordChangeFailed = "密码修改失败！";

inline constexpr int kMaxUserNameLength = 16;

enum class UserField { None, Name, Password, Confirm, OldPassword, NewPassword };

struct AddUserOutcome {
    bool close = false;
    UserField focus = UserField::None;
};
// level: 1 for "用户", 0 for "访客".
AddUserOutcome submitAddUser(Prompter& prompter, const std::string& name, const std::string& password,
                             const std::string& confirm, int level);

struct UserDeletion {
    bool changed = false;
    std::vector<ListedUser> users;  // the list read after the last deletion
};
// Asks for each selected user in turn; "root" stops the whole deletion and
// Cancel ends it.
UserDeletion deleteUsers(Prompter& prompter, const std::vector<ListedUser>& selected);

// The six checks of a level, `setting` as last read for it, CompanyInfo 1.
bool saveLevelRights(Prompter& prompter, int level, const std::array<int, 6>& rights, int setting);

struct RootPasswordOutcome {
    bool changed = false;
    UserField focus = UserField::None;
};
RootPasswordOutcome changeRootPassword(Prompter& prompter, const std::string& oldPassword,
                                       const std::string& newPassword, const std::string& repeat);

}  // namespace tovanix::users
