// The station program. "tovanix --headless" runs the engine without a window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

#include "app/headless.h"
#include "app/prompter.h"
#include "app/startup.h"
#include "platform/single_instance.h"

int main(int argc, char** argv) {
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else {
            std::fprintf(stderr, "usage: %s [--headless]\n", argv[0]);
            return 2;
        }
    }
    // Blocked before any thread starts, so every thread inherits the mask
    // and the main thread takes the signals with sigwait.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    tovanix::platform::SingleInstance instance(tovanix::kProgramName);
    if (!instance.acquired()) {
        tovanix::StderrPrompter prompter;
        prompter.inform(tovanix::kAlreadyRunning, tovanix::kProgramName);
        return 1;
    }
    if (headless) return tovanix::runHeadless();
    std::fprintf(stderr, "tovanix: the window is not built in this version; use --headless\n");
    return 2;
}
