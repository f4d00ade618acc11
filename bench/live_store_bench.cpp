// One live-reading store as the scan performs it per device: connect,
// create-if-not-exists, REPLACE, UPDATE of DownLastTime, close.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "db/connection.h"
#include "db/data_table.h"
#include "db/defaults.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

using namespace tovanix;

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (runs < 1) runs = 2000;
    const test::TestServer& server = test::testServer();
    if (!server.available) {
        std::fprintf(stderr, "bench_live_store: set TOVANIX_TEST_DB_CNF to a private server's client.cnf\n");
        return 2;
    }
    {
        db::Connection c;
        if (!c.open(server.account, false)) {
            std::fprintf(stderr, "connect failed: %s\n", c.lastError().c_str());
            return 1;
        }
        c.exec(db::schema::kCreateDatabase);
        c.exec(db::kUseDatabase);
        db::schema::createConfigurationTables(c);
        c.exec("delete from tovandevicetable where LineID=9 and DeviceNumber=1");
        c.exec("insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceNumber,DownLastTime) "
               "values(0,1,9,1,'2014-01-01 00:00:00')");
        c.exec("drop table if exists tovandatatable_9001");
    }
    const int n = db::dataTableNumber(9, 1);
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    std::time_t base = std::time(nullptr) - runs * 60;
    for (int i = 0; i < runs; ++i) {
        std::time_t t = base + i * 60;
        std::tm tm {};
        localtime_r(&t, &tm);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:00", &tm);
        auto t0 = std::chrono::steady_clock::now();
        {
            db::Connection c;
            if (!c.open()) {
                std::fprintf(stderr, "connect failed: %s\n", c.lastError().c_str());
                return 1;
            }
            db::createDataTable(c, n);
            db::storeLiveReading(c, n, when, 4.0 + (i % 10) * 0.1, 55.0, "0");
            db::updateDownLastTime(c, 1, 9, when);
        }
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    auto pct = [&](double p) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(p * ms.size()))]; };
    std::printf("live-reading store (connect, create, REPLACE, UPDATE, close), %d runs:\n", runs);
    std::printf("  median %.2f ms   p95 %.2f ms   min %.2f ms   max %.2f ms   (target: median <= 5 ms)\n", pct(0.5),
                pct(0.95), ms.front(), ms.back());
    return 0;
}
