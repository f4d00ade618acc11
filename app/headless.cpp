#include "app/headless.h"

#include <csignal>
#include <cstdio>
#include <string>

#include "app/credentials.h"
#include "db/connection.h"
#include "db/defaults.h"
#include "devices/engine.h"
#include "devices/messages.h"
#include "platform/local_time.h"
#include "platform/paths.h"

namespace tovanix {

namespace {

void logLine(const std::string& line) { std::fprintf(stderr, "tovanix: %s\n", line.c_str()); }

}  // namespace

int runHeadless() {
    // Without it the file's path would be "/data.drk", at the root.
    if (platform::stationFolder().empty()) {
        logLine("cannot create the station folder " + platform::stationFolderPath());
        return 1;
    }
    const std::string path = credentials::pathInStationFolder();
    const credentials::Loaded loaded = credentials::load(path);
    if (loaded.state != credentials::LoadState::Loaded) {
        logLine(loaded.state == credentials::LoadState::Unreadable
                    ? "no database account: " + path + " cannot be read"
                    : "no database account: " + path +
                          " is missing (start the station with its window once, or write the file: user, CR LF, "
                          "password)");
        return 1;
    }
    {
        db::Connection c;
        if (!c.open(loaded.account, false)) {
            logLine(c.serverUnreachable()
                        ? std::string(kServerUnreachable) + ": " + c.lastError()
                        : "the database server refuses the account in " + path + ": " + c.lastError());
            return 1;
        }
        // As the user login would: the database and the built-in account.
        db::ensureUserTable(c);
    }

    devices::Engine engine;
    engine.setLog(logLine);
    devices::ConfigLoadResult load = engine.loadConfiguration();
    if (!load.connected) return 1;
    engine.assignSequenceNumbers();
    engine.start();
    engine.post(devices::kMsgOpenPorts);
    engine.post(devices::kMsgReadSettings);
    engine.post(devices::kMsgQuickRead);
    if (load.lostRecords) {
        devices::HistoryRequest range;
        range.start = load.oldestLost;
        range.end = engine.now();
        logLine("lost records since " + platform::localDateTime(range.start) + ": downloading the loggers' history");
        engine.recoveryFlag.store(1);
        engine.post(devices::kMsgDownloadAll, range);
    }

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    int sig = 0;
    sigwait(&set, &sig);
    logLine(sig == SIGINT ? "interrupted: stopping" : "terminated: stopping");
    engine.post(devices::kMsgCloseAllPorts);
    engine.stop();
    logLine("stopped");
    return 0;
}

}  // namespace tovanix
