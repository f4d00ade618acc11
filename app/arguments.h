// The program's arguments: --help, --headless, or Qt's own options, which
// QApplication takes out of argv, in the forms an operator may type them.
// They are read before anything needs a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tovanix::arguments {

enum class Mode {
    Window,    // the station with its window
    Headless,  // --headless
    Help,      // --help or -h: the usage, exit 0
    Refused,   // an argument understood by neither: the usage, exit 2
    Export,    // export --line ID --address N --from T --to T --format F --output PATH
    Backup,    // backup PATH: the database into a backup file
    Restore,   // restore PATH: a backup file into the database
};

// The options of "tovanix export" as typed; the export checks their values.
struct ExportOptions {
    std::string line, address, from, to, format, output;
};

inline constexpr const char* kBackupCommand = "backup";
inline constexpr const char* kRestoreCommand = "restore";

struct Command {
    Mode mode = Mode::Window;
    std::string refused;              // the first argument refused
    std::vector<std::string> qtArgs;  // for QApplication, values split (Window)
    std::string platform;             // named by -platform, empty when none
    ExportOptions exportOptions;      // Export
    std::string missingValue;         // Refused: the option given without its value
    std::string path;                 // the file of backup and restore
};

// Reads the arguments after the program name. --help wins over everything
// else; "export" first takes only its six options ("--line ID" or
// "--line=ID"); backup and restore exactly one (the file); --headless takes
// no other argument; the window takes Qt's options
// (those of every platform, the X11 ones included) and nothing more.
Command read(const std::vector<std::string>& args);

// Whether the window can come up: a display in the environment (DISPLAY,
// WAYLAND_DISPLAY), or a platform that needs none (offscreen, minimal,
// vnc ...) named by the arguments or, without one, by QT_QPA_PLATFORM. The
// pointers are the environment's values, nullptr when unset.
bool displayAvailable(const std::string& platformArgument, const char* display, const char* waylandDisplay,
                      const char* qpaPlatform);

// "-platform=X" and "--platform=X" (and the other options of the platform
// layer that take a value) as the two arguments QApplication reads; the
// widget options such as -style=X are understood by Qt as they are.
std::vector<std::string> splitQtValues(const std::vector<std::string>& args);

// The first argument QApplication left that is not an option of another
// windowing platform (-display X under Wayland, -geometry X offscreen ...);
// nullopt when every one is.
std::optional<std::string> firstUnknown(const std::vector<std::string>& leftover);

}  // namespace tovanix::arguments
