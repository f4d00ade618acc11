// The program itself as a process: a second start is refused while the
// first station keeps running, and a signal ends the station wherever it
// stands, even in its login dialog.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/credentials.h"
#include "tests/support/process.h"
#include "tests/support/test_db.h"

namespace tovanix::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 30s;
constexpr auto kStopTimeout = 30s;
constexpr int kUsageStatus = 2;
constexpr int kRefusedStatus = 1;
// Lines the station writes to standard error.
constexpr const char* kRefusalLine = "another station is running";
constexpr const char* kUnreadableLine = "cannot read the database account file";
constexpr const char* kSignalLine = "signal: stopping";
constexpr auto kPollInterval = 20ms;

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
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

// A station folder of its own, with no account file yet.
class StationFolder {
public:
    StationFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "tovanix-station.XXXXXX").string();
        if (::mkdtemp(templ.data()) != nullptr) path_ = templ;
    }
    ~StationFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    StationFolder(const StationFolder&) = delete;
    StationFolder& operator=(const StationFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string accountFile() const { return path_ + "/" + credentials::kFileName; }

private:
    std::string path_;
};

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
    // It has tried the lock, shows the refusal and waits there; cancelling
    // the message ends it with the refusal's status, not with a cancelled
    // login's.
    ASSERT_TRUE(second.waitForOutput(kRefusalLine, kStartTimeout)) << second.output();
    EXPECT_FALSE(holdsFlock(second.pid()));
    second.signal(SIGTERM);
    EXPECT_EQ(second.wait(kStopTimeout), kRefusedStatus) << second.output();

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

TEST_F(ProgramTest, SignalEndsTheStationAtItsDatabaseLogin) {
    StationFolder station;
    ASSERT_FALSE(station.path().empty());
    env_["TOVANIX_HOME"] = station.path();
    ChildProcess program;
    ASSERT_TRUE(program.start(this->program(), {}, env_));
    ASSERT_TRUE(waitForFlock(program.pid(), kStartTimeout));
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(kStopTimeout), 0) << program.output();
    EXPECT_FALSE(std::filesystem::exists(station.accountFile()));
}

TEST_F(ProgramTest, UnreadableAccountFileIsReported) {
    StationFolder station;
    ASSERT_FALSE(station.path().empty());
    // A folder of that name exists but reads as no file.
    ASSERT_TRUE(std::filesystem::create_directory(station.accountFile()));
    env_["TOVANIX_HOME"] = station.path();
    ChildProcess program;
    ASSERT_TRUE(program.start(this->program(), {}, env_));
    // Said on standard error, then in a message box that waits.
    ASSERT_TRUE(program.waitForOutput(std::string(kUnreadableLine) + " " + station.accountFile(), kStartTimeout))
        << program.output();
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(kStopTimeout), kRefusedStatus) << program.output();
    // The signal was read by the message box's event loop.
    EXPECT_NE(program.output().find(kSignalLine), std::string::npos) << program.output();
    EXPECT_TRUE(std::filesystem::is_directory(station.accountFile()));
}

// Qt's own options reach Qt: the platform named in the environment does not
// exist, so only the one of the arguments lets the station come up.
class QtOptionsTest : public ProgramTest, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(QtOptionsTest, AreLeftToQt) {
    env_["QT_QPA_PLATFORM"] = "no-such-platform";
    ChildProcess station;
    ASSERT_TRUE(station.start(program(), GetParam(), env_));
    ASSERT_TRUE(waitForFlock(station.pid(), kStartTimeout)) << station.output();
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(kStopTimeout), 0) << station.output();
}

INSTANTIATE_TEST_SUITE_P(Forms, QtOptionsTest,
                         ::testing::Values(std::vector<std::string>{"-platform", "offscreen"},
                                           std::vector<std::string>{"--platform=offscreen"},
                                           std::vector<std::string>{"-platform=offscreen", "-style=Fusion"},
                                           std::vector<std::string>{"-platform", "offscreen", "-style", "Fusion"},
                                           std::vector<std::string>{"-session", "tovanix-1", "-platform", "offscreen"},
                                           // Options of the X11 platform, left over offscreen.
                                           std::vector<std::string>{"-platform", "offscreen", "-geometry", "640x480",
                                                                    "-display", ":9"}));

struct Refused {
    std::vector<std::string> args;
    std::string named;  // the argument the refusal names
};

class RefusedArgumentsTest : public ProgramTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedArgumentsTest, EndWithTheUsage) {
    ChildProcess station;
    ASSERT_TRUE(station.start(program(), GetParam().args, env_));
    EXPECT_EQ(station.wait(kStopTimeout), kUsageStatus) << station.output();
    EXPECT_NE(station.output().find("unknown argument " + GetParam().named), std::string::npos) << station.output();
    EXPECT_NE(station.output().find("usage:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Forms, RefusedArgumentsTest,
                         ::testing::Values(Refused{{"--bogus"}, "--bogus"},
                                           Refused{{"-platform", "offscreen", "extra"}, "extra"},
                                           Refused{{"--headless", "--bogus"}, "--bogus"},
                                           Refused{{"--headless", "-platform", "offscreen"}, "-platform"}));

// Without a display: neither DISPLAY nor WAYLAND_DISPLAY, no platform named.
// The arguments are still read, and the window says why it cannot come up
// instead of aborting in Qt's platform plugin.
const std::vector<std::string> kDisplayVariables{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
constexpr int kNoDisplayStatus = 1;
constexpr const char* kNoDisplayLine = "no display: run with --headless, or set DISPLAY";

struct WithoutDisplay {
    std::vector<std::string> args;
    int status;
    std::string said;  // on standard error (standard output is discarded)
};

void PrintTo(const WithoutDisplay& w, std::ostream* os) {
    *os << ::testing::PrintToString(w.args);
}

class WithoutDisplayTest : public ProgramTest, public ::testing::WithParamInterface<WithoutDisplay> {};

TEST_P(WithoutDisplayTest, EndsAsTheArgumentsSay) {
    env_.clear();
    ChildProcess station;
    station.discardStandardOutput();
    ASSERT_TRUE(station.start(program(), GetParam().args, env_, kDisplayVariables));
    EXPECT_EQ(station.wait(kStopTimeout), GetParam().status) << station.output();
    EXPECT_NE(station.output().find(GetParam().said), std::string::npos) << station.output();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, WithoutDisplayTest,
    ::testing::Values(WithoutDisplay{{}, kNoDisplayStatus, kNoDisplayLine},
                      WithoutDisplay{{"-style", "Fusion"}, kNoDisplayStatus, kNoDisplayLine},
                      WithoutDisplay{{"-platform", "xcb"}, kNoDisplayStatus, kNoDisplayLine},
                      WithoutDisplay{{"--bogus"}, kUsageStatus, "unknown argument --bogus"},
                      WithoutDisplay{{"-style", "Fusion", "extra"}, kUsageStatus, "unknown argument extra"},
                      WithoutDisplay{{"--headless", "--bogus"}, kUsageStatus, "unknown argument --bogus"}));

TEST_F(ProgramTest, HelpPrintsTheUsageWithoutADisplay) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"--headless", "--help"},
          std::vector<std::string>{"-platform", "xcb", "--help"}}) {
        ChildProcess station;
        ASSERT_TRUE(station.start(program(), args, {}, kDisplayVariables));
        EXPECT_EQ(station.wait(kStopTimeout), 0) << station.output();
        EXPECT_NE(station.output().find("usage: tovanix"), std::string::npos) << station.output();
        EXPECT_NE(station.output().find("--headless"), std::string::npos) << station.output();
    }
    // On standard output: nothing of it on standard error.
    ChildProcess quiet;
    quiet.discardStandardOutput();
    ASSERT_TRUE(quiet.start(program(), {"--help"}, {}, kDisplayVariables));
    EXPECT_EQ(quiet.wait(kStopTimeout), 0);
    EXPECT_EQ(quiet.output(), "");
}

// The headless station, and the window on a platform that needs no display,
// come up without one.
TEST_F(ProgramTest, HeadlessNeedsNoDisplay) {
    ChildProcess station;
    ASSERT_TRUE(station.start(program(), {"--headless"}, {}, kDisplayVariables));
    ASSERT_TRUE(station.waitForOutput("configuration:", kStartTimeout)) << station.output();
    station.signal(SIGTERM);
    EXPECT_EQ(station.wait(kStopTimeout), 0) << station.output();
}

class DisplaylessPlatformTest
    : public ProgramTest,
      public ::testing::WithParamInterface<std::pair<std::vector<std::string>, std::map<std::string, std::string>>> {};

TEST_P(DisplaylessPlatformTest, ComesUpWithoutADisplay) {
    std::vector<std::string> unset = kDisplayVariables;
    const auto& [args, env] = GetParam();
    for (const auto& [k, v] : env) std::erase(unset, k);
    ChildProcess station;
    ASSERT_TRUE(station.start(program(), args, env, unset));
    ASSERT_TRUE(waitForFlock(station.pid(), kStartTimeout)) << station.output();
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(kStopTimeout), 0) << station.output();
    EXPECT_EQ(station.output().find(kNoDisplayLine), std::string::npos) << station.output();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DisplaylessPlatformTest,
    ::testing::Values(
        std::pair{std::vector<std::string>{"-platform", "offscreen"}, std::map<std::string, std::string>{}},
        std::pair{std::vector<std::string>{"--platform=minimal"}, std::map<std::string, std::string>{}},
        std::pair{std::vector<std::string>{}, std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"}}}));

}  // namespace
}  // namespace tovanix::test
