// What the dialog in which the current user changes his own name and
// password does on "确定", without its window.
#pragma once

#include <string>

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

inline constexpr const char* kEditUserTitle = "用户名设置";
inline constexpr const char* kNameEmpty = "用户名不能为空！";
inline constexpr const char* kNameCaption = "用户名";
inline constexpr const char* kOldPasswordEmpty = "原密码不能为空！";
inline constexpr const char* kOldPasswordWrong = "原密码错误！";
inline constexpr const char* kOldPasswordCaption = "原密码";
inline constexpr const char* kNewPasswordEmpty = "新密码不能为空！";
inline constexpr const char* kRepeatDiffers = "两次输入的密码不一致！";
inline constexpr const char* kNewPasswordCaption = "新密码";
inline constexpr const char* kNameAndPasswordChanged = "用户名和密码修改成功！";
inline constexpr const char* kNameAndPasswordFailed = "用户名和密码修改失败！";
inline constexpr const char* kNameChanged = "用户名修改成功！";
inline constexpr const char* kNameFailed = "用户名修改失败！";
inline constexpr const char* kPasswordChanged = "密码修改成功！";
inline constexpr const char* kPasswordFailed = "密码修改失败！";
// Taken from adding a user: a second account of the same name would shadow
// the first at login.
inline constexpr const char* kNameExistsFormat = "用户名  %s  已经存在！";

struct EditUserInput {
    std::string name;
    std::string oldPassword;
    std::string newPassword;
    std::string repeatPassword;
};

enum class EditField { None, Name, OldPassword, NewPassword };

struct EditUserOutcome {
    bool close = false;
    EditField focus = EditField::None;  // where the caret goes when the dialog stays
};

EditUserOutcome submitEditUser(Prompter& prompter, const EditUserInput& in);

}  // namespace tovanix::users
