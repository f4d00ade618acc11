// Writing a whole file so that it either exists complete or not at all: the
// bytes go to a temporary file beside the target, are flushed to the disk,
// and only then take the target's name. A full disk or a folder without
// write permission leaves no partial file and says why.
#pragma once

#include <string>
#include <string_view>

namespace tovanix::platform {

// Empty on success, else what failed (the path and the system's reason).
std::string writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tovanix::platform
