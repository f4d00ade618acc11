#include "users/edit_user.h"

#include <cctype>

#include "platform/prompter.h"
#include "platform/format.h"
#include "users/current_user.h"
#include "users/user_store.h"

namespace tovanix::users {

namespace {

EditUserOutcome stay(Prompter& p, const char* text, const char* caption, EditField focus) {
    p.inform(text, caption);
    return {false, focus};
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

EditUserOutcome submitEditUser(Prompter& p, const EditUserInput& in) {
    const CurrentUser me = current();
    const bool nameChanged = in.name != me.name;
    const bool passwordChanged = in.newPassword != me.password;
    const bool newPasswordTyped = !in.newPassword.empty();

    if (!nameChanged && !passwordChanged) return {true, EditField::None};

    if (nameChanged && in.name.empty()) return stay(p, kNameEmpty, kNameCaption, EditField::Name);
    if (in.oldPassword.empty()) return stay(p, kOldPasswordEmpty, kOldPasswordCaption, EditField::OldPassword);
    if (in.oldPassword != me.password) return stay(p, kOldPasswordWrong, kOldPasswordCaption, EditField::OldPassword);

    const bool changePassword = passwordChanged && (!nameChanged || newPasswordTyped);
    if (changePassword) {
        if (!newPasswordTyped) return stay(p, kNewPasswordEmpty, kNewPasswordCaption, EditField::NewPassword);
        if (in.repeatPassword != in.newPassword) {
            return stay(p, kRepeatDiffers, kNewPasswordCaption, EditField::NewPassword);
        }
    }

    if (nameChanged) {
        std::optional<bool> exists = userExists(in.name);
        if (!exists) return {true, EditField::None};  // no connection: close, nothing changed
        // A case-only change finds the user himself.
        if (*exists && !sameNameIgnoringCase(in.name, me.name)) {
            p.inform(platform::format(kNameExistsFormat, in.name.c_str()), kCaptionInfo);
            return {false, EditField::Name};
        }
    }

    db::StoreResult r;
    const char* done;
    const char* failed;
    std::string newPassword = me.password;
    if (nameChanged && changePassword) {
        r = updateNameAndPassword(in.name, in.newPassword, me.name, me.password);
        done = kNameAndPasswordChanged;
        failed = kNameAndPasswordFailed;
        newPassword = in.newPassword;
    } else if (nameChanged) {
        r = updateName(in.name, me.name, me.password);
        done = kNameChanged;
        failed = kNameFailed;
    } else {
        r = updatePassword(in.newPassword, me.name, me.password);
        done = kPasswordChanged;
        failed = kPasswordFailed;
        newPassword = in.newPassword;
    }
    if (r == db::StoreResult::ConnectFailed) return {true, EditField::None};
    if (r == db::StoreResult::Failed) {
        p.inform(failed, kCaptionInfo);
        return {false, EditField::None};
    }
    updateCurrentAccount(nameChanged ? in.name : me.name, newPassword);
    p.inform(done, kCaptionInfo);
    return {true, EditField::None};
}

}  // namespace tovanix::users
