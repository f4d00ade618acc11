#include "app/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/credentials.h"
#include "platform/prompter.h"
#include "db/connection.h"
#include "db/maintenance.h"
#include "db/schema.h"

namespace tovanix {

std::optional<db::Account> obtainAccount(const std::string& path, const std::function<bool()>& askDatabaseLogin) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (!askDatabaseLogin || !askDatabaseLogin()) return std::nullopt;
    }
    credentials::Loaded loaded = credentials::load(path);
    if (loaded.state != credentials::LoadState::Loaded) return std::nullopt;
    return loaded.account;
}

std::string cannotWriteAccountFile(const std::string& path) {
    return "无法写入数据库账号文件 " + path;
}

std::string cannotReadAccountFile(const std::string& path) {
    return "无法读取数据库账号文件 " + path;
}

DatabaseLoginResult acceptDatabaseLogin(Prompter& prompter, const std::string& path, const db::Account& typed,
                                        const std::function<void()>& selectPassword) {
    db::setAccount(typed);
    if (!credentials::writeFile(path, typed)) {
        // A part written (disk full) would be read as an account next time;
        // unlink leaves a directory of that name alone.
        ::unlink(path.c_str());
        prompter.inform(cannotWriteAccountFile(path), kCaptionDatabaseLogin);
        return DatabaseLoginResult::NotWritten;
    }
    db::Connection c;
    if (!c.open(typed, false)) {
        ::unlink(path.c_str());
        if (selectPassword) selectPassword();
        prompter.inform(kAccountRefused, kCaptionDatabaseLogin);
        return DatabaseLoginResult::Refused;
    }
    if (!c.exec(db::schema::kCreateDatabase)) {
        prompter.inform(kCannotCreateDatabase, kCaptionDatabaseLogin);
    } else if (!c.exec(db::kUseDatabase)) {
        prompter.inform(kCannotUseDatabase, kCaptionDatabaseLogin);
    }
    return DatabaseLoginResult::Accepted;
}

DeleteDatabaseResult deleteOldDatabase(Prompter& prompter, const db::Account& typed,
                                       const std::function<void()>& selectPassword) {
    if (prompter.ask(kDeleteDatabaseQuestion, kCaptionDanger, PromptIcon::Warning, PromptButtons::OkCancel) !=
        PromptAnswer::Ok) {
        return DeleteDatabaseResult::Cancelled;
    }
    if (typed.user.empty() || typed.password.empty()) {
        prompter.inform(kEnterCredentials, kCaptionInfo);
        return DeleteDatabaseResult::MissingCredentials;
    }
    db::setAccount(typed);
    switch (db::dropStationDatabase(typed)) {
    case db::DropDatabaseResult::ConnectFailed:
        if (selectPassword) selectPassword();
        prompter.inform(kWrongCredentials, kCaptionDatabaseLogin);
        return DeleteDatabaseResult::ConnectFailed;
    case db::DropDatabaseResult::Dropped:
        prompter.inform(kDatabaseDeleted, kCaptionInfo);
        return DeleteDatabaseResult::Deleted;
    case db::DropDatabaseResult::DropFailed:
        break;
    }
    prompter.inform(kDatabaseDeleteFailed, kCaptionInfo);
    return DeleteDatabaseResult::DeleteFailed;
}

}  // namespace tovanix
