// The station program: with its window by default, "tovanix --headless"
// runs the engine without one, "tovanix export" writes a file of readings,
// "tovanix backup|restore PATH" save and load the database, "tovanix --help"
// prints the usage.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/export_command.h"
#include "app/backup_command.h"
#include "app/headless.h"
#include "platform/prompter.h"
#include "app/startup.h"
#include "platform/single_instance.h"
#ifdef TOVANIX_WITH_WINDOW
#include "app/export_offscreen.h"
#include "app/windowed.h"
#endif

int main(int argc, char** argv) {
    // The arguments are read before anything touches a display: --help and a
    // refusal need none, and Qt would abort without one.
    const tovanix::arguments::Command command =
        tovanix::arguments::read(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.mode) {
        case tovanix::arguments::Mode::Help:
            std::fputs(tovanix::kUsage, stdout);
            return 0;
        case tovanix::arguments::Mode::Refused:
            if (!command.missingValue.empty()) {
                std::fprintf(stderr, "tovanix: %s needs a value\n%s", command.missingValue.c_str(), tovanix::kUsage);
            } else {
                std::fprintf(stderr, "tovanix: unknown argument %s\n%s", command.refused.c_str(), tovanix::kUsage);
            }
            return tovanix::kUsageStatus;
        case tovanix::arguments::Mode::Export:
#ifdef TOVANIX_WITH_WINDOW
            return tovanix::app::runExportOffscreen(command.exportOptions, argv[0]);
#else
            return tovanix::runExportCommand(command.exportOptions, {});
#endif
        case tovanix::arguments::Mode::Backup:
        case tovanix::arguments::Mode::Restore:
            // No display; a backup runs beside the station (a nightly job),
            // a restore only while no station runs.
            return tovanix::runBackupCommand(command.mode == tovanix::arguments::Mode::Restore, command.path);
        case tovanix::arguments::Mode::Window:
        case tovanix::arguments::Mode::Headless:
            break;
    }
    const bool headless = command.mode == tovanix::arguments::Mode::Headless;

    // Blocked before any thread starts, so every thread inherits the mask:
    // the headless runner takes the signals with sigwait, the window reads
    // them from a descriptor.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    if (!headless) {
#ifdef TOVANIX_WITH_WINDOW
        if (!tovanix::arguments::displayAvailable(command.platform, std::getenv("DISPLAY"),
                                                  std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"))) {
            std::fprintf(stderr, "tovanix: %s\n", tovanix::kNoDisplay);
            return tovanix::kNoDisplayStatus;
        }
        // QApplication takes its own options out of this copy.
        std::vector<std::string> qtArgs = command.qtArgs;
        std::vector<char*> qtArgv{argv[0]};
        for (std::string& a : qtArgs) qtArgv.push_back(a.data());
        const int qtArgc = static_cast<int>(qtArgv.size());
        qtArgv.push_back(nullptr);
        return tovanix::app::runWindowed(qtArgc, qtArgv.data());
#else
        std::fprintf(stderr, "tovanix: built without the window; use --headless\n");
        return tovanix::kUsageStatus;
#endif
    }
    tovanix::platform::SingleInstance instance(tovanix::kProgramName);
    if (!instance.acquired()) {
        tovanix::StderrPrompter prompter;
        prompter.inform(tovanix::kAlreadyRunning, tovanix::kProgramName);
        return 1;
    }
    return tovanix::runHeadless();
}
