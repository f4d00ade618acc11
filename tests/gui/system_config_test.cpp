// The system configuration dialog through the window: its tabs, the
// alarm-output page against the alarm thread and the simulated alarm box,
// the phone-number dialog, and the pages gated by the current user's rights.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QTest>

#include "alarms/alarm_messages.h"
#include "alarms/system_alarm.h"
#include "alarms/system_alarm_page.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "config/system_set_dialog.h"
#include "config/system_setting_page.h"
#include "widgets/bitmap_button.h"
#include <QApplication>
#include <QInputMethodEvent>
#include "tests/support/local_tcp.h"
#include "devices/engine.h"
#include "tests/gui/gui_support.h"
#include "tests/support/alarm_sim.h"
#include "tests/support/prompt_recorder.h"
#include "users/current_user.h"
#include "users/user_manage.h"
#include "users/user_manage_page.h"
#include <QListWidget>
#include <QRadioButton>
#include <QCheckBox>

using namespace tovanix;
using app::CTovanixDlg;
using test::PromptRecorder;

namespace {

constexpr int kAlarmCom = 9;
constexpr int kMissingCom = 12;
constexpr int kSimWaitMs = 10000;
constexpr int kPortTestWaitMs = 10000;
constexpr int kTickMs = 50;
constexpr int kMinTicks = 20;        // a second of ticks while the test waits its 5 s
constexpr int kGiveUpWaitMs = 8000;  // the connection test gives up after 5 s

QStringList unnamedControls(QWidget* dialog) {
    QStringList out;
    for (auto* w : dialog->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr ||
                             qobject_cast<QTableWidget*>(w) != nullptr || qobject_cast<QTabWidget*>(w) != nullptr;
        if (control && w->accessibleName().isEmpty()) out << QString::fromUtf8(w->metaObject()->className());
    }
    return out;
}

QPushButton* button(QWidget* dialog, const char* caption) {
    for (auto* b : dialog->findChildren<QPushButton*>()) {
        if (b->text() == QString::fromUtf8(caption)) return b;
    }
    return nullptr;
}

}  // namespace

class SystemConfigTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    SystemConfigTest() : WindowFixture(true) {}

private:
    QTemporaryDir comDir_;

    // Runs 系统配置 and `act` on its dialog, then closes it.
    bool runSystemSet(const std::function<void(config::CSystemSet*)>& act) {
        bool seen = false;
        test::whenModal([&](QWidget* d) {
            auto* set = qobject_cast<config::CSystemSet*>(d);
            seen = set != nullptr;
            if (set != nullptr) act(set);
            static_cast<QDialog*>(d)->accept();
        });
        return window_->runCommand(app::kCmdSystemConfig) && seen;
    }

private slots:
    void initTestCase() {
        QVERIFY(comDir_.isValid());
        qputenv("TOVANIX_COMDIR", comDir_.path().toUtf8());
    }
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::sql("insert into tovanalarmdevicetable (COM,Sound,GMS,GMSTime) values('0','0','0','0');"));
        QVERIFY(test::logInRoot());
    }
    void cleanup() {
        window_.reset();
        engine_.reset();
    }

    void buttonAndTabs() {
        CTovanixDlg& w = open();
        QPushButton* configButton = nullptr;
        for (auto* b : w.findChildren<QPushButton*>()) {
            if (b->property("controlId").toInt() == 1005) configButton = b;
        }
        QVERIFY(configButton != nullptr);
        QCOMPARE(configButton->text(), QStringLiteral("系统配置"));
        QVERIFY(configButton->isVisible());

        QStringList captions;
        int current = -1;
        QStringList unnamed;
        test::whenModal([&](QWidget* d) {
            auto* set = qobject_cast<config::CSystemSet*>(d);
            if (set != nullptr) {
                for (int i = 0; i < set->tabs()->count(); ++i) captions << set->tabs()->tabText(i);
                current = set->tabs()->currentIndex();
                unnamed = unnamedControls(d);
            }
            static_cast<QDialog*>(d)->accept();
        });
        configButton->click();
        QCOMPARE(captions, (QStringList{QStringLiteral("用户管理"), QStringLiteral("报警设置"),
                                        QStringLiteral("数据中心"), QStringLiteral("远程服务")}));
        QCOMPARE(current, 0);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char(','))));
    }

    void sirenSwitchedOnThroughThePage() {
        test::AlarmSim box;
        test::AlarmSim::Options o;
        o.paced = false;
        o.quiet = true;
        QVERIFY2(box.start(o), box.error().c_str());
        QVERIFY(box.linkAs(kAlarmCom, comDir_.path().toStdString()));
        open();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            set->tabs()->setCurrentIndex(config::kTabAlarm);
            alarms::CSystemAlarm* page = set->alarmPage();
            QVERIFY(page->soundCheck()->isEnabled());
            QVERIFY(!page->soundCheck()->isChecked());

            // A port with nothing behind it: refused, the old number back.
            page->comEdit()->setText(QString::number(kMissingCom));
            page->confirmButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(!prompts_->prompts.empty(), kPortTestWaitMs);
            QCOMPARE(prompts_->prompts.back().text, std::string("串口COM12不存在！"));
            QCOMPARE(page->comEdit()->text(), QStringLiteral("0"));
            QVERIFY(page->confirmButton()->isEnabled());

            // The box's port: tested by the alarm thread, then stored.
            page->comEdit()->setText(QString::number(kAlarmCom));
            page->confirmButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(page->confirmButton()->text(), QString::fromUtf8(alarms::kConfirmedButton),
                                      kPortTestWaitMs);
            QVERIFY(!page->confirmButton()->isEnabled());
            QCOMPARE(test::sqlScalar("select COM from tovanalarmdevicetable"), std::string("9"));

            page->soundCheck()->click();
            QCOMPARE(test::sqlScalar("select Sound from tovanalarmdevicetable"), std::string("1"));
            QCOMPARE(engine_->alarmShared().config.settings().sound, 1);

            // Typing 0 as the interval stores 1.
            page->intervalEdit()->clear();
            QTest::keyClicks(page->intervalEdit(), QStringLiteral("0"));
            QCOMPARE(test::sqlScalar("select GMSTime from tovanalarmdevicetable"), std::string("1"));
        }));
        // An alarm now switches the siren on.
        QVERIFY(engine_->postAlarm(alarms::kMsgAlarmBoxOn));
        QVERIFY(box.waitForSiren(true, kSimWaitMs));

        // 关闭警声: told first, then switched off by the alarm thread.
        const std::size_t before = prompts_->prompts.size();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            QVERIFY(!set->alarmPage()->confirmButton()->text().contains(QStringLiteral("√")));
            set->alarmPage()->boxOffButton()->click();
        }));
        QCOMPARE(prompts_->prompts.size(), before + 1);
        QCOMPARE(prompts_->prompts.back().text, std::string(alarms::kBoxOffNotice));
        QVERIFY(box.waitForSiren(false, kSimWaitMs));
    }

    void phoneNumbersThroughTheDialogs() {
        open();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            alarms::CSystemAlarm* page = set->alarmPage();
            for (const char* number : {"13912345678", "13800000001"}) {
                bool closed = false;
                test::whenModal([&](QWidget* d) {
                    d->findChild<QLineEdit*>(QStringLiteral("number"))->setText(QString::fromUtf8(number));
                    button(d, kButtonOk)->click();
                    closed = !d->isVisible();
                });
                page->addButton()->click();
                QVERIFY(closed);
            }
            QCOMPARE(page->phoneList()->rowCount(), 2);
            QCOMPARE(page->phoneList()->item(1, 0)->text(), QStringLiteral("2"));
            QCOMPARE(page->phoneList()->item(1, 1)->text(), QStringLiteral("13800000001"));

            // Both selected, Cancel at the first question: nothing deleted.
            page->phoneList()->selectAll();
            prompts_->answers = {PromptAnswer::Cancel};
            page->deleteButton()->click();
            QCOMPARE(page->phoneList()->rowCount(), 2);
            // Both confirmed: two questions, both gone.
            page->phoneList()->selectAll();
            prompts_->prompts.clear();
            page->deleteButton()->click();
            int questions = 0;
            for (const auto& p : prompts_->prompts) questions += p.caption == kCaptionConfirm;
            QCOMPARE(questions, 2);
            QCOMPARE(page->phoneList()->rowCount(), 0);
        }));
        QCOMPARE(test::sqlRows("select * from tovanphonenumtable"), 0);
        QVERIFY(engine_->alarmShared().config.phones().empty());
    }

    void usersThroughTheUserPage() {
        QVERIFY(test::sql("insert into tovanusertable (User_Name,PassWord,User_Right) values('bob','1','0');"));
        open();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            auto* page = qobject_cast<users::CUserManage*>(set->tabs()->widget(config::kTabUsers));
            QVERIFY(page != nullptr);
            QCOMPARE(page->userList()->count(), 1);  // root is not listed
            QCOMPARE(page->userList()->item(0)->text(), QStringLiteral("bob"));
            QVERIFY(page->userLevel()->isChecked());
            QVERIFY(page->rightCheck(users::kDataView)->isChecked());  // level 1 created as data viewing only

            test::whenModal([&](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("ann"));
                d->findChild<QLineEdit*>(QStringLiteral("password"))->setText(QStringLiteral("p'w"));
                d->findChild<QLineEdit*>(QStringLiteral("confirm"))->setText(QStringLiteral("p'w"));
                button(d, kButtonOk)->click();
            });
            page->addButton()->click();
            QCOMPARE(page->userList()->count(), 2);
            QCOMPARE(prompts_->prompts.back().text, std::string(users::kUserAdded));

            // bob is a guest: clicking him shows level 0; a click on a check saves its row.
            QListWidgetItem* bob = page->userList()->findItems(QStringLiteral("bob"), Qt::MatchExactly).value(0);
            page->userList()->setCurrentItem(bob);
            emit page->userList()->itemClicked(bob);
            QVERIFY(page->guestLevel()->isChecked());
            page->rightCheck(users::kAlarmAck)->click();
            QCOMPARE(test::sqlScalar("select AlarmAck from tovanuserrighttable where User_Right=0"), std::string("1"));
            QCOMPARE(test::sqlScalar("select CompanyInfo from tovanuserrighttable where User_Right=0"),
                     std::string("1"));
        }));
        QCOMPARE(test::sqlScalar("select User_Right from tovanusertable where User_Name='ann'"), std::string("1"));

        // Without UserManage the editing controls are disabled.
        test::setGuest();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            auto* page = qobject_cast<users::CUserManage*>(set->tabs()->widget(config::kTabUsers));
            QVERIFY(!page->addButton()->isEnabled());
            QVERIFY(!page->deleteButton()->isEnabled());
            QVERIFY(!page->rightCheck(users::kDataView)->isEnabled());
            QVERIFY(!page->passwordApply()->isEnabled());
        }));
    }

    void remoteServiceSavedAndTested() {
        QVERIFY(test::seedStandardStation());
        QVERIFY(test::sql("insert into TovanSystrmTable (SystemName,ServerOpen,ServerIP,ServerPort,CompanyName,URL,"
                          "ModelID) values('冷链监测站','0','192.168.1.1','5000','','','')"));
        CTovanixDlg& w = open();
        QVERIFY(select(100001));  // a device, not the root, is selected
        test::LocalTcp server(test::LocalTcp::Kind::Accepting);
        QVERIFY(server.port() != 0);
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            set->tabs()->setCurrentIndex(config::kTabRemote);
            config::CSystemSetting* page = set->remotePage();
            QVERIFY(page->isVisible());
            set->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(set));
            // Service off: the edits and the test follow the check.
            QVERIFY(!page->enableCheck()->isChecked());
            QVERIFY(!page->modelIdEdit()->isEnabled());
            QVERIFY(!page->testButton()->isEnabled());
            page->enableCheck()->click();
            QVERIFY(page->modelIdEdit()->isEnabled());
            QVERIFY(page->testButton()->isEnabled());

            struct Case {
                bool enabled;
                const char* modelId;
                bool saved;
            } cases[] = {{true, "AB123", false}, {true, "AB1234", true}, {false, "AB12", true}};
            for (const Case& c : cases) {
                // Typed while the edit is enabled, then the check set.
                if (!page->enableCheck()->isChecked()) page->enableCheck()->click();
                page->addressEdit()->setFocus();
                page->modelIdEdit()->setFocus();
                QCOMPARE(page->saveButton()->text(), QString::fromUtf8(config::kRemoteSaveButton));
                QVERIFY(page->saveButton()->isEnabled());
                page->modelIdEdit()->selectAll();
                QTest::keyClicks(page->modelIdEdit(), QString::fromUtf8(c.modelId));
                if (!c.enabled) page->enableCheck()->click();
                prompts_->prompts.clear();
                page->saveButton()->click();
                if (c.saved) {
                    QVERIFY(prompts_->prompts.empty());
                    QCOMPARE(page->saveButton()->text(), QString::fromUtf8(config::kRemoteSavedButton));
                    QVERIFY(!page->saveButton()->isEnabled());
                    QCOMPARE(QString::fromStdString(test::sqlScalar("select ModelID from tovansystrmtable")),
                             QString::fromUtf8(c.modelId));
                    QCOMPARE(test::sqlScalar("select ServerOpen from tovansystrmtable"),
                             std::string(c.enabled ? "1" : "0"));
                } else {
                    QCOMPARE(prompts_->texts(), std::vector<std::string>{config::kModelIdLength});
                    QVERIFY(page->saveButton()->isEnabled());
                }
            }
            // The edit takes six characters at most.
            page->enableCheck()->click();
            QVERIFY(page->enableCheck()->isChecked());
            page->modelIdEdit()->clear();
            QTest::keyClicks(page->modelIdEdit(), QStringLiteral("ABCDEFG"));
            QCOMPARE(page->modelIdEdit()->text(), QStringLiteral("ABCDEF"));

            // The test against a server that answers, off the window's thread.
            page->addressEdit()->setText(QStringLiteral("127.0.0.1"));
            page->portEdit()->setText(QString::number(server.port()));
            prompts_->prompts.clear();
            page->testButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(!page->testRunning(), kPortTestWaitMs);
            QCOMPARE(prompts_->texts(), std::vector<std::string>{config::kConnected});
            QCOMPARE(page->testButton()->text(), QString::fromUtf8(config::kRemoteTestButton));
        }));
        // The root keeps the system row's name.
        QCOMPARE(w.findNode(0)->text(0), QStringLiteral("冷链监测站"));
        QCOMPARE(test::sqlScalar("select SystemName from tovansystrmtable"), std::string("冷链监测站"));
    }

    void connectionTestNeverFreezesTheWindow() {
        test::LocalTcp silent(test::LocalTcp::Kind::Silent);
        QVERIFY(silent.port() != 0);
        open();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            config::CSystemSetting* page = set->remotePage();
            if (!page->enableCheck()->isChecked()) page->enableCheck()->click();
            page->addressEdit()->setText(QStringLiteral("127.0.0.1"));
            page->portEdit()->setText(QString::number(silent.port()));
            prompts_->prompts.clear();
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker.start(kTickMs);
            page->testButton()->click();
            QVERIFY(page->testRunning());
            QCOMPARE(page->testButton()->text(), QString::fromUtf8(config::kRemoteTestingButton));
            QVERIFY(!page->testButton()->isEnabled());
            // Nothing answers: the window's timers go on meanwhile, and the
            // test gives up on its own.
            QTRY_VERIFY_WITH_TIMEOUT(!page->testRunning(), kGiveUpWaitMs);
            QVERIFY(ticks >= kMinTicks);
            QCOMPARE(prompts_->texts(), std::vector<std::string>{config::kConnectFailed});
            QVERIFY(page->testButton()->isEnabled());
        }));
    }

    void companyNameTypedRedrawsTheBanner() {
        CTovanixDlg& w = open();
        widgets::BitmapButton* banner = nullptr;
        for (auto* b : w.findChildren<widgets::BitmapButton*>()) {
            if (b->property("controlId").toInt() == 1028) banner = b;
        }
        QVERIFY(banner != nullptr);
        const QImage before = banner->picture();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            config::CCompanyInfo* company = set->companyInfo();
            QVERIFY(company->nameEdit()->isEnabled());
            company->nameEdit()->clear();
            // Chinese arrives through the input method, a character at a time.
            for (const QChar ch : QStringLiteral("冷'链")) {
                QInputMethodEvent typed;
                typed.setCommitString(QString(ch));
                QApplication::sendEvent(company->nameEdit(), &typed);
            }
            // Saved at each keystroke, the banner redrawn at once.
            QCOMPARE(test::sqlScalar("select CompanyName from tovansystrmtable"), std::string("冷'链"));
            QVERIFY(banner->toolTip().startsWith(QStringLiteral("冷'链  ")));
            company->urlEdit()->clear();
            QTest::keyClicks(company->urlEdit(), QStringLiteral("w.example"));
            QCOMPARE(test::sqlScalar("select URL from tovansystrmtable"), std::string("w.example"));
        }));
        QCOMPARE(banner->toolTip(), QStringLiteral("冷'链  w.example"));
        QCOMPARE(banner->accessibleName(), banner->toolTip());
        QVERIFY(banner->picture() != before);
        QCOMPARE(engine_->systemInfo().companyName, std::string("冷'链"));
    }

    void userPageAlarmControlsShareTheSettings() {
        test::AlarmSim box;
        test::AlarmSim::Options o;
        o.paced = false;
        o.quiet = true;
        QVERIFY2(box.start(o), box.error().c_str());
        QVERIFY(box.linkAs(kAlarmCom, comDir_.path().toStdString()));
        open();
        QVERIFY(runSystemSet([&](config::CSystemSet* set) {
            alarms::CSystemAlarm* copy = set->userAlarmControls();
            QVERIFY(copy != nullptr);
            QVERIFY(copy->isVisible());  // on the user page, the first tab
            copy->soundCheck()->click();
            QCOMPARE(test::sqlScalar("select Sound from tovanalarmdevicetable"), std::string("1"));
            QCOMPARE(engine_->alarmShared().config.settings().sound, 1);
            // The alarm tab shows it; its change shows back on the user page.
            set->tabs()->setCurrentIndex(config::kTabAlarm);
            QVERIFY(set->alarmPage()->soundCheck()->isChecked());
            set->alarmPage()->gmsCheck()->click();
            set->tabs()->setCurrentIndex(config::kTabUsers);
            QVERIFY(copy->gmsCheck()->isChecked());
            QCOMPARE(test::sqlScalar("select GMS from tovanalarmdevicetable"), std::string("1"));

            // On this copy, a change of the number after a confirmation
            // enables 确认 again.
            copy->comEdit()->setText(QString::number(kAlarmCom));
            copy->confirmButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(copy->confirmButton()->text(), QString::fromUtf8(alarms::kConfirmedButton),
                                      kPortTestWaitMs);
            QVERIFY(!copy->confirmButton()->isEnabled());
            QCOMPARE(engine_->alarmShared().config.settings().com, kAlarmCom);
            QTest::keyClicks(copy->comEdit(), QStringLiteral("3"));
            QVERIFY(copy->confirmButton()->isEnabled());
            QCOMPARE(copy->confirmButton()->text(), QString::fromUtf8(alarms::kConfirmButton));
        }));
    }

    void alarmControlsFollowTheRight() {
        struct Case {
            bool alarmSetting;
        };
        for (const Case c : {Case{false}, Case{true}}) {
            test::setGuest();
            if (c.alarmSetting) {
                users::CurrentUser u = users::current();
                u.alarmSetting = 1;
                users::setCurrent(u);
            }
            open();
            QVERIFY(runSystemSet([&](config::CSystemSet* set) {
                alarms::CSystemAlarm* page = set->alarmPage();
                for (QWidget* control :
                     {static_cast<QWidget*>(page->soundCheck()), static_cast<QWidget*>(page->gmsCheck()),
                      static_cast<QWidget*>(page->comEdit()), static_cast<QWidget*>(page->confirmButton()),
                      static_cast<QWidget*>(page->intervalEdit()), static_cast<QWidget*>(page->addButton()),
                      static_cast<QWidget*>(page->deleteButton())})
                    QCOMPARE(control->isEnabled(), c.alarmSetting);
                QVERIFY(page->boxOffButton()->isEnabled());
            }));
        }
    }
};

QTEST_MAIN(SystemConfigTest)
#include "system_config_test.moc"
