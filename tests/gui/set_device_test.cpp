// The logger settings window through the main window, on a simulated line:
// opened by 设置设备 with the settings read off the user-interface thread,
// limits, recording interval and clock written at the simulated logger,
// the pages' failure messages, re-addressing (also of a network logger whose
// window closes meanwhile), and the tile turning red at the next scan after
// the upper limit was lowered below the reading.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItem>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/status_view.h"
#include "devices/device_alarm_page.h"
#include "devices/device_info_page.h"
#include "devices/device_record_page.h"
#include "devices/engine.h"
#include "devices/set_device_dialog.h"
#include "tests/gui/gui_support.h"
#include "tests/support/logger_sim.h"
#include "users/current_user.h"
#include "widgets/bitmap_button.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;
using devices::CSetDevice;
using devices::LimitField;

namespace {

constexpr int kSimPort = 7;
constexpr unsigned kLogger7 = 100007;  // line 1, address 7, under the line
constexpr int kWaitMs = 20000;

QString u(const char* s) {
    return QString::fromUtf8(s);
}

}  // namespace

class SetDeviceTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    SetDeviceTest() : WindowFixture(true) {}

private:
    QTemporaryDir comDir_;
    std::unique_ptr<test::LoggerSim> sim_;

    // Line 1 on the simulated port: L1 at 1, B区-07 at 7 reading 25.3 ℃ / 55.1 %
    // with limits 30 / 10 and 80 / 20, recording every minute.
    void openStation() {
        sim_ = std::make_unique<test::LoggerSim>(test::LoggerSimOptions{.addresses = {1, 7}, .paced = false});
        QVERIFY2(sim_->start(), sim_->error().c_str());
        QVERIFY(!sim_->linkCom(kSimPort).empty());
        QVERIFY(sim_->setReading(7, 253, 551, 253, 551));
        test::LoggerSim::Alarm a;
        a.mask = 3;
        a.limits[0] = 300;
        a.limits[1] = 100;
        a.limits[2] = 800;
        a.limits[3] = 200;
        a.intervalCode = 1;
        QVERIFY(sim_->setAlarm(7, a));
        QVERIFY(test::seedLine(1, "一号线", kSimPort));
        QVERIFY(test::seedDevice(1, 1, "L1", 0, 1));
        QVERIFY(test::seedDevice(1, 7, "B区-07", 0, 2));
        open();
        QTRY_VERIFY_WITH_TIMEOUT(engine_->table().device(1, 7)->settingsLoaded == 1, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(engine_->driverState.load(), int(devices::kStateIdle), kWaitMs);
        prompts_->prompts.clear();
    }
    CSetDevice* settings() const { return window_->findChild<CSetDevice*>(); }
    // The window for logger 7, shown without its own event loop.
    CSetDevice* show(unsigned node = kLogger7) {
        CSetDevice* d = settings();
        if (d == nullptr || !d->load(node, true)) return nullptr;
        d->show();
        return d;
    }
    QStringList prompted() const {
        QStringList out;
        for (const auto& p : prompts_->prompts) out << QString::fromStdString(p.text) + "|" + QString::fromStdString(p.caption);
        return out;
    }
    static void setLimits(devices::CDeviceAlarm* page, const char* u1, const char* l1, const char* u2, const char* l2) {
        page->limitEdit(LimitField::Ch1Upper)->setText(u(u1));
        page->limitEdit(LimitField::Ch1Lower)->setText(u(l1));
        page->limitEdit(LimitField::Ch2Upper)->setText(u(u2));
        page->limitEdit(LimitField::Ch2Lower)->setText(u(l2));
    }
    // Line 2 behind the simulated receiver: W4 at 4, running on a medium battery.
    void openReceiverLine(test::LoggerSim& receiver) {
        QVERIFY2(receiver.start(), receiver.error().c_str());
        QVERIFY(!receiver.linkCom(kSimPort + 1).empty());
        QVERIFY(receiver.setRunning(4, true));
        QVERIFY(receiver.setPower(4, 3.6f, 3.55f, 2));
        QVERIFY(receiver.setConfig(4, 10, 0, 5, 60));
        QVERIFY(test::sql("insert into TovanLineTable (EraseSign,lineid,lineName,ComType,TCPIPPORT,HubIPAddr,"
                          "SerialPortNum,ScantimerInter,scantimerInterUpper,wired) values('0','2','无线','1','0','','" +
                          std::to_string(kSimPort + 1) + "','3','0','0');"));
        QVERIFY(test::seedDevice(2, 4, "W4", 0, 1));
        open();
        prompts_->prompts.clear();
    }
    void closePort() {
        engine_->post(devices::kMsgClosePort,
                      devices::LineRequest{1, devices::kPortOfEntry, devices::PortRequester::Toggle});
        QTRY_VERIFY_WITH_TIMEOUT(!engine_->table().line(1)->portOpen, kWaitMs);
    }

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
        sim_.reset();
    }

    // The read waits for the device event, held here as a long scan would:
    // the title's dots grow, the alarm page waits, and closing the window
    // never waits for the read, which ends by itself afterwards.
    void openedByTheCommandWithoutWaitingForTheRead() {
        openStation();
        engine_->table().updateDevice(1, 7, [](devices::DeviceEntry& d) { d.settingsLoaded = 0; });
        QVERIFY(select(kLogger7));
        engine_->deviceEvent.wait();
        QStringList titles;
        QStringList unnamed;
        bool setEnabled = true;
        test::whenModal([&](QWidget* w) {
            auto* d = static_cast<CSetDevice*>(w);
            titles << d->windowTitle();
            QTRY_VERIFY(d->windowTitle() != titles.first());
            titles << d->windowTitle();
            setEnabled = d->alarmPage()->setButton()->isEnabled();
            for (auto* c : d->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c) ||
                                     qobject_cast<QAbstractButton*>(c);
                if (control && c->accessibleName().isEmpty()) unnamed << c->objectName();
            }
            d->reject();
        });
        QVERIFY(window_->runCommand(app::kCmdDeviceSettings));
        QCOMPARE(titles.value(0), u("正在获取 B区-07 的设置值."));
        QCOMPARE(titles.value(1), u("正在获取 B区-07 的设置值.."));
        QVERIFY(!setEnabled);
        QCOMPARE(unnamed, QStringList());
        QVERIFY(settings()->isHidden());
        engine_->deviceEvent.set();
        QTRY_COMPARE_WITH_TIMEOUT(engine_->table().device(1, 7)->settingsLoaded, 1, kWaitMs);

        // Read already: the pages show it at once, with the power of the last scan.
        engine_->post(devices::kMsgScan);
        QTRY_COMPARE_WITH_TIMEOUT(engine_->scansDone.load(), 1LL, kWaitMs);
        CSetDevice* d = show();
        QVERIFY(d != nullptr);
        QCOMPARE(d->windowTitle(), u(" B区-07 的设备信息"));
        QCOMPARE(d->alarmPage()->limitEdit(LimitField::Ch1Upper)->text(), u("30"));
        QCOMPARE(d->alarmPage()->limitEdit(LimitField::Ch2Lower)->text(), u("20"));
        QCOMPARE(d->alarmPage()->typeEdit(2)->text(), u("湿度"));
        QCOMPARE(d->alarmPage()->unitEdit(1)->text(), u("℃"));
        QVERIFY(d->alarmPage()->setButton()->isEnabled());
        QCOMPARE(d->infoPage()->probeList()->currentText(), u("温湿度"));
        QCOMPARE(d->recordPage()->currentField()->text(), u("1分钟"));
        QCOMPARE(d->infoPage()->powerKindField()->text(), u("外接电源"));
        QCOMPARE(d->infoPage()->power1Field()->text(), u("5.000V"));
        d->reject();
        engine_->table().updateDevice(1, 7, [](devices::DeviceEntry& e) { e.powerKind = 7; });
        d = show();
        QCOMPARE(d->infoPage()->powerKindField()->text(), u("未知"));
        d->reject();
    }

    void limitWriteReachesTheLoggerByteForByte() {
        openStation();
        CSetDevice* d = show();
        QVERIFY(d != nullptr);
        devices::CDeviceAlarm* page = d->alarmPage();
        // Corrected before anything is sent.
        setLimits(page, "20.2", "30.6", "80", "20");
        page->setButton()->click();
        QCOMPARE(prompted(), QStringList{u("下限不能大于上限|通道一")});
        QCOMPARE(page->limitEdit(LimitField::Ch1Upper)->text(), u("30"));
        QCOMPARE(page->limitEdit(LimitField::Ch1Lower)->text(), u("20.2"));
        QVERIFY(!sim_->writtenBlock(7));
        prompts_->prompts.clear();

        setLimits(page, "25.37", "-3.25", "80", "20");
        page->setButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(page->setButton()->text(), u("设置完成"), kWaitMs);
        QVERIFY(!page->setButton()->isEnabled());
        QCOMPARE(prompted(), QStringList());
        // interval 1, EE 02, mask 3, 0, the limits 253 / -32 (two's complement) / 800 / 200 and
        // the sound duration 301 as request words, zeros between.
        const std::vector<std::uint8_t> expected = {0x01, 0xEE, 0x02, 0x03, 0x00, 0xFD, 0x00, 0xE0, 0xFF,
                                                    0x20, 0x03, 0xC8, 0x00, 0,    0,    0,    0,    0,
                                                    0,    0,    0,    0,    0,    0,    0,    0x2D, 0x01};
        auto block = sim_->writtenBlock(7);
        QVERIFY(block);
        QCOMPARE(QString::fromStdString(test::toHex(*block)), QString::fromStdString(test::toHex(expected)));
        QCOMPARE(test::sqlScalar("select concat(CHL1Enable,'|',CHL1Upper,'|',CHL1Lower,'|',CHL2Upper,'|',CHL2Type,'|',"
                                 "CHL2Unit) from tovandevicetable where DeviceNumber=7"),
                 std::string("1|25.37|-3.25|80|湿度|%"));
        QCOMPARE(engine_->table().device(1, 7)->ch1Lower, -3.25f);
        d->reject();
    }

    void intervalAndClockAtTheLogger() {
        openStation();
        QVERIFY(sim_->setClock(7, "2020-01-01 10:00:00"));
        QVERIFY(sim_->fillHistory(7, 10, "2019-12-31 10:00", 1));
        CSetDevice* d = show();
        devices::CDeviceRecord* record = d->recordPage();
        record->intervalList()->setCurrentIndex(record->intervalList()->findText(u("1小时")));
        record->intervalButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(record->intervalButton()->text(), u("应用√"), kWaitMs);
        QCOMPARE(sim_->alarm(7)->intervalCode, 60);
        QCOMPARE(test::sqlScalar("select RecordInter from tovandevicetable where DeviceNumber=7"), std::string("60"));
        QCOMPARE(record->currentField()->text(), u("1小时"));

        d->infoPage()->clockButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("时钟同步成功！|提示")}, kWaitMs);
        QCOMPARE(sim_->historyCount(7), 0);
        QVERIFY(sim_->clock(7).rfind("2020", 0) != 0);
        QVERIFY(d->infoPage()->clockButton()->isEnabled());
        prompts_->prompts.clear();

        // A silent logger: each page says so and offers its button again.
        QVERIFY(sim_->setFault(7, test::LoggerSim::Fault::Silent));
        d->infoPage()->clockButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("时钟同步失败！|提示")}, kWaitMs);
        prompts_->prompts.clear();
        record->intervalList()->setCurrentIndex(0);
        record->intervalButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设置失败！|提示")}, kWaitMs);
        QVERIFY(record->intervalButton()->isEnabled());
        prompts_->prompts.clear();
        setLimits(d->alarmPage(), "30", "10", "80", "20");
        d->alarmPage()->setButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("报警设置失败|提示")}, kWaitMs);
        QCOMPARE(d->alarmPage()->setButton()->text(), u("再次修改"));
        QCOMPARE(test::sqlScalar("select RecordInter from tovandevicetable where DeviceNumber=7"), std::string("60"));
        prompts_->prompts.clear();

        // The port closed: "串口未打开" from every page.
        QVERIFY(sim_->clearFault(7));
        closePort();
        d->infoPage()->clockButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("串口未打开|提示")}, kWaitMs);
        prompts_->prompts.clear();
        record->intervalButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("串口未打开|串口")}, kWaitMs);
        QCOMPARE(record->intervalButton()->text(), u("再次修改"));
        prompts_->prompts.clear();
        d->alarmPage()->setButton()->click();
        QCOMPARE(prompted(), QStringList{u("串口未打开|串口")});
        QCOMPARE(d->alarmPage()->setButton()->text(), u("再次设置"));
        d->reject();
    }

    void updateIntervalStoredInTheLines() {
        openStation();
        CSetDevice* d = show();
        devices::CDeviceRecord* record = d->recordPage();
        QCOMPARE(record->hoursEdit()->text(), u("0"));
        QCOMPARE(record->minutesEdit()->text(), u("3"));
        record->hoursEdit()->setText(u("24"));
        record->minutesEdit()->setText(u("0"));
        record->updateButton()->click();
        QCOMPARE(prompted(), QStringList());
        QCOMPARE(record->updateButton()->text(), u("应用√"));
        QVERIFY(!record->updateButton()->isEnabled());
        QCOMPARE(test::sqlScalar("select scantimerInter from tovanlinetable where lineid=1"), std::string("1440"));
        QTest::keyClick(record->minutesEdit(), Qt::Key_1);
        QVERIFY(record->updateButton()->isEnabled());
        QCOMPARE(record->updateButton()->text(), u("应用"));
        d->reject();
    }

    void failedReadKeepsTheAlarmPageDisabled() {
        openStation();
        engine_->table().updateDevice(1, 7, [](devices::DeviceEntry& e) { e.settingsLoaded = 0; });
        QVERIFY(sim_->setFault(7, test::LoggerSim::Fault::Silent));
        CSetDevice* d = show();
        QTRY_VERIFY_WITH_TIMEOUT(!d->reading(), kWaitMs);
        QCOMPARE(d->windowTitle(), u(" B区-07 的设备信息（未能读取设备的设置值）"));
        QVERIFY(!d->alarmPage()->setButton()->isEnabled());
        QVERIFY(!d->alarmPage()->limitEdit(LimitField::Ch1Upper)->isEnabled());
        QCOMPARE(d->alarmPage()->limitEdit(LimitField::Ch1Upper)->text(), QString());
        d->reject();

        // Without the AlarmSetting right the page shows the limits only.
        QVERIFY(sim_->clearFault(7));
        engine_->table().updateDevice(1, 7, [](devices::DeviceEntry& e) { e.settingsLoaded = 1; });
        d = settings();
        QVERIFY(d->load(kLogger7, false));
        QCOMPARE(d->alarmPage()->limitEdit(LimitField::Ch1Upper)->text(), u("30"));
        QVERIFY(!d->alarmPage()->setButton()->isEnabled());
        QVERIFY(!d->alarmPage()->channelCheck(1)->isEnabled());
    }

    void reAddressMovesTheDataTableAndTheNode() {
        openStation();
        engine_->post(devices::kMsgScan);
        QTRY_VERIFY_WITH_TIMEOUT(test::tableExists("tovandatatable_1007"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(engine_->driverState.load(), int(devices::kStateIdle), kWaitMs);
        const int rows = test::sqlRows("select * from TovanDataTable_1007");
        QVERIFY(rows > 0);
        CSetDevice* d = show();
        devices::CDeviceInfo* info = d->infoPage();
        // Nobody answers at 8 yet.
        info->addressEdit()->setText(u("8"));
        info->renameButton()->click();
        QCOMPARE(info->renameButton()->text(), u("修改中..."));
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设备地址 8 没有对应的设备存在|设备地址")}, kWaitMs);
        QCOMPARE(info->renameButton()->text(), u("再次修改"));
        QVERIFY(window_->findNode(kLogger7) != nullptr);
        prompts_->prompts.clear();

        // The operator set the logger to 8: the row, the table, the entry,
        // the node and the tile follow.
        QVERIFY(sim_->removeLogger(7));
        QVERIFY(sim_->addLogger(8));
        info->nameEdit()->setText(u("B区-08"));
        info->renameButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(info->renameButton()->text(), u("修改成功"), kWaitMs);
        QCOMPARE(prompted(), QStringList());
        QCOMPARE(test::sqlRows("select * from TovanDataTable_1008"), rows);
        QVERIFY(!test::tableExists("tovandatatable_1007"));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where DeviceNumber=8"), std::string("B区-08"));
        QVERIFY(engine_->table().device(1, 8));
        QVERIFY(!engine_->table().device(1, 7));
        QVERIFY(window_->findNode(kLogger7) == nullptr);
        QVERIFY(window_->findNode(100008) != nullptr);
        QCOMPARE(window_->findNode(100008)->text(0), u("B区-08"));
        QCOMPARE(d->windowTitle(), u(" B区-08 的设备信息"));
        bool tileFound = false;
        for (int i = 0; i < window_->statusView()->tileCount(); ++i)
            tileFound = tileFound || window_->statusView()->tile(i)->text() == u("1008");
        QVERIFY(tileFound);
        d->reject();
    }

    // A network logger behind the receiver: stopped and started with its
    // node's colour, and moved to a new address by the receiver.
    void networkLoggerStartStopAndAddress() {
        test::LoggerSim receiver({.addresses = {4}, .paced = false, .receiver = true});
        openReceiverLine(receiver);
        if (QTest::currentTestFailed()) return;
        CSetDevice* d = show(200004);
        QVERIFY(d != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!d->reading(), kWaitMs);
        devices::CDeviceInfo* info = d->infoPage();
        QVERIFY(!info->clockButton()->isEnabled());
        QVERIFY(info->startButton()->isEnabled());
        QCOMPARE(d->recordPage()->currentField()->text(), u("10秒"));
        QVERIFY(!d->recordPage()->intervalButton()->isEnabled());
        QVERIFY2(!d->alarmPage()->setButton()->isEnabled(), "limits are written to wired loggers only");

        info->stopButton()->click();
        QCOMPARE(info->stateField()->text(), u("正在停机..."));
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设备停机成功|提示")}, kWaitMs);
        QVERIFY(info->stoppedCheck()->isChecked());
        QCOMPARE(receiver.wirelessState(4)->running, 0);
        auto* tree = window_->tree();
        QCOMPARE(tree->nodeStyle(window_->findNode(200004)).colour, widgets::rgb(255, 0, 0));
        prompts_->prompts.clear();

        info->startButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设备启动成功|提示")}, kWaitMs);
        QVERIFY(info->workingCheck()->isChecked());
        QCOMPARE(info->power1Field()->text(), u("3.600V"));
        QCOMPARE(info->powerKindField()->text(), u("电量适中"));
        QCOMPARE(tree->nodeStyle(window_->findNode(200004)).colour, widgets::rgb(0, 0, 0));
        QCOMPARE(int(engine_->table().device(2, 4)->running), 1);
        prompts_->prompts.clear();

        info->addressEdit()->setText(u("6"));
        info->renameButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(info->renameButton()->text(), u("修改成功"), kWaitMs);
        QCOMPARE(prompted(), QStringList());
        QCOMPARE(receiver.addresses(), std::vector<int>{6});
        QVERIFY(window_->findNode(200006) != nullptr);
        QCOMPARE(test::sqlScalar("select DeviceNumber from tovandevicetable where LineID=2"), std::string("6"));

        // No receiver on the port any more.
        receiver.stop();
        info->stopButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!prompts_->prompts.empty(), kWaitMs);
        QVERIFY(prompted().first() == u("设备停机失败|提示") || prompted().first() == u("串口无法打开|串口"));
        d->reject();
    }

    // Network jobs held behind the device event (as a long scan would hold
    // it): one at a time, so 启动, 停机 and 修改 stay off until the job ends
    // and an edit meanwhile does not bring 修改 back; a new address reaches
    // the row, the entry and the tree although the window closed meanwhile.
    void networkJobsOneAtATimeAndToTheirEnd() {
        test::LoggerSim receiver({.addresses = {4}, .paced = false, .receiver = true});
        openReceiverLine(receiver);
        if (QTest::currentTestFailed()) return;
        CSetDevice* d = show(200004);
        QVERIFY(d != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!d->reading(), kWaitMs);
        devices::CDeviceInfo* info = d->infoPage();
        auto buttonsOff = [info] {
            return !info->startButton()->isEnabled() && !info->stopButton()->isEnabled() &&
                   !info->renameButton()->isEnabled();
        };

        engine_->deviceEvent.wait();
        info->stopButton()->click();
        QVERIFY(buttonsOff());
        QTest::keyClick(info->nameEdit(), Qt::Key_X);
        QCOMPARE(info->renameButton()->text(), u("修改"));
        QVERIFY(buttonsOff());
        engine_->deviceEvent.set();
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设备停机成功|提示")}, kWaitMs);
        QVERIFY(info->startButton()->isEnabled());
        QVERIFY(info->stopButton()->isEnabled());
        QVERIFY(info->renameButton()->isEnabled());
        prompts_->prompts.clear();

        engine_->deviceEvent.wait();
        info->nameEdit()->setText(u("W6"));
        info->addressEdit()->setText(u("6"));
        info->renameButton()->click();
        QCOMPARE(info->renameButton()->text(), u("修改中..."));
        QVERIFY(buttonsOff());
        QTest::keyClick(info->nameEdit(), Qt::Key_Y);
        QCOMPARE(info->renameButton()->text(), u("修改中..."));
        QVERIFY(buttonsOff());
        d->reject();
        QVERIFY(d->isHidden());
        QCOMPARE(receiver.addresses(), std::vector<int>{4});
        engine_->deviceEvent.set();
        QTRY_COMPARE_WITH_TIMEOUT(
            test::sqlScalar("select concat(DeviceNumber,'|',DeviceName) from tovandevicetable where LineID=2"),
            std::string("6|W6"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(window_->findNode(200006) != nullptr, kWaitMs);
        QCOMPARE(window_->findNode(200006)->text(0), u("W6"));
        QVERIFY(window_->findNode(200004) == nullptr);
        QCOMPARE(receiver.addresses(), std::vector<int>{6});
        QVERIFY(engine_->table().device(2, 6));
        QVERIFY(!engine_->table().device(2, 4));
        QCOMPARE(prompted(), QStringList());

        // Opened again on the moved logger: its buttons are back.
        d = show(200006);
        QVERIFY(d != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!d->reading(), kWaitMs);
        QCOMPARE(info->addressEdit()->text(), u("6"));
        QVERIFY(info->startButton()->isEnabled());
        QVERIFY(info->renameButton()->isEnabled());
        d->reject();
    }

    // A request the polling thread never answers (held here behind the
    // device event) is given up after 30 s; one no thread takes at once.
    void unansweredRequestsEnd() {
        openStation();
        CSetDevice* d = show();
        engine_->deviceEvent.wait();
        setLimits(d->alarmPage(), "30", "10", "80", "20");
        d->alarmPage()->setButton()->click();
        QVERIFY(d->alarmPage()->setButton()->text().startsWith(u("设置中")));
        QTRY_COMPARE_WITH_TIMEOUT(prompted(), QStringList{u("设置失败！|提示")}, devices::kRequestTimeoutMs + kWaitMs);
        QCOMPARE(d->alarmPage()->setButton()->text(), u("再次修改"));
        QVERIFY(d->alarmPage()->setButton()->isEnabled());
        engine_->deviceEvent.set();
        QTRY_COMPARE_WITH_TIMEOUT(engine_->alarmWriteResult.load(), int(devices::kResultDone), kWaitMs);
        prompts_->prompts.clear();

        engine_->stop();
        d->infoPage()->clockButton()->click();
        QCOMPARE(prompted(), QStringList{u("设置失败！|提示")});
        QVERIFY(d->infoPage()->clockButton()->isEnabled());
        d->reject();
    }

    // The upper limit lowered below the reading: red at the next scan.
    void loweredLimitTurnsTheTileRed() {
        openStation();
        engine_->post(devices::kMsgScan);
        QTRY_COMPARE_WITH_TIMEOUT(int(engine_->table().device(1, 7)->status), int(devices::kStatusNormal), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(engine_->driverState.load(), int(devices::kStateIdle), kWaitMs);
        QVERIFY(select(kLogger7));
        test::whenModal([&](QWidget* w) {
            auto* d = static_cast<CSetDevice*>(w);
            d->tabs()->setCurrentIndex(devices::kTabAlarmPage);
            setLimits(d->alarmPage(), "20", "10", "80", "20");
            d->alarmPage()->setButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(d->alarmPage()->setButton()->text(), u("设置完成"), kWaitMs);
            d->accept();
        });
        QVERIFY(window_->runCommand(app::kCmdDeviceSettings));
        QCOMPARE(sim_->alarm(7)->limits[0], 200);
        const int position = engine_->table().device(1, 7)->sequence - 1;
        const int draws = window_->statusView()->drawCount(position);
        engine_->post(devices::kMsgScan);
        QTRY_COMPARE_WITH_TIMEOUT(int(engine_->table().device(1, 7)->status), int(devices::kStatusAlarm), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(window_->statusView()->drawCount(position) > draws, kWaitMs);
        QCOMPARE(test::sqlScalar("select Event from tovanalarmtable where DeviceNumber=7"), std::string("上限超标"));
    }
};

QTEST_MAIN(SetDeviceTest)
#include "set_device_test.moc"
