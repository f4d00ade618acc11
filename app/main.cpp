// The station program.
#include <cstdio>
#include <cstring>

#include "app/prompter.h"
#include "app/startup.h"
#include "platform/single_instance.h"

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    tovanix::platform::SingleInstance instance(tovanix::kProgramName);
    tovanix::StderrPrompter prompter;
    if (!instance.acquired()) {
        prompter.inform(tovanix::kAlreadyRunning, tovanix::kProgramName);
        return 1;
    }
    auto account = tovanix::obtainAccount([] { return false; });
    if (!account) {
        std::fprintf(stderr, "tovanix: no database account (credentials file missing or unreadable)\n");
        return 1;
    }
    return 0;
}
