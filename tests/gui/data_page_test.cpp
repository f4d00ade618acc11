// The data page in the main window against the private server: opening a
// device by double click, the history list and its spans, the curve's
// readout and click, the alarm view, the statistics and the acknowledgement.
#include <QAbstractButton>
#include <QDateTimeEdit>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <ctime>

#include "alarms/alarm_ack_dialog.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/node_data.h"
#include "app/status_view.h"
#include "data/data_page.h"
#include "data/history_model.h"
#include "db/connection.h"
#include "devices/engine.h"
#include "platform/format.h"
#include "platform/local_time.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"
#include "users/current_user.h"
#include "widgets/curve_chart.h"
#include "widgets/tree_ctrl_ex.h"

using namespace tovanix;
using app::CTovanixDlg;
using data::CDataManage;
using test::PromptRecorder;

namespace {

constexpr unsigned kNodeG7 = 302007;  // line 3, group 302, address 7
constexpr unsigned kNodeG8 = 302008;
constexpr int kTableG7 = 3007;
constexpr int kTableG8 = 3008;
constexpr int kQueryWaitMs = 10000;
const std::string kWhereG7 = "LineID=3 and DeviceNumber=7";

std::string minutesAgo(std::time_t now, int minutes) {
    return platform::localDateTime(platform::minuteStart(now) - minutes * platform::kSecondsPerMinute);
}

bool addReading(int table, const std::string& time, const char* ch1, const char* ch2, const char* sign = "0",
                int check = 0) {
    return test::sql(db::sqlf("create table if not exists TovanDataTable_%d(RecordDataTime datetime not null primary "
                              "key,CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                              "user_name char(16),checkevent char(120))",
                              table)) &&
           test::sql(db::sqlf("insert into TovanDataTable_%d values('%s',%s,%s,0,0,'%s',%d,'','')", table,
                              time.c_str(), ch1, ch2, sign, check));
}

QString cell(QAbstractItemModel* m, int row, int column) {
    return m->index(row, column).data().toString();
}

// Opens the node by double click and waits until the seven days are listed.
bool openByDoubleClick(CTovanixDlg& w, unsigned node) {
    QSignalSpy done(w.dataPage(), &CDataManage::queryFinished);
    emit w.tree()->itemDoubleClicked(w.findNode(node), 0);
    return done.wait(kQueryWaitMs) || done.count() > 0;
}

}  // namespace

class DataPageTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::seedStandardStation());
        QVERIFY(test::logInRoot());
    }

    void doubleClickShowsTheHistoryAndCurrentStatusGoesBack() {
        const std::time_t now = std::time(nullptr);
        QVERIFY(addReading(kTableG7, minutesAgo(now, 2), "21.5", "40.0"));
        QVERIFY(addReading(kTableG7, minutesAgo(now, 1), "1000", "41.0"));
        QVERIFY(addReading(kTableG7, minutesAgo(now, 0), "22.5", "1000"));
        QVERIFY(addReading(kTableG7, "2001-01-01 00:00:00", "9.0", "9.0"));  // older than a week
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        CDataManage* page = w.dataPage();
        QVERIFY(openByDoubleClick(w, kNodeG7));
        QVERIFY(!w.tree()->isVisible());
        QVERIFY(w.historyList()->isVisible());
        QCOMPARE(w.pages()->currentWidget(), page);
        QCOMPARE(page->deviceNameLabel()->text(), QStringLiteral("G7"));
        QCOMPARE(page->startLabel()->text(), QStringLiteral("数据库开始时间：2001-01-01 00:00:00\n"));
        QCOMPARE(page->endLabel()->text(),
                 QStringLiteral("数据库结束时间：") + QString::fromStdString(minutesAgo(now, 0)) + QStringLiteral("\n"));
        // The last seven days, newest first; 1000 is "N/A".
        QAbstractItemModel* m = w.historyList()->model();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(page->countLabel()->text(), QStringLiteral("数据总数:3条"));
        QCOMPARE(cell(m, 0, 0), QString::fromStdString(minutesAgo(now, 0)));
        QCOMPARE(cell(m, 0, 1), QStringLiteral("22.5"));
        QCOMPARE(cell(m, 0, 2), QStringLiteral("N/A"));
        QCOMPARE(cell(m, 1, 1), QStringLiteral("N/A"));
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("湿度[%]"));
        // No point for a missing reading.
        QCOMPARE(page->chart()->pointCount(0), 2);
        QCOMPARE(page->chart()->pointCount(1), 2);
        QCOMPARE(page->chart()->seriesTitle(1), QStringLiteral("湿度(%)"));
        QVERIFY(page->queryButton()->isEnabled());
        QCOMPARE(page->progressBar()->value(), page->progressBar()->maximum());
        QVERIFY(p.prompts.empty());

        QVERIFY(w.runCommand(app::kCmdCurrentStatus));
        QVERIFY(w.tree()->isVisible());
        QVERIFY(!w.historyList()->isVisible());
        QCOMPARE(w.pages()->currentWidget(), static_cast<QWidget*>(w.statusView()));

        // A tile opens the same page.
        QSignalSpy done(page, &CDataManage::queryFinished);
        w.tileClicked(app::tileCode(3, 7));
        QVERIFY(done.wait(kQueryWaitMs));
        QCOMPARE(w.pages()->currentWidget(), page);
        QCOMPARE(m->rowCount(), 3);
    }

    void missingTableIsCreated() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(!test::tableExists("TovanDataTable_3008"));
        QVERIFY(openByDoubleClick(w, kNodeG8));
        QVERIFY(test::tableExists("TovanDataTable_3008"));
        CDataManage* page = w.dataPage();
        QCOMPARE(page->startLabel()->text(), QStringLiteral("数据库开始时间：无"));
        QCOMPARE(page->endLabel()->text(), QStringLiteral("数据库结束时间：无"));
        QCOMPARE(page->countLabel()->text(), QStringLiteral("数据总数:0条"));
        QCOMPARE(page->historyModel()->rowCount(), 0);
        QVERIFY(!page->acknowledgeButton()->isVisibleTo(page));
        QVERIFY(p.prompts.empty());
    }

    void oneRowIsStartAndEnd() {
        QVERIFY(addReading(kTableG8, "2024-03-05 07:08:09", "20.0", "50.0"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG8));
        CDataManage* page = w.dataPage();
        QCOMPARE(page->startLabel()->text(), QStringLiteral("数据库开始时间：2024-03-05 07:08:09\n"));
        QCOMPARE(page->endLabel()->text(), QStringLiteral("数据库结束时间：2024-03-05 07:08:09\n"));
        QCOMPARE(page->startDate()->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 QStringLiteral("2024-03-05 07:08:09"));
        QCOMPARE(page->endTime()->time(), QTime(7, 8, 9));
        // Outside the last week: the list stays empty, the total says 1.
        QCOMPARE(page->historyModel()->rowCount(), 0);
        // The pickers' span finds it.
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->queryButton()->click();
        QVERIFY(done.wait(kQueryWaitMs));
        QCOMPARE(done.at(0).at(0).toInt(), 1);
        QCOMPARE(page->historyModel()->rowCount(), 1);
    }

    void startAfterEndEmptiesWithoutMessage() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0", "1"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QSignalSpy done(page, &CDataManage::queryFinished);
        QVERIFY(page->query(platform::parseLocalDateTime("2024-03-01 00:00:00").value(),
                            platform::parseLocalDateTime("2024-03-31 00:00:00").value()));
        QVERIFY(done.wait(kQueryWaitMs));
        QCOMPARE(page->historyModel()->rowCount(), 1);
        QCOMPARE(page->alarmModel()->rowCount(), 1);
        QVERIFY(!page->query(platform::parseLocalDateTime("2024-03-31 00:00:00").value(),
                             platform::parseLocalDateTime("2024-03-01 00:00:00").value()));
        QCOMPARE(done.count(), 2);
        QCOMPARE(done.at(1).at(0).toInt(), 0);
        QCOMPARE(page->historyModel()->rowCount(), 0);
        QCOMPARE(page->chart()->pointCount(0), 0);
        QCOMPARE(page->countLabel()->text(), QStringLiteral("数据总数:0条"));
        QCOMPARE(page->alarmModel()->rowCount(), 1);  // the alarm list keeps its rows
        QVERIFY(page->queryButton()->isEnabled());
        QVERIFY(p.prompts.empty());
    }

    void aSecondQueryCancelsTheFirst() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0"));
        QVERIFY(addReading(kTableG7, "2024-04-05 10:00:00", "21.0", "51.0"));
        QVERIFY(addReading(kTableG7, "2024-04-05 10:01:00", "22.0", "52.0"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->query(platform::parseLocalDateTime("2024-03-01 00:00:00").value(),
                    platform::parseLocalDateTime("2024-03-31 00:00:00").value());
        QVERIFY(page->busy());
        QVERIFY(!page->queryButton()->isEnabled());
        page->query(platform::parseLocalDateTime("2024-04-01 00:00:00").value(),
                    platform::parseLocalDateTime("2024-04-30 00:00:00").value());
        QVERIFY(done.wait(kQueryWaitMs));
        QCOMPARE(done.at(0).at(0).toInt(), 1);
        QTRY_VERIFY(!page->busy());
        // Only the second span is shown.
        QCOMPARE(page->historyModel()->rowCount(), 2);
        QCOMPARE(cell(page->historyModel(), 1, 0), QStringLiteral("2024-04-05 10:00:00"));
        QVERIFY(page->queryButton()->isEnabled());
    }

    void probeTypeOneShowsOneChannel() {
        QVERIFY(test::sql("update tovandevicetable set DeviceProbeType=1 where " + kWhereG7));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:01:00", "21.0", "1000"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->query(platform::parseLocalDateTime("2024-03-05 00:00:00").value(),
                    platform::parseLocalDateTime("2024-03-06 00:00:00").value());
        QVERIFY(done.wait(kQueryWaitMs));
        QAbstractItemModel* m = page->historyModel();
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(cell(m, 0, 2), QStringLiteral("--"));
        QCOMPARE(cell(m, 1, 2), QStringLiteral("--"));
        QCOMPARE(page->chart()->seriesTitle(1), QStringLiteral("   "));
        QCOMPARE(page->chart()->pointCount(1), 0);
        QCOMPARE(page->chart()->pointCount(0), 2);
    }

    void alarmViewListsTheSpansAlarms() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0", "33"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:01:00", "21.0", "51.0", "A"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:02:00", "22.0", "52.0", "2", 1));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        page->showAlarmView();
        QVERIFY(!page->exportRadio(1)->isEnabled());
        QVERIFY(!page->exportRadio(2)->isEnabled());
        QVERIFY(page->exportRadio(0)->isEnabled());
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->query(platform::parseLocalDateTime("2024-03-05 00:00:00").value(),
                    platform::parseLocalDateTime("2024-03-06 00:00:00").value());
        QVERIFY(done.wait(kQueryWaitMs));
        QAbstractItemModel* a = page->alarmView()->model();
        QCOMPARE(a->columnCount(), 8);
        QCOMPARE(a->headerData(7, Qt::Horizontal).toString(), QStringLiteral("解决方法"));
        QCOMPARE(a->rowCount(), 2);  // "A" is no alarm
        QCOMPARE(cell(a, 0, 4), QStringLiteral("通道一上限超标  "));
        QCOMPARE(cell(a, 0, 5), QStringLiteral("已处理"));
        QCOMPARE(cell(a, 1, 0), QStringLiteral("2"));
        QCOMPARE(cell(a, 1, 4), QStringLiteral("通道一下限超标  通道二上限超标  "));
        QCOMPARE(cell(a, 1, 5), QStringLiteral("待处理"));
        page->showCurveView();
        QVERIFY(page->exportRadio(1)->isEnabled());
    }

    void readoutAndClickFindTheReadingByItsX() {
        // x 0..4 from the oldest; x = 2 has no channel-1 reading.
        const char* ch1[] = {"20.0", "21.0", "1000", "23.0", "24.0"};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(addReading(kTableG7, platform::format("2024-03-05 10:0%d:00", i), ch1[i],
                               platform::format("%d.0", 60 + i).c_str()));
        }
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->query(platform::parseLocalDateTime("2024-03-05 00:00:00").value(),
                    platform::parseLocalDateTime("2024-03-06 00:00:00").value());
        QVERIFY(done.wait(kQueryWaitMs));
        widgets::CurveChart* chart = page->chart();
        QCOMPARE(chart->pointCount(0), 4);
        // x = 3 is the fourth reading from the oldest, the fourth drawn point is x = 4.
        page->readoutAt(chart->positionOfX(3));
        QCOMPARE(chart->readout(), QStringLiteral("时间: 2024-03-05 10:03:00   温度(℃):23.0     湿度(%):63.0"));
        page->selectRowAt(chart->positionOfX(3));
        QCOMPARE(w.historyList()->currentIndex().row(), 1);
        QCOMPARE(w.historyList()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(cell(page->historyModel(), 1, 0), QStringLiteral("2024-03-05 10:03:00"));
        page->readoutAt(chart->positionOfX(0));
        QCOMPARE(chart->readout(), QStringLiteral("时间: 2024-03-05 10:00:00   温度(℃):20.0     湿度(%):60.0"));
    }

    void statisticsOfTheListedSpan() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:03:00", "1000", "50.0"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:02:00", "25.0", "1000"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:01:00", "20.0", "60.0"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "22.5", "70.0"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QSignalSpy done(page, &CDataManage::queryFinished);
        page->query(platform::parseLocalDateTime("2024-03-05 00:00:00").value(),
                    platform::parseLocalDateTime("2024-03-06 00:00:00").value());
        QVERIFY(done.wait(kQueryWaitMs));
        const CDataManage::SpanEnds ends = page->spanEnds();
        QCOMPARE(ends.tableNumber, kTableG7);
        QCOMPARE(QString::fromStdString(ends.oldest), QStringLiteral("2024-03-05 10:00:00"));
        QCOMPARE(QString::fromStdString(ends.newest), QStringLiteral("2024-03-05 10:03:00"));
        const data::Statistics s = page->computeStatistics();
        QCOMPARE(s.count, 4u);
        QCOMPARE(s.max1, 25.0f);
        QCOMPARE(s.min1, 20.0f);
        QCOMPARE(s.avg1, 22.5f);
        QCOMPARE(s.max2, 70.0f);
        QCOMPARE(s.min2, 50.0f);
        QCOMPARE(s.avg2, 60.0f);
    }

    void acknowledgeButtonNeedsTheRight() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0", "1"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QVERIFY(page->acknowledgeButton()->isVisibleTo(page));
        test::setGuest(true);
        page->acknowledgeButton()->click();
        QCOMPARE(p.texts(), std::vector<std::string>{"无报警确认权限"});
        QCOMPARE(p.prompts[0].caption, std::string("提示"));
        QCOMPARE(test::sqlScalar("select checksign from TovanDataTable_3007"), std::string("0"));
    }

    void acknowledgementFromThePage() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0", "1"));
        QVERIFY(addReading(kTableG7, "2024-03-05 10:01:00", "20.0", "50.0", "A"));
        QVERIFY(test::sql("update tovandevicetable set AlarmGetSign=1 where " + kWhereG7));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        e.table().updateDevice(3, 7, [](devices::DeviceEntry& d) {
            d.status = devices::kStatusAlarm;
            d.unacknowledged = 1;
        });
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        QVERIFY(page->acknowledgeButton()->isVisibleTo(page));
        page->acknowledgement().setNoteAsker([] { return std::optional<std::string>("已通知'值班'"); });
        int listed = -1;
        QString title;
        test::whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<alarms::CAlarmAck*>(modal);
            if (dialog == nullptr) return;
            listed = dialog->list()->model()->rowCount();
            title = dialog->windowTitle();
            dialog->acknowledgeButton()->click();
        });
        page->acknowledgeButton()->click();
        QCOMPARE(listed, 1);
        QCOMPARE(title, QStringLiteral("报警信息 设备名:G7  所在线路:三号线"));
        QCOMPARE(p.texts(), std::vector<std::string>{"已确认报警信息"});
        QCOMPARE(test::sqlScalar("select checkevent from TovanDataTable_3007 where AlarmSign='1'"),
                 std::string("已通知'值班'"));
        QCOMPARE(test::sqlScalar("select user_name from TovanDataTable_3007 where AlarmSign='1'"), std::string("root"));
        QCOMPARE(test::sqlScalar("select checksign from TovanDataTable_3007 where AlarmSign='A'"), std::string("0"));
        QCOMPARE(QString::fromStdString(test::sqlScalar("select AlarmGetSign from tovandevicetable where " + kWhereG7)),
                 QStringLiteral("0"));
        QVERIFY(!page->acknowledgeButton()->isVisibleTo(page));
        const auto d = e.table().device(3, 7);
        QVERIFY(d.has_value());
        QCOMPARE(int(d->status), int(devices::kStatusNormal));
        QCOMPARE(int(d->unacknowledged), 0);
    }

    void cancellingTheNoteLeavesTheAlarmOpen() {
        QVERIFY(addReading(kTableG7, "2024-03-05 10:00:00", "20.0", "50.0", "1"));
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        QVERIFY(openByDoubleClick(w, kNodeG7));
        CDataManage* page = w.dataPage();
        // The operator types a note in "请输入处理方法" and cancels it.
        QString noteTitle;
        test::whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<alarms::CAlarmAck*>(modal);
            if (dialog == nullptr) return;
            test::whenModal([&, dialog](QWidget* note) {
                noteTitle = note->windowTitle();
                dialog->noteDialog().noteEdit()->setText(QStringLiteral("先不处理"));
                dialog->noteDialog().reject();
                // The acknowledgement dialog stays open; close it.
                QTimer::singleShot(0, dialog, &QDialog::reject);
            });
            dialog->acknowledgeButton()->click();
        });
        page->acknowledgeButton()->click();
        QCOMPARE(noteTitle, QStringLiteral("请输入处理方法"));
        QVERIFY(p.prompts.empty());
        QCOMPARE(test::sqlScalar("select checksign from TovanDataTable_3007"), std::string("0"));
        QVERIFY(page->acknowledgeButton()->isVisibleTo(page));
        // The note dialog keeps what was typed for the next time.
        QCOMPARE(page->acknowledgement().noteDialog().noteEdit()->text(), QStringLiteral("先不处理"));
    }

    void everyControlIsNamed() {
        devices::Engine e(test::quickTiming());
        PromptRecorder p;
        CTovanixDlg w(e, p);
        for (QWidget* c : w.dataPage()->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c) ||
                                 qobject_cast<QDateTimeEdit*>(c) || qobject_cast<QProgressBar*>(c) ||
                                 qobject_cast<QTableView*>(c);
            if (control && c->parentWidget() != nullptr && !c->accessibleName().isEmpty()) continue;
            if (!control) continue;
            // Parts of composite widgets (the spin box's own buttons) are named by Qt.
            if (qobject_cast<QAbstractButton*>(c) && !qobject_cast<QPushButton*>(c) &&
                !qobject_cast<QRadioButton*>(c)) {
                continue;
            }
            QFAIL(qPrintable(QStringLiteral("unnamed control: ") + c->metaObject()->className() + " " + c->objectName()));
        }
        QVERIFY(!w.historyList()->accessibleName().isEmpty());
    }
};

QTEST_MAIN(DataPageTest)
#include "data_page_test.moc"
