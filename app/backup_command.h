// "tovanix backup PATH" and "tovanix restore PATH": the database saved to or
// loaded from a backup file with the station's account, for nightly jobs
// and terminals; no display needed.
#pragma once

#include <string>

namespace tovanix {

// A restore while a station runs on this account: its scans would store
// into the database the load replaces.
inline constexpr const char* kRestoreWhileStationRuns = "监控软件正在运行，请先退出软件再还原数据库";

// Returns the exit status: 0 only when the dump or the load succeeded; 1
// also when a restore is refused because a station runs.
int runBackupCommand(bool restore, const std::string& path);

}  // namespace tovanix
