// What the backup and restore buttons say, without a window: the question
// before a restore and the messages after either. The work itself is
// data/backup.h; the dialogs run it off the user-interface thread and hand
// its outcome here.
#pragma once

#include <string>

#include "data/backup.h"

namespace tovanix {
class Prompter;
}

namespace tovanix::data::backup {

inline constexpr const char* kBackupTitle = "数据库备份与还原";
inline constexpr const char* kBackupGroup = "数据库备份和还原";
inline constexpr const char* kProgramFolderFrame = "mariadb-dump所在目录";
inline constexpr const char* kChangeButton = "更改";
inline constexpr const char* kBackupButton = "备份";
inline constexpr const char* kRestoreButton = "还原";
inline constexpr const char* kFileFilter = "数据库文件(*.drelk)";
inline constexpr const char* kBackingUp = "正在备份数据库……";
inline constexpr const char* kRestoring = "正在还原数据库……";

inline constexpr const char* kBackupDone = "数据库备份成功，备份文件保存在 %s";
inline constexpr const char* kBackupFailed = "未成功备份数据库！请重试";
inline constexpr const char* kRestoreQuestion = "现有数据将被备份替换，确定要恢复备份？";
inline constexpr const char* kRestoreDone = "数据库还原成功，请重启软件";
inline constexpr const char* kRestoreFailed = "未成功还原数据库，请重试";

// The account and server of this run, with the folder of the client programs.
Job currentJob(const std::string& clientFolder);

// The file name with the extension added when the operator left it out.
std::string withExtension(const std::string& path);

// True when the operator answered OK to the restore question.
bool confirmRestore(Prompter& prompter);
// The message after a backup to `path` or a restore; failures carry the
// client program's own words on a second line.
void reportBackup(Prompter& prompter, const std::string& path, const Outcome& outcome);
void reportRestore(Prompter& prompter, const Outcome& outcome);

// The folder of the client programs chosen with "更改" for this run (the
// dialog and the page share it); empty: found on PATH.
void setClientFolder(const std::string& folder);
std::string clientFolder();
// What the disabled edit shows: the chosen folder, or where PATH finds
// mariadb-dump (empty when nowhere).
std::string shownClientFolder();

// One backup or restore at a time in this process (the dialog and the data
// page share it): true when this call took the turn.
bool beginRun();
void endRun();
bool running();

}  // namespace tovanix::data::backup
