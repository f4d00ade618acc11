// The program itself as a process: a second start is refused while the
// first station keeps running, and a signal ends the station wherever it
// stands, even in its login dialog.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/credentials.h"
#include "tests/support/process.h"
#include "tests/support/test_db.h"

namespace tovanix::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 30s;
constexpr auto kStopTimeout = 30s;

// Whether pid holds an flock (the single-instance lock), from /proc/locks.
bool holdsFlock(pid_t pid) {
    std::ifstream in("/proc/locks");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string n, kind, mode, access;
        long owner = 0;
        words >> n >> kind >> mode >> access >> owner;
        if (kind == "FLOCK" && access == "WRITE" && owner == pid) return true;
    }
    return false;
}

bool waitForFlock(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (holdsFlock(pid)) return true;
        ::usleep(20000);
    }
    return false;
}

// Whether pid blocks the signal (the station blocks SIGINT and SIGTERM
// first thing and then reads them), from /proc/<pid>/status.
bool blocks(pid_t pid, int sig) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("SigBlk:", 0) != 0) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask >> (sig - 1)) & 1ULL;
    }
    return false;
}

bool waitUntilBlocked(pid_t pid, int sig, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (blocks(pid, sig)) return true;
        ::usleep(20000);
    }
    return false;
}

class ProgramTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFailure()) return;
        createDatabase();
        // The account of the test server in the station folder of the run.
        ASSERT_TRUE(credentials::writeFile(credentials::pathInStationFolder(), testServer().account));
        env_ = {{"QT_QPA_PLATFORM", "offscreen"}};
    }
    std::string program() const { return binDir() + "/tovanix"; }
    std::map<std::string, std::string> env_;
};

TEST_F(ProgramTest, SecondStartIsRefusedAndTheFirstKeepsRunning) {
    ChildProcess first;
    ASSERT_TRUE(first.start(program(), {"--headless"}, env_));
    ASSERT_TRUE(first.waitForOutput("configuration:", kStartTimeout)) << first.output();
    ASSERT_TRUE(holdsFlock(first.pid()));

    ChildProcess second;
    ASSERT_TRUE(second.start(program(), {}, env_));
    // It shows the refusal and waits there; cancelling the message ends it
    // with the refusal's status, not with a cancelled login's.
    ASSERT_TRUE(waitUntilBlocked(second.pid(), SIGTERM, kStartTimeout));
    EXPECT_FALSE(holdsFlock(second.pid()));
    second.signal(SIGTERM);
    EXPECT_EQ(second.wait(kStopTimeout), 1) << second.output();

    EXPECT_EQ(::kill(first.pid(), 0), 0) << "the first station ended";
    EXPECT_TRUE(holdsFlock(first.pid()));
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(kStopTimeout), 0) << first.output();
}

TEST_F(ProgramTest, SignalEndsTheStationAtItsLogin) {
    ChildProcess station;
    ASSERT_TRUE(station.start(program(), {}, env_));
    ASSERT_TRUE(waitForFlock(station.pid(), kStartTimeout));
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(kStopTimeout), 0) << station.output();
}

}  // namespace
}  // namespace tovanix::test
