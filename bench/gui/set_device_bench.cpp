// Figures of the logger settings window on a simulated line at 9600 baud
// with the station's own waits: opening it with the settings read from the
// logger, opening it with the settings loaded, and a limit write, each with
// the longest stall of the user interface meanwhile. Needs the test server
// (TOVANIX_TEST_DB_CNF) and a folder for the port link (TOVANIX_COMDIR).
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "devices/device_alarm_page.h"
#include "devices/engine.h"
#include "devices/set_device_dialog.h"
#include "tests/gui/gui_support.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"

using namespace tovanix;

namespace {

constexpr int kPort = 9;
constexpr unsigned kNode = 100007;  // line 1, address 7
constexpr int kTickMs = 5;
constexpr int kWaitMs = 60000;

// The longest gap between ticks of a fast timer while `until` is false.
struct Stall {
    qint64 tookMs = -1;
    qint64 longestMs = 0;
};
template <typename Start, typename Until>
Stall measure(Start start, Until until) {
    Stall s;
    QElapsedTimer sinceTick, took;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { s.longestMs = std::max(s.longestMs, sinceTick.restart()); });
    took.start();
    sinceTick.start();
    ticker.start(kTickMs);
    start();
    if (!QTest::qWaitFor(until, kWaitMs)) return s;
    s.tookMs = took.elapsed();
    ticker.stop();
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString why;
    if (!test::connectTestServer(&why)) {
        std::printf("settings window: skipped (%s)\n", qPrintable(why));
        return 0;
    }
    test::LoggerSim sim({.addresses = {1, 7}});
    if (!sim.start() || sim.linkCom(kPort).empty() || !sim.setReading(7, 253, 551, 253, 551) ||
        !test::resetDatabase() || !test::seedLine(1, "一号线", kPort) || !test::seedDevice(1, 1, "L1", 0, 1) ||
        !test::seedDevice(1, 7, "B区-07", 0, 2) || !test::logInRoot()) {
        std::printf("settings window: skipped (simulator or seeding failed)\n");
        return 0;
    }
    devices::EngineTiming timing;
    timing.firstScanMs = 3600 * 1000;  // no scan in between
    devices::Engine engine(timing);
    test::bindDrivers(engine);
    engine.loadConfiguration();
    engine.start();
    engine.post(devices::kMsgOpenPorts);
    test::PromptRecorder prompts;
    devices::CSetDevice window(prompts, engine);
    if (!QTest::qWaitFor([&] { return engine.table().line(1)->portOpen; }, kWaitMs)) {
        std::printf("settings window: the port did not open\n");
        return 0;
    }
    window.show();

    const Stall read = measure([&] { window.load(kNode, true); }, [&] { return !window.reading(); });
    const Stall loaded = measure([&] { window.load(kNode, true); }, [] { return true; });
    devices::CDeviceAlarm* page = window.alarmPage();
    page->limitEdit(devices::LimitField::Ch1Upper)->setText(QStringLiteral("20"));
    const Stall write = measure([&] { page->setButton()->click(); },
                                [&] { return !page->setButton()->text().startsWith(QStringLiteral("设置中")) &&
                                             page->setButton()->text() != QStringLiteral("正在设置"); });
    std::printf("settings window: opened with the logger's settings read in %lld ms (longest UI stall %lld ms); "
                "opened with them loaded in %lld ms; limits written in %lld ms (longest UI stall %lld ms, %s)\n",
                static_cast<long long>(read.tookMs), static_cast<long long>(read.longestMs),
                static_cast<long long>(loaded.tookMs), static_cast<long long>(write.tookMs),
                static_cast<long long>(write.longestMs), qPrintable(page->setButton()->text()));
    window.close();
    engine.post(devices::kMsgCloseAllPorts);
    engine.stop();
    return 0;
}
