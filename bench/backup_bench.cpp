// Backup and restore of a station with 10 loggers of minute readings, side
// by side with plain mariadb-dump and mariadb on the same database: the
// scrambling, the temporary file and the streamed unscrambling should cost
// little over the client programs themselves.
//
//   bench_backup [--days D]   D days of readings per logger (default 30;
//                             365 for the year of the target)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/backup.h"
#include "data/backup_actions.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "db/schema.h"
#include "tests/support/test_db.h"

using namespace tovanix;
namespace fs = std::filesystem;

namespace {

constexpr int kLoggers = 10;
constexpr int kMinutesPerDay = 24 * 60;

double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The plain client program through a shell, with the server's option file
// (which names no password on the command line either).
double timedShell(const std::string& command) {
    const auto t = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "bench_backup: failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds(t);
}

}  // namespace

int main(int argc, char** argv) {
    int days = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--days") days = std::atoi(argv[i + 1]);
    }
    if (days < 1) days = 30;
    const test::TestServer& server = test::testServer();
    const char* cnf = std::getenv("TOVANIX_TEST_DB_CNF");
    if (!server.available || cnf == nullptr) {
        std::fprintf(stderr, "bench_backup: set TOVANIX_TEST_DB_CNF to a private server's client.cnf\n");
        return 2;
    }
    const long rowsPerLogger = static_cast<long>(days) * kMinutesPerDay;
    {
        const auto t = std::chrono::steady_clock::now();
        db::Connection c;
        if (!c.open(server.account, false)) return 1;
        c.exec("drop database if exists TovanDatabase");
        c.exec(db::schema::kCreateDatabase);
        c.exec(db::kUseDatabase);
        db::schema::createConfigurationTables(c);
        for (int a = 1; a <= kLoggers; ++a) {
            const int n = db::dataTableNumber(1, a);
            db::createDataTable(c, n);
            // The sequence engine makes the rows on the server.
            if (!c.exec(db::sqlf("insert into TovanDataTable_%d select timestampadd(minute, seq, '2025-01-01 00:00:00'),"
                                 "round(20+rand()*10,1),round(50+rand()*20,1),0,0,'0',0,'','' from seq_0_to_%ld",
                                 n, rowsPerLogger - 1))) {
                std::fprintf(stderr, "bench_backup: seeding failed: %s\n", c.lastError().c_str());
                return 1;
            }
        }
        std::printf("seeded %d loggers x %ld minute readings (%d days) in %.1f s\n", kLoggers, rowsPerLogger, days,
                    seconds(t));
    }
    const fs::path dir = fs::temp_directory_path() / ("tovanix-bench-backup-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string plainFile = (dir / "plain.sql").string();
    const std::string ourFile = (dir / "TovanPro.drelk").string();
    const data::backup::Job job = data::backup::currentJob({});

    const double plainDump = timedShell("mariadb-dump --defaults-file='" + std::string(cnf) +
                                        "' --single-transaction --quick TovanDatabase > '" + plainFile + "'");
    auto t = std::chrono::steady_clock::now();
    const data::backup::Outcome made = data::backup::backupTo(ourFile, job);
    const double ourDump = seconds(t);
    if (!made.ok) {
        std::fprintf(stderr, "bench_backup: backup failed: %s\n", made.error.c_str());
        return 1;
    }
    const double plainLoad =
        timedShell("mariadb --defaults-file='" + std::string(cnf) + "' TovanDatabase < '" + plainFile + "'");
    t = std::chrono::steady_clock::now();
    const data::backup::Outcome back = data::backup::restoreFrom(ourFile, job);
    const double ourLoad = seconds(t);
    if (!back.ok) {
        std::fprintf(stderr, "bench_backup: restore failed: %s\n", back.error.c_str());
        return 1;
    }
    std::printf("dump file %.1f MB, backup file %.1f MB\n", fs::file_size(plainFile) / 1e6,
                fs::file_size(ourFile) / 1e6);
    std::printf("backup:  plain mariadb-dump %.2f s, tovanix %.2f s, ratio %.2f\n", plainDump, ourDump,
                ourDump / plainDump);
    std::printf("restore: plain mariadb %.2f s, tovanix %.2f s, ratio %.2f\n", plainLoad, ourLoad, ourLoad / plainLoad);
    std::printf("total:   plain %.2f s, tovanix %.2f s, ratio %.2f (target at most 1.30)\n", plainDump + plainLoad,
                ourDump + ourLoad, (ourDump + ourLoad) / (plainDump + plainLoad));
    fs::remove_all(dir);
    return 0;
}
