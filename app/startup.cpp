#include "app/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/credentials.h"
#include "app/prompter.h"
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
        prompter.inform(cannotWriteAccountFile(path), db::kConnectErrorCaption);
        return DatabaseLoginResult::NotWritten;
    }
    db::Connection c;
    if (!c.open(typed, false)) {
        ::unlink(path.c_str());
        if (selectPassword) selectPassword();
        prompter.inform(kAccountRefused, db::kConnectErrorCaption);
        return DatabaseLoginResult::Refused;
    }
    if (!c.exec(db::schema::kCreateDatabase)) {
        prompter.inform(kCannotCreateDatabase, db::kConnectErrorCaption);
    } else if (!c.exec(db::kUseDatabase)) {
        prompter.inform(kCannotUseDatabase, db::kConnectErrorCaption);
    }
    return DatabaseLoginResult::Accepted;
}

}  // namespace tovanix
