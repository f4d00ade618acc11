// tovanix-logger-sim as a process: demo command line, pacing, a station side
// that closes and reopens the port, clean exit on signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/crc16.h"
#include "tests/support/logger_sim.h"
#include "wired/protocol.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
namespace proto = tovanix::wired::proto;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// The station's side of the line, opened and closed at will.
class StationSide {
public:
    explicit StationSide(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~StationSide() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // Sends a request and collects `want` bytes; returns them and the time taken.
    Bytes ask(const proto::Frame& f, std::size_t want, double& ms, int timeoutMs = 1000) {
        ::tcflush(fd_, TCIFLUSH);
        auto t0 = Clock::now();
        if (::write(fd_, f.bytes.data(), f.length) != static_cast<ssize_t>(f.length)) return {};
        Bytes out;
        while (out.size() < want) {
            auto left = timeoutMs - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            std::uint8_t buf[256];
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        return out;
    }

private:
    int fd_ = -1;
};

TEST(LoggerSimProcess, PrintsReadyAndAnswersAfterTheStationReopens) {
    LoggerSim sim({.addresses = {1, 2}});
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(sim.ptyPath().rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(sim.command("PING"), "OK wired");
    for (int round = 0; round < 3; ++round) {
        StationSide station(sim.ptyPath());
        ASSERT_TRUE(station.ok());
        double ms = 0;
        Bytes reply = station.ask(proto::buildDownloadNow(2), proto::kReplyCurrent, ms);
        ASSERT_EQ(reply.size(), std::size_t{proto::kReplyCurrent});
        EXPECT_TRUE(tovanix::platform::crc16Ok(reply));
        EXPECT_EQ(reply[0], 2);
    }
    EXPECT_EQ(sim.stop(), 0);
}

TEST(LoggerSimProcess, RepliesArePacedAtNineSixHundredBaud) {
    LoggerSim sim({.addresses = {1}});
    ASSERT_TRUE(sim.start()) << sim.error();
    StationSide station(sim.ptyPath());
    double paced = 0, unpaced = 0;
    ASSERT_EQ(station.ask(proto::buildDownloadNow(1), proto::kReplyCurrent, paced).size(), 22u);
    ASSERT_TRUE(sim.setPacing(false));
    ASSERT_EQ(station.ask(proto::buildDownloadNow(1), proto::kReplyCurrent, unpaced).size(), 22u);
    const double wireMs = 30 * 10 * 1000.0 / 9600;
    EXPECT_GE(paced, wireMs - 1);
    EXPECT_LT(unpaced, wireMs / 2);
}

TEST(LoggerSimProcess, NoReplyForAnAbsentAddressButTheFrameIsLogged) {
    LoggerSim sim({.addresses = {1}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    StationSide station(sim.ptyPath());
    double ms = 0;
    EXPECT_TRUE(station.ask(proto::buildGetClock(9), 11, ms, 300).empty());
    auto frames = sim.sent(9);
    ASSERT_EQ(frames.size(), 1u);
    const proto::Frame request = proto::buildGetClock(9);
    EXPECT_EQ(frames[0], Bytes(request.view().begin(), request.view().end()));
}

TEST(LoggerSimProcess, ControlErrorsAreReported) {
    LoggerSim sim({.addresses = {1}, .paced = false});
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(sim.command("READING 5 1 2 3 4").rfind("ERR", 0), 0u);
    EXPECT_EQ(sim.command("FAULT 1 nonsense").rfind("ERR", 0), 0u);
    EXPECT_EQ(sim.command("BOGUS 1").rfind("ERR", 0), 0u);
    EXPECT_TRUE(sim.addLogger(5));
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 5}));
    EXPECT_TRUE(sim.removeLogger(5));
    EXPECT_FALSE(sim.writtenBlock(1).has_value());
}

TEST(LoggerSimProcess, DemoCommandLine) {
    fs::path dir = fs::temp_directory_path() / ("tovanix-simdemo-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path link = dir / "COM1";
    LoggerSim sim({.addresses = {1, 2, 3},
                   .extraArgs = {"--drift", "--cross", "2:1", "--record", "--history", "30", "--link", link.string()}});
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), sim.ptyPath());
    EXPECT_EQ(sim.historyCount(3), 30);
    EXPECT_EQ(sim.addresses(), (std::vector<int>{1, 2, 3}));
    // Channel 1 of logger 2 starts below its upper limit (30.0) and climbs.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    auto first = sim.command("GETREADING 2");
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    auto later = sim.command("GETREADING 2");
    int a[4], b[4];
    ASSERT_EQ(std::sscanf(first.c_str(), "OK %d %d %d %d", &a[0], &a[1], &a[2], &a[3]), 4) << first;
    ASSERT_EQ(std::sscanf(later.c_str(), "OK %d %d %d %d", &b[0], &b[1], &b[2], &b[3]), 4) << later;
    EXPECT_LT(a[2], 300);
    EXPECT_GT(b[2], a[2]);
    EXPECT_EQ(sim.stop(), 0);  // clean exit on SIGTERM
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));  // link removed
    fs::remove_all(dir);
}

TEST(LoggerSimProcess, QuitCommandEndsIt) {
    LoggerSim sim({.addresses = {1}});
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(sim.command("QUIT"), "OK");
    EXPECT_EQ(sim.waitExit(2000), 0);
}

TEST(LoggerSimProcess, ReceiverModeAnswersPing) {
    LoggerSim sim({.addresses = {4}, .receiver = true});
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(sim.command("PING"), "OK receiver");
    EXPECT_TRUE(sim.setRunning(4, false));
    auto st = sim.wirelessState(4);
    ASSERT_TRUE(st.has_value());
    EXPECT_EQ(st->running, 0);
}

TEST(LoggerSimProcess, SigintEndsItCleanly) {
    LoggerSim sim({.addresses = {1}});
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(::kill(sim.pid(), SIGINT), 0);
    EXPECT_EQ(sim.waitExit(2000), 0);
    EXPECT_FALSE(sim.running());
}

}  // namespace
}  // namespace tovanix::test
