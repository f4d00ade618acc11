// Start-up steps that need no window: obtaining the database account and
// the database login dialog's OK logic.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "db/account.h"

namespace tovanix {

class Prompter;

inline constexpr const char* kProgramName = "Tovanix";
inline constexpr const char* kAlreadyRunning = "程序已经在运行，请勿重复登录";
inline constexpr const char* kAccountRefused = "数据库密码与账号不对";
inline constexpr const char* kCannotCreateDatabase = "不能建立TovanDatabase数据库";
inline constexpr const char* kCannotUseDatabase = "不能使用TovanDatabase数据库";

// The program's arguments: --headless, the export, backup and restore
// commands, --help, or (with the window) Qt's own options. --help prints the
// usage and ends with 0, a refused argument with kUsageStatus.
inline constexpr const char* kUsage =
    "usage: tovanix [Qt options such as -platform NAME]  the station with its window\n"
    "       tovanix --headless                           the station without a window, logging to standard error\n"
    "       tovanix export --line ID --address N --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\"\n"
    "                      --format csv|alarms|pdf|bmp --output PATH\n"
    "                                                    one device's readings of a span written to a file, no display\n"
    "                                                    needed (bmp: PNG when PATH ends in .png); exit 0 when written,\n"
    "                                                    1 no database, 2 bad arguments, 3 unknown device, 4 no readings,\n"
    "                                                    5 not written\n"
    "       tovanix backup PATH                          the database into the backup file PATH\n"
    "       tovanix restore PATH                         the backup file PATH into the database\n"
    "       tovanix --help                               this text\n";
inline constexpr int kUsageStatus = 2;
// The window without a display to show it on.
inline constexpr const char* kNoDisplay = "no display: run with --headless, or set DISPLAY";
inline constexpr int kNoDisplayStatus = 1;

// Steps 4 to 8 of start-up: look for the credentials file (in the station
// folder, as the caller passes it); when it is missing, call askDatabaseLogin (the database login dialog, which
// writes the file) and end with nullopt unless it returns true; then read the
// account from the file, leaving it scrambled. The account also becomes the
// process-wide one.
std::optional<db::Account> obtainAccount(const std::string& credentialsPath,
                                         const std::function<bool()>& askDatabaseLogin);

enum class DatabaseLoginResult {
    Accepted,    // file written, database created or its failure reported: the dialog ends with OK
    Refused,     // the server refused the account: file deleted, the dialog stays
    NotWritten,  // the credentials file could not be written: reported, the dialog stays
};

// "无法写入数据库账号文件 <path>" and "无法读取数据库账号文件 <path>".
std::string cannotWriteAccountFile(const std::string& path);
std::string cannotReadAccountFile(const std::string& path);

// OK of the database login dialog: the typed account becomes current, is
// written scrambled to credentialsPath, tried against the server, and the
// database is created. Messages go through the prompter. On a refusal
// selectPassword runs before the message, so the operator reads it with
// the password already selected.
DatabaseLoginResult acceptDatabaseLogin(Prompter& prompter, const std::string& credentialsPath,
                                        const db::Account& typed, const std::function<void()>& selectPassword = {});

inline constexpr const char* kDeleteDatabaseQuestion =
    "该操作会删除原数据库中的所有数据，仅作软件更新时使用！\r\n\r\n           执行该操作之前请做好数据备份！";
inline constexpr const char* kEnterCredentials = "请输入数据库用户名和密码";
inline constexpr const char* kWrongCredentials = "数据库密码与账号错误";
inline constexpr const char* kDatabaseDeleted = "成功删除数据库！";
inline constexpr const char* kDatabaseDeleteFailed = "删除数据库失败！";

enum class DeleteDatabaseResult {
    Cancelled,           // the operator did not confirm
    MissingCredentials,  // user name or password empty
    ConnectFailed,       // the server refused the account
    Deleted,             // the database is gone
    DeleteFailed,        // the drop statement failed
};

// The "删除旧数据库" button of the database login dialog, with its question
// and messages. The typed account becomes the current one. When the server
// refuses it, selectPassword (the dialog selecting its password field) runs
// before the message.
DeleteDatabaseResult deleteOldDatabase(Prompter& prompter, const db::Account& typed,
                                       const std::function<void()>& selectPassword = {});

}  // namespace tovanix
