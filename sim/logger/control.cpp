#include "sim/logger/control.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace tovanix::sim {

namespace {

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool toInt(const std::string& s, int& out) {
    try {
        std::size_t used = 0;
        long v = std::stol(s, &used, 0);
        if (used != s.size()) return false;
        out = static_cast<int>(v);
        return true;
    } catch (...) {
        return false;
    }
}

bool toFloat(const std::string& s, float& out) {
    try {
        std::size_t used = 0;
        out = std::stof(s, &used);
        return used == s.size();
    } catch (...) {
        return false;
    }
}

std::string ok(const std::string& rest = {}) { return rest.empty() ? "OK" : "OK " + rest; }
std::string err(const std::string& why) { return "ERR " + why; }

// Parses "[arg] [times]" after a fault kind.
bool parseFault(const std::vector<std::string>& w, std::size_t at, Fault& f) {
    auto kind = faultFromName(w[at]);
    if (!kind) return false;
    f = Fault{};
    f.kind = *kind;
    f.arg = defaultFaultArg(*kind);
    if (w.size() > at + 1 && !toInt(w[at + 1], f.arg)) return false;
    if (f.arg == -1) f.arg = defaultFaultArg(*kind);  // -1 asks for the default
    if (w.size() > at + 2 && !toInt(w[at + 2], f.remaining)) return false;
    if (w.size() > at + 3 && (!toInt(w[at + 3], f.skip) || f.skip < 0)) return false;
    if (f.kind == FaultKind::None) f.remaining = -1;
    return true;
}

std::string framesText(const std::vector<std::vector<std::uint8_t>>& frames) {
    std::string out;
    for (const auto& f : frames) out += (out.empty() ? "" : " ") + hex(f);
    return out;
}

std::string wiredCommand(SimState& s, const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    int a = 0;
    Bus& bus = s.bus;
    if (cmd == "LIST") {
        std::string out;
        for (auto& [addr, l] : bus.loggers()) out += (out.empty() ? "" : " ") + std::to_string(addr);
        return ok(out);
    }
    if (cmd == "RAW") return ok(hex(bus.raw()));
    if (cmd == "CLEARLOG") {
        bus.clearLog();
        return ok();
    }
    if (w.size() < 2 || !toInt(w[1], a)) return err("address expected");
    if (cmd == "ADD") {
        bus.add(a);
        return ok();
    }
    if (cmd == "REMOVE") return bus.remove(a) ? ok() : err("no logger");
    if (cmd == "SENT") return ok(framesText(bus.framesTo(a & 0xFF)));
    Logger* l = bus.find(a);
    if (l == nullptr) return err("no logger at " + std::to_string(a));
    if (cmd == "READING") {
        if (w.size() != 6) return err("READING addr r1 r2 r3 r4");
        for (int i = 0; i < 4; ++i) {
            int v = 0;
            if (!toInt(w[2 + i], v)) return err("bad reading");
            l->readings[i] = static_cast<std::int16_t>(v);
        }
        return ok();
    }
    if (cmd == "GETREADING") {
        return ok(std::to_string(l->readings[0]) + " " + std::to_string(l->readings[1]) + " " +
                  std::to_string(l->readings[2]) + " " + std::to_string(l->readings[3]));
    }
    if (cmd == "ALARM") {
        if (w.size() != 9) return err("ALARM addr mask u1 l1 u2 l2 duration interval");
        int v[7];
        for (int i = 0; i < 7; ++i)
            if (!toInt(w[2 + i], v[i])) return err("bad number");
        l->enableMask = static_cast<std::uint8_t>(v[0]);
        for (int i = 0; i < 4; ++i) l->limits[i] = static_cast<std::int16_t>(v[1 + i]);
        l->soundDuration = static_cast<std::uint16_t>(v[5]);
        l->intervalCode = static_cast<std::uint8_t>(v[6]);
        return ok();
    }
    if (cmd == "GETALARM") {
        std::string out = std::to_string(l->enableMask);
        for (auto v : l->limits) out += " " + std::to_string(v);
        out += " " + std::to_string(l->soundDuration) + " " + std::to_string(l->intervalCode);
        return ok(out);
    }
    if (cmd == "BLOCK") {
        if (!l->blockWritten) return ok("none");
        return ok(hex({l->rawBlock.begin(), l->rawBlock.end()}));
    }
    if (cmd == "CLOCK") {
        std::time_t t = 0;
        if (w.size() != 4 || !parseTime(w[2], w[3], t)) return err("CLOCK addr YYYY-MM-DD HH:MM:SS");
        bus.setLoggerTime(*l, t);
        return ok();
    }
    if (cmd == "GETCLOCK") return ok(formatTime(bus.loggerNow(*l), true));
    if (cmd == "SECONDWORD") {
        int v = 0;
        if (w.size() != 3 || !toInt(w[2], v)) return err("SECONDWORD addr n");
        l->secondWord = static_cast<std::uint16_t>(v);
        return ok();
    }
    if (cmd == "RECORDING") {
        if (w.size() != 3) return err("RECORDING addr on|off");
        l->recording = w[2] == "on";
        l->nextRecord = 0;
        return ok();
    }
    if (cmd == "HISTCOUNT") return ok(std::to_string(l->history.size()));
    if (cmd == "OLDEST") {
        std::time_t t = 0;
        if (w.size() != 4 || !parseTime(w[2], w[3], t)) return err("OLDEST addr YYYY-MM-DD HH:MM");
        l->clearedAt = t;
        return ok();
    }
    if (cmd == "HISTORY") {
        if (w.size() < 3) return err("HISTORY addr CLEAR|ADD|FILL ...");
        if (w[2] == "CLEAR") {
            l->history.clear();
            return ok();
        }
        if (w[2] == "ADD") {
            std::time_t t = 0;
            int v1 = 0, v2 = 0;
            if (w.size() != 7 || !parseTime(w[3], w[4], t) || !toInt(w[5], v1) || !toInt(w[6], v2))
                return err("HISTORY addr ADD YYYY-MM-DD HH:MM v1 v2");
            l->history.push_back({t, {static_cast<std::int16_t>(v1), static_cast<std::int16_t>(v2)}});
            return ok();
        }
        if (w[2] == "FILL") {
            // n records from the given time, step minutes apart; record i
            // holds values 100 + i and 500 - i.
            int n = 0, step = 0;
            std::time_t t = 0;
            if (w.size() != 7 || !toInt(w[3], n) || !parseTime(w[4], w[5], t) || !toInt(w[6], step) || n < 0)
                return err("HISTORY addr FILL n YYYY-MM-DD HH:MM step");
            constexpr int kSecondsPerMinute = 60;
            for (int i = 0; i < n; ++i)
                l->history.push_back({t + static_cast<std::time_t>(i) * step * kSecondsPerMinute,
                                      {static_cast<std::int16_t>(100 + i), static_cast<std::int16_t>(500 - i)}});
            return ok();
        }
        return err("HISTORY addr CLEAR|ADD|FILL ...");
    }
    if (cmd == "FAULT") {
        if (w.size() < 3 || !parseFault(w, 2, l->fault)) return err("FAULT addr kind [arg] [times] [skip]");
        return ok();
    }
    return err("unknown command " + cmd);
}

std::string receiverCommand(SimState& s, const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    Receiver& rx = s.receiver;
    int a = 0;
    if (cmd == "LIST") {
        std::string out;
        for (auto& [addr, l] : rx.loggers()) out += (out.empty() ? "" : " ") + std::to_string(addr);
        return ok(out);
    }
    if (cmd == "RAW") return ok(hex(rx.raw()));
    if (cmd == "CLEARLOG") {
        rx.clearLog();
        return ok();
    }
    if (w.size() < 2 || !toInt(w[1], a)) return err("address expected");
    if (cmd == "ADD") {
        rx.add(a);
        return ok();
    }
    if (cmd == "REMOVE") return rx.remove(a) ? ok() : err("no logger");
    if (cmd == "SENT") return ok(framesText(rx.framesTo(a)));
    WirelessLogger* l = rx.find(a);
    if (l == nullptr) return err("no logger at " + std::to_string(a));
    if (cmd == "RUNNING") {
        int v = 0;
        if (w.size() != 3 || !toInt(w[2], v)) return err("RUNNING addr 0|1");
        l->running = static_cast<std::uint8_t>(v);
        return ok();
    }
    if (cmd == "POWER") {
        int kind = 0;
        if (w.size() != 5 || !toFloat(w[2], l->power[0]) || !toFloat(w[3], l->power[1]) || !toInt(w[4], kind))
            return err("POWER addr v1 v2 kind");
        l->powerKind = static_cast<std::uint8_t>(kind);
        return ok();
    }
    if (cmd == "BEEP") {
        if (w.size() != 5) return err("BEEP addr enable monitor duration");
        for (int i = 0; i < 3; ++i) {
            int v = 0;
            if (!toInt(w[2 + i], v)) return err("bad number");
            l->beep[i] = static_cast<std::uint8_t>(v);
        }
        return ok();
    }
    if (cmd == "CONFIG") {
        if (w.size() != 6) return err("CONFIG addr record unit sampling lcdoff");
        for (int i = 0; i < 4; ++i)
            if (!toInt(w[2 + i], l->config[i])) return err("bad number");
        return ok();
    }
    if (cmd == "GETSTATE") {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%u %.3f %.3f %u", l->running, static_cast<double>(l->power[0]),
                      static_cast<double>(l->power[1]), l->powerKind);
        return ok(buf);
    }
    if (cmd == "FAULT") {
        if (w.size() < 3 || !parseFault(w, 2, l->fault)) return err("FAULT addr kind [arg] [times] [skip]");
        return ok();
    }
    return err("unknown command " + cmd);
}

}  // namespace

bool parseTime(const std::string& date, const std::string& time, std::time_t& out) {
    std::tm tm{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (std::sscanf(date.c_str(), "%d-%d-%d", &y, &mo, &d) != 3) return false;
    int n = std::sscanf(time.c_str(), "%d:%d:%d", &h, &mi, &sec);
    if (n < 2) return false;
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = n == 3 ? sec : 0;
    tm.tm_isdst = -1;
    out = std::mktime(&tm);
    return out != static_cast<std::time_t>(-1);
}

std::string formatTime(std::time_t t, bool seconds) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, seconds ? "%Y-%m-%d %H:%M:%S" : "%Y-%m-%d %H:%M", &tm);
    return buf;
}

std::string handleCommand(SimState& s, const std::string& line) {
    std::vector<std::string> w = split(line);
    if (w.empty()) return err("empty command");
    if (w[0] == "PING") return ok(s.receiverMode ? "receiver" : "wired");
    if (w[0] == "QUIT") {
        s.quit = true;
        return ok();
    }
    if (w[0] == "PACING") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return err("PACING on|off");
        s.paced = w[1] == "on";
        return ok();
    }
    return s.receiverMode ? receiverCommand(s, w) : wiredCommand(s, w);
}

}  // namespace tovanix::sim
