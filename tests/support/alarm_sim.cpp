#include "tests/support/alarm_sim.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/encoding.h"
#include "platform/serial.h"

extern char** environ;

namespace tovanix::test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStopTimeoutMs = 5000;
constexpr int kWaitSlackMs = 2000;  // beyond a "wait" request's own time-out

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

std::u16string fromHex(const std::string& hex) {
    std::u16string out;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4)
        out.push_back(static_cast<char16_t>(std::stoul(hex.substr(i, 4), nullptr, 16)));
    return out;
}

std::map<std::string, std::string> keyValues(const std::string& line) {
    std::map<std::string, std::string> kv;
    std::istringstream in(line);
    std::string word;
    in >> word;  // the line's own tag
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) kv[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return kv;
}

long number(const std::map<std::string, std::string>& kv, const char* key, int base = 10) {
    auto it = kv.find(key);
    if (it == kv.end() || it->second.empty()) return 0;
    return std::strtol(it->second.c_str(), nullptr, base);
}

bool lastIsOk(const std::vector<std::string>& reply) {
    return !reply.empty() && reply.back().rfind("ok", 0) == 0;
}

}  // namespace

std::string AlarmSimMessage::textUtf8() const { return platform::utf16ToUtf8(text); }

std::string buildBinDirectory() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "bin";
    return (self.parent_path().parent_path() / "bin").string();
}

AlarmSim::~AlarmSim() { stop(); }

bool AlarmSim::start() { return start(Options{}); }

bool AlarmSim::start(const Options& options) {
    stop();
    error_.clear();
    std::string exe = options.executable;
    if (exe.empty()) {
        const char* env = std::getenv("TOVANIX_ALARM_SIM");
        exe = env != nullptr && *env != '\0' ? env : buildBinDirectory() + "/tovanix-alarm-sim";
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tovanix-alarm-sim.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = "mkdtemp: " + std::string(std::strerror(errno));
        return false;
    }
    dir_ = pattern;
    control_ = dir_ + "/control.sock";

    std::vector<std::string> args = {exe, "--control", control_, "--power", options.power ? "on" : "off",
                                      "--network-delay", std::to_string(options.networkDelayMs)};
    if (!options.commandEcho) args.push_back("--no-echo");
    if (!options.paced) args.push_back("--unpaced");
    if (options.quiet) args.push_back("--quiet");
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error_ = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        error_ = "spawn " + exe + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    stdout_ = out[0];

    // Readiness: "pty PATH", "control PATH", then "ready".
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.readyTimeoutMs);
    for (;;) {
        std::string line;
        if (!readLine(line, msLeft(deadline))) {
            error_ = "simulator not ready: " + (error_.empty() ? std::string("no answer") : error_);
            stop();
            return false;
        }
        if (line.rfind("pty ", 0) == 0) pty_ = line.substr(4);
        if (line == "ready") break;
    }
    if (pty_.empty() || !connectControl()) {
        if (error_.empty()) error_ = "simulator gave no pseudo-terminal";
        stop();
        return false;
    }
    return true;
}

bool AlarmSim::readLine(std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return true;
        }
        pollfd p {stdout_, POLLIN, 0};
        const int r = ::poll(&p, 1, msLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        char buf[256];
        const ssize_t n = ::read(stdout_, buf, sizeof buf);
        if (n <= 0) {
            error_ = "simulator exited";
            return false;
        }
        buffer_.append(buf, static_cast<std::size_t>(n));
    }
}

bool AlarmSim::connectControl() {
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (control_.size() >= sizeof addr.sun_path) {
        error_ = "control path too long: " + control_;
        return false;
    }
    std::strcpy(addr.sun_path, control_.c_str());
    control_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (control_fd_ < 0 || ::connect(control_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = "control connect: " + std::string(std::strerror(errno));
        return false;
    }
    return true;
}

void AlarmSim::stop() {
    if (control_fd_ >= 0) ::close(control_fd_);
    control_fd_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        // The simulator's stdout closes when it exits.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
        bool gone = false;
        while (!gone) {
            pollfd p {stdout_, POLLIN, 0};
            const int r = ::poll(&p, 1, msLeft(deadline));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            char buf[256];
            gone = ::read(stdout_, buf, sizeof buf) <= 0;
        }
        if (!gone) ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
    }
    if (stdout_ >= 0) ::close(stdout_);
    stdout_ = -1;
    buffer_.clear();
    for (const auto& l : links_) {
        std::error_code ec;
        fs::remove(l, ec);
    }
    links_.clear();
    if (!dir_.empty()) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
        dir_.clear();
    }
    pty_.clear();
}

bool AlarmSim::linkAs(int comNumber, const std::string& folder) {
    if (pty_.empty()) {
        error_ = "simulator not running";
        return false;
    }
    const fs::path dir = folder.empty() ? fs::path(platform::comDirectory()) : fs::path(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path link = dir / ("COM" + std::to_string(comNumber));
    fs::remove(link, ec);
    fs::create_symlink(pty_, link, ec);
    if (ec) {
        error_ = "link " + link.string() + ": " + ec.message();
        return false;
    }
    links_.push_back(link.string());
    return true;
}

std::vector<std::string> AlarmSim::command(const std::string& line, int timeoutMs) {
    std::vector<std::string> reply;
    if (control_fd_ < 0) {
        error_ = "simulator not running";
        return reply;
    }
    const std::string request = line + "\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(control_fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = "control send: " + std::string(std::strerror(errno));
            return reply;
        }
        sent += static_cast<std::size_t>(n);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string pending;
    for (;;) {
        std::size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            reply.push_back(pending.substr(0, nl));
            pending.erase(0, nl + 1);
            const std::string& last = reply.back();
            if (last.rfind("ok", 0) == 0 || last.rfind("error", 0) == 0) {
                if (last.rfind("error", 0) == 0) error_ = last;
                return reply;
            }
        }
        pollfd p {control_fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, msLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            error_ = "no answer to \"" + line + "\"";
            return {};
        }
        char buf[4096];
        const ssize_t n = ::read(control_fd_, buf, sizeof buf);
        if (n <= 0) {
            error_ = "control connection closed";
            return {};
        }
        pending.append(buf, static_cast<std::size_t>(n));
    }
}

bool AlarmSim::commandOk(const std::string& line, int timeoutMs) { return lastIsOk(command(line, timeoutMs)); }

bool AlarmSim::setPower(bool present) { return commandOk(present ? "power on" : "power off"); }

std::optional<bool> AlarmSim::power() {
    auto r = command("power");
    if (!lastIsOk(r)) return std::nullopt;
    return r.back() == "ok on";
}

std::optional<bool> AlarmSim::siren() {
    auto r = command("siren");
    if (!lastIsOk(r)) return std::nullopt;
    return r.back() == "ok on";
}

bool AlarmSim::setFault(AlarmSimFault fault, int times, int at, int pauseMs) {
    static const char* const kNames[] = {"none", "silence", "no-prompt", "partial-echo", "bad-crc", "pause"};
    std::string line = std::string("fault ") + kNames[static_cast<int>(fault)];
    if (times > 0) line += " times=" + std::to_string(times);
    if (at > 0) line += " at=" + std::to_string(at);
    if (pauseMs > 0) line += " ms=" + std::to_string(pauseMs);
    return commandOk(line);
}

bool AlarmSim::setCommandEcho(bool on) { return commandOk(on ? "echo on" : "echo off"); }

bool AlarmSim::setNetworkDelay(int ms) { return commandOk("network-delay " + std::to_string(ms)); }

std::vector<AlarmSimMessage> AlarmSim::messages() {
    std::vector<AlarmSimMessage> out;
    const auto reply = command("messages");
    if (!lastIsOk(reply)) return out;
    for (const auto& line : reply) {
        if (line.rfind("message ", 0) != 0) continue;
        const auto kv = keyValues(line);
        AlarmSimMessage m;
        m.decoded = kv.count("status") && kv.at("status") == "ok";
        m.error = kv.count("error") ? kv.at("error") : "";
        m.cmgsLength = number(kv, "length");
        m.recipient = kv.count("to") ? kv.at("to") : "";
        m.addressDigits = static_cast<int>(number(kv, "digits"));
        m.addressType = static_cast<int>(number(kv, "toa", 16));
        m.firstOctet = static_cast<int>(number(kv, "fo", 16));
        m.dataCoding = static_cast<int>(number(kv, "dcs", 16));
        m.userDataLength = static_cast<int>(number(kv, "udl"));
        m.tpduOctets = number(kv, "tpdu");
        m.text = fromHex(kv.count("text") ? kv.at("text") : "");
        m.pdu = kv.count("pdu") ? kv.at("pdu") : "";
        out.push_back(std::move(m));
    }
    return out;
}

bool AlarmSim::clearMessages() { return commandOk("clear"); }

std::map<std::string, std::string> AlarmSim::status() {
    const auto reply = command("status");
    if (!lastIsOk(reply)) return {};
    return keyValues(reply.back());
}

bool AlarmSim::waitCommand(const std::string& line, int timeoutMs) {
    return commandOk(line + " ms=" + std::to_string(timeoutMs), timeoutMs + kWaitSlackMs);
}

bool AlarmSim::waitForMessages(std::size_t count, int timeoutMs) {
    return waitCommand("wait messages " + std::to_string(count), timeoutMs);
}

bool AlarmSim::waitForSiren(bool on, int timeoutMs) {
    return waitCommand(std::string("wait siren ") + (on ? "on" : "off"), timeoutMs);
}

bool AlarmSim::waitForPowerQueries(long count, int timeoutMs) {
    return waitCommand("wait power-queries " + std::to_string(count), timeoutMs);
}

bool AlarmSim::waitForFrames(long count, int timeoutMs) {
    return waitCommand("wait frames " + std::to_string(count), timeoutMs);
}

bool AlarmSim::waitForResults(long count, int timeoutMs) {
    return waitCommand("wait results " + std::to_string(count), timeoutMs);
}

}  // namespace tovanix::test
