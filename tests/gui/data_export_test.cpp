// The export group of the data page against the private server: each format
// written from the listed span, the file name offered, the open question
// and its answer, and a failed write told instead of the question.
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fstream>
#include <sstream>

#include "data/data_page.h"
#include "data/history_model.h"
#include "db/connection.h"
#include "devices/engine.h"
#include "platform/local_time.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"

using namespace tovanix;
using data::CDataManage;

namespace {

constexpr int kLine = 3;
constexpr int kAddress = 7;
constexpr int kTable = 3007;
constexpr int kWaitMs = 20000;

std::string readAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool addReading(const std::string& time, const char* ch1, const char* ch2, const char* sign) {
    return test::sql(db::sqlf("create table if not exists TovanDataTable_%d(RecordDataTime datetime not null primary "
                              "key,CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                              "user_name char(16),checkevent char(120))",
                              kTable)) &&
           test::sql(db::sqlf("insert into TovanDataTable_%d values('%s',%s,%s,0,0,'%s',1,'','')", kTable,
                              time.c_str(), ch1, ch2, sign));
}

// The page with the device opened and its last week listed; the file
// dialog and the viewer replaced by recorders.
struct Page {
    devices::Engine engine{test::quickTiming()};
    test::PromptRecorder prompts;
    CDataManage page{engine, prompts};
    QString answer;  // the path the "dialog" returns
    QStringList asked;  // default name and filter of each question
    QStringList opened;
    Page() {
        engine.loadConfiguration();
        page.setSavePathAsker([this](const QString& name, const QString& filter, const QString& suffix) {
            asked << name << filter << suffix;
            return answer;
        });
        page.setFileOpener([this](const QString& path) { opened << path; });
        page.resize(1000, 600);
        page.show();
    }
    bool open() {
        QSignalSpy done(&page, &CDataManage::queryFinished);
        page.openLater(kLine, kAddress, 0);
        return done.wait(kWaitMs) || !done.isEmpty();
    }
    // Clicks the export button; true when an export ran and ended written.
    bool exportNow(bool* ran = nullptr) {
        QSignalSpy finished(&page, &CDataManage::exportFinished);
        QTest::mouseClick(page.exportButton(), Qt::LeftButton);
        const bool ended = !finished.isEmpty() || (page.exporting() && finished.wait(kWaitMs));
        if (ran != nullptr) *ran = ended;
        return ended && finished.front().front().toBool();
    }
};

}  // namespace

class DataExportTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        TOVANIX_REQUIRE_SERVER();
        QVERIFY(test::resetDatabase());
        QVERIFY(test::seedLine(kLine, "三号线", 0));
        QVERIFY(test::seedDevice(kLine, kAddress, "G7", 0, kTable));
        QVERIFY(test::logInRoot());
    }

    void eachFormatIsWrittenAndOffered() {
        const std::time_t now = platform::minuteStart(std::time(nullptr));
        QVERIFY(addReading(platform::localDateTime(now - 120), "21.5", "40", "0"));
        QVERIFY(addReading(platform::localDateTime(now - 60), "9.5", "1000", "2"));
        QVERIFY(addReading(platform::localDateTime(now), "22.5", "41", "A"));
        QTemporaryDir dir;
        struct Case {
            const char* name;
            int radio;  // -1: the alarm view
            const char* file;
            const char* filter;
            std::string starts;
        };
        const Case cases[] = {
            {"curve CSV", 0, "g7.csv", "表格(*.csv)", "Date,Time,T.(C),H.(%),Note\r\n"},
            {"bitmap", 1, "g7.bmp", "图片(*.bmp)", "BM"},
            {"bitmap as PNG", 1, "g7.png", "图片(*.bmp)", "\x89PNG"},
            {"report", 2, "g7.pdf", "图表(*.pdf)", "%PDF-"},
            {"alarm CSV", -1, "alarms.csv", "表格(*.csv)", "Date,Time,T.(C),H.(%),Note\r\n"},
        };
        for (const Case& c : cases) {
            Page p;
            QVERIFY2(p.open(), c.name);
            QCOMPARE(p.page.historyModel()->rowCount(), 3);
            if (c.radio < 0) {
                p.page.showAlarmView();
                QVERIFY(!p.page.exportRadio(1)->isEnabled());
            } else {
                p.page.exportRadio(c.radio)->click();
            }
            p.answer = dir.filePath(QString::fromUtf8(c.file));
            p.prompts.answers.push_back(PromptAnswer::Ok);
            QVERIFY2(p.exportNow(), c.name);
            QCOMPARE(p.asked.value(1), QString::fromUtf8(c.filter));
            QVERIFY2(p.asked.value(0).startsWith(c.radio < 0 ? "G7_Alarm_" : "G7_"), qPrintable(p.asked.value(0)));
            const std::string bytes = readAll(p.answer);
            QVERIFY2(bytes.rfind(c.starts, 0) == 0, c.name);
            QCOMPARE(p.prompts.texts().back(), std::string(QFileInfo(p.answer).completeBaseName().toStdString() + "." +
                                                           QFileInfo(p.answer).suffix().toStdString() +
                                                           "创建成功，是否现在打开？"));
            QCOMPARE(p.prompts.prompts.back().icon, PromptIcon::Warning);
            QCOMPARE(p.prompts.prompts.back().buttons, PromptButtons::OkCancel);
            QCOMPARE(p.opened, QStringList{p.answer});
            if (c.radio < 0) {
                // Only the row with sign 2 is an alarm.
                QVERIFY(bytes.find(",9.50,N/A,") != std::string::npos);
                QVERIFY(bytes.find(",22.50,") == std::string::npos);
            }
        }
    }

    void cancelledDialogAndEmptyListWriteNothing() {
        Page p;
        QVERIFY(p.open());
        QCOMPARE(p.page.historyModel()->rowCount(), 0);
        bool ran = true;
        p.exportNow(&ran);
        QVERIFY(!ran);
        QVERIFY(p.asked.isEmpty());
        QVERIFY(addReading(platform::localDateTime(std::time(nullptr) - 60), "21.5", "40", "0"));
        QVERIFY(p.open());
        p.answer.clear();  // the operator cancels the dialog
        p.exportNow(&ran);
        QVERIFY(!ran);
        QCOMPARE(p.asked.size(), 3);
        QVERIFY(p.prompts.prompts.empty());
    }

    void failedWriteIsToldWithoutTheQuestion() {
        QVERIFY(addReading(platform::localDateTime(std::time(nullptr) - 60), "21.5", "40", "0"));
        QTemporaryDir dir;
        Page p;
        QVERIFY(p.open());
        p.answer = dir.filePath("missing/out.csv");
        bool ran = false;
        QVERIFY(!p.exportNow(&ran));
        QVERIFY(ran);
        QCOMPARE(p.prompts.prompts.size(), std::size_t{1});
        QVERIFY(p.prompts.texts().front().find("写入失败，未输出文件") != std::string::npos);
        QVERIFY(p.opened.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());
        QVERIFY(p.page.exportButton()->isEnabled());
    }
};

QTEST_MAIN(DataExportTest)
#include "data_export_test.moc"
