// What the login dialog does, without its window: the names it lists and the
// outcome of "确定". Messages go through the prompter.
#pragma once

#include <string>
#include <vector>

namespace tovanix {
class Prompter;
}

namespace tovanix::users {

inline constexpr const char* kLoginTitle = "用户登录";
inline constexpr const char* kDatabaseOpenFailed = "数据库打开失败";
inline constexpr const char* kWrongPassword = "输入密码错误，请重试";
inline constexpr const char* kLoginErrorCaption = "登陆错误";

// Names for the drop-down list (sorted); "root" is created on an empty
// table. Empty when the database is unreachable.
std::vector<std::string> openLogin();

enum class LoginOutcome {
    LoggedIn,        // the current user is set: the dialog ends with OK
    DatabaseFailed,  // "数据库打开失败" shown, the user unchanged: the dialog ends with OK too
    Stay,            // wrong password shown: select the password, stay open
};

LoginOutcome submitLogin(Prompter& prompter, const std::string& name, const std::string& password);

}  // namespace tovanix::users
