#include "app/windowed.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

#include "app/arguments.h"
#include "app/credentials.h"
#include "app/main_window.h"
#include "app/sql_login_dialog.h"
#include "app/startup.h"
#include "devices/engine.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "users/user_login_dialog.h"
#include "widgets/qt_prompter.h"
#include "widgets/skin.h"

namespace tovanix::app {

namespace {

void logLine(const std::string& line) {
    std::fprintf(stderr, "tovanix: %s\n", line.c_str());
}

// SIGINT and SIGTERM (blocked since main) read from a descriptor on the UI
// thread.
class SignalWatch {
public:
    SignalWatch() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~SignalWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;
    int fd() const { return fd_; }
    void drain() const {
        signalfd_siginfo info{};
        while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
    }

private:
    int fd_ = -1;
};

}  // namespace

StartupResult prepareStation(Prompter& prompter, const platform::SingleInstance& instance,
                             const std::string& credentialsPath, const StartupDialogs& dialogs) {
    const auto stopRequested = [&] { return dialogs.stopRequested && dialogs.stopRequested(); };
    if (!instance.acquired()) {
        logLine("another station is running (" + instance.lockPath() + ")");
        prompter.inform(kAlreadyRunning, kProgramName);
        return StartupResult::AlreadyRunning;
    }
    widgets::SkinH_Attach();
    bool cancelled = false;
    const auto account = obtainAccount(credentialsPath, [&] {
        cancelled = dialogs.databaseLogin() != QDialog::Accepted;
        return !cancelled;
    });
    if (stopRequested()) return StartupResult::Stopped;
    if (cancelled) return StartupResult::NoAccount;
    if (!account) {
        logLine("cannot read the database account file " + credentialsPath);
        prompter.inform(cannotReadAccountFile(credentialsPath), kCaptionDatabaseLogin);
        return StartupResult::AccountUnreadable;
    }
    const bool loggedIn = dialogs.userLogin() == QDialog::Accepted;
    if (stopRequested()) return StartupResult::Stopped;
    return loggedIn ? StartupResult::Ready : StartupResult::LoginCancelled;
}

namespace {

int exitStatus(StartupResult r) {
    switch (r) {
        case StartupResult::AlreadyRunning:
        case StartupResult::AccountUnreadable:
            return 1;
        case StartupResult::NoAccount:
        case StartupResult::LoginCancelled:
        case StartupResult::Stopped:
        case StartupResult::Ready:
            break;
    }
    return 0;
}

}  // namespace

int runWindowed(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication took its own options out of argv; what is left is refused
    // unless another windowing platform would have taken it.
    if (const auto unknown = arguments::firstUnknown(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "tovanix: unknown argument %s\n%s", unknown->c_str(), kUsage);
        return kUsageStatus;
    }
    // Statements format floats with "%f": the decimal point stays a dot
    // whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QString::fromUtf8(kProgramName));
    // The window may rest hidden in the notification area while a message
    // box comes and goes: the program ends when the station stops, not when
    // the last visible window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // A signal ends the station in order wherever it is: open dialogs and
    // message boxes are cancelled, a running station stops its engine first.
    SignalWatch watch;
    QSocketNotifier notifier(watch.fd(), QSocketNotifier::Read);
    CTovanixDlg* running = nullptr;
    bool stopRequested = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        watch.drain();
        logLine("signal: stopping");
        stopRequested = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
        }
        if (running != nullptr) running->stopAndClose();
    });

    widgets::QtPrompter prompter;
    platform::SingleInstance instance(kProgramName);
    if (platform::stationFolder().empty()) {
        logLine("cannot create the station folder " + platform::stationFolderPath());
        return 1;
    }
    const std::string path = credentials::pathInStationFolder();
    // The dialogs are made when they are shown, after the skin.
    const StartupResult ready = prepareStation(prompter, instance, path,
                                               {[&] {
                                                    CSqlLogin sqlLogin(prompter, path);
                                                    return sqlLogin.exec();
                                                },
                                                [&] {
                                                    users::CUserLogin login(prompter);
                                                    return login.exec();
                                                },
                                                [&] { return stopRequested; }});
    if (ready != StartupResult::Ready) return exitStatus(ready);

    devices::Engine engine;
    engine.setLog(logLine);
    CTovanixDlg window(engine, prompter);
    // A signal during the opening's message boxes found no window to stop.
    if (stopRequested) {
        window.stopAndClose();
        return 0;
    }
    prompter.setParent(&window);
    running = &window;
    QObject::connect(&window, &CTovanixDlg::stationStopped, &app, &QApplication::quit, Qt::QueuedConnection);
    window.showMaximized();
    const int status = QApplication::exec();
    running = nullptr;
    return status;
}

}  // namespace tovanix::app
