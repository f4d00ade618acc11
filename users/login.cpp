#include "users/login.h"

#include "platform/prompter.h"
#include "users/current_user.h"
#include "users/user_store.h"

namespace tovanix::users {

std::vector<std::string> openLogin() {
    return loadLoginNames().names;
}

LoginOutcome submitLogin(Prompter& prompter, const std::string& name, const std::string& password) {
    Lookup found = lookUpUser(name);
    if (found.result == LookupResult::ConnectFailed) {
        prompter.inform(kDatabaseOpenFailed, kCaptionInfo);
        return LoginOutcome::DatabaseFailed;
    }
    // A name without a row has no password to match.
    if (found.result == LookupResult::NoSuchUser || password != found.user.password) {
        prompter.inform(kWrongPassword, kLoginErrorCaption);
        return LoginOutcome::Stay;
    }
    CurrentUser user = found.rights;
    user.name = name;
    user.password = password;
    user.level = found.user.level;
    setCurrent(user);
    return LoginOutcome::LoggedIn;
}

}  // namespace tovanix::users
