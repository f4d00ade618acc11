// The station program: with its window by default, "tovanix --headless"
// runs the engine without one.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

#include "app/headless.h"
#include "app/prompter.h"
#include "app/startup.h"
#include "platform/single_instance.h"
#ifdef TOVANIX_WITH_WINDOW
#include "app/windowed.h"
#endif

int main(int argc, char** argv) {
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strncmp(argv[i], "-platform", 9) == 0 || std::strncmp(argv[i], "--platform", 10) == 0) {
            ++i;  // Qt's own option and its value
        } else {
            std::fprintf(stderr, "usage: %s [--headless]\n", argv[0]);
            return 2;
        }
    }
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
        return tovanix::app::runWindowed(argc, argv);
#else
        std::fprintf(stderr, "tovanix: built without the window; use --headless\n");
        return 2;
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
