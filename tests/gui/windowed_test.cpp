// The windowed start-up in this process, dialogs driven from its event
// loop: a signal that arrives while the main window is being built (its
// "无法打开数据库" message open, no window to stop yet) still ends the
// station in order.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <unistd.h>

#include "app/credentials.h"
#include "app/windowed.h"
#include "tests/support/test_db.h"
#include "users/user_login_dialog.h"

namespace tovanix::test {
namespace {

constexpr int kDriverPollMs = 20;
constexpr int kDeadlineMs = 60000;
constexpr int kTimedOut = 99;  // exit status the watchdog ends the station with

// What the driver has done so far; read by the test after the run.
struct Drive {
    bool loggedIn = false;
    bool signalled = false;
};
Drive drive;

QMessageBox* visibleBox(const QString& text) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box != nullptr && box->isVisible() && box->text() == text) return box;
    }
    return nullptr;
}

// Acts as the operator: logs in (the database refuses the account, so the
// login ends with OK after its message), then signals the process while the
// main window shows "无法打开数据库". A watchdog ends a station that does not stop.
void driveDialogs() {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [] {
        // Clicks run after this slot: what they open runs its own event loop,
        // and this timer does not fire again inside its own slot.
        if (auto* login = qobject_cast<users::CUserLogin*>(QApplication::activeModalWidget());
            login != nullptr && !drive.loggedIn) {
            drive.loggedIn = true;
            login->passwordEdit()->setText(QStringLiteral("582046"));
            QMetaObject::invokeMethod(login->okButton(), &QPushButton::click, Qt::QueuedConnection);
            return;
        }
        if (QMessageBox* box = visibleBox(QStringLiteral("数据库打开失败"))) {
            QMetaObject::invokeMethod(box->buttons().front(), &QAbstractButton::click, Qt::QueuedConnection);
            return;
        }
        if (visibleBox(QStringLiteral("无法打开数据库")) != nullptr && !drive.signalled) {
            drive.signalled = true;
            pthread_kill(pthread_self(), SIGTERM);  // blocked: read by the station's descriptor
        }
    });
    poll->start(kDriverPollMs);
    QTimer::singleShot(kDeadlineMs, qApp, [] { QCoreApplication::exit(kTimedOut); });
}

// Runs when the station makes its QApplication; the timers start with its
// first event loop.
void onApplication() {
    QMetaObject::invokeMethod(qApp, &driveDialogs, Qt::QueuedConnection);
}

class WindowedTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        std::string templ = (std::filesystem::temp_directory_path() / "tovanix-windowed.XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        // A station folder and a lock of its own.
        std::filesystem::create_directories(dir_ + "/home");
        std::filesystem::create_directories(dir_ + "/run");
        std::filesystem::permissions(dir_ + "/run", std::filesystem::perms::owner_all);
        ::setenv("TOVANIX_HOME", (dir_ + "/home").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    std::string dir_;
};

TEST_F(WindowedTest, SignalWhileTheWindowIsBuiltStopsTheStation) {
    // An account the server refuses: the login passes with its message and
    // the window meets "无法打开数据库" while it is built.
    const db::Account good = testServer().account;
    ASSERT_TRUE(credentials::writeFile(credentials::pathInStationFolder(), {good.user, good.password + "x"}));
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &set, nullptr), 0);
    qAddPreRoutine(onApplication);

    char name[] = "tovanix";
    char* argv[] = {name, nullptr};
    const int status = app::runWindowed(1, argv);
    EXPECT_TRUE(drive.loggedIn);
    EXPECT_TRUE(drive.signalled);
    EXPECT_EQ(status, 0) << "the station went on after the signal";
    db::setAccount(good);
}

}  // namespace
}  // namespace tovanix::test
