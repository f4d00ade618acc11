#include "sim/logger/bus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/logger/crc.h"

namespace tovanix::sim {

namespace proto = tovanix::wired::proto;

namespace {

constexpr std::size_t kMinFrame = 8;
constexpr std::size_t kWriteHeader = 7;  // address, function, register, count, byte count
constexpr std::uint8_t kAlarmReplyByteCount = 1 + proto::kAlarmBlockSize;
constexpr std::uint8_t kCurrentReplyByteCount = proto::kReplyCurrent - 5;
constexpr std::uint8_t kStatusByteCount = proto::kStatusBlockSize;
constexpr std::uint8_t kClockByteCount = 6;
constexpr int kSecondsPerMinute = 60;
constexpr double kMicrosPerMs = 1000.0;

void putWord(std::vector<std::uint8_t>& out, int v) {  // reply word, high first
    out.push_back(static_cast<std::uint8_t>((static_cast<unsigned>(v) >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFF));
}

std::int16_t requestWord(const std::uint8_t* p) {  // low byte first
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

std::vector<std::uint8_t> writeAck(const std::vector<std::uint8_t>& req) {
    std::vector<std::uint8_t> r(req.begin(), req.begin() + 6);
    appendCrc(r);
    return r;
}

void bcdTime5(std::time_t t, std::vector<std::uint8_t>& out) {
    std::uint8_t b[6];
    toBcd(t, b);
    out.insert(out.end(), b, b + 5);
}

}  // namespace

std::optional<FaultKind> faultFromName(const std::string& n) {
    static const std::map<std::string, FaultKind> names = {
        {"none", FaultKind::None},         {"silent", FaultKind::Silent},       {"badcrc", FaultKind::BadCrc},
        {"short", FaultKind::Short},       {"long", FaultKind::Long},           {"split", FaultKind::Split},
        {"trickle", FaultKind::Trickle},   {"late", FaultKind::Late},           {"slowfirst", FaultKind::SlowFirst},
        {"oversize", FaultKind::Oversize}, {"histbytes", FaultKind::HistBytes},
    };
    auto it = names.find(n);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

int defaultFaultArg(FaultKind kind) {
    switch (kind) {
        case FaultKind::Split: return 60;       // well above the 20 ms settle period
        case FaultKind::Trickle: return 10;     // below it
        case FaultKind::Late: return 2500;      // after the 2000 ms wait
        case FaultKind::SlowFirst: return 500;  // inside the wait
        case FaultKind::Oversize: return 250;   // past the 200-byte buffer
        case FaultKind::HistBytes: return 185;  // one past the largest accepted
        default: return 0;
    }
}

void toBcd(std::time_t t, std::uint8_t out[6]) {
    std::tm tm{};
    localtime_r(&t, &tm);
    out[0] = proto::bcdEncode(tm.tm_year + 1900 - proto::kCenturyBase);
    out[1] = proto::bcdEncode(tm.tm_mon + 1);
    out[2] = proto::bcdEncode(tm.tm_mday);
    out[3] = proto::bcdEncode(tm.tm_hour);
    out[4] = proto::bcdEncode(tm.tm_min);
    out[5] = proto::bcdEncode(tm.tm_sec);
}

std::optional<std::time_t> fromBcd(const std::uint8_t in[6]) {
    std::tm tm{};
    tm.tm_year = proto::bcdDecode(in[0]) + proto::kCenturyBase - 1900;
    tm.tm_mon = proto::bcdDecode(in[1]) - 1;
    tm.tm_mday = proto::bcdDecode(in[2]);
    tm.tm_hour = proto::bcdDecode(in[3]);
    tm.tm_min = proto::bcdDecode(in[4]);
    tm.tm_sec = proto::bcdDecode(in[5]);
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[3];
    for (auto v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += b;
    }
    return s;
}

std::optional<std::vector<std::uint8_t>> unhex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &v) != 1) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

FaultKind Fault::take() {
    if (skip > 0) {
        --skip;
        return FaultKind::None;
    }
    if (remaining == 0) return FaultKind::None;
    if (remaining > 0) --remaining;
    return kind;
}

Bus::Bus() = default;

Logger& Bus::add(int address) {
    auto [it, fresh] = loggers_.try_emplace(address);
    if (fresh) {
        it->second.address = address;
        it->second.clearedAt = std::time(nullptr);
    }
    return it->second;
}

bool Bus::remove(int address) { return loggers_.erase(address) > 0; }

Logger* Bus::find(int address) {
    auto it = loggers_.find(address);
    return it == loggers_.end() ? nullptr : &it->second;
}

std::time_t Bus::loggerNow(const Logger& l) const { return std::time(nullptr) + l.clockOffset; }

void Bus::setLoggerTime(Logger& l, std::time_t when) { l.clockOffset = when - std::time(nullptr); }

void Bus::tick() {
    for (auto& [addr, l] : loggers_) {
        if (!l.recording || l.intervalCode == 0) continue;
        std::time_t now = loggerNow(l);
        std::time_t step = static_cast<std::time_t>(l.intervalCode) * kSecondsPerMinute;
        if (l.nextRecord == 0) l.nextRecord = (now / step + 1) * step;
        while (now >= l.nextRecord) {
            l.history.push_back({l.nextRecord - l.nextRecord % kSecondsPerMinute, {l.readings[2], l.readings[3]}});
            l.nextRecord += step;
        }
    }
}

std::vector<std::vector<std::uint8_t>> Bus::framesTo(int address) const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& [a, f] : frames_)
        if (a == address) out.push_back(f);
    return out;
}

void Bus::clearLog() {
    raw_.clear();
    frames_.clear();
}

std::vector<Transmission> Bus::feed(const std::uint8_t* data, std::size_t len, bool paced) {
    raw_.insert(raw_.end(), data, data + len);
    pending_.insert(pending_.end(), data, data + len);
    std::vector<Transmission> out;
    for (;;) {
        if (pending_.size() < 2) break;
        std::size_t need = 0;
        std::uint8_t fn = pending_[1];
        bool clearData = false;
        if (fn == proto::kFnRead) {
            need = kMinFrame;
        } else if (fn == proto::kFnWrite) {
            if (pending_.size() < kWriteHeader) break;
            const unsigned reg = (pending_[2] << 8) | pending_[3];
            clearData = reg == proto::kRegClearData;
            need = clearData ? kMinFrame : kWriteHeader + pending_[6] + proto::kCrcSize;
        } else {
            pending_.erase(pending_.begin());  // not a frame start (e.g. padding zeros)
            continue;
        }
        if (pending_.size() < need) break;
        std::vector<std::uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<long>(need));
        if (!crcOk(frame)) {
            pending_.erase(pending_.begin());
            continue;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(need));
        frames_.emplace_back(frame[0], frame);
        Logger* l = find(frame[0]);
        if (l == nullptr) continue;  // nobody at that address
        std::vector<std::uint8_t> reply = answer(*l, frame);
        if (reply.empty()) continue;
        // ClearData's request is padded to 36 bytes on the wire.
        std::size_t wireLen = clearData ? proto::kRequestClearData : need;
        out.push_back(shape(*l, std::move(reply), wireLen, paced));
    }
    return out;
}

std::vector<std::uint8_t> Bus::answer(Logger& l, const std::vector<std::uint8_t>& req) {
    const std::uint8_t a = req[0];
    const unsigned reg = (req[2] << 8) | req[3];
    std::vector<std::uint8_t> r{a, req[1]};
    if (req[1] == proto::kFnRead) {
        switch (reg) {
            case proto::kRegCurrent: {
                r.push_back(kCurrentReplyByteCount);
                bcdTime5(loggerNow(l), r);
                for (auto v : l.readings) putWord(r, v);
                r.insert(r.end(), 4, 0);  // unused
                break;
            }
            case proto::kRegAlarmRead: {
                r.push_back(kAlarmReplyByteCount);
                r.push_back(0);
                std::size_t at = r.size();
                if (l.blockWritten) r.insert(r.end(), l.rawBlock.begin(), l.rawBlock.end());
                else r.insert(r.end(), proto::kAlarmBlockSize, 0);
                r[at + proto::kAbInterval] = l.intervalCode;
                r[at + proto::kAbEnableMask] = l.enableMask;
                auto word = [&](std::size_t off, int v) {
                    r[at + off] = static_cast<std::uint8_t>((static_cast<unsigned>(v) >> 8) & 0xFF);
                    r[at + off + 1] = static_cast<std::uint8_t>(static_cast<unsigned>(v) & 0xFF);
                };
                word(proto::kAbCh1Upper, l.limits[0]);
                word(proto::kAbCh1Lower, l.limits[1]);
                word(proto::kAbCh2Upper, l.limits[2]);
                word(proto::kAbCh2Lower, l.limits[3]);
                word(proto::kAbSoundDuration, l.soundDuration);
                break;
            }
            case proto::kRegStatus: {
                r.push_back(kStatusByteCount);
                bcdTime5(l.history.empty() ? l.clearedAt : l.history.front().when, r);
                r.push_back(l.intervalCode);
                putWord(r, static_cast<int>(std::min<std::size_t>(l.history.size(), 0xFFFF)));
                putWord(r, l.secondWord);
                break;
            }
            case proto::kRegClock: {
                r.push_back(kClockByteCount);
                std::uint8_t b[6];
                toBcd(loggerNow(l), b);
                r.insert(r.end(), b, b + 6);
                break;
            }
            case proto::kRegHistory: {
                // Blocks count from 1, as the station asks for them; block 0 holds nothing.
                std::size_t block = req[5];
                std::size_t first = block == 0 ? l.history.size() : (block - 1) * proto::kHistoryMaxRecords;
                std::vector<std::uint8_t> body(proto::kHistoryUnused, 0);
                for (std::size_t i = first; i < l.history.size() && i < first + proto::kHistoryMaxRecords; ++i) {
                    bcdTime5(l.history[i].when, body);
                    putWord(body, l.history[i].values[0]);
                    putWord(body, l.history[i].values[1]);
                }
                if (l.fault.peek() == FaultKind::HistBytes) {
                    // A byte count chosen by the test, with that many bytes behind it.
                    body.resize(static_cast<std::size_t>(std::clamp(l.fault.arg, 0, 255)), 0x11);
                }
                r.push_back(static_cast<std::uint8_t>(body.size()));
                r.insert(r.end(), body.begin(), body.end());
                break;
            }
            default: return {};
        }
        appendCrc(r);
        return r;
    }
    if (req[1] == proto::kFnWrite) {
        switch (reg) {
            case proto::kRegAlarmWrite: {
                if (req[6] != proto::kAlarmBlockSize) return {};
                const std::uint8_t* b = &req[kWriteHeader];
                std::copy(b, b + proto::kAlarmBlockSize, l.rawBlock.begin());
                l.blockWritten = true;
                l.intervalCode = b[proto::kAbInterval];
                l.enableMask = b[proto::kAbEnableMask];
                l.limits[0] = requestWord(&b[proto::kAbCh1Upper]);
                l.limits[1] = requestWord(&b[proto::kAbCh1Lower]);
                l.limits[2] = requestWord(&b[proto::kAbCh2Upper]);
                l.limits[3] = requestWord(&b[proto::kAbCh2Lower]);
                l.soundDuration = static_cast<std::uint16_t>(requestWord(&b[proto::kAbSoundDuration]));
                l.nextRecord = 0;
                return writeAck(req);
            }
            case proto::kRegClock: {
                if (req[6] != kClockByteCount) return {};
                if (auto t = fromBcd(&req[kWriteHeader])) setLoggerTime(l, *t);
                l.nextRecord = 0;
                return writeAck(req);
            }
            case proto::kRegClearData: {
                l.history.clear();
                l.clearedAt = loggerNow(l);
                return writeAck(req);
            }
            default: return {};
        }
    }
    return {};
}

Transmission Bus::shape(Logger& l, std::vector<std::uint8_t> reply, std::size_t requestLen, bool paced) {
    const double byteTime = paced ? kByteMicros : 0.0;
    // The request took its own time on the wire before the logger could answer.
    const double start = byteTime * static_cast<double>(requestLen);
    Fault& f = l.fault;
    FaultKind kind = f.take();
    const double argMicros = f.arg * kMicrosPerMs;
    Transmission t;
    switch (kind) {
        case FaultKind::Silent: return t;
        case FaultKind::BadCrc: reply[reply.size() - 2] ^= 0xFF; break;
        // Short and long replies carry a correct CRC over their own bytes:
        // only the length gives them away.
        case FaultKind::Short:
            reply.resize(reply.size() - proto::kCrcSize - 1);
            appendCrc(reply);
            break;
        case FaultKind::Long:
            reply.resize(reply.size() - proto::kCrcSize);
            reply.push_back(0x00);
            appendCrc(reply);
            break;
        case FaultKind::Oversize: {
            std::size_t total = static_cast<std::size_t>(std::max(f.arg, 4));
            reply.resize(total - proto::kCrcSize, 0x5A);
            appendCrc(reply);
            break;
        }
        default: break;
    }
    switch (kind) {
        case FaultKind::Split: {
            std::size_t half = reply.size() / 2;
            t.chunks.push_back({start, byteTime, {reply.begin(), reply.begin() + static_cast<long>(half)}});
            t.chunks.push_back({argMicros, byteTime, {reply.begin() + static_cast<long>(half), reply.end()}});
            return t;
        }
        case FaultKind::Trickle:
            t.chunks.push_back({start, std::max(byteTime, argMicros), reply});
            return t;
        case FaultKind::Late: t.chunks.push_back({start + argMicros, byteTime, reply}); return t;
        case FaultKind::SlowFirst:
            t.chunks.push_back({start, byteTime, {reply.front()}});
            t.chunks.push_back({argMicros, byteTime, {reply.begin() + 1, reply.end()}});
            return t;
        default: t.chunks.push_back({start, byteTime, reply}); return t;
    }
}

}  // namespace tovanix::sim
