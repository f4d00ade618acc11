#include "app/backup_command.h"

#include <cstdio>

#include "app/credentials.h"
#include "app/startup.h"
#include "data/backup_actions.h"
#include "platform/paths.h"
#include "platform/prompter.h"
#include "platform/single_instance.h"

namespace tovanix {

int runBackupCommand(bool restore, const std::string& path) {
    // The account as the station without a window reads it.
    if (platform::stationFolder().empty()) {
        std::fprintf(stderr, "tovanix: cannot create the station folder %s\n", platform::stationFolderPath().c_str());
        return 1;
    }
    const std::string account = credentials::pathInStationFolder();
    const credentials::Loaded loaded = credentials::load(account);
    if (loaded.state != credentials::LoadState::Loaded) {
        std::fprintf(stderr, "tovanix: no database account: %s %s\n", account.c_str(),
                     loaded.state == credentials::LoadState::Unreadable ? "cannot be read" : "is missing");
        return 1;
    }
    // No question before a restore: whoever typed the command asked for it.
    const data::backup::Job job = data::backup::currentJob({});
    StderrPrompter prompter;
    if (restore) {
        // The station's single-instance lock, held for the load: a running
        // station refuses the restore, and one started meanwhile is refused.
        const platform::SingleInstance instance(kProgramName);
        if (!instance.acquired()) {
            prompter.inform(kRestoreWhileStationRuns, kProgramName, PromptIcon::Warning);
            return 1;
        }
        const data::backup::Outcome o = data::backup::restoreFrom(path, job);
        data::backup::reportRestore(prompter, o);
        return o.ok ? 0 : 1;
    }
    const data::backup::Outcome o = data::backup::backupTo(path, job);
    data::backup::reportBackup(prompter, path, o);
    return o.ok ? 0 : 1;
}

}  // namespace tovanix
