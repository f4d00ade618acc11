// tovanix-logger-sim: a bus of wired loggers (or a wireless receiver) on one
// pseudo-terminal. See README.md for the command line and control commands.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/logger/control.h"

namespace {

using namespace tovanix::sim;
using Clock = std::chrono::steady_clock;

constexpr auto kTick = std::chrono::seconds(1);
// A partial request older than this is dropped so the next one starts clean.
constexpr auto kPartialTimeout = std::chrono::milliseconds(100);
constexpr int kListenBacklog = 8;
constexpr std::size_t kReadChunk = 512;
constexpr double kPi = 3.14159265358979323846;

struct Options {
    std::vector<int> addresses{1};
    bool paced = true;
    bool receiver = false;
    std::string control;
    std::string link;
    bool drift = false;
    std::vector<std::pair<int, int>> cross;  // address, channel (1 or 2)
    bool record = false;
    int history = 0;
};

void usage() {
    std::fprintf(stderr,
                 "usage: tovanix-logger-sim [--addresses 1,2,3] [--no-pacing] [--control SOCKET]\n"
                 "                          [--link PATH] [--drift] [--cross ADDR[:CH]] [--record]\n"
                 "                          [--history N] [--receiver]\n");
}

bool parseList(const char* text, std::vector<int>& out) {
    out.clear();
    std::string s = text;
    std::size_t at = 0;
    while (at <= s.size()) {
        std::size_t comma = s.find(',', at);
        std::string item = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char* end = nullptr;
        long v = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || v < 0 || v > 65535) return false;
        out.push_back(static_cast<int>(v));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return !out.empty();
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--addresses") {
            const char* v = value();
            if (v == nullptr || !parseList(v, o.addresses)) return false;
        } else if (a == "--no-pacing") {
            o.paced = false;
        } else if (a == "--receiver") {
            o.receiver = true;
        } else if (a == "--control") {
            const char* v = value();
            if (v == nullptr) return false;
            o.control = v;
        } else if (a == "--link") {
            const char* v = value();
            if (v == nullptr) return false;
            o.link = v;
        } else if (a == "--drift") {
            o.drift = true;
        } else if (a == "--cross") {
            const char* v = value();
            if (v == nullptr) return false;
            int addr = 0, ch = 1;
            if (std::sscanf(v, "%d:%d", &addr, &ch) < 1 || (ch != 1 && ch != 2)) return false;
            o.cross.emplace_back(addr, ch);
        } else if (a == "--record") {
            o.record = true;
        } else if (a == "--history") {
            const char* v = value();
            if (v == nullptr) return false;
            o.history = std::atoi(v);
        } else {
            return false;
        }
    }
    return true;
}

// Bytes waiting to go out, each with the moment it leaves.
class OutputQueue {
public:
    void schedule(const Transmission& t, Clock::time_point now) {
        Clock::time_point at = std::max(now, nextFree_);
        for (const Chunk& c : t.chunks) {
            at += micros(c.delayMicros);
            for (std::uint8_t b : c.bytes) {
                at += micros(c.gapMicros);
                bytes_.emplace_back(at, b);
            }
        }
        nextFree_ = at;
    }
    bool empty() const { return bytes_.empty(); }
    Clock::time_point nextDue() const { return bytes_.front().first; }
    // Writes everything due; bytes the pty cannot take are dropped, as a
    // line with nobody listening would lose them.
    void flushDue(int fd, Clock::time_point now) {
        std::vector<std::uint8_t> out;
        while (!bytes_.empty() && bytes_.front().first <= now) {
            out.push_back(bytes_.front().second);
            bytes_.pop_front();
        }
        std::size_t done = 0;
        while (done < out.size()) {
            ssize_t n = ::write(fd, out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
    }

private:
    static Clock::duration micros(double us) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::micro>(us));
    }
    std::deque<std::pair<Clock::time_point, std::uint8_t>> bytes_;
    Clock::time_point nextFree_{};
};

struct ControlClient {
    int fd = -1;
    std::string in;
};

// Demo motion of the readings: a slow wave around each logger's start
// values, and chosen channels ramping across their upper limit.
struct Demo {
    struct Base {
        int r3 = 0, r4 = 0;
    };
    std::map<int, Base> base;
    bool drift = false;
    std::vector<std::pair<int, int>> cross;
    Clock::time_point start = Clock::now();

    void apply(Bus& bus) {
        constexpr double kTempAmplitude = 15.0;   // tenths
        constexpr double kHumidAmplitude = 40.0;  // tenths
        constexpr double kTempPeriod = 600.0;     // seconds
        constexpr double kHumidPeriod = 900.0;
        constexpr double kCrossPeriod = 240.0;    // a full excursion across the limit
        constexpr double kCrossSwing = 30.0;      // tenths around the upper limit
        if (!drift && cross.empty()) return;
        double t = std::chrono::duration<double>(Clock::now() - start).count();
        for (auto& [addr, l] : bus.loggers()) {
            auto [it, fresh] = base.try_emplace(addr, Base{l.readings[2], l.readings[3]});
            const Base& b = it->second;
            if (drift) {
                double phase = addr;
                l.readings[2] = static_cast<std::int16_t>(b.r3 + kTempAmplitude * std::sin(2 * kPi * t / kTempPeriod + phase));
                l.readings[3] = static_cast<std::int16_t>(b.r4 + kHumidAmplitude * std::sin(2 * kPi * t / kHumidPeriod + phase));
            }
            for (auto [caddr, ch] : cross) {
                if (caddr != addr) continue;
                // Triangle wave from upper - swing to upper + swing and back.
                double pos = std::fmod(t, kCrossPeriod) / kCrossPeriod;
                double tri = pos < 0.5 ? pos * 2 : 2 - pos * 2;
                int upper = l.limits[ch == 1 ? 0 : 2];
                l.readings[ch == 1 ? 2 : 3] = static_cast<std::int16_t>(upper - kCrossSwing + 2 * kCrossSwing * tri);
            }
            l.readings[0] = l.readings[2];
            l.readings[1] = l.readings[3];
        }
    }
};

int openPty(std::string& path, int& keepSlave) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    path = ::ptsname(master);
    // Our own slave descriptor keeps the pty alive while the station closes
    // and reopens its side.
    keepSlave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keepSlave < 0) return -1;
    termios tio{};
    if (::tcgetattr(keepSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(keepSlave, TCSANOW, &tio);
    }
    return master;
}

int listenControl(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, kListenBacklog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void writeAll(int fd, const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseOptions(argc, argv, opt)) {
        usage();
        return 2;
    }

    // Signals arrive as readable events of the loop.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    int sigFd = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN);

    SimState state;
    state.paced = opt.paced;
    state.receiverMode = opt.receiver;
    for (int a : opt.addresses) {
        if (opt.receiver) {
            state.receiver.add(a);
            continue;
        }
        Logger& l = state.bus.add(a);
        l.recording = opt.record;
        if (opt.history > 0) {
            constexpr int kSecondsPerMinute = 60;
            std::time_t step = static_cast<std::time_t>(l.intervalCode) * kSecondsPerMinute;
            std::time_t now = std::time(nullptr);
            std::time_t first = (now / step - opt.history) * step;
            for (int i = 0; i < opt.history; ++i)
                l.history.push_back({first + i * step, {static_cast<std::int16_t>(240 + i % 20), static_cast<std::int16_t>(500 + i % 50)}});
        }
    }
    Demo demo;
    demo.drift = opt.drift;
    demo.cross = opt.cross;

    std::string ptyPath;
    int keepSlave = -1;
    int master = openPty(ptyPath, keepSlave);
    if (master < 0) {
        std::fprintf(stderr, "tovanix-logger-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    int listenFd = -1;
    if (!opt.control.empty()) {
        listenFd = listenControl(opt.control);
        if (listenFd < 0) {
            std::fprintf(stderr, "tovanix-logger-sim: cannot listen on %s: %s\n", opt.control.c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (!opt.link.empty()) {
        ::unlink(opt.link.c_str());
        if (::symlink(ptyPath.c_str(), opt.link.c_str()) != 0) {
            std::fprintf(stderr, "tovanix-logger-sim: cannot link %s: %s\n", opt.link.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("READY %s\n", ptyPath.c_str());
    std::fflush(stdout);

    OutputQueue out;
    std::vector<ControlClient> clients;
    Clock::time_point nextTick = Clock::now() + kTick;
    Clock::time_point lastInput{};

    while (!state.quit) {
        Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = nextTick;
        if (!out.empty()) wakeAt = std::min(wakeAt, out.nextDue());
        bool partial = opt.receiver ? state.receiver.hasPartial() : state.bus.hasPartial();
        if (partial) wakeAt = std::min(wakeAt, lastInput + kPartialTimeout);
        auto waitNs = std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt - now).count();
        if (waitNs < 0) waitNs = 0;
        timespec ts{static_cast<time_t>(waitNs / 1000000000), static_cast<long>(waitNs % 1000000000)};

        std::vector<pollfd> fds;
        fds.push_back({master, POLLIN, 0});
        fds.push_back({sigFd, POLLIN, 0});
        if (listenFd >= 0) fds.push_back({listenFd, POLLIN, 0});
        const std::size_t firstClient = fds.size();
        for (auto& c : clients) fds.push_back({c.fd, POLLIN, 0});

        int r = ::ppoll(fds.data(), fds.size(), &ts, nullptr);
        if (r < 0 && errno != EINTR) break;
        now = Clock::now();

        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            ssize_t n = ::read(sigFd, &info, sizeof info);
            (void)n;
            break;
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buf[kReadChunk];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                lastInput = now;
                auto replies = opt.receiver ? state.receiver.feed(buf, static_cast<std::size_t>(n), state.paced)
                                            : state.bus.feed(buf, static_cast<std::size_t>(n), state.paced);
                for (const auto& t : replies) out.schedule(t, now);
            }
        }
        if (listenFd >= 0 && (fds[2].revents & POLLIN)) {
            int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c >= 0) clients.push_back({c, {}});
        }
        for (std::size_t i = firstClient, k = 0; i < fds.size(); ++i, ++k) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            ControlClient& c = clients[k];
            char buf[kReadChunk];
            ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n <= 0) {
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.in.append(buf, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = c.in.find('\n')) != std::string::npos) {
                std::string line = c.in.substr(0, nl);
                c.in.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                writeAll(c.fd, handleCommand(state, line) + "\n");
            }
        }
        std::erase_if(clients, [](const ControlClient& c) { return c.fd < 0; });

        if (!out.empty() && out.nextDue() <= now) out.flushDue(master, now);
        if (partial && now - lastInput >= kPartialTimeout) {
            if (opt.receiver) state.receiver.resync();
            else state.bus.resync();
        }
        if (now >= nextTick) {
            nextTick = now + kTick;
            if (!opt.receiver) {
                demo.apply(state.bus);
                state.bus.tick();
            }
        }
    }

    for (auto& c : clients) ::close(c.fd);
    if (listenFd >= 0) {
        ::close(listenFd);
        ::unlink(opt.control.c_str());
    }
    if (!opt.link.empty()) ::unlink(opt.link.c_str());
    ::close(keepSlave);
    ::close(master);
    return 0;
}
