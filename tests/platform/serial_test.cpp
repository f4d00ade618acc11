#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "platform/serial.h"
#include "tests/support/pty_pair.h"

namespace tovanix::platform {
namespace {

namespace fs = std::filesystem;

class ComDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tovanix-comdir-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        ::setenv(kComDirEnv, dir_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(kComDirEnv);
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

TEST_F(ComDir, PortPathUsesLinkThenTtyS) {
    EXPECT_EQ(serialPortPath(3), "/dev/ttyS2");
    EXPECT_EQ(serialPortPath(0), (dir_ / "COM0").string());  // no ttyS for port 0
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    fs::create_symlink(pty.slavePath(), dir_ / "COM3");
    EXPECT_EQ(serialPortPath(3), (dir_ / "COM3").string());
}

TEST_F(ComDir, EnumerationListsLinksByNumber) {
    test::PtyPair a, b;
    fs::create_symlink(a.slavePath(), dir_ / "COM7");
    fs::create_symlink(b.slavePath(), dir_ / "COM2");
    fs::create_symlink("/nonexistent/tty", dir_ / "COM5");  // dangling: not listed
    std::ofstream(dir_ / "notes.txt") << "x";
    std::vector<SerialPortInfo> links;  // real ports of the machine may come too
    std::vector<std::string> names;
    for (const auto& p : enumerateSerialPorts()) {
        names.push_back(p.name);
        if (p.path.rfind(dir_.string(), 0) == 0) links.push_back(p);
    }
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].name, "COM2");
    EXPECT_EQ(links[0].number, 2);
    EXPECT_EQ(links[1].name, "COM7");
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM5"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM2"), 1);
}

TEST_F(ComDir, BytesBothWaysOverPseudoTerminal) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    fs::create_symlink(pty.slavePath(), dir_ / "COM4");
    SerialPort port;
    ASSERT_TRUE(port.open(4)) << port.lastError();
    ASSERT_TRUE(port.configureRaw8N1(9600)) << port.lastError();

    // Every byte value, CR and LF included, passes unchanged in raw mode.
    std::vector<std::uint8_t> out(256);
    for (int i = 0; i < 256; ++i) out[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(port.write(out.data(), out.size(), 2000), 256);
    std::vector<std::uint8_t> got = pty.readMaster(256, 2000);
    EXPECT_EQ(got, out);

    // And back: the station side sees them waiting, then reads them.
    const std::uint8_t reply[] = {0x01, 0x03, 0x0D, 0x0A, 0x00, 0xFF, 0x11, 0x13};
    pty.writeMaster(reply, sizeof reply);
    ASSERT_EQ(port.waitReadable(2000), 1);
    // FIONREAD reports the queue once the bytes crossed the line discipline.
    for (int i = 0; i < 100 && port.bytesWaiting() < static_cast<int>(sizeof reply); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(port.bytesWaiting(), static_cast<int>(sizeof reply));
    std::uint8_t in[16] = {};
    EXPECT_EQ(port.read(in, sizeof in), static_cast<long>(sizeof reply));
    EXPECT_EQ(0, std::memcmp(in, reply, sizeof reply));
    EXPECT_EQ(port.read(in, sizeof in), 0);  // nothing left, no blocking
}

TEST_F(ComDir, WaitReadableTimesOutAndFlushDiscards) {
    test::PtyPair pty;
    fs::create_symlink(pty.slavePath(), dir_ / "COM1");
    SerialPort port;
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(port.configureRaw8N1(9600));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port.waitReadable(120), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 110);
    const std::uint8_t junk[] = {1, 2, 3};
    pty.writeMaster(junk, 3);
    ASSERT_EQ(port.waitReadable(1000), 1);
    port.flush();
    EXPECT_EQ(port.bytesWaiting(), 0);
}

TEST_F(ComDir, OpenIsExclusiveAndFailsCleanly) {
    test::PtyPair pty;
    fs::create_symlink(pty.slavePath(), dir_ / "COM6");
    SerialPort first, second;
    ASSERT_TRUE(first.open(6));
    EXPECT_FALSE(second.open(6));
    EXPECT_FALSE(second.lastError().empty());
    first.close();
    EXPECT_TRUE(second.open(6)) << second.lastError();

    SerialPort none;
    EXPECT_FALSE(none.open(0));  // no COM0 link and no fallback
    EXPECT_FALSE(none.open(-1));
    EXPECT_EQ(none.write(reinterpret_cast<const std::uint8_t*>("x"), 1), -1);
    EXPECT_EQ(none.bytesWaiting(), -1);
}

TEST_F(ComDir, RegularFileIsNotAPort) {
    std::ofstream(dir_ / "COM9") << "not a tty";
    SerialPort p;
    EXPECT_FALSE(p.open(9));
}

}  // namespace
}  // namespace tovanix::platform
