// Backup and restore against the private server with the real client
// programs: files read back byte for byte, tables compared by their
// checksums, faults from a wrong account and damaged files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "app/backup_command.h"
#include "app/credentials.h"
#include "app/startup.h"
#include "data/backup.h"
#include "data/backup_actions.h"
#include "data/system_data.h"
#include "db/connection.h"
#include "db/data_table.h"
#include "devices/engine.h"
#include "platform/scramble.h"
#include "platform/single_instance.h"
#include "tests/support/process.h"
#include "tests/support/prompt_recorder.h"
#include "tests/support/test_db.h"

namespace tovanix::data::backup {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::execOrFail;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTable = 1003;  // line 1, address 3

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every table of the database with its checksum and its creation statement.
std::map<std::string, std::string> tableImages() {
    std::map<std::string, std::string> out;
    db::Connection c;
    EXPECT_TRUE(c.open()) << c.lastError();
    auto tables = c.query("show tables");
    EXPECT_TRUE(tables.has_value()) << c.lastError();
    if (!tables) return out;
    for (const auto& t : *tables) {
        const std::string name = t.text(0);
        auto sum = c.query("checksum table `" + name + "`");
        auto create = c.query("show create table `" + name + "`");
        EXPECT_TRUE(sum && create) << name << ": " << c.lastError();
        if (sum && create) out[name] = sum->front().text(1) + "\n" + create->front().text(1);
    }
    return out;
}

class Backup : public test::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        dir_ = fs::temp_directory_path() / ("tovanix-backup-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        execOrFail("insert into TovanLineTable (EraseSign,lineid,lineName) values(0,1,'冷链一号线')");
        execOrFail(db::sqlf("insert into tovandevicetable (DeviceEraseSign,deviceid,LineID,DeviceName,DeviceNumber,"
                            "DeviceProbeType,CHL1Lower,CHL1Upper,RecordInter) values(0,3,1,'库房''三号',3,4,2.5,8.0,5)"));
        db::Connection c;
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(db::createDataTable(c, kTable));
        for (int m = 0; m < 50; ++m) {
            ASSERT_TRUE(c.exec(db::sqlf("insert into TovanDataTable_%d values('2026-12-01 08:%02d:00','%0.1f','%0.1f',"
                                        "0,0,'%s',%d,'%s','%s')",
                                        kTable, m, 4.0 + m / 10.0, 55.5, m % 7 == 0 ? "2" : "0", m % 2,
                                        m % 2 ? "操作员" : "", m % 2 ? "门已关好\\n复查" : "")));
        }
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    static Job job() { return currentJob({}); }
    fs::path dir_;
};

TEST_F(Backup, RoundTripBringsEveryTableBackIdentical) {
    const auto before = tableImages();
    ASSERT_TRUE(before.count("tovandatatable_1003"));
    const fs::path file = dir_ / "冷链 备份.drelk";  // Chinese and a blank: no shell in between
    const Outcome made = backupTo(file.string(), job());
    ASSERT_TRUE(made.ok) << made.error;

    // Scrambled at rest, with the trailer, for the operator alone.
    const Bytes stored = readFile(file);
    ASSERT_TRUE(platform::scramble::hasTrailer(stored));
    const auto plain = platform::scramble::unscrambled(stored);
    ASSERT_TRUE(plain.has_value());
    const std::string text(plain->begin(), plain->end());
    EXPECT_NE(text.substr(0, 200).find("-- MariaDB dump"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("门已关好"), std::string::npos);
    EXPECT_EQ(std::string(stored.begin(), stored.end()).find("CREATE TABLE"), std::string::npos);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    // Nothing but the file in its folder: the temporary went into its place.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);

    // The station changes after the backup: a logger deleted with its table,
    // readings changed.
    execOrFail("delete from tovandevicetable");
    execOrFail("drop table TovanDataTable_1003");
    execOrFail("update TovanLineTable set lineName='改名'");
    ASSERT_NE(tableImages(), before);

    const Outcome back = restoreFrom(file.string(), job());
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(tableImages(), before);
}

TEST_F(Backup, TheSameFileRestoresTwiceAndIsNeverModified) {
    const fs::path file = dir_ / "twice.drelk";
    ASSERT_TRUE(backupTo(file.string(), job()).ok);
    const auto before = tableImages();
    const Bytes stored = readFile(file);
    // Read-only: a restore only reads.
    fs::permissions(file, fs::perms::owner_read);
    for (int round = 0; round < 2; ++round) {
        execOrFail("insert into TovanLineTable (EraseSign,lineid,lineName) values(0,2,'新线')");
        const Outcome o = restoreFrom(file.string(), job());
        ASSERT_TRUE(o.ok) << round << ": " << o.error;
        EXPECT_EQ(tableImages(), before) << round;
        EXPECT_EQ(readFile(file), stored) << round;
    }
}

TEST_F(Backup, WrongAccountFailsAndKeepsTheEarlierFile) {
    const fs::path file = dir_ / "nightly.drelk";
    ASSERT_TRUE(backupTo(file.string(), job()).ok);
    const Bytes earlier = readFile(file);
    Job wrong = job();
    wrong.account.password += "-wrong";
    const Outcome o = backupTo(file.string(), wrong);
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.error.find("Access denied"), std::string::npos) << o.error;
    EXPECT_EQ(readFile(file), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);

    // And the operator is told, with the client's own words.
    test::PromptRecorder p;
    reportBackup(p, file.string(), o);
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_TRUE(p.prompts[0].text.starts_with(std::string(kBackupFailed) + "\n")) << p.prompts[0].text;
    EXPECT_NE(p.prompts[0].text.find("Access denied"), std::string::npos);

    const Outcome r = restoreFrom(file.string(), wrong);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
}

TEST_F(Backup, MissingClientProgramIsNamed) {
    Job j = job();
    j.clientFolder = dir_.string();  // holds no client programs
    const Outcome o = backupTo((dir_ / "x.drelk").string(), j);
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.error.find(kDumpProgram), std::string::npos) << o.error;
    EXPECT_FALSE(fs::exists(dir_ / "x.drelk"));
    EXPECT_EQ(findProgram(kLoadProgram, {}).empty(), false);
}

TEST_F(Backup, DamagedOrForeignFilesAreRefusedWithoutTouchingTheDatabase) {
    const fs::path good = dir_ / "good.drelk";
    ASSERT_TRUE(backupTo(good.string(), job()).ok);
    const Bytes stored = readFile(good);
    const std::string plain = [&] {
        auto p = platform::scramble::unscrambled(stored);
        return std::string(p->begin(), p->end());
    }();
    const std::size_t completed = plain.rfind("-- Dump completed");
    ASSERT_NE(completed, std::string::npos);
    struct Case {
        const char* name;
        Bytes content;
    };
    const Case cases[] = {
        {"truncated", Bytes(stored.begin(), stored.end() - 100)},
        {"trailer only cut", Bytes(stored.begin(), stored.end() - 1)},
        {"plain dump", bytesOf(plain)},
        {"dump cut short, then scrambled", platform::scramble::scrambled(bytesOf(plain.substr(0, completed)))},
        {"scrambled other text", platform::scramble::scrambled(bytesOf(std::string(200, 'x')))},
        {"empty", {}},
        {"credentials file", platform::scramble::scrambled(bytesOf("root\r\n582046"))},
    };
    // A mark the restore of any of them would remove.
    execOrFail("create table MarkOfTheTest (id int)");
    const auto before = tableImages();
    for (const Case& c : cases) {
        const fs::path file = dir_ / "bad.drelk";
        writeFile(file, c.content);
        EXPECT_FALSE(checkBackupFile(file.string()).ok) << c.name;
        const Outcome o = restoreFrom(file.string(), job());
        EXPECT_FALSE(o.ok) << c.name;
        EXPECT_NE(o.error.find("不是数据库备份文件"), std::string::npos) << c.name << ": " << o.error;
        EXPECT_EQ(readFile(file), c.content) << c.name;
        EXPECT_EQ(tableImages(), before) << c.name;
    }
    const Outcome missing = restoreFrom((dir_ / "none.drelk").string(), job());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("无法读取"), std::string::npos) << missing.error;
}

// Every process's command line, read while the client program runs.
std::string allCommandLines() {
    std::string all;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(e.path() / "cmdline", std::ios::binary);
        all += std::string(std::istreambuf_iterator<char>(in), {}) + "\n";
    }
    return all;
}

TEST_F(Backup, PasswordNeverStandsOnACommandLine) {
    ASSERT_FALSE(test::testServer().account.password.empty());
    // A client folder whose mariadb-dump holds until the test has looked:
    // it says it runs through one FIFO and waits on another, then becomes
    // the real program with the same arguments.
    const fs::path bin = dir_ / "bin";
    fs::create_directories(bin);
    ASSERT_EQ(::mkfifo((dir_ / "started").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "go").c_str(), 0600), 0);
    {
        std::ofstream s(bin / kDumpProgram);
        s << "#!/bin/sh\necho started > '" << (dir_ / "started").string() << "'\nread go < '"
          << (dir_ / "go").string() << "'\nexec " << findProgram(kDumpProgram, {}) << " \"$@\"\n";
    }
    fs::permissions(bin / kDumpProgram, fs::perms::owner_all);
    Job j = job();
    j.clientFolder = bin.string();
    Outcome o;
    std::thread worker([&] { o = backupTo((dir_ / "watched.drelk").string(), j); });
    std::string lines;
    {
        std::ifstream started(dir_ / "started");  // opens once the child writes
        std::string word;
        started >> word;
        lines = allCommandLines();
    }
    { std::ofstream(dir_ / "go") << "go\n"; }
    worker.join();
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_NE(lines.find("--defaults-file="), std::string::npos);
    EXPECT_EQ(lines.find(test::testServer().account.password), std::string::npos);
}

TEST(BackupNames, ExtensionIsAddedOnlyWhenMissing) {
    EXPECT_EQ(withExtension("/tmp/a/TovanPro"), "/tmp/a/TovanPro.drelk");
    EXPECT_EQ(withExtension("/tmp/a/TovanPro.drelk"), "/tmp/a/TovanPro.drelk");
    EXPECT_EQ(withExtension("/tmp/a.b/x"), "/tmp/a.b/x.drelk");
}

TEST(BackupPrompts, RestoreAsksFirstAndReportsAsSpecified) {
    test::PromptRecorder p;
    p.answers = {PromptAnswer::Cancel, PromptAnswer::Ok};
    EXPECT_FALSE(confirmRestore(p));
    EXPECT_TRUE(confirmRestore(p));
    ASSERT_EQ(p.prompts.size(), 2u);
    EXPECT_EQ(p.prompts[0].text, kRestoreQuestion);
    EXPECT_EQ(p.prompts[0].caption, kCaptionDanger);
    EXPECT_EQ(p.prompts[0].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(p.prompts[0].icon, PromptIcon::Warning);
    reportRestore(p, {true, {}});
    reportRestore(p, {false, "ERROR 1064"});
    reportBackup(p, "/srv/a.drelk", {true, {}});
    EXPECT_EQ(p.prompts[2].text, kRestoreDone);
    EXPECT_EQ(p.prompts[3].text, std::string(kRestoreFailed) + "\nERROR 1064");
    EXPECT_EQ(p.prompts[4].text, "数据库备份成功，备份文件保存在 /srv/a.drelk");
    EXPECT_EQ(p.prompts[4].caption, kCaptionInfo);
}

TEST(BackupRuns, OnlyOneAtATime) {
    ASSERT_TRUE(beginRun());
    EXPECT_TRUE(running());
    EXPECT_FALSE(beginRun());
    endRun();
    EXPECT_FALSE(running());
}

// The back-fill and the lost-record download store readings: neither starts
// while a backup or restore runs, and nothing of theirs is left set.
TEST(BackupRuns, DownloadsAreRefusedMeanwhile) {
    devices::Engine engine;  // not started: an accepted request would post and fail
    test::PromptRecorder p;
    ASSERT_TRUE(beginRun());
    EXPECT_FALSE(data::startBackfill(p, engine, 100, 200, {{1, 1}}));
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, data::kBackupRunning);
    EXPECT_EQ(engine.backfill.running(), 0);
    EXPECT_FALSE(data::startRecovery(p, engine, 100, 200));
    ASSERT_EQ(p.prompts.size(), 2u);
    EXPECT_EQ(p.prompts[1].text, data::kBackupRunning);
    EXPECT_EQ(engine.recoveryFlag.load(), 0);
    endRun();
    // Afterwards both go through to the (stopped) polling thread.
    EXPECT_TRUE(data::startRecovery(p, engine, 100, 200));
    EXPECT_FALSE(data::startBackfill(p, engine, 100, 200, {{1, 1}}));
    EXPECT_EQ(p.prompts.size(), 2u);
}

// The command line, as a cron job runs it: no display, the account of the
// station folder.
class BackupCommand : public Backup {
protected:
    void SetUp() override {
        Backup::SetUp();
        if (IsSkipped() || HasFailure()) return;
        home_ = dir_ / "home";
        fs::create_directories(home_);
        ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), test::testServer().account));
        env_ = {{"TOVANIX_HOME", home_.string()}, {"TOVANIX_DB_SOCKET", test::testServer().socket}};
    }
    int run(const std::vector<std::string>& args, std::string* output = nullptr) {
        test::ChildProcess p;
        EXPECT_TRUE(p.start(test::binDir() + "/tovanix", args, env_, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}));
        const int status = p.wait(120s);
        if (output != nullptr) *output = p.output();
        return status;
    }
    fs::path home_;
    std::map<std::string, std::string> env_;
};

TEST_F(BackupCommand, BackupAndRestoreFromATerminal) {
    const auto before = tableImages();
    const fs::path file = dir_ / "nightly.drelk";
    std::string out;
    ASSERT_EQ(run({"backup", file.string()}, &out), 0) << out;
    EXPECT_NE(out.find("数据库备份成功"), std::string::npos) << out;
    execOrFail("drop table TovanDataTable_1003");
    execOrFail("delete from tovandevicetable");
    const Bytes stored = readFile(file);
    ASSERT_EQ(run({"restore", file.string()}, &out), 0) << out;
    EXPECT_NE(out.find(kRestoreDone), std::string::npos) << out;
    EXPECT_EQ(tableImages(), before);
    EXPECT_EQ(readFile(file), stored);
}

TEST_F(BackupCommand, FailuresEndWithStatusOne) {
    const fs::path file = dir_ / "nightly.drelk";
    ASSERT_EQ(run({"backup", file.string()}), 0);
    const Bytes earlier = readFile(file);
    ASSERT_TRUE(credentials::writeFile((home_ / "data.drk").string(), {test::testServer().account.user, "nope"}));
    std::string out;
    EXPECT_EQ(run({"backup", file.string()}, &out), 1);
    EXPECT_NE(out.find(kBackupFailed), std::string::npos) << out;
    EXPECT_EQ(readFile(file), earlier);
    writeFile(dir_ / "foreign.drelk", bytesOf("select 1;\n"));
    EXPECT_EQ(run({"restore", (dir_ / "foreign.drelk").string()}, &out), 1);
    EXPECT_NE(out.find(kRestoreFailed), std::string::npos) << out;
    fs::remove(home_ / "data.drk");
    EXPECT_EQ(run({"backup", file.string()}, &out), 1);
    EXPECT_NE(out.find("data.drk"), std::string::npos) << out;
}

TEST_F(BackupCommand, UsageNamesBothAndRefusesAMissingFile) {
    std::string out;
    EXPECT_EQ(run({"--help"}, &out), 0);
    EXPECT_NE(out.find("tovanix backup PATH"), std::string::npos) << out;
    EXPECT_NE(out.find("tovanix restore PATH"), std::string::npos) << out;
    EXPECT_EQ(run({"backup"}, &out), 2);
    EXPECT_NE(out.find("tovanix: backup needs a value"), std::string::npos) << out;
    EXPECT_EQ(run({"restore", "a", "b"}, &out), 2);
    // An option where the file belongs is no file name.
    EXPECT_EQ(run({"backup", "--headless"}, &out), 2);
    EXPECT_NE(out.find("tovanix: backup needs a value"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists("--headless"));
}

TEST_F(BackupCommand, RestoreIsRefusedWhileAStationRuns) {
    const fs::path file = dir_ / "nightly.drelk";
    const auto backedUp = tableImages();
    ASSERT_EQ(run({"backup", file.string()}), 0);
    execOrFail("delete from tovandevicetable");
    const auto before = tableImages();
    std::string out;
    {
        // This process holds the station's lock as a running station does.
        const platform::SingleInstance station(kProgramName);
        ASSERT_TRUE(station.acquired());
        EXPECT_EQ(run({"restore", file.string()}, &out), 1);
        EXPECT_NE(out.find(kRestoreWhileStationRuns), std::string::npos) << out;
        EXPECT_EQ(tableImages(), before);
        // A backup still runs beside the station.
        EXPECT_EQ(run({"backup", (dir_ / "beside.drelk").string()}, &out), 0) << out;
    }
    ASSERT_EQ(run({"restore", file.string()}, &out), 0) << out;
    EXPECT_EQ(tableImages(), backedUp);
}

}  // namespace
}  // namespace tovanix::data::backup
