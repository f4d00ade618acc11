// The main window against the private server: opening, status bar, menus
// and rights, tree clicks, the scan timer, the exit and the keys.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <optional>

#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/state_display.h"
#include "app/status_view.h"
#include "devices/engine.h"
#include "devices/polling_thread.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "users/current_user.h"
#include "users/edit_user_dialog.h"
#include "users/user_login_dialog.h"
#include "widgets/bitmap_button.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;
using app::CTovanixDlg;
using test::PromptRecorder;

namespace {

// Timer-5 ticks that must pass while the state is busy.
constexpr long long kBusyTicks = 3;

QStringList actionTexts(QMenu* m) {
    QStringList out;
    if (m == nullptr) return out;
    for (QAction* a : m->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QPoint centreOf(widgets::CTreeCtrlEx* tree, QTreeWidgetItem* item) {
    return tree->visualItemRect(item).center();
}

// Notes whether the engine still ran when the window was hidden.
class HideWatch : public QObject {
public:
    HideWatch(QWidget* window, const devices::Engine& engine) : engine_(engine) { window->installEventFilter(this); }
    std::optional<bool> engineRunningAtHide;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && !engineRunningAtHide) engineRunningAtHide = engine_.started();
        return false;
    }

private:
    const devices::Engine& engine_;
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::seedStandardStation());
        QVERIFY(test::logInRoot());
    }

    void openingBuildsTreeAndStatusBar() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(p.prompts.empty());
        QCOMPARE(w.windowTitle(), QStringLiteral("Tovanix"));
        QCOMPARE(w.minimumSize(), QSize(600, 600));
        QVERIFY(e.started());

        widgets::CTreeCtrlEx* t = w.tree();
        QCOMPARE(t->width(), 300);
        QCOMPARE(t->topLevelItemCount(), 1);
        QTreeWidgetItem* root = t->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("系统"));
        QCOMPARE(widgets::CTreeCtrlEx::itemData(root), 0u);
        QCOMPARE(root->childCount(), 2);
        QTreeWidgetItem* l1 = root->child(0);
        QTreeWidgetItem* l3 = root->child(1);
        QCOMPARE(l1->text(0), QStringLiteral("一号线"));
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l1), 100000u);
        QCOMPARE(l1->childCount(), 2);
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l1->child(1)), 100002u);
        // Groups first, each with its devices, then the devices of the line.
        QCOMPARE(l3->childCount(), 3);
        QCOMPARE(l3->child(0)->text(0), QStringLiteral("一组"));
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l3->child(0)), 301000u);
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l3->child(0)->child(0)), 301001u);
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l3->child(1)), 302000u);
        QCOMPARE(l3->child(1)->childCount(), 2);
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l3->child(1)->child(0)), 302007u);
        QCOMPARE(l3->child(2)->text(0), QStringLiteral("L2"));
        QCOMPARE(widgets::CTreeCtrlEx::itemData(l3->child(2)), 300002u);
        QVERIFY(root->isExpanded() && l3->isExpanded() && l3->child(1)->isExpanded());

        QCOMPARE(w.statusPane(0)->text(), QStringLiteral("当前用户:root[系统管理员]"));
        QCOMPARE(w.statusPane(1)->text(), QStringLiteral("状态:"));
        QVERIFY(w.statusPane(2)->text().startsWith(QStringLiteral("当前时间:")));
        QCOMPARE(w.statusPane(2)->text().size(), QStringLiteral("当前时间:2024-01-01 00:00:00").size());
        QCOMPARE(w.statusPane(3)->text(), QString::fromUtf8(app::kServiceLine));
        QCOMPARE(w.statusPane(0)->width(), 200);
        QCOMPARE(w.statusPane(1)->width(), 200);
        QCOMPARE(w.statusPane(2)->width(), 250);

        QCOMPARE(w.statusView()->tileCount(), 6);
        QCOMPARE(w.statusView()->tile(2)->text(), QStringLiteral("3007"));
    }

    void stateAndSmsPanes() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QTRY_COMPARE(w.statusPane(1)->text(), QStringLiteral("当前状态:空闲"));
        e.alarmShared().setStatusText("短信猫正常");
        w.tickSmsStatus();
        QCOMPARE(w.statusPane(3)->text(), QStringLiteral("短信猫正常"));
        e.alarmShared().setStatusText("");
        w.tickSmsStatus();
        QCOMPARE(w.statusPane(3)->text(), QString::fromUtf8(app::kServiceLine));
    }

    void menusPerNodeKind() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        widgets::CTreeCtrlEx* t = w.tree();
        QTreeWidgetItem* root = t->topLevelItem(0);

        QCOMPARE(actionTexts(w.menu(app::MenuId::Window)),
                 (QStringList{"当前状态(&C)", "系统配置(&S)", "全部检测(&A)", "修改密码(&P)", "更改用户(&D)",
                              "数据库备份与还原", "后台运行(&M)", "退出程序(&Q)", "-", "关于 Tovanix(&A)..."}));
        QCOMPARE(w.menuBar()->actions().at(0)->text(), QStringLiteral("系统(&S)"));
        QCOMPARE(actionTexts(w.menu(app::MenuId::TrayIcon)), (QStringList{"恢复", "关闭", "关于Tovanix"}));

        // The root offers only "增加线路"; a replaced handler gets the root's data.
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(t, root))), QStringList{"增加线路"});
        unsigned got = 1;
        w.setCommandHandler(app::kCmdAddLine, [&](unsigned data) { got = data; });
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(t, root))), QStringList{"增加线路"});
        QCOMPARE(t->currentItem(), root);
        w.contextMenuAt(centreOf(t, root))->actions().at(0)->trigger();
        QCOMPARE(got, 0u);

        QTreeWidgetItem* l3 = root->child(1);
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(t, l3))), (QStringList{"设置线路", "删除线路", "增加分组", "增加设备"}));
        QCOMPARE(t->currentItem(), l3);
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(t, l3->child(1)))), (QStringList{"删除分组", "增加设备"}));
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(t, l3->child(1)->child(0)))), (QStringList{"设置设备", "删除设备"}));
        QCOMPARE(w.menu(app::MenuId::Device)->actions().at(0)->data().toInt(), 32802);
        QCOMPARE(w.menu(app::MenuId::Device)->actions().at(1)->data().toInt(), 32781);
        // Beside every node: no menu.
        QVERIFY(w.contextMenuAt(QPoint(5, t->viewport()->height() - 3)) == nullptr);
    }

    void rightsAreCheckedFirst() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        int calls = 0;
        unsigned data = 0;
        w.setCommandHandler(app::kCmdDeviceSettings, [&](unsigned d) {
            ++calls;
            data = d;
        });
        QTreeWidgetItem* g7 = w.findNode(302007);
        QCOMPARE(actionTexts(w.contextMenuAt(centreOf(w.tree(), g7))), (QStringList{"设置设备", "删除设备"}));
        test::setGuest();
        QVERIFY(!w.runCommand(app::kCmdDeviceSettings));
        QCOMPARE(calls, 0);
        QCOMPARE(p.texts(), std::vector<std::string>{"无设备设置权限"});
        QCOMPARE(p.prompts[0].caption, std::string("提示"));
        QVERIFY(test::logInRoot());
        QVERIFY(w.runCommand(app::kCmdDeviceSettings));
        QCOMPARE(calls, 1);
        QCOMPARE(data, 302007u);
    }

    void clicksChooseTheScope() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        app::CCurrentStatus* v = w.statusView();
        widgets::CTreeCtrlEx* t = w.tree();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, centreOf(t, w.findNode(302000)));
        QVERIFY(v->mode() == app::ViewMode::Group);
        QCOMPARE(v->tileCount(), 2);
        QCOMPARE(v->tile(0)->text(), QStringLiteral("3007"));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, centreOf(t, w.findNode(100000)));
        QVERIFY(v->mode() == app::ViewMode::Line);
        QCOMPARE(v->tileCount(), 2);
        QCOMPARE(v->tile(0)->text(), QStringLiteral("1001"));
        // A device node changes nothing.
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, centreOf(t, w.findNode(300002)));
        QVERIFY(v->mode() == app::ViewMode::Line);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, centreOf(t, t->topLevelItem(0)));
        QVERIFY(v->mode() == app::ViewMode::All);
        QCOMPARE(v->tileCount(), 6);
    }

    void dataViewRight() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy asked(&w, &CTovanixDlg::dataPageRequested);
        test::setGuest(false);
        w.doubleClickNode(w.findNode(302007));
        w.tileClicked(3007);
        QCOMPARE(p.texts(), (std::vector<std::string>{"无数据查看权限", "无数据查看权限"}));
        QCOMPARE(asked.count(), 0);
        test::setGuest(true);
        emit w.tree()->itemDoubleClicked(w.findNode(302007), 0);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.at(0).at(0).toUInt(), 302007u);
        QCOMPARE(asked.at(0).at(1).toInt(), 100);
        // A tile: code 3007 stands for node data 300007.
        QTest::mouseClick(w.statusView()->tile(2), Qt::LeftButton);
        QCOMPARE(asked.count(), 2);
        QCOMPARE(asked.at(1).at(0).toUInt(), 300007u);
        QCOMPARE(asked.at(1).at(1).toInt(), 50);
        // Double clicks on other nodes do nothing.
        w.doubleClickNode(w.findNode(302000));
        QCOMPARE(asked.count(), 2);
    }

    void scanPeriodFollowsTheDeviceCount_data() {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("periodMs");
        QTest::newRow("1 -> 0") << 1 << 30000;
        QTest::newRow("10 -> 9") << 10 << 30000;
        QTest::newRow("11 -> 10") << 11 << 60000;
        QTest::newRow("26 -> 25") << 26 << 90000;
    }
    void scanPeriodFollowsTheDeviceCount() {
        QFETCH(int, devices);
        QFETCH(int, periodMs);
        QVERIFY(test::resetDatabase());
        QVERIFY(test::logInRoot());
        QVERIFY(test::seedLine(2, "二号线", 0));
        for (int a = 1; a <= devices; ++a) QVERIFY(test::seedDevice(2, a, "d", 0, a));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QCOMPARE(e.currentScanPeriodMs(), 3600LL * 1000);  // the first scan's wait
        w.tree()->setCurrentItem(w.findNode(200000 + static_cast<unsigned>(devices)));
        QVERIFY(w.runCommand(app::kCmdDeleteDevice));
        QCOMPARE(e.table().deviceCount(), devices - 1);
        QCOMPARE(e.currentScanPeriodMs(), static_cast<long long>(periodMs));
    }

    void scanPeriodAfterAnAddition() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        for (int a = 10; a < 14; ++a) {
            devices::DeviceEntry d;
            d.address = static_cast<std::uint16_t>(a);
            e.table().addDevice(1, d);
        }
        w.deviceCountChanged();
        QCOMPARE(e.table().deviceCount(), 10);
        QCOMPARE(e.currentScanPeriodMs(), 60000LL);
    }

    void noScanWhileTheStateIsBusy() {
        devices::Engine e(test::quickTiming(50, 20));
        // Holding the device event keeps every handler from starting, so
        // the state stays what the test sets.
        e.deviceEvent.wait();
        // Busy before the engine starts, so even the first tick finds it so.
        e.driverState.store(devices::kStateReadingAll);
        PromptRecorder p;
        auto w = std::make_unique<CTovanixDlg>(e, p);
        QTRY_VERIFY(e.scansSkipped() >= kBusyTicks);
        QCOMPARE(e.scansPosted(), 0LL);
        // The window's own state timer may have ticked already: compare with
        // the dots it holds (the dot rule has its own test).
        w->tickState();
        QCOMPARE(w->statusPane(1)->text().toStdString(),
                 *app::stateText(devices::kStateReadingAll, w->stateDisplay().dots()));
        // Readings lost for good stay in the state text.
        e.setGapNotice("冷库1 2026-12-07 10:01至2026-12-07 10:03的记录已不在记录仪中");
        w->tickState();
        QCOMPARE(w->statusPane(1)->text().toStdString(),
                 *app::stateText(devices::kStateReadingAll, w->stateDisplay().dots()) +
                     "  冷库1 2026-12-07 10:01至2026-12-07 10:03的记录已不在记录仪中");
        e.driverState.store(devices::kStateReadingSettings);
        const long long skipped = e.scansSkipped();
        QTRY_VERIFY(e.scansSkipped() >= skipped + kBusyTicks);
        QCOMPARE(e.scansPosted(), 0LL);
        e.driverState.store(devices::kStateIdle);
        QTRY_VERIFY(e.scansPosted() >= 1);
        e.deviceEvent.set();
        w.reset();
        QVERIFY(!e.started());
    }

    void exitAsksAndStopsInOrder() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        p.answers = {PromptAnswer::Cancel};
        w.close();  // the close box
        QVERIFY(w.isVisible());
        QVERIFY(e.started());
        QCOMPARE(p.texts(), std::vector<std::string>{"退出软件将会停止监控，您确定要继续退出吗？"});
        QCOMPARE(p.prompts[0].caption, std::string("警告"));
        QVERIFY(p.prompts[0].buttons == PromptButtons::OkCancel);
        QVERIFY(p.prompts[0].icon == PromptIcon::Warning);
        p.answers = {PromptAnswer::Cancel};
        QVERIFY(w.runCommand(app::kCmdExit));
        QVERIFY(w.isVisible());
        HideWatch watch(&w, e);
        QVERIFY(w.runCommand(app::kCmdExit));  // answered OK
        QVERIFY(!w.isVisible());
        // The operator sees the window go before the threads are waited for.
        QVERIFY(watch.engineRunningAtHide.has_value());
        QVERIFY(*watch.engineRunningAtHide);
        QVERIFY(w.stopped());
        QVERIFY(!e.started());
        QCOMPARE(p.prompts.size(), std::size_t{3});
    }

    void enterAndEscapeAreSwallowed() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
        QTest::keyClick(&w, Qt::Key_Return);
        QTest::keyClick(&w, Qt::Key_Enter);
        QTest::keyClick(w.tree(), Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QVERIFY(p.prompts.empty());
    }

    void aboutBox() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QString version;
        test::whenModal([&](QWidget* d) {
            version = d->findChild<QLabel*>(QStringLiteral("version"))->text();
            static_cast<QDialog*>(d)->accept();
        });
        QVERIFY(w.runCommand(app::kCmdAbout));
        QCOMPARE(version, QStringLiteral("Tovanix 1.16 版 build 20141217"));
        test::whenModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
        QVERIFY(w.runCommand(app::kCmdTrayAbout));
    }

    void changeUserRewritesTheUserPane() {
        QVERIFY(test::sql("insert into tovanusertable (User_Name,PassWord,User_Right) values('ann','pw','1')"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QCOMPARE(w.statusPane(0)->text(), QStringLiteral("当前用户:root[系统管理员]"));
        test::whenModal([](QWidget* d) {
            auto* login = qobject_cast<users::CUserLogin*>(d);
            QVERIFY(login != nullptr);
            login->nameBox()->setCurrentText(QStringLiteral("ann"));
            login->passwordEdit()->setText(QStringLiteral("pw"));
            login->okButton()->click();
        });
        QVERIFY(w.runCommand(app::kCmdChangeUser));
        QCOMPARE(w.statusPane(0)->text(), QStringLiteral("当前用户:ann[管理员]"));
    }

    void editUserForRoot() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        bool nameEnabled = true;
        QString name;
        test::whenModal([&](QWidget* d) {
            auto* edit = qobject_cast<users::CEditUser*>(d);
            QVERIFY(edit != nullptr);
            name = edit->nameEdit()->text();
            nameEnabled = edit->nameEdit()->isEnabled();
            edit->oldPasswordEdit()->setText(QStringLiteral("582046"));
            edit->newPasswordEdit()->setText(QStringLiteral("654321"));
            edit->repeatPasswordEdit()->setText(QStringLiteral("654321"));
            edit->accept();
        });
        QVERIFY(w.runCommand(app::kCmdChangePassword));
        QCOMPARE(name, QStringLiteral("root"));
        QVERIFY(!nameEnabled);
        QCOMPARE(p.texts(), std::vector<std::string>{"密码修改成功！"});
        QCOMPARE(test::sqlScalar("select PassWord from tovanusertable where User_Name='root'"), std::string("654321"));
        QCOMPARE(users::current().password, std::string("654321"));
    }

    void refusedDatabaseGivesAnEmptyTree() {
        const db::Account good = test::testServer().account;
        db::setAccount({good.user, good.password + "x"});
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        {
            CTovanixDlg w(e, p);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(p.texts(), std::vector<std::string>{"无法打开数据库"});
            QCOMPARE(p.prompts[0].caption, std::string("提示"));
            QCOMPARE(w.tree()->topLevelItemCount(), 0);
            QCOMPARE(w.statusView()->tileCount(), 0);
            QVERIFY(e.started());
            QVERIFY(w.contextMenuAt(QPoint(10, 10)) == nullptr);
        }
        db::setAccount(good);
        QVERIFY(!e.started());
    }

    void hidingWithoutATrayMinimises() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.trayIcon() == nullptr);  // the offscreen platform has no tray
        QVERIFY(w.runCommand(app::kCmdBackground));
        QTRY_VERIFY(w.windowState() & Qt::WindowMinimized);
        QVERIFY(w.runCommand(app::kCmdRestore));
        QTRY_VERIFY(!(w.windowState() & Qt::WindowMinimized));
        QVERIFY(w.isVisible());
        QVERIFY(e.started());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
