// The program folder (where the executable and its libraries and shipped
// pictures are) and the station folder (everything the program writes).
#pragma once

#include <string>

namespace tovanix::platform {

inline constexpr const char* kStationHomeEnv = "TOVANIX_HOME";

// Folder of the running executable, without a trailing slash.
std::string programFolder();
// $TOVANIX_HOME, else $XDG_DATA_HOME/tovanix, else ~/.local/share/tovanix.
// Not created.
std::string stationFolderPath();
// stationFolderPath(), created (mode 0700) when missing. Empty on failure.
std::string stationFolder();
// Folder for per-session runtime files (locks): $XDG_RUNTIME_DIR or /tmp.
std::string runtimeFolder();

}  // namespace tovanix::platform
