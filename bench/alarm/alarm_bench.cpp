// Median time of W_GetPower and of one whole W_GSMSendMessage (prompt and
// echo) through libAlarm.so against tovanix-alarm-sim at 9600-baud timing,
// beside the floor that the 100 ms end-of-reply rule sets.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "alarm/alarm.h"
#include "platform/dynamic_library.h"
#include "platform/serial.h"
#include "tests/support/alarm_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr int kPowerRuns = 21;
constexpr int kMessageRuns = 9;
constexpr double kEndOfReplyGapMs = 100.0;
constexpr double kPromptPauseMs = 200.0;
constexpr double kByteMs = 10.0 / 9600.0 * 1000.0;  // 10 bits a byte at 9600 baud

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double timeMs(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "alarm-bench.XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) return 1;
    ::setenv(tovanix::platform::kComDirEnv, dir.c_str(), 1);

    tovanix::platform::DynamicLibrary lib;
    if (!lib.open(fs::absolute(tovanix::test::buildBinDirectory() + "/libAlarm.so").string())) {
        std::fprintf(stderr, "bench_alarm: %s\n", lib.lastError().c_str());
        return 1;
    }
    auto openCom = lib.entry<decltype(&W_OpenCom)>("W_OpenCom");
    auto closeCom = lib.entry<decltype(&W_CloseCom)>("W_CloseCom");
    auto getPower = lib.entry<decltype(&W_GetPower)>("W_GetPower");
    auto sendMessage = lib.entry<decltype(&W_GSMSendMessage)>("W_GSMSendMessage");

    tovanix::test::AlarmSim sim;
    tovanix::test::AlarmSim::Options options;
    options.quiet = true;
    if (!sim.start(options) || !sim.linkAs(kPort, dir) || openCom(kPort) != 1) {
        std::fprintf(stderr, "bench_alarm: simulator: %s\n", sim.error().c_str());
        return 1;
    }

    std::vector<double> power;
    int powerOk = 0;
    for (int i = 0; i < kPowerRuns; ++i) power.push_back(timeMs([&] { powerOk += getPower(); }));

    const char16_t* text = u"\u62A5\u8B66";  // the 43-character PDU line, L = 19
    const double lineBytes = 43, commandEcho = 12, prompt = 4;
    std::vector<double> message;
    int messageOk = 0;
    for (int i = 0; i < kMessageRuns; ++i) {
        // Each message as the station sends it: its own port session, after
        // the modem's result of the previous one.
        closeCom();
        openCom(kPort);
        message.push_back(timeMs([&] { messageOk += sendMessage("13912345678", text); }));
        sim.waitForResults(i + 1, 5000);
    }
    closeCom();
    sim.stop();
    fs::remove_all(dir);

    // The floor counts only the rule: each reply ends 100 ms after its last
    // byte. What lies above it is the simulated line (replies paced at
    // 9600 baud: the frame, the command echo with the prompt, the echo).
    const double powerMedian = median(power);
    const double messageMedian = median(message);
    const double powerFloor = kEndOfReplyGapMs;
    const double messageFloor = 2 * kEndOfReplyGapMs + kPromptPauseMs;
    std::printf("alarm: W_GetPower       median %6.1f ms (%d runs, %d ok); floor %5.1f ms (one 100 ms end-of-reply gap);"
                " above it %5.1f ms, reply bytes at 9600 baud take %4.1f ms\n",
                powerMedian, kPowerRuns, powerOk, powerFloor, powerMedian - powerFloor, 8 * kByteMs);
    std::printf("alarm: W_GSMSendMessage median %6.1f ms (%d runs, %d ok); floor %5.1f ms (two 100 ms end-of-reply gaps"
                " + 200 ms pause after the prompt); above it %5.1f ms, reply bytes at 9600 baud take %4.1f ms\n",
                messageMedian, kMessageRuns, messageOk, messageFloor, messageMedian - messageFloor,
                (commandEcho + prompt + lineBytes) * kByteMs);
    return powerOk == kPowerRuns && messageOk == kMessageRuns ? 0 : 1;
}
