#include "users/user_manage.h"

#include "platform/encoding.h"
#include "platform/format.h"
#include "platform/prompter.h"
#include "users/current_user.h"

namespace tovanix::users {

namespace {
constexpr const char* kRootName = "root";
constexpr int kCompanyInfoGranted = 1;
}  // namespace

AddUserOutcome submitAddUser(Prompter& p, const std::string& name, const std::string& password,
                             const std::string& confirm, int level) {
    if (name.empty()) {
        p.inform(kNameEmpty, kCaptionApplication);
        return {false, UserField::Name};
    }
    if (platform::utf8Length(name) > static_cast<std::size_t>(kMaxUserNameLength)) {
        p.inform(kNameTooLong, kCaptionApplication);
        return {false, UserField::Name};
    }
    if (password.empty()) {
        p.inform(kPasswordEmpty, kCaptionApplication);
        return {false, UserField::Password};
    }
    if (password != confirm) {
        p.inform(kPasswordsDiffer, kCaptionApplication);
        return {false, UserField::Confirm};
    }
    const UserInsert in = insertUser(name, password, level);
    if (in.result == db::StoreResult::ConnectFailed) return {};
    if (in.exists) {
        p.inform(platform::format(kUserExists, name.c_str()), kCaptionApplication);
        return {false, UserField::Name};
    }
    if (in.result != db::StoreResult::Done) {
        p.inform(kUserAddFailed, kCaptionApplication);
        return {};
    }
    p.inform(kUserAdded, kCaptionApplication);
    return {true, UserField::None};
}

UserDeletion deleteUsers(Prompter& p, const std::vector<ListedUser>& selected) {
    UserDeletion out;
    for (const ListedUser& u : selected) {
        if (u.name == kRootName) {
            p.inform(kRootNotDeleted, kCaptionInfo);
            break;
        }
        if (p.ask(platform::format(kDeleteUserAsk, u.name.c_str()), kCaptionConfirm, PromptIcon::Warning,
                  PromptButtons::OkCancel) != PromptAnswer::Ok)
            break;
        if (deleteUser(u.id) != db::StoreResult::Done) {
            p.inform(kUserDeleteFailed, kCaptionInfo);
            continue;
        }
        p.inform(kUserDeleted, kCaptionInfo);
        UserList list = listUsers();
        out.changed = true;
        out.users = std::move(list.users);
    }
    return out;
}

bool saveLevelRights(Prompter& p, int level, const std::array<int, 6>& rights, int setting) {
    RightFlags flags{};
    for (std::size_t i = 0; i < rights.size(); ++i) flags[i] = rights[i];
    flags[kSetting] = setting;
    flags[kCompanyInfo] = kCompanyInfoGranted;
    if (saveRights(level, flags) == db::StoreResult::Done) return true;
    p.inform(kRightsSaveFailed, kCaptionInfo);
    return false;
}

RootPasswordOutcome changeRootPassword(Prompter& p, const std::string& oldPassword, const std::string& newPassword,
                                       const std::string& repeat) {
    if (oldPassword.empty() || newPassword.empty() || repeat.empty()) {
        p.inform(kPasswordEmpty, kCaptionInfo);
        return {};
    }
    if (newPassword != repeat) {
        p.inform(kNewPasswordsDiffer, kNewPasswordLabel);
        return {false, UserField::NewPassword};
    }
    if (oldPassword != current().password) {
        p.inform(kOldPasswordWrong, kOldPasswordLabel);
        return {false, UserField::OldPassword};
    }
    if (setRootPassword(newPassword) != db::StoreResult::Done) {
        p.inform(kPasswordChangeFailed, kCaptionInfo);
        return {};
    }
    updateCurrentAccount(current().name, newPassword);
    return {true, UserField::None};
}

}  // namespace tovanix::users
