// The rights matrix through the window: for a level-1 and a level-0 user,
// each of the six rights alone, and every right but that one, each after a
// fresh login through 更改用户; every checkpoint of the window then opens
// exactly when its right is held.
#include <QApplication>
#include <QCheckBox>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <array>

#include "alarms/system_alarm_page.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/node_data.h"
#include "config/system_set_dialog.h"
#include "config/system_setting_page.h"
#include "data/backup_actions.h"
#include "data/backup_dialog.h"
#include "data/data_page.h"
#include "data/history_text.h"
#include "data/system_data_page.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "platform/format.h"
#include "tests/gui/gui_support.h"
#include "users/current_user.h"
#include "users/user_login_dialog.h"
#include "users/user_manage.h"
#include "users/user_manage_page.h"

using namespace tovanix;

namespace {

constexpr unsigned kDevice = 100001;  // device 1 directly under line 1
constexpr int kDeviceTileCode = 1001;  // its tile: lineid * 1000 + address
constexpr int kModalPollMs = 10;

// Runs `act`; a modal dialog that opens meanwhile goes to `inspect` and is
// closed. True when one opened. Nothing stays armed after it returns.
bool withModal(const std::function<void()>& act, const std::function<void(QWidget*)>& inspect = {}) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(kModalPollMs);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || seen) return;
        seen = true;
        if (inspect) inspect(modal);
        static_cast<QDialog*>(modal)->reject();
    });
    poll.start();
    act();
    poll.stop();
    return seen;
}

constexpr std::array<const char*, 6> kRightColumns = {"DeviceManagement", "AlarmSetting", "AlarmAck",
                                                      "DataView",         "UserManage",   "DatabaseManage"};

}  // namespace

class RightsTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    RightsTest() : WindowFixture(false) {}

private:
    // The rights row of the level: the six flags, Setting 0, CompanyInfo 1.
    static bool setRights(int level, const std::array<bool, 6>& on) {
        std::string sets;
        for (std::size_t i = 0; i < on.size(); ++i)
            sets += platform::format("%s%s=%d", i == 0 ? "" : ",", kRightColumns[i], on[i] ? 1 : 0);
        return test::sql(platform::format("update tovanuserrighttable set %s where User_Right=%d", sets.c_str(), level));
    }

    // 更改用户 with the name and password typed into the login dialog.
    bool logIn(const QString& name, const QString& password) {
        const bool seen = withModal([&] { window_->runCommand(app::kCmdChangeUser); }, [&](QWidget* d) {
            auto* login = qobject_cast<users::CUserLogin*>(d);
            if (login == nullptr) return;
            login->nameBox()->setCurrentText(name);
            login->passwordEdit()->setText(password);
            login->okButton()->click();
        });
        return seen && users::current().name == name.toStdString();
    }

    // Whether each checkpoint let the user through, in the order of the
    // rights.
    void probe(std::array<bool, 6>& open) {
        open = {};
        prompts_->prompts.clear();

        // DeviceManagement: 设置设备 reaches its handler.
        bool deviceSettings = false;
        window_->setCommandHandler(app::kCmdDeviceSettings, [&](unsigned) { deviceSettings = true; });
        window_->runCommand(app::kCmdDeviceSettings);
        open[users::kDeviceManagement] = deviceSettings;
        if (!deviceSettings) expectTold(app::kNoDeviceSettingsRight);

        // AlarmSetting and UserManage: the controls of 系统配置.
        bool alarmControls = false, userControls = false, databaseControls = false;
        withModal([&] { window_->runCommand(app::kCmdSystemConfig); }, [&](QWidget* d) {
            auto* set = qobject_cast<config::CSystemSet*>(d);
            QVERIFY(set != nullptr);
            alarmControls = set->alarmPage()->soundCheck()->isEnabled();
            // Both sets of alarm-output controls follow the one right.
            QCOMPARE(set->userAlarmControls()->soundCheck()->isEnabled(), alarmControls);
            QCOMPARE(set->userAlarmControls()->addButton()->isEnabled(), alarmControls);
            QVERIFY(set->alarmPage()->boxOffButton()->isEnabled());
            auto* users = qobject_cast<users::CUserManage*>(set->tabs()->widget(config::kTabUsers));
            QVERIFY(users != nullptr);
            userControls = users->addButton()->isEnabled();
            QCOMPARE(users->rightCheck(users::kDataView)->isEnabled(), userControls);
            QCOMPARE(set->companyInfo()->nameEdit()->isEnabled(), userControls);
            auto* dataCentre = qobject_cast<data::CSystemData*>(set->tabs()->widget(config::kTabData));
            QVERIFY(dataCentre != nullptr);
            databaseControls = dataCentre->backupPanel()->backupButton()->isEnabled();
            QCOMPARE(dataCentre->backupPanel()->restoreButton()->isEnabled(), databaseControls);
            QCOMPARE(dataCentre->invertButton()->isEnabled(), databaseControls);
        });
        open[users::kAlarmSetting] = alarmControls;
        open[users::kUserManage] = userControls;

        // DatabaseManage: the data-centre tab above and the menu item 数据库备份与还原.
        QAction* backupItem = nullptr;
        for (QAction* a : window_->menu(app::MenuId::Window)->actions()) {
            if (a->text() == QString::fromUtf8(data::backup::kBackupTitle)) backupItem = a;
        }
        QVERIFY(backupItem != nullptr);
        QCOMPARE(backupItem->isEnabled(), databaseControls);
        open[users::kDatabaseManage] = databaseControls;

        // DataView: a double click on a device and a click on its tile.
        window_->doubleClickNode(window_->findNode(kDevice));
        const bool dataPage = window_->pages()->currentWidget() == window_->dataPage();
        window_->showCurrentStatus();
        window_->tileClicked(kDeviceTileCode);
        QCOMPARE(window_->pages()->currentWidget() == window_->dataPage(), dataPage);
        window_->showCurrentStatus();
        open[users::kDataView] = dataPage;
        if (!dataPage) expectTold(app::kNoDataViewRight);

        // AlarmAck: the data page's 报警确认 opens the acknowledgement.
        const bool ack = withModal([&] { window_->dataPage()->acknowledgeButton()->click(); });
        open[users::kAlarmAck] = ack;
        if (!ack) expectTold(data::kNoAlarmAckRight);
    }

    void expectTold(const char* message) {
        bool told = false;
        for (const auto& p : prompts_->prompts) told = told || (p.text == message && p.caption == kCaptionInfo);
        QVERIFY2(told, message);
    }

private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::seedStandardStation());
        QVERIFY(test::logInRoot());
        QVERIFY(test::sql("insert into tovanusertable (User_Name,PassWord,User_Right) values('admin1','a''1',1),"
                          "('guest0','G\"0',0);"));
        QVERIFY(test::sql(db::schema::kCreateUserRightTable));
        QVERIFY(test::sql("insert into tovanuserrighttable (User_Right,DeviceManagement,AlarmSetting,AlarmAck,"
                          "DataView,UserManage,DatabaseManage,Setting,CompanyInfo) values "
                          "(1,0,0,0,1,0,0,0,0),(0,0,0,0,0,0,0,0,0);"));
    }
    void cleanup() {
        window_.reset();
        engine_.reset();
    }

    void eachRightGatesExactlyItsCheckpoints() {
        open();
        struct Account {
            int level;
            const char* name;
            const char* password;
        };
        for (const Account a : {Account{db::kLevelAdministrator, "admin1", "a'1"},
                                Account{db::kLevelGuest, "guest0", "G\"0"}}) {
            for (int right = 0; right < 6; ++right) {
                for (const bool alone : {true, false}) {
                    std::array<bool, 6> rights{};
                    for (int i = 0; i < 6; ++i) rights[i] = alone ? i == right : i != right;
                    QVERIFY(setRights(a.level, rights));
                    QVERIFY(logIn(QString::fromUtf8(a.name), QString::fromUtf8(a.password)));
                    const std::array<bool, 6> expected = rights;
                    std::array<bool, 6> got{};
                    probe(got);
                    if (QTest::currentTestFailed()) return;
                    for (int i = 0; i < 6; ++i) {
                        QVERIFY2(got[i] == expected[i],
                                 qPrintable(QStringLiteral("%1 level %2, %3 %4: checkpoint %5 is %6")
                                                .arg(QString::fromUtf8(a.name))
                                                .arg(a.level)
                                                .arg(QString::fromUtf8(kRightColumns[right]))
                                                .arg(alone ? QStringLiteral("alone") : QStringLiteral("withheld"))
                                                .arg(QString::fromUtf8(kRightColumns[i]))
                                                .arg(got[i] ? QStringLiteral("open") : QStringLiteral("closed"))));
                    }
                }
            }
        }
    }

    void rootHoldsEveryRightWhateverTheRows() {
        QVERIFY(test::sql("update tovanuserrighttable set DeviceManagement=0,AlarmSetting=0,AlarmAck=0,DataView=0,"
                          "UserManage=0,DatabaseManage=0"));
        open();
        QVERIFY(logIn(QStringLiteral("root"), QString::fromUtf8(db::kRootInitialPassword)));
        std::array<bool, 6> got{};
        probe(got);
        QVERIFY((got == std::array<bool, 6>{true, true, true, true, true, true}));
    }

    void aLevelWithoutARightsRowLogsInWithNoRights() {
        QVERIFY(test::sql("delete from tovanuserrighttable where User_Right=0"));
        open();
        QVERIFY(logIn(QStringLiteral("guest0"), QStringLiteral("G\"0")));
        std::array<bool, 6> got{true};
        probe(got);
        QVERIFY(got == (std::array<bool, 6>{}));
    }
};

QTEST_MAIN(RightsTest)
#include "rights_test.moc"
