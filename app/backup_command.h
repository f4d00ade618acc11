// "tovanix backup PATH" and "tovanix restore PATH": the database saved to or
// loaded from a backup file with the station's account, for nightly jobs
// and terminals; no display needed.
#pragma once

#include <string>

namespace tovanix {

// Returns the exit status: 0 only when the dump or the load succeeded.
int runBackupCommand(bool restore, const std::string& path);

}  // namespace tovanix
