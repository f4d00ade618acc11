// The statements of renaming tree nodes. Each opens its own connection.
#pragma once

#include <string>

namespace tovanix::app {

enum class RenameResult { ConnectFailed, Failed, Done };

RenameResult renameSystem(const std::string& name);
RenameResult renameLine(int lineid, const std::string& name);
RenameResult renameGroup(int roomid, int lineid, const std::string& name);
RenameResult renameDevice(int deviceid, int lineid, const std::string& name);

}  // namespace tovanix::app
