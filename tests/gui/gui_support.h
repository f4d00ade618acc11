// Helpers of the window tests: the private server (as the other tests use
// it), seeding lines, groups and devices, quick engine timings, and driving
// modal dialogs from a timer.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "devices/engine.h"
#include "tests/support/prompt_recorder.h"

namespace tovanix::test {

// Points the station at the test server. False (with a message) when it is
// not configured; the caller skips, or fails when the run requires it.
bool connectTestServer(QString* why);
// Drops TovanDatabase and creates it with every configuration table and
// the user table (holding "root").
bool resetDatabase();
bool sql(const std::string& statement);
std::string sqlScalar(const std::string& query);
int sqlRows(const std::string& query);
bool tableExists(const std::string& name);

bool seedLine(int lineid, const std::string& name, int port);
bool seedGroup(int lineid, int roomid, const std::string& name);
bool seedDevice(int lineid, int address, const std::string& name, int roomid, int deviceid);

// Logs "root" in (after resetDatabase).
bool logInRoot();
// Logs a user of this level in with no rights (or only DataView).
void setGuest(bool dataView = false);

// Short waits; the scan unit stays 30 s so the periods read as the station has them,
// and the first scan is far away unless asked for.
devices::EngineTiming quickTiming(int firstScanMs = 3600 * 1000, int scanUnitMs = 30000);
// An engine bound to the built driver libraries.
void bindDrivers(devices::Engine& engine);

// The main window as the window tests open it: a fresh engine with quick
// timings (bound to the driver libraries when asked) and a prompt recorder;
// the previous window goes first.
class WindowFixture {
public:
    explicit WindowFixture(bool withDrivers) : withDrivers_(withDrivers) {}

protected:
    app::CTovanixDlg& open();
    // Makes the node with this data the tree's current item; false when absent.
    bool select(unsigned data);

    std::unique_ptr<devices::Engine> engine_;
    std::unique_ptr<PromptRecorder> prompts_;
    std::unique_ptr<app::CTovanixDlg> window_;

private:
    bool withDrivers_;
};

// Runs `act` on the next modal dialog to appear (after this call), from the
// event loop.
void whenModal(std::function<void(QWidget*)> act);

}  // namespace tovanix::test

#define TOVANIX_REQUIRE_SERVER()                                                    \
    do {                                                                            \
        QString why_;                                                               \
        if (!tovanix::test::connectTestServer(&why_)) {                             \
            if (qgetenv("TOVANIX_TEST_REQUIRE_DB") == "1") QFAIL(qPrintable(why_)); \
            QSKIP(qPrintable(why_));                                                \
        }                                                                           \
    } while (0)

namespace tovanix::test {

// Line 1 "一号线" (port 0) with devices 1 "A1" and 2 "A2" under it; line 3
// "三号线" (port 0) with groups 301 "一组" and 302 "二组": device 7 "G7"
// (deviceid 1) and 8 "G8" (deviceid 2) in group 302, device 1 "G1"
// (deviceid 3) in group 301, device 2 "L2" (deviceid 4) under the line.
// Port 0 has no device behind it, so nothing is opened.
bool seedStandardStation();

}  // namespace tovanix::test
