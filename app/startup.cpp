#include "app/startup.h"

#include <cstdio>
#include <sys/stat.h>

#include "app/credentials.h"
#include "app/prompter.h"
#include "db/connection.h"
#include "db/maintenance.h"
#include "db/schema.h"

namespace tovanix {

std::optional<db::Account> obtainAccount(const std::function<bool()>& askDatabaseLogin) {
    return obtainAccount(credentials::pathInStationFolder(), askDatabaseLogin);
}

std::optional<db::Account> obtainAccount(const std::string& path, const std::function<bool()>& askDatabaseLogin) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (!askDatabaseLogin || !askDatabaseLogin()) return std::nullopt;
    }
    credentials::Loaded loaded = credentials::load(path);
    if (loaded.state != credentials::LoadState::Loaded) return std::nullopt;
    return loaded.account;
}

DatabaseLoginResult acceptDatabaseLogin(Prompter& prompter, const std::string& path, const db::Account& typed) {
    db::setAccount(typed);
    credentials::writeFile(path, typed);
    db::Connection c;
    if (!c.open(typed, false)) {
        std::remove(path.c_str());
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
