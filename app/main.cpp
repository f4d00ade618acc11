// The station program: with its window by default, "tovanix --headless"
// runs the engine without one.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/headless.h"
#include "platform/prompter.h"
#include "app/startup.h"
#include "platform/single_instance.h"
#ifdef TOVANIX_WITH_WINDOW
#include "app/windowed.h"
#endif

int main(int argc, char** argv) {
    // --headless is ours; the rest is left to QApplication, which takes its
    // own options (-platform X, -style X ...) and leaves the unknown ones for
    // the window to refuse.
    bool headless = false;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else {
            rest.emplace_back(argv[i]);
        }
    }
    if (headless && !rest.empty()) {
        std::fprintf(stderr, "tovanix: unknown argument %s\n%s", rest.front().c_str(), tovanix::kUsage);
        return tovanix::kUsageStatus;
    }
    rest = tovanix::arguments::splitQtValues(rest);
    std::vector<char*> qtArgv{argv[0]};
    for (std::string& a : rest) qtArgv.push_back(a.data());
    const int qtArgc = static_cast<int>(qtArgv.size());
    qtArgv.push_back(nullptr);

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
        return tovanix::app::runWindowed(qtArgc, qtArgv.data());
#else
        (void)qtArgc;
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
