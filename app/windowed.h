// The station with its window: refuses a second instance, attaches the
// skin, obtains the database account (asking for it when the station has
// none), lets the operator log in and runs the main window until the exit.
#pragma once

#include <functional>
#include <string>

namespace tovanix {
class Prompter;
}
namespace tovanix::platform {
class SingleInstance;
}

namespace tovanix::app {

enum class StartupResult {
    AlreadyRunning,     // "程序已经在运行，请勿重复登录" shown
    NoAccount,          // the database login dialog was left without OK
    AccountUnreadable,  // the credentials file is there but cannot be read: reported
    LoginCancelled,     // the user login was cancelled
    Stopped,            // a signal asked the station to end during a step
    Ready,              // the main window comes next
};

// The dialogs of the start-up, each returning its QDialog result.
struct StartupDialogs {
    std::function<int()> databaseLogin;  // only when there is no credentials file
    std::function<int()> userLogin;
    // Whether a signal asked for the end: checked after each step, since a
    // dialog may still end with OK after a signal cancelled it.
    std::function<bool()> stopRequested = {};
};

// Steps before the main window: the single-instance refusal, the skin, the
// account (asking when the credentials file is missing) and the user login.
// Refusals are also written to standard error.
StartupResult prepareStation(Prompter& prompter, const platform::SingleInstance& instance,
                             const std::string& credentialsPath, const StartupDialogs& dialogs);

// Returns the process exit status. SIGINT and SIGTERM must be blocked in the
// calling thread before any thread starts: they end the station in order
// (without the exit question), as a session that ends does.
int runWindowed(int argc, char** argv);

}  // namespace tovanix::app
