// Deleting lines, groups and devices and renaming nodes, through the
// window's commands and label edits, with their database effects.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/main_window.h"
#include "app/status_view.h"
#include "app/tree_editing.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "devices/engine.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"
#include "widgets/bitmap_button.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;
using app::CTovanixDlg;
using test::PromptRecorder;

namespace {

bool makeDataTable(int n) {
    db::Connection c;
    return c.open() && db::createDataTable(c, n) && db::storeLiveReading(c, n, "2024-05-01 10:00:00", 20.0, 50.0, "0");
}

bool addAlarmRow(int deviceid, int lineid) {
    return test::sql(
        db::sqlf("insert into TovanAlarmTable (RecordTime,DeviceName,DeviceNumber,LineName,RoomName,"
                 "deviceid,lineid,Channel,Value,Event) values('2024-05-01 10:00:00','x','7','l','r',"
                 "'%d','%d','1','9.000000','上限超标');",
                 deviceid, lineid));
}

constexpr int kEditTimeoutMs = 5000;

// Edits the node's label as an operator would: edit, type, Enter. True once
// the tree has announced the end of the edit (and the window handled it).
bool editLabel(widgets::CTreeCtrlEx* tree, QTreeWidgetItem* item, const QString& text) {
    tree->setCurrentItem(item);
    QSignalSpy ended(tree, &widgets::CTreeCtrlEx::endLabelEdit);
    tree->editItem(item);
    QLineEdit* editor = nullptr;
    if (!QTest::qWaitFor([&] { return (editor = tree->findChild<QLineEdit*>()) != nullptr; }, kEditTimeoutMs)) {
        return false;
    }
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    return QTest::qWaitFor([&] { return ended.count() > 0; }, kEditTimeoutMs);
}

}  // namespace

class TreeEditingTest : public QObject, private test::WindowFixture {
    Q_OBJECT
public:
    TreeEditingTest() : WindowFixture(false) {}

private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::seedStandardStation());
        QVERIFY(test::logInRoot());
        QVERIFY(makeDataTable(3007));
        QVERIFY(makeDataTable(3008));
        QVERIFY(makeDataTable(1001));
        QVERIFY(addAlarmRow(1, 3));  // device 3:7 has deviceid 1
        QVERIFY(addAlarmRow(1, 1));  // device 1:1 has deviceid 1 too, on line 1
    }
    void cleanup() {
        window_.reset();
        engine_.reset();
    }

    void deleteDeviceDropsItsDataTable() {
        CTovanixDlg& w = open();
        QVERIFY(select(302007));
        QVERIFY(w.runCommand(app::kCmdDeleteDevice));
        PromptRecorder& p = *prompts_;
        QCOMPARE(p.texts(), (std::vector<std::string>{app::kDeleteDeviceQuestion, "成功删除设备！"}));
        QCOMPARE(p.prompts[0].caption, std::string("注意！"));
        QVERIFY(p.prompts[0].buttons == PromptButtons::OkCancel);
        QVERIFY(p.prompts[0].icon == PromptIcon::Warning);
        QCOMPARE(p.prompts[1].caption, std::string("提示"));
        QVERIFY(!test::tableExists("tovandatatable_3007"));
        QVERIFY(test::tableExists("tovandatatable_3008"));
        QCOMPARE(test::sqlScalar("select DeviceEraseSign from tovandevicetable where LineID=3 and DeviceNumber=7"),
                 std::string("1"));
        QCOMPARE(test::sqlRows("select * from tovanalarmtable where lineid=3"), 0);
        QCOMPARE(test::sqlRows("select * from tovanalarmtable where lineid=1"), 1);
        QVERIFY(w.findNode(302007) == nullptr);
        QVERIFY(!engine_->table().device(3, 7).has_value());
        QCOMPARE(engine_->table().deviceCount(), 5);
        QCOMPARE(w.statusView()->tileCount(), 5);
        QCOMPARE(engine_->currentScanPeriodMs(), 30000LL);
    }

    void deleteDeviceRefillsTheCurrentScope() {
        CTovanixDlg& w = open();
        w.clickNode(w.findNode(302000));
        QCOMPARE(w.statusView()->tileCount(), 2);
        QVERIFY(select(302008));
        QVERIFY(w.runCommand(app::kCmdDeleteDevice));
        QVERIFY(w.statusView()->mode() == app::ViewMode::Group);
        QCOMPARE(w.statusView()->tileCount(), 1);
        QCOMPARE(w.statusView()->tile(0)->text(), QStringLiteral("3007"));
    }

    void cancelledOrRefusedDeletionChangesNothing() {
        CTovanixDlg& w = open();
        QVERIFY(select(302007));
        prompts_->answers = {PromptAnswer::Cancel};
        QVERIFY(w.runCommand(app::kCmdDeleteDevice));
        QCOMPARE(prompts_->prompts.size(), std::size_t{1});
        QVERIFY(test::tableExists("tovandatatable_3007"));
        QVERIFY(w.findNode(302007) != nullptr);

        const db::Account good = test::testServer().account;
        db::setAccount({good.user, good.password + "x"});
        for (int cmd : {app::kCmdDeleteDevice}) QVERIFY(w.runCommand(cmd));
        QVERIFY(select(302000));
        QVERIFY(w.runCommand(app::kCmdDeleteGroup));
        QVERIFY(select(300000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        db::setAccount(good);
        // Only the three questions: no message, no change.
        QCOMPARE(prompts_->prompts.size(), std::size_t{4});
        QVERIFY(test::tableExists("tovandatatable_3007"));
        QVERIFY(w.findNode(302007) != nullptr);
        QVERIFY(w.findNode(302000) != nullptr);
        QVERIFY(w.findNode(300000) != nullptr);
        QCOMPARE(engine_->table().deviceCount(), 6);
    }

    void deleteGroupMovesItsDevicesToTheLine() {
        CTovanixDlg& w = open();
        QVERIFY(select(302000));
        QVERIFY(w.runCommand(app::kCmdDeleteGroup));
        QCOMPARE(prompts_->texts(), (std::vector<std::string>{app::kDeleteGroupQuestion, "成功删除分组！"}));
        QCOMPARE(prompts_->prompts[0].caption, std::string("注意！"));
        QCOMPARE(test::sqlScalar("select EraseSign from tovanroomtable where roomid=302"), std::string("1"));
        QCOMPARE(test::sqlRows("select * from tovandevicetable where LineID=3 and RoomID=0 and DeviceEraseSign=0"), 3);
        QVERIFY(test::tableExists("tovandatatable_3007"));
        QVERIFY(w.findNode(302000) == nullptr);
        QTreeWidgetItem* g7 = w.findNode(300007);
        QTreeWidgetItem* g8 = w.findNode(300008);
        QVERIFY(g7 != nullptr && g8 != nullptr);
        QCOMPARE(g7->parent(), w.findNode(300000));
        QCOMPARE(g7->text(0), QStringLiteral("G7"));
        QVERIFY(w.findNode(300000)->isExpanded());
        // Line 3 stands second in the table: it is found by its id.
        QCOMPARE(engine_->table().lineIndex(3), 1);
        QCOMPARE(engine_->table().device(3, 7)->groupId, 0);
        QCOMPARE(engine_->table().line(3)->groups.size(), std::size_t{1});
        QCOMPARE(engine_->table().line(3)->groups[0].roomid, 301);
        QCOMPARE(engine_->table().deviceCount(), 6);
        // The moved devices are still shown.
        w.clickNode(w.findNode(300000));
        QCOMPARE(w.statusView()->tileCount(), 4);
    }

    void deleteGroupTheDatabaseKeepsIsNotReportedDone() {
        CTovanixDlg& w = open();
        QVERIFY(select(302000));
        QVERIFY(test::sql("rename table tovanroomtable to tovanroomtable_away"));
        const bool ran = w.runCommand(app::kCmdDeleteGroup);
        QVERIFY(test::sql("rename table tovanroomtable_away to tovanroomtable"));
        QVERIFY(ran);
        QCOMPARE(prompts_->texts(), (std::vector<std::string>{app::kDeleteGroupQuestion, "未成功删除分组！"}));
        QVERIFY(w.findNode(302000) != nullptr);
        QCOMPARE(engine_->table().line(3)->groups.size(), std::size_t{2});
        QCOMPARE(engine_->table().device(3, 7)->groupId, 302);
    }

    void deleteLineRemovesEverythingOfIt() {
        CTovanixDlg& w = open();
        QVERIFY(select(300000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        QCOMPARE(prompts_->texts(), (std::vector<std::string>{app::kDeleteLineQuestion, "成功删除线路"}));
        QCOMPARE(prompts_->prompts[0].caption, std::string("注意！"));
        QCOMPARE(test::sqlScalar("select EraseSign from tovanlinetable where lineid=3"), std::string("1"));
        QCOMPARE(test::sqlRows("select * from tovanroomtable where LineID=3 and EraseSign=0"), 0);
        QCOMPARE(test::sqlRows("select * from tovandevicetable where LineID=3 and DeviceEraseSign=0"), 0);
        QVERIFY(!test::tableExists("tovandatatable_3007"));
        QVERIFY(!test::tableExists("tovandatatable_3008"));
        QVERIFY(test::tableExists("tovandatatable_1001"));
        QVERIFY(w.findNode(300000) == nullptr);
        QCOMPARE(w.tree()->topLevelItem(0)->childCount(), 1);
        // The status view shows all devices, which are those of line 1.
        QVERIFY(w.statusView()->mode() == app::ViewMode::All);
        QCOMPARE(w.statusView()->tileCount(), 2);
        QCOMPARE(engine_->table().deviceCount(), 2);
        // The entry goes once the polling thread has closed the port.
        QTRY_COMPARE(engine_->table().lineCount(), 1);
        QCOMPARE(engine_->table().lineIndex(3), -1);
        QCOMPARE(engine_->lineClosing.load(), 0);
        QVERIFY(!w.lineRetirement().busy());
    }

    void deleteTwoLinesInARow() {
        CTovanixDlg& w = open();
        QVERIFY(select(300000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        QVERIFY(select(100000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        QTRY_COMPARE(engine_->table().lineCount(), 0);
        QCOMPARE(w.statusView()->tileCount(), 0);
        QCOMPARE(test::sqlRows("select * from tovanlinetable where EraseSign=0"), 0);
    }

    void deleteLineMissingFromTheDatabase() {
        CTovanixDlg& w = open();
        QVERIFY(test::sql("update tovanlinetable set EraseSign=1 where lineid=3"));
        QVERIFY(select(300000));
        QVERIFY(w.runCommand(app::kCmdDeleteLine));
        QCOMPARE(prompts_->texts().back(), std::string("未在数据库中查询到需要删除线路的信息，请重试"));
        QCOMPARE(prompts_->prompts.back().caption, std::string("提示"));
        QVERIFY(w.findNode(300000) != nullptr);
        QCOMPARE(engine_->table().deviceCount(), 6);
    }

    void deleteDeviceOfALineNotInMemory() {
        CTovanixDlg& w = open();
        QVERIFY(select(302007));
        engine_->table().removeLine(3);
        QVERIFY(w.runCommand(app::kCmdDeleteDevice));
        QCOMPARE(prompts_->texts().back(), std::string("未成功删除设备，请重试！"));
        QVERIFY(test::tableExists("tovandatatable_3007"));
    }

    void renamedRootSurvivesARestart() {
        CTovanixDlg& w = open();
        QTreeWidgetItem* root = w.tree()->topLevelItem(0);
        QVERIFY(editLabel(w.tree(), root, QStringLiteral("冷链监测站")));
        QTRY_COMPARE(root->text(0), QStringLiteral("冷链监测站"));
        QCOMPARE(test::sqlScalar("select SystemName from tovansystrmtable"), std::string("冷链监测站"));
        CTovanixDlg& again = open();
        QCOMPARE(again.tree()->topLevelItem(0)->text(0), QStringLiteral("冷链监测站"));
    }

    void renameLineGroupAndDevice() {
        CTovanixDlg& w = open();
        QVERIFY(editLabel(w.tree(), w.findNode(300000), QStringLiteral("北区")));
        QTRY_COMPARE(w.findNode(300000)->text(0), QStringLiteral("北区"));
        QCOMPARE(test::sqlScalar("select lineName from tovanlinetable where lineid=3"), std::string("北区"));
        QCOMPARE(engine_->table().line(3)->name, std::string("北区"));

        QVERIFY(editLabel(w.tree(), w.findNode(302000), QStringLiteral("冷库")));
        QTRY_COMPARE(w.findNode(302000)->text(0), QStringLiteral("冷库"));
        QCOMPARE(test::sqlScalar("select RoomName from tovanroomtable where roomid=302"), std::string("冷库"));
        QCOMPARE(engine_->table().groupName(302), std::string("冷库"));

        // Device 3:7 has deviceid 1; the row with deviceid 7 must not be
        // touched (there is none on line 3), nor device 1:1 (deviceid 1 on
        // another line).
        const int drawsBefore = w.statusView()->drawCount(2);
        QVERIFY(editLabel(w.tree(), w.findNode(302007), QStringLiteral("冷柜七")));
        QTRY_COMPARE(w.findNode(302007)->text(0), QStringLiteral("冷柜七"));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where LineID=3 and DeviceNumber=7"),
                 std::string("冷柜七"));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where LineID=1 and DeviceNumber=1"),
                 std::string("A1"));
        QCOMPARE(engine_->table().device(3, 7)->name, std::string("冷柜七"));
        QCOMPARE(w.statusView()->drawCount(2), drawsBefore + 1);
    }

    void emptyNameKeepsTheOldOne() {
        CTovanixDlg& w = open();
        QVERIFY(editLabel(w.tree(), w.findNode(302007), QString()));
        QCOMPARE(w.findNode(302007)->text(0), QStringLiteral("G7"));
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where LineID=3 and DeviceNumber=7"),
                 std::string("G7"));
    }

    void namesWithQuotesAreKept() {
        CTovanixDlg& w = open();
        const QString name = QStringLiteral("O'Brien \"冷\" \\ 库");
        QVERIFY(editLabel(w.tree(), w.findNode(302007), name));
        QTRY_COMPARE(w.findNode(302007)->text(0), name);
        QCOMPARE(test::sqlScalar("select DeviceName from tovandevicetable where LineID=3 and DeviceNumber=7"),
                 name.toStdString());
        CTovanixDlg& again = open();
        QCOMPARE(again.findNode(302007)->text(0), name);
    }

    void renameRefusedByTheDatabaseKeepsTheName() {
        CTovanixDlg& w = open();
        const db::Account good = test::testServer().account;
        db::setAccount({good.user, good.password + "x"});
        QVERIFY(editLabel(w.tree(), w.findNode(300000), QStringLiteral("X")));
        db::setAccount(good);
        QCOMPARE(w.findNode(300000)->text(0), QStringLiteral("三号线"));
        QCOMPARE(engine_->table().line(3)->name, std::string("三号线"));
    }
};

QTEST_MAIN(TreeEditingTest)
#include "tree_editing_test.moc"
