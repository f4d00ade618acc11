// A station set up from nothing through the window: a line on a simulated
// port, a group, loggers under the group and under the line, with their
// database rows, tree nodes, tiles, scan period and first readings.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/node_data.h"
#include "app/status_view.h"
#include "config/add_group.h"
#include "config/add_line.h"
#include "config/edit_line.h"
#include "config/edit_line_dialog.h"
#include "devices/add_device.h"
#include "devices/edit_device.h"
#include "devices/edit_device_dialog.h"
#include "devices/engine.h"
#include "tests/gui/gui_support.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;
using app::CTovanixDlg;
using test::PromptRecorder;

namespace {

constexpr int kSimPort = 4;
constexpr int kOtherSimPort = 6;
constexpr int kProbeWaitMs = 20000;

QStringList actionTexts(QMenu* m) {
    QStringList out;
    if (m == nullptr) return out;
    for (QAction* a : m->actions()) out << a->text();
    return out;
}

QPushButton* button(QWidget* dialog, const char* caption) {
    for (auto* b : dialog->findChildren<QPushButton*>()) {
        if (b->text() == QString::fromUtf8(caption)) return b;
    }
    return nullptr;
}

// Names of the controls without an accessible name (should be none).
QStringList unnamedControls(QWidget* dialog) {
    QStringList out;
    for (auto* w : dialog->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr ||
                             qobject_cast<QAbstractButton*>(w) != nullptr;
        if (control && w->accessibleName().isEmpty()) out << QString::fromUtf8(w->metaObject()->className());
    }
    return out;
}

}  // namespace

class ConfigDialogsTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    ConfigDialogsTest() : WindowFixture(true) {}

private:
    QTemporaryDir comDir_;

    // Runs the command; `fill` sets the fields of its dialog, then "确定" is
    // clicked. A dialog that stays open is cancelled. True when it was accepted.
    bool runDialog(int command, const std::function<void(QWidget*)>& fill, QStringList* unnamed = nullptr) {
        bool accepted = false;
        bool seen = false;
        test::whenModal([&](QWidget* d) {
            seen = true;
            if (unnamed != nullptr) *unnamed = unnamedControls(d);
            fill(d);
            QPushButton* ok = button(d, kButtonOk);
            if (ok == nullptr) return;
            ok->click();
            accepted = !d->isVisible();
            if (d->isVisible()) static_cast<QDialog*>(d)->reject();
        });
        if (!window_->runCommand(command)) return false;
        return seen && accepted;
    }
    static void setText(QWidget* d, const char* objectName, const QString& text) {
        if (auto* e = d->findChild<QLineEdit*>(QString::fromLatin1(objectName))) e->setText(text);
    }
    unsigned current() const { return widgets::CTreeCtrlEx::itemData(window_->tree()->currentItem()); }

private slots:
    void initTestCase() {
        QVERIFY(comDir_.isValid());
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

    void menusOfferTheAddCommands() {
        QVERIFY(test::seedLine(3, "三号线", 0));
        QVERIFY(test::seedGroup(3, 301, "一组"));
        CTovanixDlg& w = open();
        QVERIFY(actionTexts(w.menu(app::MenuId::Root)).contains(QStringLiteral("增加线路")));
        const QStringList line = actionTexts(w.menu(app::MenuId::Line));
        QVERIFY(line.contains(QStringLiteral("增加分组")));
        QVERIFY(line.contains(QStringLiteral("增加设备")));
        QVERIFY(actionTexts(w.menu(app::MenuId::Group)).contains(QStringLiteral("增加设备")));
    }

    void stationSetUpFromNothing() {
        test::LoggerSim sim({.addresses = {1, 5}});
        QVERIFY2(sim.start(), sim.error().c_str());
        QVERIFY(!sim.linkCom(kSimPort).empty());
        QVERIFY(sim.setReading(1, 201, 502, 201, 502));
        QVERIFY(sim.setReading(5, 253, 551, 253, 551));
        // Logger 5 runs on another minute with records: set and erased by the probe.
        QVERIFY(sim.setClock(5, "2020-01-01 10:00:00"));
        QVERIFY(sim.fillHistory(5, 10, "2019-12-31 10:00", 1));
        CTovanixDlg& w = open();
        QCOMPARE(engine_->table().lineCount(), 0);

        QStringList unnamed;
        QVERIFY(select(app::kRootData));
        QVERIFY(runDialog(
            app::kCmdAddLine,
            [](QWidget* d) {
                setText(d, "name", QStringLiteral("冷库'线\"路\\%"));
                auto* combo = d->findChild<QComboBox*>();
                combo->setCurrentIndex(combo->findText(QStringLiteral("COM4")));
            },
            &unnamed));
        QCOMPARE(unnamed, QStringList());
        QVERIFY(prompts_->prompts.empty());
        QVERIFY(w.findNode(100000) != nullptr);
        QCOMPARE(w.findNode(100000)->text(0), QStringLiteral("冷库'线\"路\\%"));
        QCOMPARE(current(), 100000u);
        QCOMPARE(test::sqlScalar("select SerialPortNum from tovanlinetable where lineid=1"), std::string("4"));
        QVERIFY(engine_->table().line(1)->portOpen);

        QVERIFY(runDialog(app::kCmdAddGroup, [](QWidget* d) { setText(d, "name", QStringLiteral("一组")); }, &unnamed));
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(current(), 101000u);
        QCOMPARE(w.findNode(101000)->parent(), w.findNode(100000));
        QCOMPARE(test::sqlScalar("select roomid from tovanroomtable where RoomName='一组'"), std::string("101"));

        // A logger directly under the line: group 0, node lineid * 100000 + address (= deviceid here).
        QVERIFY(select(100000));
        QVERIFY(runDialog(
            app::kCmdAddDeviceToLine,
            [](QWidget* d) {
                setText(d, "name", QStringLiteral("线下"));
                setText(d, "address", QStringLiteral("1"));
            },
            &unnamed));
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(current(), 100001u);
        QCOMPARE(test::sqlScalar("select deviceid from tovandevicetable where DeviceNumber=1"), std::string("1"));
        QCOMPARE(test::sqlScalar("select RoomID from tovandevicetable where DeviceNumber=1"), std::string("0"));

        QVERIFY(select(101000));
        QVERIFY(runDialog(app::kCmdAddDeviceToGroup, [](QWidget* d) {
            setText(d, "name", QStringLiteral("冷藏柜"));
            setText(d, "address", QStringLiteral("5"));
        }));
        QCOMPARE(current(), 101005u);
        QCOMPARE(w.findNode(101005)->parent(), w.findNode(101000));
        QCOMPARE(test::sqlScalar("select RoomID from tovandevicetable where DeviceNumber=5"), std::string("101"));
        QVERIFY(prompts_->prompts.empty());

        // Tiles at once, and the scan period of two devices.
        QCOMPARE(w.statusView()->tileCount(), 2);
        QCOMPARE(engine_->currentScanPeriodMs(), 30000LL);

        // The probes read both loggers; logger 5's clock is set and its records erased.
        QTRY_VERIFY_WITH_TIMEOUT(engine_->table().device(1, 5)->status == devices::kStatusNormal, kProbeWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(engine_->table().device(1, 1)->status == devices::kStatusNormal, kProbeWaitMs);
        QCOMPARE(engine_->table().device(1, 5)->ch1, 25.3f);
        QCOMPARE(engine_->table().device(1, 1)->ch1, 20.1f);
        QCOMPARE(sim.historyCount(5), 0);
        QVERIFY(sim.clock(5).rfind("2020", 0) != 0);
        QTRY_COMPARE_WITH_TIMEOUT(test::sqlScalar("select SqlRecord from tovandevicetable where DeviceNumber=5"),
                                  std::string("1"), kProbeWaitMs);
    }

    void refusalsKeepTheDialogOpenAndChangeNothing() {
        QVERIFY(test::seedLine(1, "一号线", 0));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        CTovanixDlg& w = open();
        QVERIFY(select(100000));
        for (const char* address : {"0", "1000", "-1", "abc", "1"}) {
            prompts_->prompts.clear();
            QVERIFY(!runDialog(app::kCmdAddDeviceToLine, [address](QWidget* d) {
                setText(d, "name", QStringLiteral("X"));
                setText(d, "address", QString::fromLatin1(address));
            }));
            QCOMPARE(prompts_->prompts.size(), std::size_t{1});
        }
        QCOMPARE(prompts_->prompts[0].text, std::string("一号线 下地址为 1 的设备已经存在"));
        QCOMPARE(test::sqlRows("select * from tovandevicetable"), 1);
        QCOMPARE(engine_->table().deviceCount(), 1);

        prompts_->prompts.clear();
        QVERIFY(!runDialog(app::kCmdAddGroup, [](QWidget* d) { setText(d, "name", QString()); }));
        QCOMPARE(prompts_->texts(), std::vector<std::string>{config::kGroupNameEmpty});
        QCOMPARE(test::sqlRows("select * from tovanroomtable"), 0);

        // Port 0 of the seeded line: a line on "COM0" is refused as taken.
        prompts_->prompts.clear();
        QVERIFY(select(app::kRootData));
        QVERIFY(!runDialog(app::kCmdAddLine, [](QWidget* d) {
            auto* combo = d->findChild<QComboBox*>();
            combo->clear();
            combo->addItem(QString::fromUtf8(config::kNoSerialPort));
        }));
        QCOMPARE(prompts_->texts(), std::vector<std::string>{"串口;0 已经被其他线路占用"});
        QCOMPARE(test::sqlRows("select * from tovanlinetable"), 1);
        QVERIFY(w.findNode(200000) == nullptr);
    }

    void editLineTogglesThePortAndChangesIt() {
        test::LoggerSim sim({.addresses = {1}});
        test::LoggerSim other({.addresses = {1}});
        QVERIFY(sim.start() && other.start());
        QVERIFY(!sim.linkCom(kSimPort).empty() && !other.linkCom(kOtherSimPort).empty());
        QVERIFY(test::seedLine(1, "一号线", kSimPort));
        QVERIFY(test::seedDevice(1, 1, "A1", 0, 1));
        CTovanixDlg& w = open();
        QTRY_VERIFY_WITH_TIMEOUT(engine_->table().line(1)->portOpen, kProbeWaitMs);
        QVERIFY(select(100000));
        QStringList unnamed;
        QStringList captions;
        bool closed = false;
        bool reopened = false;
        test::whenModal([&](QWidget* d) {
            unnamed = unnamedControls(d);
            QPushButton* toggle = button(d, config::kClosePortButton);
            QPushButton* change = button(d, config::kChangeLineButton);
            auto* combo = d->findChild<QComboBox*>();
            if (toggle == nullptr || change == nullptr || combo == nullptr) return static_cast<QDialog*>(d)->reject();
            captions << d->windowTitle();
            change->click();  // refused: the port is open
            toggle->click();
            captions << toggle->text();
            auto* edit = qobject_cast<config::CEditLine*>(d);
            closed = QTest::qWaitFor([&] { return !edit->toggleBusy(); }, kProbeWaitMs) &&
                     !engine_->table().line(1)->portOpen;
            captions << toggle->text();
            combo->setCurrentIndex(combo->findText(QStringLiteral("COM6")));
            change->click();
            toggle->click();
            captions << toggle->text();
            reopened = QTest::qWaitFor([&] { return !edit->toggleBusy(); }, kProbeWaitMs) &&
                       engine_->table().line(1)->portOpen;
            captions << toggle->text();
            static_cast<QDialog*>(d)->reject();
        });
        QVERIFY(w.runCommand(app::kCmdLineSettings));
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(captions, (QStringList{"编辑线路", "打开线路串口", "打开线路串口", "关闭线路串口", "关闭线路串口"}));
        QVERIFY(closed);
        QVERIFY(reopened);
        QCOMPARE(prompts_->texts(), (std::vector<std::string>{config::kCloseFirst, config::kLineChanged}));
        QCOMPARE(test::sqlScalar("select SerialPortNum from tovanlinetable where lineid=1"), std::string("6"));
        QCOMPARE(engine_->table().line(1)->port, kOtherSimPort);
        QCOMPARE(engine_->portToggle.load(), int{devices::kToggleIdle});
        // The line now reads its logger on the new port.
        QVERIFY(other.setReading(1, 111, 222, 111, 222));
        engine_->post(devices::kMsgQuickRead);
        QTRY_COMPARE_WITH_TIMEOUT(engine_->table().device(1, 1)->ch1, 11.1f, kProbeWaitMs);
    }

    void deletedLinesPortIsFreeAgain() {
        test::LoggerSim sim({.addresses = {1}});
        QVERIFY(sim.start());
        QVERIFY(!sim.linkCom(kSimPort).empty());
        QVERIFY(test::seedLine(1, "一号线", kSimPort));
        QVERIFY(test::seedLine(2, "二号线", 0));
        CTovanixDlg& w = open();
        QTRY_VERIFY_WITH_TIMEOUT(engine_->table().line(1)->portOpen, kProbeWaitMs);
        QVERIFY(select(100000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        // While its port is being closed, no line is added (its number and port are still held).
        QVERIFY(select(app::kRootData));
        if (w.lineRetirement().busy()) {
            prompts_->prompts.clear();
            QVERIFY(!runDialog(app::kCmdAddLine, [](QWidget*) {}));
            QCOMPARE(prompts_->texts(), std::vector<std::string>{config::kClosingInProgress});
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w.lineRetirement().busy(), kProbeWaitMs);
        prompts_->prompts.clear();
        QVERIFY(runDialog(app::kCmdAddLine, [](QWidget* d) {
            setText(d, "name", QStringLiteral("新线"));
            auto* combo = d->findChild<QComboBox*>();
            combo->setCurrentIndex(combo->findText(QStringLiteral("COM4")));
        }));
        QVERIFY(prompts_->prompts.empty());
        QCOMPARE(current(), 100000u);
        QCOMPARE(w.findNode(100000)->text(0), QStringLiteral("新线"));
        QCOMPARE(test::sqlRows("select * from tovanlinetable"), 2);
        QVERIFY(engine_->table().line(1)->portOpen);
    }

    void editDeviceDialogRenamesAndReAddresses() {
        QVERIFY(test::seedLine(3, "三号线", 0));
        QVERIFY(test::seedGroup(3, 301, "一组"));
        QVERIFY(test::seedDevice(3, 7, "G7", 301, 1));
        open();
        devices::CEditDevice dialog(*prompts_, *engine_, window_.get());
        QCOMPARE(unnamedControls(&dialog), QStringList());
        dialog.load(301007);
        QCOMPARE(dialog.nameEdit()->text(), QStringLiteral("G7"));
        QCOMPARE(dialog.addressEdit()->text(), QStringLiteral("7"));
        dialog.addressEdit()->setText(QStringLiteral("1000"));
        dialog.accept();
        QCOMPARE(prompts_->texts(), std::vector<std::string>{devices::kAddressWrong});
        QVERIFY(dialog.result() != QDialog::Accepted);
        prompts_->prompts.clear();
        dialog.nameEdit()->setText(QStringLiteral("冷藏柜"));
        dialog.addressEdit()->setText(QStringLiteral("9"));
        dialog.accept();
        QCOMPARE(prompts_->texts(), std::vector<std::string>{devices::kDeviceChanged});
        QCOMPARE(dialog.result(), int{QDialog::Accepted});
        QCOMPARE(dialog.address(), 9);
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where LineID=3 and DeviceNumber=9"),
                 std::string("冷藏柜"));
        QVERIFY(engine_->table().device(3, 9).has_value());
    }

    void tenthDeviceDoublesTheScanPeriod() {
        QVERIFY(test::seedLine(1, "一号线", 0));
        for (int a = 1; a <= 9; ++a) QVERIFY(test::seedDevice(1, a, "D", 0, a));
        open();
        QVERIFY(select(100000));
        QVERIFY(runDialog(app::kCmdAddDeviceToLine, [](QWidget* d) {
            setText(d, "name", QStringLiteral("D10"));
            setText(d, "address", QStringLiteral("10"));
        }));
        QCOMPARE(engine_->currentScanPeriodMs(), 60000LL);
        QCOMPARE(window_->statusView()->tileCount(), 10);
    }
};

QTEST_MAIN(ConfigDialogsTest)
#include "config_dialogs_test.moc"
