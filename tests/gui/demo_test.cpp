// The whole station on the simulated line of the demonstration: the window
// with the real engine and driver libraries, twelve simulated loggers on
// COM1 and the simulated alarm device on COM5. Tiles change as readings
// arrive, an out-of-limit logger turns red and the siren goes on; the
// operator opens its history and acknowledges the alarm, the siren goes off.
//
// With TOVANIX_SCREENSHOT=FILE (scripts/run --screenshot, under Xvfb) a
// second run of the demo as scripts/run sets it up, limits untouched, waits
// until logger 7 has drifted over its upper limit and saves a picture of the
// window.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "alarms/alarm_ack_dialog.h"
#include "app/commands.h"
#include "app/demo_station.h"
#include "app/main_window.h"
#include "app/node_data.h"
#include "app/status_view.h"
#include "data/data_page.h"
#include "db/data_table.h"
#include "devices/engine.h"
#include "tests/gui/gui_support.h"
#include "tests/support/alarm_sim.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"
#include "widgets/bitmap_button.h"
#include "widgets/curve_chart.h"
#include "widgets/skin.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;

namespace {

constexpr int kReadingsTimeoutMs = 60000;
constexpr int kCrossTimeoutMs = 300000;  // the simulator's excursion takes four minutes
constexpr int kFirstScanMs = 1000;
constexpr int kScanUnitMs = 5000;
constexpr int kAlarmLogger = 3;  // its upper limit is set below its reading
constexpr QSize kScreenshotSize{1480, 860};

bool everyDeviceRead(devices::Engine& e) {
    return e.table().with([](std::vector<devices::LineEntry>& lines) {
        int read = 0;
        for (const auto& l : lines) {
            for (const auto& d : l.devices) {
                if (d.ch1 != devices::kNoValue && d.status != devices::kStatusNotAnswering) ++read;
            }
        }
        return read == app::demo::kLoggers;
    });
}

// Descriptors of this process (the station) open on the pseudo-terminal.
int portsOpenOn(const std::string& pty) {
    int n = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        if (fd.symLinkTarget().toStdString() == pty) ++n;
    }
    return n;
}

int statusOf(devices::Engine& e, int address) {
    auto d = e.table().device(1, address);
    return d ? d->status : -1;
}

// The product's pauses around each read, so every reading gets its own
// 200 ms refresh; only the scans come sooner.
devices::EngineTiming demoTiming() {
    devices::EngineTiming timing;
    timing.firstScanMs = kFirstScanMs;
    timing.scanUnitMs = kScanUnitMs;
    return timing;
}

test::LoggerSimOptions demoLoggers() {
    test::LoggerSimOptions options;
    options.addresses.clear();
    for (int a = 1; a <= app::demo::kLoggers; ++a) options.addresses.push_back(a);
    options.extraArgs = {"--drift", "--cross", std::to_string(app::demo::kCrossingLogger) + ":1"};
    return options;
}

// The database and the simulators as scripts/run prepares them, root logged
// in; the caller checks QTest::currentTestFailed().
void startDemo(test::LoggerSim& loggers, test::AlarmSim& alarm) {
    widgets::SkinH_Attach();  // as the program does before its first window
    QVERIFY(test::sql("drop database if exists TovanDatabase"));
    std::string error;
    QVERIFY2(app::demo::seed(true, &error), error.c_str());
    QVERIFY(test::logInRoot());
    QVERIFY2(loggers.start(), loggers.error().c_str());
    QVERIFY(!loggers.linkCom(app::demo::kLoggerPort).empty());
    test::AlarmSim::Options alarmOptions;
    alarmOptions.quiet = true;
    QVERIFY2(alarm.start(alarmOptions), alarm.error().c_str());
    QVERIFY(alarm.linkAs(app::demo::kAlarmPort));
}

}  // namespace

class DemoTest : public QObject {
    Q_OBJECT
private slots:
    void stationOnTheSimulatedLine() {
        TOVANIX_REQUIRE_SERVER();
        test::LoggerSim loggers(demoLoggers());
        test::AlarmSim alarm;
        startDemo(loggers, alarm);
        if (QTest::currentTestFailed()) return;
        // Limits 10.0 to 20.0 against a reading of about 25.0.
        QVERIFY(loggers.ok("ALARM 3 3 200 100 800 200 10 1"));

        devices::Engine engine(demoTiming());
        test::bindDrivers(engine);
        test::PromptRecorder prompts;
        app::CTovanixDlg window(engine, prompts);
        window.resize(kScreenshotSize);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(prompts.prompts.empty());
        QCOMPARE(window.tree()->topLevelItem(0)->text(0), QString::fromUtf8(app::demo::kSystemName));
        app::CCurrentStatus* view = window.statusView();
        QCOMPARE(view->tileCount(), app::demo::kLoggers);

        // Readings arrive and the tiles are redrawn with them.
        const QImage before = view->tile(0)->picture();
        QTRY_VERIFY_WITH_TIMEOUT(everyDeviceRead(engine), kReadingsTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(view->tile(0)->picture() != before, kReadingsTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(engine, kAlarmLogger) == devices::kStatusAlarm, kReadingsTimeoutMs);
        const int drawn = view->drawCount(kAlarmLogger - 1);
        QTRY_VERIFY_WITH_TIMEOUT(view->drawCount(kAlarmLogger - 1) > drawn, kReadingsTimeoutMs);
        QVERIFY(test::sqlRows("select * from tovandatatable_1003") >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(test::sqlRows("select * from tovanalarmtable where lineid=1 and DeviceNumber=3") >= 1,
                                 kReadingsTimeoutMs);
        QVERIFY(alarm.waitForSiren(true, kReadingsTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(window.statusPane(1)->text().startsWith(QStringLiteral("当前状态:")),
                                 kReadingsTimeoutMs);

        // The operator opens the logger in alarm, sees its readings and
        // acknowledges its alarm with a note: the siren goes off.
        data::CDataManage* page = window.dataPage();
        QSignalSpy listed(page, &data::CDataManage::queryFinished);
        const auto entry = engine.table().device(1, kAlarmLogger);
        QVERIFY(entry.has_value());
        QTreeWidgetItem* node = window.findNode(app::deviceNode(1, entry->groupId, kAlarmLogger));
        QVERIFY(node != nullptr);
        emit window.tree()->itemDoubleClicked(node, 0);
        QTRY_VERIFY_WITH_TIMEOUT(listed.count() > 0, kReadingsTimeoutMs);
        QCOMPARE(listed.at(0).at(0).toInt(), 1);
        QVERIFY(window.historyList()->isVisible());
        QVERIFY(window.historyList()->model()->rowCount() >= 1);
        QVERIFY(page->chart()->pointCount(0) >= 1);
        QVERIFY(page->acknowledgeButton()->isVisible());
        page->acknowledgement().setNoteAsker([] { return std::optional<std::string>("已开空调"); });
        test::whenModal([](QWidget* modal) {
            if (auto* dialog = qobject_cast<alarms::CAlarmAck*>(modal)) dialog->acknowledgeButton()->click();
        });
        prompts.prompts.clear();
        page->acknowledgeButton()->click();
        QCOMPARE(prompts.texts(), (std::vector<std::string>{"警声将在稍后关闭!", "已确认报警信息"}));
        QVERIFY(alarm.waitForSiren(false, kReadingsTimeoutMs));
        QCOMPARE(test::sqlScalar("select distinct checkevent from tovandatatable_1003 where checksign=1"),
                 std::string("已开空调"));
        QVERIFY(window.runCommand(app::kCmdCurrentStatus));
        QVERIFY(window.tree()->isVisible());

        // Deleting the line closes its port in the polling thread; then the
        // line leaves the station table.
        const std::string pty = loggers.ptyPath();
        QVERIFY(portsOpenOn(pty) > 0);
        window.tree()->setCurrentItem(window.findNode(app::lineNode(1)));
        QVERIFY(window.runCommand(app::kCmdDeleteLine));
        QCOMPARE(prompts.texts().back(), std::string("成功删除线路"));
        QTRY_COMPARE_WITH_TIMEOUT(portsOpenOn(pty), 0, kReadingsTimeoutMs);
        QTRY_COMPARE(engine.table().lineCount(), 0);
        QCOMPARE(view->tileCount(), 0);
        QVERIFY(!test::tableExists("tovandatatable_1003"));

        window.stopAndClose();
        QVERIFY(!engine.started());
    }

    // The picture of the README: the demo as it runs, until logger 7 has
    // drifted over its limit.
    void screenshotOfTheDemo() {
        const QByteArray shot = qgetenv("TOVANIX_SCREENSHOT");
        if (shot.isEmpty()) QSKIP("only with TOVANIX_SCREENSHOT=FILE (scripts/run --screenshot)");
        TOVANIX_REQUIRE_SERVER();
        test::LoggerSim loggers(demoLoggers());
        test::AlarmSim alarm;
        startDemo(loggers, alarm);
        if (QTest::currentTestFailed()) return;

        devices::Engine engine(demoTiming());
        test::bindDrivers(engine);
        test::PromptRecorder prompts;
        app::CTovanixDlg window(engine, prompts);
        window.resize(kScreenshotSize);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        app::CCurrentStatus* view = window.statusView();
        QTRY_VERIFY_WITH_TIMEOUT(everyDeviceRead(engine), kReadingsTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(engine, app::demo::kCrossingLogger) == devices::kStatusAlarm,
                                 kCrossTimeoutMs);
        // A redraw of its tile after that reading, so the picture shows it red.
        const int crossDrawn = view->drawCount(app::demo::kCrossingLogger - 1);
        QTRY_VERIFY_WITH_TIMEOUT(view->drawCount(app::demo::kCrossingLogger - 1) > crossDrawn, kReadingsTimeoutMs);
        // Only the crossing logger is out of its limits.
        for (int a = 1; a <= app::demo::kLoggers; ++a) {
            if (a != app::demo::kCrossingLogger) QCOMPARE(statusOf(engine, a), int{devices::kStatusNormal});
        }
        const QString path = QString::fromLocal8Bit(shot);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QVERIFY(window.grab().save(path, "PNG"));
        qInfo("screenshot saved to %s", qPrintable(path));
        window.stopAndClose();
    }
};

QTEST_MAIN(DemoTest)
#include "demo_test.moc"
