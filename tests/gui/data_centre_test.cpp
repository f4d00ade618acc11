// The data centre through the window: the 数据中心 tab's back-fill of chosen
// loggers from the simulator with each job's status, the DatabaseManage
// right greying its controls and the menu item, CBackup's backup and restore
// with the real client programs, and the lost-record dialog counting down to
// its own download at start.
#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>

#include "app/commands.h"
#include "app/main_window.h"
#include "config/system_set_dialog.h"
#include "data/backup.h"
#include "data/backup_actions.h"
#include "data/backup_dialog.h"
#include "data/system_data.h"
#include "data/system_data_page.h"
#include "devices/engine.h"
#include "platform/scramble.h"
#include "tests/gui/gui_support.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"

using namespace tovanix;
using app::CTovanixDlg;

namespace {

constexpr int kSimPort = 4;
constexpr int kDownloadWaitMs = 20000;
constexpr int kBackupWaitMs = 60000;
// The countdown's ten seconds, then the download.
constexpr int kCountdownWaitMs = 30000;

QAction* menuAction(CTovanixDlg& w, const char* text) {
    for (QAction* a : w.menu(app::MenuId::Window)->actions()) {
        if (a->text() == QString::fromUtf8(text)) return a;
    }
    return nullptr;
}

bool hasPrompt(const test::PromptRecorder& p, const std::string& text) {
    for (const auto& x : p.prompts) {
        if (x.text == text) return true;
    }
    return false;
}

}  // namespace

class DataCentreTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    DataCentreTest() : WindowFixture(true) {}

private:
    QTemporaryDir comDir_;
    QTemporaryDir files_;

    bool runSystemSet(const std::function<void(data::CSystemData*)>& act) {
        bool seen = false;
        test::whenModal([&](QWidget* d) {
            auto* set = qobject_cast<config::CSystemSet*>(d);
            if (set != nullptr) {
                set->tabs()->setCurrentIndex(config::kTabData);
                auto* page = qobject_cast<data::CSystemData*>(set->tabs()->currentWidget());
                seen = page != nullptr;
                if (page != nullptr) act(page);
            }
            static_cast<QDialog*>(d)->accept();
        });
        return window_->runCommand(app::kCmdSystemConfig) && seen;
    }

private slots:
    void initTestCase() {
        QVERIFY(comDir_.isValid() && files_.isValid());
        qputenv("TOVANIX_COMDIR", comDir_.path().toUtf8());
    }
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::logInRoot());
    }
    void cleanup() {
        window_.reset();
        engine_.reset();
    }

    void backfillOfTwoChosenLoggers() {
        test::LoggerSim sim({.addresses = {1, 2}});
        QVERIFY2(sim.start(), sim.error().c_str());
        QVERIFY(!sim.linkCom(kSimPort).empty());
        QVERIFY(sim.fillHistory(1, 30, "2026-12-07 08:00", 1));
        QVERIFY(sim.fillHistory(2, 30, "2026-12-07 08:00", 1));
        QVERIFY(test::seedLine(1, "一号线", kSimPort));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        QVERIFY(test::seedDevice(1, 2, "A2", 0, 9));  // deviceid is not the address
        QVERIFY(test::seedDevice(1, 3, "A3", 0, 3));  // no logger answers at 3
        open();
        QTRY_VERIFY(engine_->table().line(1) && engine_->table().line(1)->portOpen);
        QVERIFY(runSystemSet([&](data::CSystemData* page) {
            QTableWidget* list = page->deviceList();
            QCOMPARE(list->rowCount(), 3);
            QCOMPARE(list->item(1, data::CSystemData::kName)->text(), QStringLiteral("A2"));
            QCOMPARE(list->item(1, data::CSystemData::kAddress)->text(), QStringLiteral("2"));
            QCOMPARE(list->item(1, data::CSystemData::kLine)->text(), QStringLiteral("一号线"));
            QCOMPARE(list->item(1, data::CSystemData::kDeviceId)->text(), QStringLiteral("9"));
            QVERIFY(list->isColumnHidden(data::CSystemData::kDeviceId));
            QVERIFY(list->isColumnHidden(data::CSystemData::kLineId));
            const QDateTime start(page->startDate()->date(), page->startTime()->time());
            const QDateTime end(page->endDate()->date(), page->endTime()->time());
            QVERIFY(qAbs(start.secsTo(end) - data::kDefaultSpanSeconds) <= 1);

            // Equal ends are refused.
            page->startDate()->setDate(page->endDate()->date());
            page->startTime()->setTime(page->endTime()->time());
            list->item(0, 0)->setCheckState(Qt::Checked);
            page->backfillButton()->click();
            QCOMPARE(prompts_->prompts.back().text, std::string(data::kSpanNotIncreasing));
            QCOMPARE(prompts_->prompts.back().caption, std::string(data::kSpanCaption));

            // Invert: 2 and 3 chosen, 1 not.
            page->invertButton()->click();
            QCOMPARE(list->item(0, 0)->checkState(), Qt::Unchecked);
            QCOMPARE(list->item(2, 0)->checkState(), Qt::Checked);
            page->startDate()->setDate(QDate(2026, 12, 7));
            page->startTime()->setTime(QTime(8, 10));
            page->endDate()->setDate(QDate(2026, 12, 7));
            page->endTime()->setTime(QTime(8, 19));
            page->backfillButton()->click();
            QCOMPARE(page->backfillButton()->text(), QString::fromUtf8(data::kDownloading));
            QTRY_COMPARE_WITH_TIMEOUT(page->backfillButton()->text(), QString::fromUtf8(kButtonOk), kDownloadWaitMs);
            QCOMPARE(list->item(0, data::CSystemData::kStatus)->text(), QString());
            QCOMPARE(list->item(1, data::CSystemData::kStatus)->text(), QString::fromUtf8(data::kDownloaded));
            QCOMPARE(list->item(2, data::CSystemData::kStatus)->text(), QString::fromUtf8(data::kRetry));
        }));
        QCOMPARE(test::sqlRows("select * from tovandatatable_1002"), 10);
        QCOMPARE(test::sqlRows("select * from tovandatatable_1002 where RecordDataTime between '2026-12-07 08:10:00' "
                               "and '2026-12-07 08:19:00'"),
                 10);
        QCOMPARE(test::tableExists("tovandatatable_1001") ? test::sqlRows("select * from tovandatatable_1001") : 0, 0);
    }

    void withoutTheRightEverythingIsGreyed() {
        QVERIFY(test::seedLine(1, "一号线", 0));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        test::setGuest();
        CTovanixDlg& w = open();
        QAction* item = menuAction(w, data::backup::kBackupTitle);
        QVERIFY(item != nullptr);
        QVERIFY(!item->isEnabled());
        QVERIFY(!w.runCommand(app::kCmdDatabaseBackup));
        QCOMPARE(prompts_->prompts.back().text, std::string(app::kNoDatabaseRight));
        QCOMPARE(prompts_->prompts.back().caption, std::string(app::kNoDatabaseRightCaption));
        QVERIFY(runSystemSet([&](data::CSystemData* page) {
            QCOMPARE(page->deviceList()->rowCount(), 1);
            QVERIFY(!page->invertButton()->isEnabled());
            QVERIFY(!page->backfillButton()->isEnabled());
            QVERIFY(!page->backupPanel()->backupButton()->isEnabled());
            QVERIFY(!page->backupPanel()->restoreButton()->isEnabled());
            QVERIFY(!page->backupPanel()->changeButton()->isEnabled());
        }));
        QVERIFY(test::logInRoot());
        CTovanixDlg& root = open();
        QVERIFY(menuAction(root, data::backup::kBackupTitle)->isEnabled());
        QVERIFY(runSystemSet([&](data::CSystemData* page) {
            QVERIFY(page->invertButton()->isEnabled());
            QVERIFY(page->backupPanel()->backupButton()->isEnabled());
        }));
    }

    void backupAndRestoreThroughCBackup() {
        QVERIFY(test::seedLine(1, "一号线", 0));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        open();
        const QString file = files_.filePath(QStringLiteral("冷链备份"));  // the extension is added
        const QString stored = file + QStringLiteral(".drelk");
        auto runBackupDialog = [&](bool restore) {
            bool seen = false, closed = false;
            test::whenModal([&](QWidget* d) {
                auto* dialog = qobject_cast<data::CBackup*>(d);
                seen = dialog != nullptr;
                if (dialog == nullptr) return;
                QVERIFY(!dialog->panel()->folderEdit()->text().isEmpty());
                QVERIFY(!dialog->panel()->folderEdit()->isEnabled());
                dialog->panel()->setChooser([&](data::BackupPanel::Choice) { return restore ? stored : file; });
                (restore ? dialog->panel()->restoreButton() : dialog->panel()->backupButton())->click();
                // Running: a second start is not offered, the window goes on.
                QVERIFY(dialog->panel()->busy());
                QVERIFY(!dialog->panel()->backupButton()->isEnabled());
                QVERIFY(!dialog->cancelButton()->isEnabled());
                QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kBackupWaitMs);
                closed = true;
            });
            QVERIFY(window_->runCommand(app::kCmdDatabaseBackup));
            QVERIFY(seen && closed);
        };
        runBackupDialog(false);
        QVERIFY(hasPrompt(*prompts_, "数据库备份成功，备份文件保存在 " + stored.toStdString()));
        QFile f(stored);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(platform::scramble::hasTrailer(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));

        QVERIFY(test::sql("delete from tovandevicetable"));
        runBackupDialog(true);
        QCOMPARE(prompts_->prompts[prompts_->prompts.size() - 2].text, std::string(data::backup::kRestoreQuestion));
        QCOMPARE(prompts_->prompts.back().text, std::string(data::backup::kRestoreDone));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable"), std::string("A1"));
        QVERIFY(!engine_->storingPaused.load());
    }

    // A store that holds the lock for long (a server slow to answer) keeps
    // the restore waiting on its worker, never the window.
    void restoreWaitsForAStoreOffTheWindowThread() {
        QVERIFY(test::seedLine(1, "一号线", 0));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        open();
        const std::string file = files_.filePath(QStringLiteral("held.drelk")).toStdString();
        const data::backup::Outcome made = data::backup::backupTo(file, data::backup::currentJob({}));
        QVERIFY2(made.ok, made.error.c_str());
        QVERIFY(test::sql("delete from tovandevicetable"));
        std::mutex m;
        std::condition_variable cv;
        bool release = false;  // guarded by m
        std::atomic<bool> held{false}, released{false};
        std::thread store([&] {
            std::lock_guard<std::mutex> lock(engine_->storeLock());
            held = true;
            std::unique_lock<std::mutex> wait(m);
            cv.wait_for(wait, std::chrono::seconds(60), [&] { return release; });
            released = true;
        });
        const auto letGo = [&] {
            {
                std::lock_guard<std::mutex> lock(m);
                release = true;
            }
            cv.notify_all();
        };
        QTRY_VERIFY(held.load());
        bool seen = false;
        test::whenModal([&](QWidget* d) {
            auto* dialog = qobject_cast<data::CBackup*>(d);
            seen = dialog != nullptr;
            if (dialog == nullptr) return;
            struct Guard {
                std::function<void()> f;
                ~Guard() { f(); }
            } guard{letGo};
            dialog->panel()->setChooser([&](data::BackupPanel::Choice) { return QString::fromStdString(file); });
            dialog->panel()->restoreButton()->click();
            // Back from the click while the store still holds the lock.
            QVERIFY(!released.load());
            QVERIFY(dialog->panel()->busy());
            QTRY_VERIFY(engine_->storingPaused.load());
            QCOMPARE(test::sqlRows("select * from tovandevicetable"), 0);  // nothing loaded before the lock is free
            letGo();
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kBackupWaitMs);
        });
        QVERIFY(window_->runCommand(app::kCmdDatabaseBackup));
        store.join();
        QVERIFY(seen);
        QCOMPARE(prompts_->prompts.back().text, std::string(data::backup::kRestoreDone));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable"), std::string("A1"));
        QVERIFY(!engine_->storingPaused.load());
    }

    // While a restore loads, the window does not exit and the downloads do
    // not start; a stop (SIGTERM, the session's end) lets the load finish
    // before the window is gone.
    void aRestoreUnderWayHoldsTheExit() {
        namespace fs = std::filesystem;
        QVERIFY(test::seedLine(1, "一号线", 0));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        CTovanixDlg& w = open();
        const std::string file = files_.filePath(QStringLiteral("exit.drelk")).toStdString();
        const data::backup::Outcome made = data::backup::backupTo(file, data::backup::currentJob({}));
        QVERIFY2(made.ok, made.error.c_str());
        // Renamed, not deleted: the page lists it for the back-fill.
        QVERIFY(test::sql("update tovandevicetable set DeviceName='改名'"));
        // A client folder whose mariadb says it runs through one FIFO and
        // waits on another, then becomes the real program.
        const fs::path dir = files_.filePath(QStringLiteral("held")).toStdString();
        const fs::path bin = dir / "bin";
        fs::create_directories(bin);
        QCOMPARE(::mkfifo((dir / "started").c_str(), 0600), 0);
        QCOMPARE(::mkfifo((dir / "go").c_str(), 0600), 0);
        {
            std::ofstream s(bin / data::backup::kLoadProgram);
            s << "#!/bin/sh\necho started > '" << (dir / "started").string() << "'\nread go < '"
              << (dir / "go").string() << "'\nexec " << data::backup::findProgram(data::backup::kLoadProgram, {})
              << " \"$@\"\n";
        }
        fs::permissions(bin / data::backup::kLoadProgram, fs::perms::owner_all);
        data::backup::setClientFolder(bin.string());
        bool startedRead = false, goSent = false;
        // On a failed check the client is let go all the same, so that the
        // window's destruction in cleanup() does not wait for ever.
        struct Release {
            fs::path dir;
            const bool& startedRead;
            const bool& goSent;
            ~Release() {
                data::backup::setClientFolder({});
                if (goSent) return;
                std::thread([d = dir, read = startedRead] {
                    if (!read) std::ifstream(d / "started").get();
                    std::ofstream(d / "go") << "go\n";
                }).detach();
            }
        } release{dir, startedRead, goSent};
        QVERIFY(runSystemSet([&](data::CSystemData* page) {
            data::BackupPanel* panel = page->backupPanel();
            panel->setChooser([&](data::BackupPanel::Choice) { return QString::fromStdString(file); });
            panel->restoreButton()->click();
            QVERIFY(panel->busy());
            std::ifstream started(dir / "started");  // opens once the client runs
            std::string word;
            started >> word;
            startedRead = true;
            QCOMPARE(word, std::string("started"));
            page->deviceList()->item(0, 0)->setCheckState(Qt::Checked);
            page->backfillButton()->click();
            QCOMPARE(prompts_->prompts.back().text, std::string(data::kBackupRunning));
            QVERIFY(engine_->backfill.running() != 1);
        }));
        // The dialog is closed; the load goes on.
        QVERIFY(data::backup::running());
        const std::size_t asked = prompts_->prompts.size();
        w.requestExit();
        QCOMPARE(prompts_->prompts.size(), asked + 1);  // no exit question, the refusal
        QCOMPARE(prompts_->prompts.back().text, std::string(app::kExitWhileBackup));
        QVERIFY(!w.stopped());
        w.stopAndClose();
        QVERIFY(w.stopped());
        goSent = true;
        std::thread go([&] { std::ofstream(dir / "go") << "go\n"; });
        window_.reset();  // waits for the client program
        go.join();
        QVERIFY(!data::backup::running());
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable"), std::string("A1"));
        QVERIFY(!engine_->storingPaused.load());
    }

    void lostRecordsAreFetchedAfterTheCountdown() {
        test::LoggerSim sim({.addresses = {1}});
        QVERIFY2(sim.start(), sim.error().c_str());
        QVERIFY(!sim.linkCom(kSimPort).empty());
        const QDateTime lastRead = QDateTime::currentDateTime().addSecs(-2 * 3600);
        const QDateTime firstMissing = lastRead.addSecs(60);
        QVERIFY(sim.fillHistory(1, 20, firstMissing.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString(), 1));
        QVERIFY(test::seedLine(1, "一号线", kSimPort));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        QVERIFY(test::sql("update tovandevicetable set DownLastTime='" +
                          lastRead.toString(QStringLiteral("yyyy-MM-dd HH:mm:00")).toStdString() + "'"));
        CTovanixDlg& w = open();
        data::CLoadLostRecord* dialog = nullptr;
        QTRY_VERIFY((dialog = w.findChild<data::CLoadLostRecord*>()) != nullptr && dialog->isVisible());
        QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("检测到部分数据未上传，将在")));
        const QDateTime start(dialog->startDate()->date(), dialog->startTime()->time());
        QCOMPARE(start.toString(QStringLiteral("yyyy-MM-dd HH:mm")), lastRead.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        QTRY_COMPARE_WITH_TIMEOUT(dialog->windowTitle(), QString::fromUtf8(data::kLostDoneTitle), kCountdownWaitMs);
        QVERIFY(hasPrompt(*prompts_, data::kLostDoneMessage));
        QCOMPARE(dialog->okButton()->text(), QString::fromUtf8(data::kLostOkAgain));
        QCOMPARE(test::sqlRows("select * from tovandatatable_1001"), 20);
        dialog->reject();
    }
};

QTEST_MAIN(DataCentreTest)
#include "data_centre_test.moc"
