// Figures for libWired: the round trip of one current reading against the
// simulator at 9600-baud pacing, and the CPU the library uses while 20 ports
// stand open with no traffic.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/logger_sim.h"
#include "tests/support/pty_pair.h"
#include "tests/wired/wired_binding.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 3;
constexpr int kRounds = 200;
constexpr int kPorts = 20;
constexpr double kWireMs = 30 * 10 * 1000.0 / 9600;  // 8 + 22 bytes, 10 bits each
constexpr double kSettleBudgetMs = 45;
constexpr auto kIdleSpan = std::chrono::seconds(10);
constexpr double kIdleTargetPercent = 0.5;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
    fs::path comdir = fs::temp_directory_path() / ("tovanix-bench-wired-" + std::to_string(::getpid()));
    fs::create_directories(comdir);
    ::setenv("TOVANIX_COMDIR", comdir.c_str(), 1);

    tovanix::test::WiredApi api;
    if (!api.load()) {
        std::fprintf(stderr, "bench_wired: %s\n", api.error.c_str());
        return 1;
    }
    api.StartThread();

    // (a) round trip.
    {
        tovanix::test::LoggerSim sim({.addresses = {1}, .paced = true});
        if (!sim.start() || sim.linkCom(kPort).empty() || api.W_OpenCom(kPort) != 1) {
            std::fprintf(stderr, "bench_wired: simulator: %s\n", sim.error().c_str());
            return 1;
        }
        std::vector<double> ms;
        int failed = 0;
        for (int i = 0; i < kRounds; ++i) {
            char text[20] = {};
            float a[2], b[2];
            auto t0 = Clock::now();
            api.W_SetTargetDevice(kPort, 1);
            int r = api.W_DownloadNow(kPort, text, a, b);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            if (r != 22) ++failed;
        }
        api.W_CloseCom(kPort);
        std::sort(ms.begin(), ms.end());
        double median = ms[ms.size() / 2];
        std::printf("wired: W_SetTargetDevice + W_DownloadNow at 9600 baud: median %.2f ms over %d rounds "
                    "(min %.2f, max %.2f, %d failed); wire minimum %.2f ms; target <= %.2f ms: %s\n",
                    median, kRounds, ms.front(), ms.back(), failed, kWireMs, kWireMs + kSettleBudgetMs,
                    median <= kWireMs + kSettleBudgetMs ? "met" : "MISSED");
    }

    // (b) idle CPU with 20 ports open.
    {
        std::vector<std::unique_ptr<tovanix::test::PtyPair>> ptys;
        int opened = 0;
        for (int p = 0; p < kPorts; ++p) {
            ptys.push_back(std::make_unique<tovanix::test::PtyPair>());
            fs::path link = comdir / ("COM" + std::to_string(p));
            fs::remove(link);
            fs::create_symlink(ptys.back()->slavePath(), link);
            opened += api.W_OpenCom(p);
        }
        double c0 = cpuSeconds();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(kIdleSpan);
        double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        double percent = 100.0 * (cpuSeconds() - c0) / wall;
        std::printf("wired: CPU with %d ports open and no traffic: %.3f %% of one core over %.1f s; target < %.1f %%: %s\n",
                    opened, percent, wall, kIdleTargetPercent, percent < kIdleTargetPercent ? "met" : "MISSED");
        for (int p = 0; p < kPorts; ++p) api.W_CloseCom(p);
    }

    api.EndThread();
    api.unload();
    fs::remove_all(comdir);
    return 0;
}
