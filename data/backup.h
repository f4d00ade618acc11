// Database backup and restore through the server's own client programs:
// mariadb-dump writes the dump, mariadb loads it. Both are started without a
// shell, with the account in an option file they read from a pipe (never on
// a command line or on disk), and waited for; only their exit status says
// whether it worked.
//
// A backup file ("*.drelk") is the dump of TovanDatabase scrambled as the
// credentials file is (platform/scramble.h). The window, the data-centre page
// and the command line share this module; it needs no display.
#pragma once

#include <string>

#include "db/account.h"

namespace tovanix::data::backup {

inline constexpr const char* kDumpProgram = "mariadb-dump";
inline constexpr const char* kLoadProgram = "mariadb";
inline constexpr const char* kDefaultFileName = "TovanPro.drelk";
inline constexpr const char* kExtension = "drelk";

// Errors of our own (the client programs' own texts are passed on as they are).
inline constexpr const char* kProgramNotFound = "找不到程序 %s";
inline constexpr const char* kNotABackup = "%s 不是数据库备份文件，或已损坏（不完整）";
inline constexpr const char* kCannotRead = "无法读取 %s：%s";
inline constexpr const char* kCannotWrite = "无法写入 %s：%s";
inline constexpr const char* kCannotStart = "无法启动 %s：%s";
inline constexpr const char* kExitStatus = "%s 以状态 %d 结束";
inline constexpr const char* kKilled = "%s 被信号 %d 终止";
inline constexpr const char* kPartlyLoaded = "数据库只还原了一部分";

struct Job {
    db::Account account;
    db::ServerAddress server;
    // Folder of mariadb-dump and mariadb; empty: found on PATH.
    std::string clientFolder;
};

struct Outcome {
    bool ok = false;
    std::string error;  // what went wrong, the client program's own words when it said any
};

// The program's full path in `folder`, or on PATH when the folder is empty;
// empty when there is no such executable.
std::string findProgram(const std::string& name, const std::string& folder);

// Dumps the database to a temporary file beside `path`, scrambles it and
// puts it in the place of `path` only when everything succeeded: a failed
// backup leaves an earlier file of that name as it was.
Outcome backupTo(const std::string& path, const Job& job);

// Whether `path` is a complete backup file (trailer, and a dump from its
// first line to its last); reads it only.
Outcome checkBackupFile(const std::string& path);

// Checks the file and reads it through once, then loads it into the
// database (created when missing), unscrambling on the way: the file itself
// is only read.
Outcome restoreFrom(const std::string& path, const Job& job);

}  // namespace tovanix::data::backup
