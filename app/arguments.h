// The program's arguments beside --headless: Qt's own options, which
// QApplication takes out of argv, in the forms an operator may type them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tovanix::arguments {

// "-platform=X" and "--platform=X" (and the other options of the platform
// layer that take a value) as the two arguments QApplication reads; the
// widget options such as -style=X are understood by Qt as they are.
std::vector<std::string> splitQtValues(const std::vector<std::string>& args);

// The first argument QApplication left that is not an option of another
// windowing platform (-display X under Wayland, -geometry X offscreen ...);
// nullopt when every one is.
std::optional<std::string> firstUnknown(const std::vector<std::string>& leftover);

}  // namespace tovanix::arguments
