// Figures of the data page: a logger with a year of minute readings
// (525,600 rows) opened and queried over the whole year; the time until the
// history list and the curve are filled, the longest stall of the user
// interface meanwhile, and the growth of resident memory. Optionally
// (--large N) the time to show the database start and end of a table of N
// rows. Needs the test server (TOVANIX_TEST_DB_CNF); skipped without.
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "data/data_page.h"
#include "data/history_model.h"
#include "data/history_store.h"
#include "db/connection.h"
#include "devices/engine.h"
#include "platform/local_time.h"
#include "tests/gui/gui_support.h"
#include "tests/support/prompt_recorder.h"
#include "widgets/curve_chart.h"

using namespace tovanix;

namespace {

constexpr int kLine = 1;
constexpr int kAddress = 1;
constexpr int kTable = 1001;
constexpr long kYearMinutes = 525600;
constexpr int kTickMs = 5;
constexpr int kWaitMs = 120000;
constexpr int kPageWidth = 1200;
constexpr int kPageHeight = 700;

long residentKib() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Minute readings ending now, made by the server itself.
bool fill(long rows) {
    const std::time_t start = platform::minuteStart(std::time(nullptr)) - (rows - 1) * platform::kSecondsPerMinute;
    return test::sql(db::sqlf("create table if not exists TovanDataTable_%d(RecordDataTime datetime not null primary "
                              "key,CHL1 float,CHL2 float,CHL3 float,CHL4 float,AlarmSign VARCHAR(8),checksign int(1),"
                              "user_name char(16),checkevent char(120))",
                              kTable)) &&
           test::sql(db::sqlf("insert into TovanDataTable_%d select from_unixtime(%lld + seq * 60), 20 + (seq %% 100) / "
                              "10, 50 + (seq %% 200) / 10, 0, 0, '0', 0, '', '' from seq_0_to_%ld",
                              kTable, static_cast<long long>(start), rows - 1));
}

void year() {
    if (!test::resetDatabase() || !test::seedLine(kLine, "一号线", 0) ||
        !test::seedDevice(kLine, kAddress, "年", 0, kTable) || !test::logInRoot() || !fill(kYearMinutes)) {
        std::printf("data page: year of readings: skipped (seeding failed)\n");
        return;
    }
    devices::Engine engine;
    engine.loadConfiguration();
    test::PromptRecorder prompts;
    data::CDataManage page(engine, prompts);
    page.resize(kPageWidth, kPageHeight);
    page.show();
    QSignalSpy done(&page, &data::CDataManage::queryFinished);
    page.openLater(kLine, kAddress, 0);
    if (!done.wait(kWaitMs)) {
        std::printf("data page: opening did not finish\n");
        return;
    }
    const long before = residentKib();
    {
        data::QueryControl control;
        QElapsedTimer worker;
        worker.start();
        const std::time_t now = std::time(nullptr);
        const data::SpanResult span = data::querySpan(
            kTable, platform::localDateTime(now - kYearMinutes * platform::kSecondsPerMinute), platform::localDateTime(now),
            control);
        std::printf("data page: the year's statements alone (%zu rows) %lld ms\n", span.readings.size(),
                    static_cast<long long>(worker.elapsed()));
    }

    // The longest gap between ticks of a fast timer is the longest stall.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
    });
    QElapsedTimer took;
    took.start();
    sinceTick.start();
    ticker.start(kTickMs);
    page.query(std::time(nullptr) - kYearMinutes * platform::kSecondsPerMinute, std::time(nullptr));
    if (!done.wait(kWaitMs)) {
        std::printf("data page: the year's query did not finish\n");
        return;
    }
    const qint64 filled = took.elapsed();
    QApplication::processEvents();  // the first paint of the filled page
    const qint64 painted = took.elapsed();
    ticker.stop();
    std::printf("data page: a year of minute readings (%d rows): list and curve filled in %lld ms (painted %lld ms), "
                "longest UI stall %lld ms, curve points %d drawn of %d, resident memory +%ld MiB\n",
                page.historyModel()->rowCount(), static_cast<long long>(filled), static_cast<long long>(painted),
                static_cast<long long>(longest), page.chart()->drawnCount(0), page.chart()->pointCount(0),
                (residentKib() - before) / 1024);
}

void large(long rows) {
    if (!test::resetDatabase() || !test::seedLine(kLine, "一号线", 0) ||
        !test::seedDevice(kLine, kAddress, "大", 0, kTable) || !test::logInRoot() || !fill(rows)) {
        std::printf("data page: large table: skipped (seeding failed)\n");
        return;
    }
    devices::Engine engine;
    engine.loadConfiguration();
    test::PromptRecorder prompts;
    data::CDataManage page(engine, prompts);
    QSignalSpy ends(&page, &data::CDataManage::endsShown);
    QSignalSpy opened(&page, &data::CDataManage::deviceOpened);
    QElapsedTimer t;
    t.start();
    page.openLater(kLine, kAddress, 0);
    if (!ends.wait(kWaitMs)) {
        std::printf("data page: large table: the ends were not shown\n");
        return;
    }
    const qint64 shown = t.elapsed();
    if (opened.isEmpty() && !opened.wait(kWaitMs)) {
        std::printf("data page: large table: not counted\n");
        return;
    }
    std::printf("data page: table of %ld rows: database start and end shown in %lld ms, counted in %lld ms\n",
                rows, static_cast<long long>(shown), static_cast<long long>(t.elapsed()));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString why;
    if (!test::connectTestServer(&why)) {
        std::printf("data page: skipped (%s)\n", qPrintable(why));
        return 0;
    }
    year();
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--large") == 0) large(std::atol(argv[i + 1]));
    }
    return 0;
}
