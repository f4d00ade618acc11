// The automatic gap fill at 9600-baud pacing with the product's waits: how
// long closing a one-hour gap (60 records, 3 blocks a logger) takes on one
// logger and on a line of 50, and the longest a scan that fell due meanwhile
// waited for the fill to give the loggers back.
//
// The gap is a database outage: the station connects through a link to the
// private server's socket, removed for one scan and put back for the next.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "db/account.h"
#include "db/allocation.h"
#include "db/connection.h"
#include "db/schema.h"
#include "devices/engine.h"
#include "devices/polling_thread.h"
#include "platform/local_time.h"
#include "tests/support/logger_sim.h"
#include "tests/support/process.h"
#include "tests/support/test_db.h"

using namespace tovanix;
using namespace std::chrono;

namespace {

constexpr int kLine = 1;
constexpr int kLinePort = 3;
constexpr int kGapMinutes = 60;

bool seed(int loggers, std::time_t lastStored) {
    db::Connection c;
    if (!c.open(test::testServer().account, false)) return false;
    c.exec("drop database if exists TovanDatabase");
    c.exec(db::schema::kCreateDatabase);
    c.exec(db::kUseDatabase);
    db::schema::createConfigurationTables(c);
    db::LineSettings line{"基准线", 0, "", kLinePort, 3, 0, 1};
    if (!db::allocateLine(c, line).ok()) return false;
    for (int a = 1; a <= loggers; ++a) {
        if (!db::allocateDevice(c, kLine, a, "记录仪" + std::to_string(a), 0).ok()) return false;
    }
    return c.exec("update tovandevicetable set DownLastTime='" + platform::localDateTime(lastStored) + "'");
}

struct Figures {
    double fillMs = 0;
    long long fetched = 0;
    long long scansDuring = 0;
    double longestDelayMs = 0;
    int retries = 0;
};

bool runOnce(int loggers, int scanUnitMs, const std::string& link, Figures& out) {
    const std::time_t now = std::time(nullptr);
    const std::time_t firstRecord = platform::minuteStart(now) - kGapMinutes * 60;
    if (!seed(loggers, firstRecord - 60)) return false;
    std::vector<int> addresses;
    for (int a = 1; a <= loggers; ++a) addresses.push_back(a);
    test::LoggerSim sim({.addresses = addresses, .paced = true});
    if (!sim.start()) return false;
    sim.linkCom(kLinePort);
    const std::string first = platform::formatLocal(firstRecord, "%Y-%m-%d %H:%M");
    for (int a : addresses) sim.fillHistory(a, kGapMinutes, first, 1);

    std::mutex m;  // guards fetched and lastFetch
    long long fetched = 0;
    steady_clock::time_point lastFetch;
    std::atomic<int> spansDone{0};
    std::atomic<int> retries{0};
    devices::EngineTiming timing;  // the product's waits
    timing.firstScanMs = 3600 * 1000;
    timing.scanUnitMs = scanUnitMs;
    devices::Engine engine(timing);
    engine.setDriverFolder(test::binDir());
    // "... N records fetched between ..." ends a span's fill; an incomplete
    // one ("..., N records fetched; tried again ...") is tried again later.
    engine.setLog([&](const std::string& line) {
        const auto at = line.find(" records fetched");
        if (line.find("gap: ") == std::string::npos || at == std::string::npos) return;
        const auto space = line.rfind(' ', at - 1);
        std::lock_guard<std::mutex> lock(m);
        fetched += std::stoll(line.substr(space + 1, at - space - 1));
        if (line.find(" records fetched between ", at) == at) {
            lastFetch = steady_clock::now();
            spansDone.fetch_add(1);
        } else {
            retries.fetch_add(1);
        }
    });
    engine.loadConfiguration();
    engine.assignSequenceNumbers();
    engine.start();
    engine.post(devices::kMsgOpenPorts);
    engine.pollingThread()->waitIdle(seconds(30));

    ::unlink(link.c_str());  // the server goes away for one scan
    engine.post(devices::kMsgScan);
    engine.pollingThread()->waitIdle(seconds(300));
    ::symlink(test::testServer().socket.c_str(), link.c_str());
    const long long scansBefore = engine.scansDone.load();
    engine.post(devices::kMsgScan);  // stores again: every gap closes, the fill follows
    while (engine.scansDone.load() == scansBefore) std::this_thread::sleep_for(milliseconds(5));
    const auto closed = steady_clock::now();
    engine.restartScanTimer();  // scans fall due during the fill from here on
    const auto deadline = steady_clock::now() + minutes(10);
    while (spansDone.load() < loggers && steady_clock::now() < deadline) std::this_thread::sleep_for(milliseconds(20));
    {
        std::lock_guard<std::mutex> lock(m);
        out.fillMs = duration<double, std::milli>(lastFetch - closed).count();
        out.fetched = fetched;
    }
    out.scansDuring = engine.scansDone.load() - scansBefore - 1;
    out.retries = retries.load();
    out.longestDelayMs = static_cast<double>(engine.longestHandedScanDelayNs.load()) / 1e6;
    engine.post(devices::kMsgCloseAllPorts);
    engine.stop();
    return spansDone.load() >= loggers;
}

}  // namespace

int main() {
    if (!test::testServer().available) {
        std::fprintf(stderr, "bench_gap_fill: set TOVANIX_TEST_DB_CNF to a private server's client.cnf\n");
        return 2;
    }
    char tmpl[] = "/tmp/tovanix-gap-bench-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    const std::string dir = tmpl;
    const std::string link = dir + "/mysqld.sock";
    ::symlink(test::testServer().socket.c_str(), link.c_str());
    ::setenv(db::kSocketEnv, link.c_str(), 1);

    struct Case {
        int loggers;
        int scanUnitMs;
    };
    // Fifty loggers with the product's scan period (180 s), then with one
    // of 18 s, a scan of 15 s falling due again and again during the fill;
    // one logger with scans every 400 ms (the product's period: 30 s).
    const Case cases[] = {{1, 400}, {50, 30000}, {50, 3000}};
    int status = 0;
    for (const Case& c : cases) {
        Figures f;
        if (!runOnce(c.loggers, c.scanUnitMs, link, f)) {
            std::fprintf(stderr, "bench_gap_fill: the gap of %d loggers was not closed\n", c.loggers);
            status = 1;
            continue;
        }
        std::printf("one-hour gap on %d logger%s (%d records, 3 blocks each, 9600 baud), scan period %.1f s: "
                    "closed in %.0f ms after the first stored scan, %lld records fetched; %lld scans ran meanwhile, "
                    "the longest waited %.0f ms for the loggers; %d fills tried again\n",
                    c.loggers, c.loggers == 1 ? "" : "s", kGapMinutes,
                    static_cast<double>(devices::scanPeriodMs(c.loggers, c.scanUnitMs)) / 1000.0, f.fillMs, f.fetched, f.scansDuring,
                    f.longestDelayMs, f.retries);
    }
    ::setenv(db::kSocketEnv, test::testServer().socket.c_str(), 1);
    std::filesystem::remove_all(dir);
    return status;
}
