// libAlarm.so loaded with dlopen, over pseudo-terminals: raw-byte checks
// against a bare pty pair, whole exchanges against tovanix-alarm-sim.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <termios.h>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

#include "alarm/alarm.h"
#include "platform/dynamic_library.h"
#include "platform/encoding.h"
#include "platform/serial.h"
#include "tests/support/alarm_sim.h"
#include "tests/support/pty_pair.h"

namespace tovanix::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kSimPort = 5;
constexpr int kPtyPort = 6;
constexpr const char* kWorkedPhone = "13912345678";
const std::u16string kWorkedText = u"\u62A5\u8B66";
const std::string kWorkedLine = "0011000D91683119325476F80008000462A58B66\x1A\r\n";

// The library's operations, looked up by name as the station does.
struct Api {
    decltype(&W_OpenCom) openCom;
    decltype(&W_CloseCom) closeCom;
    decltype(&W_OpenAlarm) openAlarm;
    decltype(&W_CloseAlarm) closeAlarm;
    decltype(&W_GetPower) getPower;
    decltype(&W_GSMSendMessage) sendMessage;
    decltype(&W_GSMAT_CMGS) cmgs;
    decltype(&W_GSMSendAT) sendAt;
    decltype(&W_GSMAT_CMGF) cmgf;
    decltype(&W_GSMCenterPhone) centerPhone;
    decltype(&W_GSMPackPhone) packPhone;
};

std::string libraryPath() { return buildBinDirectory() + "/libAlarm.so"; }

const Api& api() {
    static platform::DynamicLibrary lib;
    static Api a {};
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        if (!lib.open(fs::absolute(libraryPath()).string())) {
            ADD_FAILURE() << lib.lastError();
            return a;
        }
        a.openCom = lib.entry<decltype(a.openCom)>("W_OpenCom");
        a.closeCom = lib.entry<decltype(a.closeCom)>("W_CloseCom");
        a.openAlarm = lib.entry<decltype(a.openAlarm)>("W_OpenAlarm");
        a.closeAlarm = lib.entry<decltype(a.closeAlarm)>("W_CloseAlarm");
        a.getPower = lib.entry<decltype(a.getPower)>("W_GetPower");
        a.sendMessage = lib.entry<decltype(a.sendMessage)>("W_GSMSendMessage");
        a.cmgs = lib.entry<decltype(a.cmgs)>("W_GSMAT_CMGS");
        a.sendAt = lib.entry<decltype(a.sendAt)>("W_GSMSendAT");
        a.cmgf = lib.entry<decltype(a.cmgf)>("W_GSMAT_CMGF");
        a.centerPhone = lib.entry<decltype(a.centerPhone)>("W_GSMCenterPhone");
        a.packPhone = lib.entry<decltype(a.packPhone)>("W_GSMPackPhone");
    }
    return a;
}

// Every test program gets a COM folder of its own.
class ComFolder : public ::testing::Environment {
public:
    void SetUp() override {
        const char* base = std::getenv("TOVANIX_TEST_TMP");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/alarm-comdir.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ::setenv(platform::kComDirEnv, dir_.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static const std::string& dir() { return dir_; }

private:
    static inline std::string dir_;
};
const auto* const kComFolder = ::testing::AddGlobalTestEnvironment(new ComFolder);

template <typename F>
auto timed(F&& f, long& ms) {
    const auto t0 = Clock::now();
    auto r = f();
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    return r;
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> v;
    for (int b : list) v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

std::vector<std::uint8_t> bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

const auto kSirenOn = bytes({0xFF, 0x06, 0x00, 0x04, 0xAA, 0x55, 0x63, 0x4A});
const auto kSirenOff = bytes({0xFF, 0x06, 0x00, 0x04, 0x00, 0x00, 0xDD, 0xD5});
const auto kPowerQuery = bytes({0xFF, 0x06, 0x00, 0x08, 0x00, 0x01, 0xDC, 0x16});
const auto kPowerPresent = bytes({0xFF, 0x06, 0x00, 0x08, 0x01, 0x00, 0x1C, 0x46});

// ---------------------------------------------------------------------------
// Raw bytes on a bare pseudo-terminal: the test plays the device.

class OnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        link = fs::path(ComFolder::dir()) / ("COM" + std::to_string(kPtyPort));
        fs::remove(link);
        fs::create_symlink(pty.slavePath(), link);
        ASSERT_EQ(api().openCom(kPtyPort), 1);
    }
    void TearDown() override {
        api().closeCom();
        fs::remove(link);
    }
    void reply(const std::vector<std::uint8_t>& b) { pty.writeMaster(b.data(), b.size()); }
    std::vector<std::uint8_t> sent(std::size_t count, int ms = 1000) { return pty.readMaster(count, ms); }
    // Whatever else the library wrote within `ms`.
    std::vector<std::uint8_t> more(int ms = 200) { return pty.readMaster(100000, ms); }

    PtyPair pty;
    fs::path link;
};

TEST(AlarmLibrary, ExportsExactlyTheOperations) {
    const std::string cmd = "nm -D --defined-only '" + libraryPath() + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        char addr[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", addr, type, name) == 3) names.insert(name);
    }
    ASSERT_EQ(::pclose(p), 0);
    const std::set<std::string> expected = {"W_OpenCom",   "W_CloseCom",       "W_OpenAlarm",     "W_CloseAlarm",
                                            "W_GetPower",  "W_GSMSendMessage", "W_GSMAT_CMGS",    "W_GSMSendAT",
                                            "W_GSMAT_CMGF", "W_GSMCenterPhone", "W_GSMPackPhone"};
    EXPECT_EQ(names, expected);
}

TEST(AlarmLibrary, CloseWithoutOpenAndFailedOpen) {
    EXPECT_EQ(api().closeCom(), 0);
    // No COM97 link and no /dev/ttyS96.
    EXPECT_EQ(api().openCom(97), 0);
    EXPECT_EQ(api().closeCom(), 0);
    EXPECT_EQ(api().openCom(-1), 0);
}

TEST(AlarmLibrary, OperationsWithoutPortFailAtOnce) {
    long ms = 0;
    EXPECT_EQ(timed([] { return api().getPower(); }, ms), 0);
    EXPECT_LT(ms, 100);
    EXPECT_EQ(api().openAlarm(), 0);
    EXPECT_EQ(api().closeAlarm(), 0);
    EXPECT_EQ(api().sendAt(), 0);
    EXPECT_EQ(api().cmgf(), 0) << "sending failed";
    EXPECT_EQ(api().centerPhone(), 0);
    EXPECT_EQ(timed([] { return api().sendMessage(kWorkedPhone, kWorkedText.c_str()); }, ms), 0);
    EXPECT_LT(ms, 100);
    char buf[32];
    EXPECT_EQ(api().cmgs(kWorkedPhone, kWorkedText.c_str(), buf, sizeof buf), 0);
}

TEST(AlarmLibrary, PackPhone) {
    EXPECT_EQ(api().packPhone("13912345678"), 14);
    EXPECT_EQ(api().packPhone("02112345678"), 12);
    EXPECT_EQ(api().packPhone("021123456789"), 12);
    EXPECT_EQ(api().packPhone("12345678901234567"), 0);
    EXPECT_EQ(api().packPhone(nullptr), 0);
}

TEST_F(OnPty, OpenSetsNineSixHundredEightNOne) {
    api().closeCom();
    // Start from other settings so the change is seen.
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio {};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB;
    tio.c_iflag |= IXON | INPCK;
    tio.c_lflag |= ICANON | ECHO;
    ::cfsetospeed(&tio, B38400);
    ::cfsetispeed(&tio, B38400);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    ASSERT_EQ(api().openCom(kPtyPort), 1);
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | INPCK | ISTRIP | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 1) << "one-byte reads wait at most 100 ms";
}

TEST_F(OnPty, OpenTwiceClosesTheFirst) {
    EXPECT_EQ(api().openCom(kPtyPort), 1);
    EXPECT_EQ(api().closeCom(), 1);
    EXPECT_EQ(api().closeCom(), 0);
}

TEST_F(OnPty, SirenOnExactFrameEchoAccepted) {
    reply(kSirenOn);
    EXPECT_EQ(api().openAlarm(), 1);
    EXPECT_EQ(sent(8), kSirenOn);
    EXPECT_TRUE(more().empty());
}

TEST_F(OnPty, SirenOffExactFrame) {
    reply(kSirenOff);
    EXPECT_EQ(api().closeAlarm(), 1);
    EXPECT_EQ(sent(8), kSirenOff);
}

TEST_F(OnPty, PowerQueryAndItsReplies) {
    reply(kPowerPresent);
    EXPECT_EQ(api().getPower(), 1);
    EXPECT_EQ(sent(8), kPowerQuery);
    // The echo carries 0 in byte 4: power failure.
    reply(kPowerQuery);
    EXPECT_EQ(api().getPower(), 0);
    // Any valid frame is accepted; only byte 4 matters.
    reply(kSirenOn);
    EXPECT_EQ(api().getPower(), 1);
}

TEST_F(OnPty, SwappedCrcIsInvalid) {
    auto swapped = kSirenOn;
    std::swap(swapped[6], swapped[7]);
    reply(swapped);
    EXPECT_EQ(api().openAlarm(), 0);
    auto power = kPowerPresent;
    std::swap(power[6], power[7]);
    reply(power);
    EXPECT_EQ(api().getPower(), 0);
}

TEST_F(OnPty, ShortReplyIsInvalid) {
    reply(bytes({0xFF}));
    EXPECT_EQ(api().openAlarm(), 0);
    reply(bytes({0xFF, 0xFF}));  // the CRC of nothing: valid, and byte 4 reads 0
    EXPECT_EQ(api().openAlarm(), 1);
    reply(bytes({0xFF, 0xFF}));
    EXPECT_EQ(api().getPower(), 0);
}

TEST_F(OnPty, ReplyLongerThanItsBufferIsInvalidAndDiscarded) {
    auto longer = kSirenOn;
    longer.push_back(0x00);
    longer.push_back(0x00);
    reply(longer);
    EXPECT_EQ(api().openAlarm(), 0);
    // The excess went with that reply; the next one is clean.
    reply(kSirenOn);
    EXPECT_EQ(api().openAlarm(), 1);
}

TEST_F(OnPty, ReplyEndsAtAPauseOfMoreThan100ms) {
    auto call = std::async(std::launch::async, [] { return api().getPower(); });
    ASSERT_EQ(sent(8), kPowerQuery);
    reply(std::vector<std::uint8_t>(kPowerPresent.begin(), kPowerPresent.begin() + 4));
    std::this_thread::sleep_for(250ms);  // the device pauses inside its reply
    reply(std::vector<std::uint8_t>(kPowerPresent.begin() + 4, kPowerPresent.end()));
    EXPECT_EQ(call.get(), 0) << "the first part alone fails the CRC";
}

TEST_F(OnPty, ShortPauseDoesNotEndTheReply) {
    auto call = std::async(std::launch::async, [] { return api().getPower(); });
    ASSERT_EQ(sent(8), kPowerQuery);
    reply(std::vector<std::uint8_t>(kPowerPresent.begin(), kPowerPresent.begin() + 4));
    std::this_thread::sleep_for(40ms);
    reply(std::vector<std::uint8_t>(kPowerPresent.begin() + 4, kPowerPresent.end()));
    EXPECT_EQ(call.get(), 1);
}

TEST_F(OnPty, LateFirstByteStillCounts) {
    auto call = std::async(std::launch::async, [] { return api().openAlarm(); });
    ASSERT_EQ(sent(8), kSirenOn);
    std::this_thread::sleep_for(3s);  // within the 50 reads of 100 ms
    reply(kSirenOn);
    EXPECT_EQ(call.get(), 1);
}

TEST_F(OnPty, StaleInputIsDiscardedAtOpen) {
    api().closeCom();
    // What a previous job left unread (the modem's late result lines).
    reply(bytes(std::string("\r\n+CMGS: 7\r\n\r\nOK\r\n")));
    std::this_thread::sleep_for(50ms);  // let the line discipline take them in
    ASSERT_EQ(api().openCom(kPtyPort), 1);
    reply(kPowerPresent);
    EXPECT_EQ(api().getPower(), 1);
}

TEST_F(OnPty, NoDeviceEveryOperationTakesAboutFiveSeconds) {
    struct Case {
        const char* name;
        std::function<int()> call;
        int expected;
        long minMs;
    };
    char buf[64];
    const std::vector<Case> cases = {
        {"W_OpenAlarm", [] { return api().openAlarm(); }, 0, 4900},
        {"W_CloseAlarm", [] { return api().closeAlarm(); }, 0, 4900},
        {"W_GetPower", [] { return api().getPower(); }, 0, 4900},
        {"W_GSMSendAT", [] { return api().sendAt(); }, 0, 4900},
        {"W_GSMAT_CMGF", [] { return api().cmgf(); }, 1, 4900},
        {"W_GSMCenterPhone", [] { return api().centerPhone(); }, 0, 4900},
        {"W_GSMAT_CMGS", [&] { return api().cmgs(kWorkedPhone, kWorkedText.c_str(), buf, sizeof buf); }, 0, 4900},
        // Plus the 200 ms pause after the prompt reply, in every case.
        {"W_GSMSendMessage", [] { return api().sendMessage(kWorkedPhone, kWorkedText.c_str()); }, 0, 5100},
    };
    for (const auto& c : cases) {
        long ms = 0;
        EXPECT_EQ(timed(c.call, ms), c.expected) << c.name;
        EXPECT_GE(ms, c.minMs) << c.name;
        EXPECT_LE(ms, c.minMs + 1500) << c.name;
        more(0);
    }
}

TEST_F(OnPty, OversizedMessageRefusedWithNothingWritten) {
    const std::u16string text(168, u'\u62A5');
    long ms = 0;
    EXPECT_EQ(timed([&] { return api().sendMessage(kWorkedPhone, text.c_str()); }, ms), 0);
    EXPECT_LT(ms, 100);
    EXPECT_TRUE(more(300).empty());
    // A number that does not pack into 18 characters: refused likewise.
    EXPECT_EQ(api().sendMessage("12345678901234567", kWorkedText.c_str()), 0);
    EXPECT_EQ(api().sendMessage(nullptr, kWorkedText.c_str()), 0);
    EXPECT_EQ(api().sendMessage(kWorkedPhone, nullptr), 0);
    EXPECT_TRUE(more(200).empty());
}

TEST_F(OnPty, WorkedExampleOnTheWire) {
    auto call = std::async(std::launch::async, [] { return api().sendMessage(kWorkedPhone, kWorkedText.c_str()); });
    const std::string command = "AT+CMGS=19\r\n";
    EXPECT_EQ(sent(command.size()), bytes(command));
    reply(bytes(std::string("\r\n> ")));
    EXPECT_EQ(sent(kWorkedLine.size(), 3000), bytes(kWorkedLine));
    reply(bytes(kWorkedLine));
    EXPECT_EQ(call.get(), 1);
}

TEST_F(OnPty, EchoWithExtraCharactersFails) {
    auto call = std::async(std::launch::async, [] { return api().sendMessage(kWorkedPhone, kWorkedText.c_str()); });
    sent(12);
    reply(bytes(std::string("\r\n> ")));
    sent(kWorkedLine.size(), 3000);
    reply(bytes(kWorkedLine + "\r\nOK\r\n"));
    EXPECT_EQ(call.get(), 0);
}

TEST_F(OnPty, CmgsKeepsToTheCallersBuffer) {
    const std::string prompt = "AT+CMGS=19\r\n\r\n> ";
    std::array<char, 16> buf;
    buf.fill('#');
    reply(bytes(prompt));
    // Room for 7 characters and the NUL; the rest of the reply is dropped.
    EXPECT_EQ(api().cmgs(kWorkedPhone, kWorkedText.c_str(), buf.data(), 8), 0);
    EXPECT_STREQ(buf.data(), "AT+CMGS");
    for (std::size_t i = 8; i < buf.size(); ++i) EXPECT_EQ(buf[i], '#') << i;
    EXPECT_EQ(sent(12), bytes(std::string("AT+CMGS=19\r\n")));

    char big[64];
    reply(bytes(prompt));
    EXPECT_EQ(api().cmgs(kWorkedPhone, kWorkedText.c_str(), big, sizeof big), 1);
    EXPECT_EQ(std::string(big), prompt);
    sent(12);

    EXPECT_EQ(api().cmgs(kWorkedPhone, kWorkedText.c_str(), big, 0), 0);
    EXPECT_EQ(api().cmgs(kWorkedPhone, kWorkedText.c_str(), nullptr, 10), 0);
    EXPECT_TRUE(more(200).empty()) << "nothing sent for a missing buffer";
}

TEST_F(OnPty, CmgsHasNoLengthLimit) {
    const std::u16string text(168, u'A');
    char buf[64];
    reply(bytes(std::string("\r\n> ")));
    EXPECT_EQ(api().cmgs(kWorkedPhone, text.c_str(), buf, sizeof buf), 1);
    EXPECT_EQ(sent(13), bytes(std::string("AT+CMGS=352\r\n")));
    EXPECT_TRUE(more(200).empty()) << "the PDU line is not sent";
}

TEST_F(OnPty, ShortCommandsOnTheWire) {
    reply(bytes(std::string("AT\r\n\r\nOK\r\n")));
    EXPECT_EQ(api().sendAt(), 1);
    EXPECT_EQ(sent(4), bytes(std::string("AT\r\n")));
    reply(bytes(std::string("\r\nERROR\r\n")));
    EXPECT_EQ(api().cmgf(), 1) << "the reply is ignored";
    EXPECT_EQ(sent(11), bytes(std::string("AT+CMGF=0\r\n")));
    reply(bytes(std::string("AT+CSCA?\r\n\r\n+CSCA: \"+8613800200500\",145\r\n\r\nOK\r\n")));
    EXPECT_EQ(api().centerPhone(), 1);
    EXPECT_EQ(sent(10), bytes(std::string("AT+CSCA?\r\n")));
    reply(bytes(std::string("\r\n+CSCA: \"+8613800200500\",145\r\n")));  // 145 before character 34
    EXPECT_EQ(api().centerPhone(), 0);
    // A reply longer than the 20-byte buffer: "OK" beyond it is not seen, nothing overruns.
    reply(bytes(std::string("AT\r\n") + std::string(30, ' ') + "OK\r\n"));
    EXPECT_EQ(api().sendAt(), 0);
}

// ---------------------------------------------------------------------------
// Whole exchanges against the simulator.

class OnSim : public ::testing::Test {
protected:
    void SetUp() override { startSim({}); }
    void TearDown() override {
        api().closeCom();
        sim.stop();
    }
    void startSim(AlarmSim::Options o) {
        api().closeCom();
        sim.stop();
        o.networkDelayMs = 150;
        ASSERT_TRUE(sim.start(o)) << sim.error();
        ASSERT_TRUE(sim.linkAs(kSimPort, ComFolder::dir())) << sim.error();
        ASSERT_EQ(api().openCom(kSimPort), 1);
    }
    AlarmSim sim;
};

TEST_F(OnSim, SirenOnAndOff) {
    EXPECT_EQ(sim.siren(), false);
    EXPECT_EQ(api().openAlarm(), 1);
    EXPECT_EQ(sim.siren(), true);
    EXPECT_EQ(api().closeAlarm(), 1);
    EXPECT_EQ(sim.siren(), false);
    const auto st = sim.status();
    EXPECT_EQ(st.at("siren_on"), "1");
    EXPECT_EQ(st.at("siren_off"), "1");
    EXPECT_EQ(st.at("bad_frames"), "0");
}

TEST_F(OnSim, MainsPresentAndFailed) {
    EXPECT_EQ(api().getPower(), 1);
    ASSERT_TRUE(sim.setPower(false));
    EXPECT_EQ(api().getPower(), 0);
    ASSERT_TRUE(sim.setPower(true));
    EXPECT_EQ(api().getPower(), 1);
    EXPECT_EQ(sim.status().at("power_queries"), "3");
}

TEST_F(OnSim, WrongCrcFault) {
    ASSERT_TRUE(sim.setFault(AlarmSimFault::BadCrc));
    EXPECT_EQ(api().openAlarm(), 0);
    EXPECT_EQ(api().getPower(), 0);
    ASSERT_TRUE(sim.clearFault());
    EXPECT_EQ(api().getPower(), 1);
}

TEST_F(OnSim, PauseInsideAReplyCutsIt) {
    ASSERT_TRUE(sim.setFault(AlarmSimFault::Pause, 1, 4, 250));
    EXPECT_EQ(api().getPower(), 0);
    // The rest of that reply is read as the next one: the caller reopens per job.
    api().closeCom();
    ASSERT_EQ(api().openCom(kSimPort), 1);
    ASSERT_TRUE(sim.setFault(AlarmSimFault::Pause, 1, 5, 250));
    EXPECT_EQ(api().sendAt(), 0) << "AT\\r\\n\\r alone holds no OK";
}

TEST_F(OnSim, ShortCommands) {
    EXPECT_EQ(api().sendAt(), 1);
    EXPECT_EQ(api().cmgf(), 1);
    EXPECT_EQ(api().centerPhone(), 1);
    // Without the command echo the service-centre type stands before character 34.
    ASSERT_TRUE(sim.setCommandEcho(false));
    EXPECT_EQ(api().centerPhone(), 0);
    EXPECT_EQ(api().sendAt(), 1);
}

TEST_F(OnSim, WorkedExampleDecodedBack) {
    EXPECT_EQ(api().sendMessage(kWorkedPhone, kWorkedText.c_str()), 1);
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    const auto& m = list[0];
    EXPECT_TRUE(m.decoded) << m.error;
    EXPECT_EQ(m.cmgsLength, 19);
    EXPECT_EQ(m.tpduOctets, 19);
    EXPECT_EQ(m.recipient, "+8613912345678");
    EXPECT_EQ(m.addressDigits, 13);
    EXPECT_EQ(m.addressType, 0x91);
    EXPECT_EQ(m.firstOctet, 0x11);
    EXPECT_EQ(m.dataCoding, 0x08);
    EXPECT_EQ(m.userDataLength, 4);
    EXPECT_EQ(m.text, kWorkedText);
    EXPECT_EQ(m.textUtf8(), "报警");
    EXPECT_EQ(m.pdu + "\x1A\r\n", kWorkedLine);
}

struct RoundTrip {
    const char* name;
    const char* phone;
    const char* utf8;
};

class OnSimRoundTrip : public OnSim, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(OnSimRoundTrip, DecodesToTheSameNumberAndText) {
    const RoundTrip& rt = GetParam();
    const std::u16string text = platform::utf8ToUtf16(rt.utf8);
    EXPECT_EQ(api().sendMessage(rt.phone, text.c_str()), 1);
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].decoded) << list[0].error;
    EXPECT_EQ(list[0].recipient, std::string("+86") + rt.phone);
    EXPECT_EQ(list[0].text, text);
    EXPECT_EQ(list[0].textUtf8(), rt.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OnSimRoundTrip,
    ::testing::Values(
        RoundTrip {"Chinese", "13912345678", "系统发生断电\r\n发生时间:2024-05-01 08:30:00"},
        RoundTrip {"Ascii", "13800138000", "Power failure at 2024-05-01 08:30:00 ~!@#$%^&*()_+{}|:\"<>?[]\\;',./`"},
        RoundTrip {"Mixed", "15011112222", "1号库房发生报警！\r\n通道一:31.3超过上限\r\n通道二:10.0低于下限\r\n发生时间:2024-05-01 12:00:00"},
        RoundTrip {"Empty", "18600000000", ""},
        RoundTrip {"SeventyUnits", "13912345678", "报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警报警"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnSim, EveryNumberWithThePortOpenedPerMessage) {
    const std::vector<std::string> phones = {"13900000001", "13900000002", "13900000003"};
    const std::u16string text = u"通道一:31.3超过上限\r\n";
    for (const auto& phone : phones) {
        api().closeCom();
        ASSERT_EQ(api().openCom(kSimPort), 1);
        EXPECT_EQ(api().sendMessage(phone.c_str(), text.c_str()), 1) << phone;
    }
    ASSERT_TRUE(sim.waitForMessages(phones.size(), 2000));
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), phones.size());
    for (std::size_t i = 0; i < phones.size(); ++i) {
        EXPECT_EQ(list[i].recipient, "+86" + phones[i]);
        EXPECT_EQ(list[i].text, text);
    }
    // The modem's late "+CMGS" lines, left unread as the station leaves them,
    // do not spoil the next job's reply.
    ASSERT_TRUE(sim.waitForResults(static_cast<long>(phones.size()), 2000));
    api().closeCom();
    ASSERT_EQ(api().openCom(kSimPort), 1);
    EXPECT_EQ(api().getPower(), 1);
}

TEST_F(OnSim, PromptWithoutCommandEchoThenExactEcho) {
    ASSERT_TRUE(sim.setCommandEcho(false));  // the prompt reply is exactly CR LF > space
    EXPECT_EQ(api().sendMessage(kWorkedPhone, kWorkedText.c_str()), 1);
    EXPECT_EQ(sim.messages().size(), 1u);
}

TEST_F(OnSim, NoPromptNoPdu) {
    ASSERT_TRUE(sim.setFault(AlarmSimFault::NoPrompt, 1));
    EXPECT_EQ(api().sendMessage(kWorkedPhone, kWorkedText.c_str()), 0);
    EXPECT_TRUE(sim.messages().empty()) << "the PDU line is not sent";
    EXPECT_EQ(api().sendAt(), 1) << "the modem is in command state";
}

TEST_F(OnSim, PartialEchoFailsButTheModemHasTheMessage) {
    ASSERT_TRUE(sim.setFault(AlarmSimFault::PartialEcho, 1, 20));
    EXPECT_EQ(api().sendMessage(kWorkedPhone, kWorkedText.c_str()), 0);
    ASSERT_EQ(sim.messages().size(), 1u);
    EXPECT_TRUE(sim.messages()[0].decoded);
}

TEST_F(OnSim, PauseInsideTheEchoFails) {
    // The prompt reply (16 bytes with the command echo) passes whole; the
    // second reply, the echo, is cut.
    ASSERT_TRUE(sim.setFault(AlarmSimFault::Pause, 0, 20, 250));
    EXPECT_EQ(api().sendMessage(kWorkedPhone, kWorkedText.c_str()), 0);
    EXPECT_EQ(sim.messages().size(), 1u);
}

TEST_F(OnSim, LongestMessageSentWithLength350) {
    const std::u16string text(167, u'\u62A5');
    long ms = 0;
    EXPECT_EQ(timed([&] { return api().sendMessage(kWorkedPhone, text.c_str()); }, ms), 1)
        << "the 704-character line is sent and echoed whole";
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].cmgsLength, 350);
    EXPECT_EQ(list[0].pdu.size(), 701u);
    // A user-data length of three hex digits is no valid TPDU: the modem refuses it.
    EXPECT_FALSE(list[0].decoded);
    EXPECT_EQ(list[0].pdu.substr(30, 3), "14E");
}

TEST_F(OnSim, MessageOf168UnitsRefusedNothingWritten) {
    const std::u16string text(168, u'\u62A5');
    EXPECT_EQ(api().sendMessage(kWorkedPhone, text.c_str()), 0);
    const auto st = sim.status();
    EXPECT_EQ(st.at("commands"), "0");
    EXPECT_EQ(st.at("messages"), "0");
}

TEST_F(OnSim, ThreeDigitUserDataLengthFrom128Units) {
    const std::u16string text(128, u'A');
    EXPECT_EQ(api().sendMessage(kWorkedPhone, text.c_str()), 1);
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].cmgsLength, 16 + 2 * 128);
    EXPECT_EQ(list[0].pdu.substr(24, 6), "000800");
    EXPECT_EQ(list[0].pdu.substr(30, 3), "100");
}

TEST_F(OnSim, NumberNotStartingWithOneGetsNoPrefix) {
    EXPECT_EQ(api().sendMessage("02112345678", kWorkedText.c_str()), 1);
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].pdu.substr(0, 10), "0011000D91") << "the address length still reads 13";
    EXPECT_EQ(list[0].pdu.substr(10, 12), "2011325476F8");
    EXPECT_EQ(list[0].cmgsLength, 18);
    // Thirteen digits announced, eleven given: the modem cannot read it.
    EXPECT_FALSE(list[0].decoded);
    EXPECT_EQ(list[0].error, "bad-address-digits");
}

TEST_F(OnSim, EvenLengthGetsNoFiller) {
    EXPECT_EQ(api().sendMessage("021123456789", kWorkedText.c_str()), 1);
    const auto list = sim.messages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].pdu.substr(6, 4), "0D91");
    EXPECT_EQ(list[0].pdu.substr(10, 12), "201132547698");
    EXPECT_EQ(list[0].pdu.find('F'), std::string::npos);
}

TEST_F(OnSim, SurvivesTheStationOpeningAndClosing) {
    for (int i = 0; i < 10; ++i) {
        api().closeCom();
        ASSERT_EQ(api().openCom(kSimPort), 1) << i;
        EXPECT_EQ(api().getPower(), 1) << i;
    }
    EXPECT_TRUE(sim.commandOk("ping"));
}

TEST_F(OnSim, ConcurrentCallersAreSerialised) {
    std::vector<std::future<int>> calls;
    for (int i = 0; i < 4; ++i) calls.push_back(std::async(std::launch::async, [] { return api().getPower(); }));
    for (auto& c : calls) EXPECT_EQ(c.get(), 1);
    EXPECT_EQ(sim.status().at("bad_frames"), "0");
}

TEST_F(OnSim, SilenceMeansNoAnswer) {
    ASSERT_TRUE(sim.setFault(AlarmSimFault::Silence, 1));
    long ms = 0;
    EXPECT_EQ(timed([] { return api().openAlarm(); }, ms), 0);
    EXPECT_GE(ms, 4900);
    EXPECT_EQ(sim.siren(), false) << "a silent device did nothing";
    EXPECT_EQ(api().openAlarm(), 1);
}

TEST(AlarmSimProcess, LinkOptionAndCleanExit) {
    const fs::path link = fs::path(ComFolder::dir()) / "COM9";
    AlarmSim sim;
    AlarmSim::Options o;
    o.extraArgs = {"--link", link.string()};
    ASSERT_TRUE(sim.start(o)) << sim.error();
    EXPECT_EQ(fs::read_symlink(link).string(), sim.ptyPath());
    ASSERT_EQ(api().openCom(9), 1);
    EXPECT_EQ(api().openAlarm(), 1);
    EXPECT_TRUE(sim.waitForSiren(true, 1000));
    EXPECT_EQ(api().closeCom(), 1);
    sim.stop();
    EXPECT_EQ(sim.exitStatus(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(AlarmSimProcess, WaitTimesOut) {
    AlarmSim sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    long ms = 0;
    EXPECT_FALSE(timed([&] { return sim.waitForMessages(1, 300); }, ms));
    EXPECT_GE(ms, 250);
    EXPECT_TRUE(sim.commandOk("ping")) << "answers again after the wait";
}

}  // namespace
}  // namespace tovanix::test
