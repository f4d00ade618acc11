// The delete-old-database operation: the only way to replace the schema of an
// older station version, since creation statements never alter a table.
#pragma once

#include <functional>
#include <string>

#include "db/account.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::db {

enum class DeleteDatabaseResult {
    Cancelled,           // the operator did not confirm
    MissingCredentials,  // user name or password empty
    ConnectFailed,       // the server refused the account
    Deleted,             // the database is gone
    DeleteFailed,        // the drop statement failed
};

inline constexpr const char* kDeleteDatabaseQuestion =
    "该操作会删除原数据库中的所有数据，仅作软件更新时使用！\r\n\r\n           执行该操作之前请做好数据备份！";
inline constexpr const char* kDeleteDatabaseCaption = "警告！";
inline constexpr const char* kEnterCredentials = "请输入数据库用户名和密码";
inline constexpr const char* kWrongCredentials = "数据库密码与账号错误";
inline constexpr const char* kConnectErrorCaption = "数据库连接错误";
inline constexpr const char* kDatabaseDeleted = "成功删除数据库！";
inline constexpr const char* kDatabaseDeleteFailed = "删除数据库失败！";
inline constexpr const char* kInfoCaption = "提示";

// Runs the whole operation with its question and messages. The typed
// account becomes the current one. When the server refuses it,
// selectPassword (the dialog selecting its password field) runs before the
// message.
DeleteDatabaseResult deleteOldDatabase(Prompter& prompter, const Account& typed,
                                       const std::function<void()>& selectPassword = {});

}  // namespace tovanix::db
