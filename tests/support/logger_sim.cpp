#include "tests/support/logger_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace tovanix::test {

namespace {

namespace fs = std::filesystem;

constexpr int kQuitWaitMs = 2000;
constexpr int kCommandTimeoutMs = 5000;
constexpr std::size_t kReadChunk = 4096;
constexpr const char* kReadyWord = "READY";

const char* faultName(LoggerSim::Fault f) {
    switch (f) {
        case LoggerSim::Fault::None: return "none";
        case LoggerSim::Fault::Silent: return "silent";
        case LoggerSim::Fault::BadCrc: return "badcrc";
        case LoggerSim::Fault::Short: return "short";
        case LoggerSim::Fault::Long: return "long";
        case LoggerSim::Fault::Split: return "split";
        case LoggerSim::Fault::Trickle: return "trickle";
        case LoggerSim::Fault::Late: return "late";
        case LoggerSim::Fault::SlowFirst: return "slowfirst";
        case LoggerSim::Fault::Oversize: return "oversize";
        case LoggerSim::Fault::HistBytes: return "histbytes";
    }
    return "none";
}

// Waits for the process behind pidfd to end; true when it did.
bool processEnded(int pidFd, int timeoutMs) {
    if (pidFd < 0) return false;
    pollfd p{pidFd, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::string fmtFloat(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(v));
    return buf;
}

}  // namespace

std::string toHex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[3];
    for (auto v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += b;
    }
    return s;
}

std::vector<std::uint8_t> fromHex(const std::string& text) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

LoggerSim::LoggerSim(LoggerSimOptions options) : options_(std::move(options)) {}

LoggerSim::~LoggerSim() { stop(); }

std::string LoggerSim::executable() const {
    if (!options_.executable.empty()) return options_.executable;
    if (const char* env = std::getenv("TOVANIX_LOGGER_SIM"); env != nullptr && *env != '\0') return env;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    // Test programs live in build/tests, the simulator in build/bin.
    for (fs::path candidate : {self.parent_path().parent_path() / "bin" / "tovanix-logger-sim",
                               self.parent_path() / "tovanix-logger-sim"}) {
        if (fs::exists(candidate, ec)) return candidate.string();
    }
    return "tovanix-logger-sim";
}

bool LoggerSim::start() {
    if (running()) return true;
    error_.clear();
    char tmpl[] = "/tmp/tovanix-sim.XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        error_ = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    dir_ = tmpl;
    socket_ = dir_ + "/control";

    std::vector<std::string> args{executable(), "--control", socket_};
    std::string list;
    for (int a : options_.addresses) list += (list.empty() ? "" : ",") + std::to_string(a);
    if (!list.empty()) {
        args.push_back("--addresses");
        args.push_back(list);
    }
    if (!options_.paced) args.push_back("--no-pacing");
    if (options_.receiver) args.push_back("--receiver");
    for (const auto& a : options_.extraArgs) args.push_back(a);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        error_ = "cannot start " + args[0] + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));

    // The readiness line: "READY <pty path>".
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.readyTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[256];
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    auto w = words(line);
    if (w.size() < 2 || w[0] != kReadyWord) {
        error_ = "simulator did not report ready (got \"" + line + "\")";
        stop();
        return false;
    }
    pty_ = w[1];
    if (!connectControl()) {
        stop();
        return false;
    }
    return true;
}

bool LoggerSim::connectControl() {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socket_.size() >= sizeof addr.sun_path) {
        error_ = "control socket path too long";
        return false;
    }
    std::memcpy(addr.sun_path, socket_.c_str(), socket_.size() + 1);
    control_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // The socket listens before the readiness line is printed.
    if (control_ < 0 || ::connect(control_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = std::string("cannot connect to the control socket: ") + std::strerror(errno);
        return false;
    }
    return true;
}

int LoggerSim::waitExit(int timeoutMs) {
    if (pid_ <= 0 || !processEnded(pidFd_, timeoutMs)) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    int result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    stop();  // links, socket folder
    return result;
}

int LoggerSim::stop() {
    int result = -1;
    if (control_ >= 0) {
        ::close(control_);
        control_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!processEnded(pidFd_, kQuitWaitMs)) ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) result = WEXITSTATUS(status);
        pid_ = -1;
    }
    if (pidFd_ >= 0) {
        ::close(pidFd_);
        pidFd_ = -1;
    }
    std::error_code ec;
    for (const auto& l : links_) fs::remove(l, ec);
    links_.clear();
    if (!dir_.empty()) {
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
    pendingIn_.clear();
    return result;
}

std::string LoggerSim::linkCom(int n, const std::string& dir) {
    std::string folder = dir;
    if (folder.empty()) {
        const char* env = std::getenv("TOVANIX_COMDIR");
        folder = (env != nullptr && *env != '\0') ? env : "/dev/tovanix";
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::path link = fs::path(folder) / ("COM" + std::to_string(n));
    fs::remove(link, ec);
    fs::create_symlink(pty_, link, ec);
    if (ec) {
        error_ = "cannot link " + link.string() + ": " + ec.message();
        return {};
    }
    links_.push_back(link.string());
    return link.string();
}

std::string LoggerSim::command(const std::string& line) {
    if (control_ < 0) return {};
    std::string msg = line + "\n";
    std::size_t done = 0;
    while (done < msg.size()) {
        ssize_t n = ::send(control_, msg.data() + done, msg.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        done += static_cast<std::size_t>(n);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCommandTimeoutMs);
    while (pendingIn_.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return {};
        pollfd p{control_, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return {};
        char buf[kReadChunk];
        ssize_t n = ::recv(control_, buf, sizeof buf, 0);
        if (n <= 0) return {};
        pendingIn_.append(buf, static_cast<std::size_t>(n));
    }
    std::size_t nl = pendingIn_.find('\n');
    std::string reply = pendingIn_.substr(0, nl);
    pendingIn_.erase(0, nl + 1);
    return reply;
}

bool LoggerSim::ok(const std::string& line) { return command(line).rfind("OK", 0) == 0; }

bool LoggerSim::setPacing(bool on) { return ok(std::string("PACING ") + (on ? "on" : "off")); }
bool LoggerSim::addLogger(int a) { return ok("ADD " + std::to_string(a)); }
bool LoggerSim::removeLogger(int a) { return ok("REMOVE " + std::to_string(a)); }

std::vector<int> LoggerSim::addresses() {
    std::vector<int> out;
    auto w = words(command("LIST"));
    for (std::size_t i = 1; i < w.size(); ++i) out.push_back(std::stoi(w[i]));
    return out;
}

bool LoggerSim::setFault(int a, Fault f, int arg, int times, int skip) {
    // "-1" as the argument asks for the kind's default.
    std::string line = "FAULT " + std::to_string(a) + " " + faultName(f);
    if (f != Fault::None)
        line += " " + std::to_string(arg) + " " + std::to_string(times) + " " + std::to_string(skip);
    return ok(line);
}

std::vector<std::vector<std::uint8_t>> LoggerSim::sent(int a) {
    std::vector<std::vector<std::uint8_t>> out;
    auto w = words(command("SENT " + std::to_string(a)));
    for (std::size_t i = 1; i < w.size(); ++i) out.push_back(fromHex(w[i]));
    return out;
}

std::vector<std::uint8_t> LoggerSim::raw() {
    auto w = words(command("RAW"));
    return w.size() > 1 ? fromHex(w[1]) : std::vector<std::uint8_t>{};
}

bool LoggerSim::clearLog() { return ok("CLEARLOG"); }

bool LoggerSim::setReading(int a, int r1, int r2, int r3, int r4) {
    return ok("READING " + std::to_string(a) + " " + std::to_string(r1) + " " + std::to_string(r2) + " " +
              std::to_string(r3) + " " + std::to_string(r4));
}

bool LoggerSim::setAlarm(int a, const Alarm& al) {
    std::string line = "ALARM " + std::to_string(a) + " " + std::to_string(al.mask);
    for (int v : al.limits) line += " " + std::to_string(v);
    line += " " + std::to_string(al.soundDuration) + " " + std::to_string(al.intervalCode);
    return ok(line);
}

std::optional<LoggerSim::Alarm> LoggerSim::alarm(int a) {
    auto w = words(command("GETALARM " + std::to_string(a)));
    if (w.size() != 8 || w[0] != "OK") return std::nullopt;
    Alarm al;
    al.mask = std::stoi(w[1]);
    for (int i = 0; i < 4; ++i) al.limits[i] = std::stoi(w[2 + i]);
    al.soundDuration = std::stoi(w[6]);
    al.intervalCode = std::stoi(w[7]);
    return al;
}

std::optional<std::vector<std::uint8_t>> LoggerSim::writtenBlock(int a) {
    auto w = words(command("BLOCK " + std::to_string(a)));
    if (w.size() != 2 || w[0] != "OK" || w[1] == "none") return std::nullopt;
    return fromHex(w[1]);
}

bool LoggerSim::setClock(int a, const std::string& when) { return ok("CLOCK " + std::to_string(a) + " " + when); }

std::string LoggerSim::clock(int a) {
    std::string r = command("GETCLOCK " + std::to_string(a));
    return r.rfind("OK ", 0) == 0 ? r.substr(3) : std::string{};
}

bool LoggerSim::setSecondWord(int a, int v) { return ok("SECONDWORD " + std::to_string(a) + " " + std::to_string(v)); }
bool LoggerSim::setOldestWhenEmpty(int a, const std::string& when) { return ok("OLDEST " + std::to_string(a) + " " + when); }
bool LoggerSim::clearHistory(int a) { return ok("HISTORY " + std::to_string(a) + " CLEAR"); }

bool LoggerSim::addHistory(int a, const std::string& when, int v1, int v2) {
    return ok("HISTORY " + std::to_string(a) + " ADD " + when + " " + std::to_string(v1) + " " + std::to_string(v2));
}

bool LoggerSim::fillHistory(int a, int n, const std::string& first, int stepMinutes) {
    return ok("HISTORY " + std::to_string(a) + " FILL " + std::to_string(n) + " " + first + " " + std::to_string(stepMinutes));
}

int LoggerSim::historyCount(int a) {
    auto w = words(command("HISTCOUNT " + std::to_string(a)));
    return (w.size() == 2 && w[0] == "OK") ? std::stoi(w[1]) : -1;
}

bool LoggerSim::setRecording(int a, bool on) { return ok("RECORDING " + std::to_string(a) + (on ? " on" : " off")); }

bool LoggerSim::setRunning(int a, bool r) { return ok("RUNNING " + std::to_string(a) + (r ? " 1" : " 0")); }

bool LoggerSim::setPower(int a, float v1, float v2, int kind) {
    return ok("POWER " + std::to_string(a) + " " + fmtFloat(v1) + " " + fmtFloat(v2) + " " + std::to_string(kind));
}

bool LoggerSim::setBeep(int a, int e, int m, int d) {
    return ok("BEEP " + std::to_string(a) + " " + std::to_string(e) + " " + std::to_string(m) + " " + std::to_string(d));
}

bool LoggerSim::setConfig(int a, int ri, int unit, int si, int lcd) {
    return ok("CONFIG " + std::to_string(a) + " " + std::to_string(ri) + " " + std::to_string(unit) + " " +
              std::to_string(si) + " " + std::to_string(lcd));
}

std::optional<LoggerSim::WirelessState> LoggerSim::wirelessState(int a) {
    auto w = words(command("GETSTATE " + std::to_string(a)));
    if (w.size() != 5 || w[0] != "OK") return std::nullopt;
    WirelessState s;
    s.running = std::stoi(w[1]);
    s.power1 = std::stof(w[2]);
    s.power2 = std::stof(w[3]);
    s.powerKind = std::stoi(w[4]);
    return s;
}

}  // namespace tovanix::test
