// Figures of the window: the resident memory of the demo station running on
// the simulated line (window, engine, driver libraries), the time to fill the
// status view with 999 devices, and the time to redraw one tile after a
// reading. Runs on the offscreen platform; the demo part needs the test
// server (TOVANIX_TEST_DB_CNF) and the simulators, and is skipped without.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/demo_station.h"
#include "app/main_window.h"
#include "app/status_view.h"
#include "devices/engine.h"
#include "tests/gui/gui_support.h"
#include "tests/support/alarm_sim.h"
#include "tests/support/logger_sim.h"
#include "tests/support/prompt_recorder.h"

using namespace tovanix;

namespace {

constexpr int kFillRuns = 10;
constexpr int kRedrawRuns = 2000;
constexpr int kDevices = 999;
constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 800;
constexpr int kSettleMs = 3000;
constexpr int kReadTimeoutMs = 60000;

long residentKib() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void demoMemory() {
    QString why;
    if (!test::connectTestServer(&why)) {
        std::printf("gui: resident memory of the running demo station: skipped (%s)\n", qPrintable(why));
        return;
    }
    std::string error;
    if (!test::sql("drop database if exists TovanDatabase") || !app::demo::seed(true, &error) || !test::logInRoot()) {
        std::printf("gui: resident memory of the running demo station: skipped (seeding: %s)\n", error.c_str());
        return;
    }
    test::LoggerSimOptions options;
    options.addresses.clear();
    for (int a = 1; a <= app::demo::kLoggers; ++a) options.addresses.push_back(a);
    options.extraArgs = {"--drift", "--cross", std::to_string(app::demo::kCrossingLogger) + ":1"};
    test::LoggerSim loggers(options);
    test::AlarmSim alarm;
    if (!loggers.start() || loggers.linkCom(app::demo::kLoggerPort).empty() || !alarm.start() ||
        !alarm.linkAs(app::demo::kAlarmPort)) {
        std::printf("gui: resident memory of the running demo station: skipped (simulators: %s%s)\n",
                    loggers.error().c_str(), alarm.error().c_str());
        return;
    }
    const long before = residentKib();
    devices::Engine engine;  // the product's timing
    test::bindDrivers(engine);
    test::PromptRecorder prompts;
    app::CTovanixDlg window(engine, prompts);
    window.resize(1400, 850);
    window.show();
    QElapsedTimer t;
    t.start();
    auto allRead = [&] {
        return engine.table().with([](std::vector<devices::LineEntry>& lines) {
            int n = 0;
            for (const auto& l : lines)
                for (const auto& d : l.devices) n += d.ch1 != devices::kNoValue ? 1 : 0;
            return n == app::demo::kLoggers;
        });
    };
    while (!allRead() && t.elapsed() < kReadTimeoutMs) QTest::qWait(50);
    const bool read = allRead();
    QTest::qWait(kSettleMs);
    const long running = residentKib();
    std::printf(
        "gui: resident memory of the running demo station: %.1f MiB (%d loggers %s after %.1f s; "
        "the process before the window: %.1f MiB)\n",
        running / 1024.0, app::demo::kLoggers, read ? "read" : "NOT all read", (t.elapsed() - kSettleMs) / 1000.0,
        before / 1024.0);
    window.stopAndClose();
}

void tileFigures() {
    devices::Engine engine;
    devices::LineEntry line;
    line.lineid = 1;
    for (int a = 1; a <= kDevices; ++a) {
        devices::DeviceEntry d;
        d.address = static_cast<std::uint16_t>(a);
        d.lineid = 1;
        d.name = "冷库-" + std::to_string(a);
        d.status = static_cast<std::uint8_t>(1 + a % 4);
        d.powerKind = static_cast<std::uint8_t>(a % 5);
        d.ch1 = 20.0f + static_cast<float>(a % 50) / 10.0f;
        d.ch2 = 50.0f + static_cast<float>(a % 30);
        line.devices.push_back(d);
    }
    engine.table().addLine(line);
    app::CCurrentStatus view(engine);
    view.resize(kViewWidth, kViewHeight);
    view.show();

    QElapsedTimer t;
    t.start();
    view.fill(app::ViewMode::All);
    const double first = t.nsecsElapsed() / 1e6;
    std::vector<double> fills;
    for (int i = 0; i < kFillRuns; ++i) {
        t.restart();
        view.fill(app::ViewMode::All);
        fills.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf(
        "gui: fill the status view with %d devices: %.1f ms the first time (tiles created), "
        "%.1f ms afterwards (median of %d)\n",
        view.tileCount(), first, median(fills), kFillRuns);

    std::vector<double> redraws;
    for (int i = 0; i < kRedrawRuns; ++i) {
        const int sequence = 1 + (i * 37) % kDevices;
        engine.lastRead.store(sequence);
        t.restart();
        view.refreshLastRead();
        redraws.push_back(t.nsecsElapsed() / 1e3);
    }
    std::printf("gui: redraw one tile after a reading: %.0f us (median of %d, over %d devices)\n", median(redraws),
                kRedrawRuns, kDevices);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    demoMemory();
    tileFigures();
    return 0;
}
