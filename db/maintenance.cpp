#include "db/maintenance.h"

#include "app/prompter.h"
#include "db/connection.h"
#include "db/schema.h"

namespace tovanix::db {

DeleteDatabaseResult deleteOldDatabase(Prompter& prompter, const Account& typed,
                                       const std::function<void()>& selectPassword) {
    if (prompter.ask(kDeleteDatabaseQuestion, kDeleteDatabaseCaption, PromptIcon::Warning, PromptButtons::OkCancel) !=
        PromptAnswer::Ok) {
        return DeleteDatabaseResult::Cancelled;
    }
    if (typed.user.empty() || typed.password.empty()) {
        prompter.inform(kEnterCredentials, kInfoCaption);
        return DeleteDatabaseResult::MissingCredentials;
    }
    setAccount(typed);
    Connection c;
    if (!c.open(typed, false)) {
        if (selectPassword) selectPassword();
        prompter.inform(kWrongCredentials, kConnectErrorCaption);
        return DeleteDatabaseResult::ConnectFailed;
    }
    c.exec(schema::kCreateDatabase);
    c.exec(kUseDatabase);
    bool dropped = c.exec("drop database TovanDatabase");
    prompter.inform(dropped ? kDatabaseDeleted : kDatabaseDeleteFailed, kInfoCaption);
    return dropped ? DeleteDatabaseResult::Deleted : DeleteDatabaseResult::DeleteFailed;
}

}  // namespace tovanix::db
