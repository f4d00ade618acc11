// tovanix-alarm-sim: the alarm box and GSM modem on one pseudo-terminal.
// Command line and control protocol: sim/alarm/README.md.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "platform/encoding.h"
#include "sim/alarm/device.h"

namespace {

using tovanix::alarmsim::AlarmDevice;
using tovanix::alarmsim::Clock;
using tovanix::alarmsim::Fault;
using tovanix::alarmsim::FaultSetting;
using tovanix::alarmsim::ReceivedMessage;

constexpr int kListenBacklog = 8;
constexpr std::size_t kMaxControlLine = 4096;
constexpr std::size_t kReadChunk = 512;

struct Options {
    std::string link;
    std::string control;
    bool power = true;
    bool echo = true;
    bool paced = true;
    bool quiet = false;
    int networkDelayMs = tovanix::alarmsim::kDefaultNetworkDelayMs;
};

void usage(std::FILE* to) {
    std::fputs(
        "usage: tovanix-alarm-sim [--link PATH] [--control SOCKET] [--power on|off]\n"
        "                         [--network-delay MS] [--no-echo] [--unpaced] [--quiet]\n"
        "Plays the alarm box and GSM modem on a new pseudo-terminal. Prints\n"
        "\"pty PATH\", \"link PATH\", \"control PATH\" and \"ready\" on stdout, then\n"
        "logs to stderr. SIGTERM, SIGINT or the control command \"quit\" end it.\n",
        to);
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--link") {
            if (!value(o.link)) return false;
        } else if (a == "--control") {
            if (!value(o.control)) return false;
        } else if (a == "--power") {
            if (!value(v) || (v != "on" && v != "off")) return false;
            o.power = v == "on";
        } else if (a == "--network-delay") {
            if (!value(v)) return false;
            o.networkDelayMs = std::atoi(v.c_str());
            if (o.networkDelayMs < 0) return false;
        } else if (a == "--no-echo") {
            o.echo = false;
        } else if (a == "--unpaced") {
            o.paced = false;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            return false;
        }
    }
    return true;
}

std::string hex(const std::u16string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (char16_t u : text)
        for (int shift = 12; shift >= 0; shift -= 4) s.push_back(kDigits[(u >> shift) & 0xF]);
    return s;
}

std::string hexByte(unsigned v) {
    char b[3];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

// Control characters of a text shown in the log, as backslash escapes.
std::string escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20) out += "\\x" + hexByte(c);
        else out.push_back(static_cast<char>(c));
    }
    return out;
}

std::string messageLine(std::size_t index, const ReceivedMessage& m) {
    std::ostringstream s;
    s << "message index=" << index << " status=" << (m.error.empty() ? "ok" : "error")
      << " error=" << m.error << " length=" << m.cmgsLength;
    if (m.tpdu) {
        const auto& t = *m.tpdu;
        s << " to=" << t.destination << " digits=" << t.addressDigits << " toa=" << hexByte(t.addressType)
          << " fo=" << hexByte(t.firstOctet) << " mr=" << static_cast<int>(t.messageReference)
          << " pid=" << hexByte(t.protocolId) << " dcs=" << hexByte(t.dataCoding) << " udl=" << t.userDataLength
          << " tpdu=" << t.tpduOctets << " text=" << hex(t.text);
    } else {
        s << " to= text=";
    }
    s << " pdu=" << m.pdu;
    return s.str();
}

bool parseFault(const std::vector<std::string>& w, FaultSetting& f, std::string& error) {
    static const std::map<std::string, Fault> kNames = {
        {"none", Fault::None},           {"silence", Fault::Silence}, {"no-prompt", Fault::NoPrompt},
        {"partial-echo", Fault::PartialEcho}, {"bad-crc", Fault::BadCrc},   {"pause", Fault::Pause}};
    auto it = kNames.find(w[1]);
    if (it == kNames.end()) {
        error = "unknown-fault";
        return false;
    }
    f = FaultSetting{};
    f.fault = it->second;
    for (std::size_t i = 2; i < w.size(); ++i) {
        const auto eq = w[i].find('=');
        if (eq == std::string::npos) {
            error = "expected-key=value";
            return false;
        }
        const std::string key = w[i].substr(0, eq);
        const long v = std::strtol(w[i].c_str() + eq + 1, nullptr, 10);
        if (v < 0) {
            error = "negative-value";
            return false;
        }
        if (key == "times") f.times = static_cast<int>(v);
        else if (key == "at") f.at = static_cast<std::size_t>(v);
        else if (key == "ms") f.pauseMs = static_cast<int>(v);
        else {
            error = "unknown-key";
            return false;
        }
    }
    return true;
}

const char* faultName(Fault f) {
    switch (f) {
        case Fault::None: return "none";
        case Fault::Silence: return "silence";
        case Fault::NoPrompt: return "no-prompt";
        case Fault::PartialEcho: return "partial-echo";
        case Fault::BadCrc: return "bad-crc";
        case Fault::Pause: return "pause";
    }
    return "none";
}

// A "wait" request: answered once its condition holds or its time is up.
struct Wait {
    enum class Kind { Messages, Siren, PowerQueries, Frames, Results } kind;
    long value;  // count reached, or 1/0 for the siren
    Clock::time_point deadline;
};

struct Client {
    int fd;
    std::string in;
    std::string out;
    std::optional<Wait> wait;  // while set, further requests of this client wait their turn
};

class Simulator {
public:
    explicit Simulator(const Options& o) : opt_(o), device_(o.paced) {
        device_.setPower(o.power);
        device_.setCommandEcho(o.echo);
        device_.setNetworkDelay(o.networkDelayMs);
    }
    ~Simulator() { cleanup(); }

    bool start();
    int run();

private:
    void log(const std::string& text) {
        if (!opt_.quiet) std::fprintf(stderr, "alarm-sim: %s\n", text.c_str());
    }
    std::string handle(Client& c, const std::string& line);
    std::optional<std::string> startWait(Client& c, const std::vector<std::string>& w);
    long waitedValue(const Wait& w) const;
    void processInput(Client& c);
    void checkWaits(Clock::time_point now);
    void readMaster();
    void flushMaster();
    void acceptClient();
    bool serviceClient(Client& c, short revents);
    bool sendPending(Client& c);
    void cleanup();

    Options opt_;
    AlarmDevice device_;
    int master_ = -1;
    int slave_ = -1;  // held open: the station opening and closing its end never hangs the line up
    int listen_ = -1;
    int signals_ = -1;
    std::string slavePath_;
    std::string pendingOut_;
    std::vector<Client> clients_;
    std::size_t logged_ = 0;
    bool quit_ = false;
};

bool Simulator::start() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        std::perror("alarm-sim: pseudo-terminal");
        return false;
    }
    slavePath_ = ::ptsname(master_);
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        std::perror("alarm-sim: slave");
        return false;
    }
    termios tio {};
    if (::tcgetattr(slave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
    }
    if (!opt_.link.empty()) {
        ::unlink(opt_.link.c_str());
        if (::symlink(slavePath_.c_str(), opt_.link.c_str()) != 0) {
            std::perror(("alarm-sim: link " + opt_.link).c_str());
            opt_.link.clear();
            return false;
        }
    }
    if (!opt_.control.empty()) {
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        if (opt_.control.size() >= sizeof addr.sun_path) {
            std::fprintf(stderr, "alarm-sim: control path too long\n");
            opt_.control.clear();
            return false;
        }
        std::strcpy(addr.sun_path, opt_.control.c_str());
        ::unlink(opt_.control.c_str());
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listen_, kListenBacklog) != 0) {
            std::perror("alarm-sim: control socket");
            opt_.control.clear();
            return false;
        }
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    signals_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("pty %s\n", slavePath_.c_str());
    if (!opt_.link.empty()) std::printf("link %s\n", opt_.link.c_str());
    if (!opt_.control.empty()) std::printf("control %s\n", opt_.control.c_str());
    std::printf("ready\n");
    std::fflush(stdout);
    log("ready on " + slavePath_ + (opt_.power ? ", mains present" : ", mains failed"));
    return true;
}

void Simulator::cleanup() {
    for (auto& c : clients_) ::close(c.fd);
    clients_.clear();
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    if (!opt_.control.empty()) ::unlink(opt_.control.c_str());
    if (!opt_.link.empty()) ::unlink(opt_.link.c_str());
    opt_.control.clear();
    opt_.link.clear();
    if (signals_ >= 0) ::close(signals_);
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    signals_ = slave_ = master_ = -1;
}

void Simulator::readMaster() {
    std::uint8_t buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            device_.receive(buf, static_cast<std::size_t>(n), Clock::now());
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // EAGAIN: all read; EIO cannot happen while slave_ is open
    }
}

void Simulator::flushMaster() {
    while (!pendingOut_.empty()) {
        const ssize_t n = ::write(master_, pendingOut_.data(), pendingOut_.size());
        if (n > 0) {
            pendingOut_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // the line is full; POLLOUT tells when to go on
    }
}

void Simulator::acceptClient() {
    for (;;) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        clients_.push_back(Client{fd, {}, {}, std::nullopt});
    }
}

bool Simulator::serviceClient(Client& c, short revents) {
    if (revents & POLLIN) {
        char buf[kReadChunk];
        for (;;) {
            const ssize_t n = ::read(c.fd, buf, sizeof buf);
            if (n > 0) {
                c.in.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) return false;
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            return false;
        }
        processInput(c);
        if (c.in.size() > kMaxControlLine) return false;
    } else if (revents & (POLLHUP | POLLERR)) {
        return false;
    }
    return sendPending(c);
}

bool Simulator::sendPending(Client& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            c.out.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return false;
    }
    return true;
}

void Simulator::processInput(Client& c) {
    std::size_t nl;
    while (!c.wait && (nl = c.in.find('\n')) != std::string::npos) {
        std::string line = c.in.substr(0, nl);
        c.in.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        c.out += handle(c, line);
    }
}

long Simulator::waitedValue(const Wait& w) const {
    switch (w.kind) {
        case Wait::Kind::Messages: return static_cast<long>(device_.messages().size());
        case Wait::Kind::Siren: return device_.siren() ? 1 : 0;
        case Wait::Kind::PowerQueries: return device_.counters().powerQueries;
        case Wait::Kind::Frames: return device_.counters().frames;
        case Wait::Kind::Results: return device_.counters().results;
    }
    return 0;
}

// "wait messages N [ms=T]", "wait siren on|off [ms=T]", "wait power-queries N",
// "wait frames N", "wait results N": answered "ok <value>" once the count reaches N (or the
// siren is in that state), "error timeout <value>" after T ms (default 10 s).
std::optional<std::string> Simulator::startWait(Client& c, const std::vector<std::string>& w) {
    constexpr long kDefaultWaitMs = 10000;
    if (w.size() < 3) return "error expected-condition\n";
    Wait wait {};
    if (w[1] == "messages") wait.kind = Wait::Kind::Messages;
    else if (w[1] == "siren") wait.kind = Wait::Kind::Siren;
    else if (w[1] == "power-queries") wait.kind = Wait::Kind::PowerQueries;
    else if (w[1] == "frames") wait.kind = Wait::Kind::Frames;
    else if (w[1] == "results") wait.kind = Wait::Kind::Results;
    else return "error unknown-condition\n";
    if (wait.kind == Wait::Kind::Siren) {
        if (w[2] != "on" && w[2] != "off") return "error expected-on-or-off\n";
        wait.value = w[2] == "on" ? 1 : 0;
    } else {
        wait.value = std::strtol(w[2].c_str(), nullptr, 10);
    }
    long ms = kDefaultWaitMs;
    if (w.size() > 3) {
        if (w[3].rfind("ms=", 0) != 0) return "error expected-ms\n";
        ms = std::strtol(w[3].c_str() + 3, nullptr, 10);
    }
    wait.deadline = Clock::now() + std::chrono::milliseconds(ms);
    c.wait = wait;
    return std::nullopt;
}

void Simulator::checkWaits(Clock::time_point now) {
    for (auto& c : clients_) {
        if (!c.wait) continue;
        const long v = waitedValue(*c.wait);
        const bool met = c.wait->kind == Wait::Kind::Siren ? v == c.wait->value : v >= c.wait->value;
        if (!met && now < c.wait->deadline) continue;
        c.out += (met ? "ok " : "error timeout ") + std::to_string(v) + "\n";
        c.wait.reset();
        processInput(c);
        sendPending(c);
    }
}

// One request line in, reply lines out; the last reply line starts with
// "ok" or "error".
std::string Simulator::handle(Client& c, const std::string& line) {
    std::vector<std::string> w;
    std::istringstream in(line);
    for (std::string t; in >> t;) w.push_back(t);
    if (w.empty()) return "error empty\n";
    const std::string& cmd = w[0];
    auto onOff = [](bool b) { return b ? "on" : "off"; };

    if (cmd == "ping") return "ok\n";
    if (cmd == "power") {
        if (w.size() == 1) return std::string("ok ") + onOff(device_.power()) + "\n";
        if (w[1] != "on" && w[1] != "off") return "error expected-on-or-off\n";
        device_.setPower(w[1] == "on");
        log(std::string("mains power ") + (device_.power() ? "restored" : "failed"));
        return "ok\n";
    }
    if (cmd == "siren") return std::string("ok ") + onOff(device_.siren()) + "\n";
    if (cmd == "fault") {
        if (w.size() == 1) {
            const auto& f = device_.fault();
            return std::string("ok ") + faultName(f.fault) + " times=" + std::to_string(f.times) +
                   " at=" + std::to_string(f.at) + " ms=" + std::to_string(f.pauseMs) + "\n";
        }
        FaultSetting f;
        std::string error;
        if (!parseFault(w, f, error)) return "error " + error + "\n";
        device_.setFault(f);
        log(std::string("fault ") + faultName(f.fault));
        return "ok\n";
    }
    if (cmd == "echo") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return "error expected-on-or-off\n";
        device_.setCommandEcho(w[1] == "on");
        return "ok\n";
    }
    if (cmd == "network-delay") {
        if (w.size() != 2) return "error expected-milliseconds\n";
        const int ms = std::atoi(w[1].c_str());
        if (ms < 0) return "error negative-value\n";
        device_.setNetworkDelay(ms);
        return "ok\n";
    }
    if (cmd == "messages") {
        std::string out;
        const auto& list = device_.messages();
        for (std::size_t i = 0; i < list.size(); ++i) out += messageLine(i, list[i]) + "\n";
        return out + "ok " + std::to_string(list.size()) + "\n";
    }
    if (cmd == "clear") {
        device_.clear();
        logged_ = 0;
        return "ok\n";
    }
    if (cmd == "status") {
        const auto& c = device_.counters();
        std::ostringstream s;
        s << "ok siren=" << onOff(device_.siren()) << " power=" << onOff(device_.power())
          << " messages=" << device_.messages().size() << " frames=" << c.frames << " bad_frames=" << c.badFrames
          << " siren_on=" << c.sirenOn << " siren_off=" << c.sirenOff << " power_queries=" << c.powerQueries
          << " commands=" << c.commands << " ignored=" << c.ignored << " results=" << c.results << " fault=" << faultName(device_.fault().fault)
          << " echo=" << onOff(device_.commandEcho()) << "\n";
        return s.str();
    }
    if (cmd == "wait") {
        if (auto error = startWait(c, w)) return *error;
        return {};
    }
    if (cmd == "quit") {
        quit_ = true;
        return "ok\n";
    }
    return "error unknown-command\n";
}

int Simulator::run() {
    while (!quit_) {
        const auto now = Clock::now();
        device_.tick(now);
        const auto out = device_.takeOutput(now);
        pendingOut_.append(out.begin(), out.end());
        flushMaster();
        for (auto& e : device_.takeEvents()) log(e);
        const auto& messages = device_.messages();
        for (; logged_ < messages.size(); ++logged_) {
            const auto& m = messages[logged_];
            if (m.tpdu)
                log("message to " + m.tpdu->destination + ": " +
                    escaped(tovanix::platform::utf16ToUtf8(m.tpdu->text)));
        }

        checkWaits(Clock::now());

        std::optional<Clock::time_point> next = device_.nextDeadline();
        for (const auto& c : clients_)
            if (c.wait && (!next || c.wait->deadline < *next)) next = c.wait->deadline;
        int timeout = -1;
        if (next) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
            timeout = ms < 0 ? 0 : static_cast<int>(ms);
        }
        std::vector<pollfd> fds;
        fds.push_back({master_, static_cast<short>(POLLIN | (pendingOut_.empty() ? 0 : POLLOUT)), 0});
        fds.push_back({signals_, POLLIN, 0});
        if (listen_ >= 0) fds.push_back({listen_, POLLIN, 0});
        const std::size_t firstClient = fds.size();
        for (const auto& c : clients_)
            fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
        const int r = ::poll(fds.data(), fds.size(), timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            std::perror("alarm-sim: poll");
            return 1;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo si {};
            if (::read(signals_, &si, sizeof si) > 0) log("signal " + std::to_string(si.ssi_signo) + ", stopping");
            break;
        }
        if (fds[0].revents & POLLIN) readMaster();
        if (fds[0].revents & POLLOUT) flushMaster();
        if (listen_ >= 0 && (fds[2].revents & POLLIN)) acceptClient();
        std::vector<Client> kept;
        for (std::size_t i = 0; i < clients_.size() && firstClient + i < fds.size(); ++i) {
            Client& c = clients_[i];
            if (fds[firstClient + i].revents == 0 || serviceClient(c, fds[firstClient + i].revents))
                kept.push_back(std::move(c));
            else
                ::close(c.fd);
        }
        // Clients accepted during this round have no poll entry yet.
        for (std::size_t i = fds.size() - firstClient; i < clients_.size(); ++i) kept.push_back(std::move(clients_[i]));
        clients_.swap(kept);
    }
    // Answer the last control replies (for "quit") before going.
    for (auto& c : clients_)
        if (!c.out.empty()) ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    cleanup();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) {
        usage(stderr);
        return 2;
    }
    Simulator sim(o);
    if (!sim.start()) return 1;
    return sim.run();
}
