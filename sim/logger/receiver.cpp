#include "sim/logger/receiver.h"

#include <algorithm>

#include "sim/logger/crc.h"
#include "tevlib/frames.h"

namespace tovanix::sim {

namespace fr = tovanix::tevlib::frames;

namespace {

// Time the receiver listens on the radio before it reports that no logger
// answered.
constexpr double kRadioTimeoutMicros = 150000.0;
constexpr double kMicrosPerMs = 1000.0;

}  // namespace

WirelessLogger& Receiver::add(int address) {
    auto [it, fresh] = loggers_.try_emplace(address);
    if (fresh) it->second.address = address;
    return it->second;
}

bool Receiver::remove(int address) { return loggers_.erase(address) > 0; }

WirelessLogger* Receiver::find(int address) {
    auto it = loggers_.find(address);
    return it == loggers_.end() ? nullptr : &it->second;
}

std::vector<std::vector<std::uint8_t>> Receiver::framesTo(int address) const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& [a, f] : frames_)
        if (a == address) out.push_back(f);
    return out;
}

void Receiver::clearLog() {
    raw_.clear();
    frames_.clear();
}

std::vector<std::uint8_t> Receiver::answer(int address, std::uint8_t cmd, const std::vector<std::uint8_t>& payload) {
    WirelessLogger* l = find(address);
    if (l == nullptr) return fr::reply(address, cmd, fr::kStatusNoDevice);
    std::vector<std::uint8_t> out;
    switch (cmd) {
        case fr::kCmdGetState:
            out.push_back(l->running);
            fr::putF32(out, l->power[0]);
            fr::putF32(out, l->power[1]);
            out.push_back(l->powerKind);
            return fr::reply(address, cmd, fr::kStatusOk, out);
        case fr::kCmdStart:
            l->running = 1;
            return fr::reply(address, cmd, fr::kStatusOk);
        case fr::kCmdStop:
            l->running = 0;
            return fr::reply(address, cmd, fr::kStatusOk);
        case fr::kCmdGetBeep:
            out.assign(l->beep, l->beep + fr::kBeepPayload);
            return fr::reply(address, cmd, fr::kStatusOk, out);
        case fr::kCmdGetConfig:
            fr::putU16(out, static_cast<unsigned>(l->config[0]));
            out.push_back(static_cast<std::uint8_t>(l->config[1]));
            fr::putU16(out, static_cast<unsigned>(l->config[2]));
            fr::putU16(out, static_cast<unsigned>(l->config[3]));
            return fr::reply(address, cmd, fr::kStatusOk, out);
        case fr::kCmdSetId: {
            if (payload.size() != fr::kSetIdPayload) return fr::reply(address, cmd, fr::kStatusBadArgument);
            int next = static_cast<int>(fr::getU16(payload.data()));
            if (next < fr::kMinAddress || next > fr::kMaxAddress) return fr::reply(address, cmd, fr::kStatusBadArgument);
            if (next != address && find(next) != nullptr) return fr::reply(address, cmd, fr::kStatusAddressInUse);
            WirelessLogger moved = *l;
            moved.address = next;
            loggers_.erase(address);
            loggers_[next] = moved;
            // The logger confirms under its old address, then listens on the new one.
            return fr::reply(address, cmd, fr::kStatusOk);
        }
        default: return fr::reply(address, cmd, fr::kStatusUnknownCommand);
    }
}

std::vector<Transmission> Receiver::feed(const std::uint8_t* data, std::size_t len, bool paced) {
    raw_.insert(raw_.end(), data, data + len);
    pending_.insert(pending_.end(), data, data + len);
    std::vector<Transmission> out;
    const double byteTime = paced ? kByteMicros : 0.0;
    for (;;) {
        if (pending_.empty()) break;
        auto need = fr::frameLength(pending_, fr::kRequestStart);
        if (!need) {
            pending_.erase(pending_.begin());
            continue;
        }
        if (*need == 0 || pending_.size() < *need) break;
        std::vector<std::uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<long>(*need));
        // The CRC is checked here with the simulator's own code as well, so
        // a fault in the library's frame CRC shows as an unanswered request.
        auto req = crcOk(frame) ? fr::parseRequest(frame) : std::nullopt;
        if (!req) {
            pending_.erase(pending_.begin());
            continue;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(*need));
        frames_.emplace_back(req->address, frame);

        WirelessLogger* l = find(req->address);
        Fault* fault = l != nullptr ? &l->fault : nullptr;
        FaultKind kind = fault != nullptr ? fault->take() : FaultKind::None;
        // Read before answering: a set-ID request moves the logger to another entry.
        const int faultArg = fault != nullptr ? fault->arg : 0;
        std::vector<std::uint8_t> reply = answer(req->address, req->command, req->payload);
        double start = byteTime * static_cast<double>(frame.size());
        if (l == nullptr) start += kRadioTimeoutMicros;
        Transmission t;
        switch (kind) {
            case FaultKind::Silent: continue;
            case FaultKind::BadCrc: reply[reply.size() - 2] ^= 0xFF; break;
            case FaultKind::Short: reply.pop_back(); break;
            case FaultKind::Long: reply.push_back(0); break;
            case FaultKind::Late:
            case FaultKind::SlowFirst: start += faultArg * kMicrosPerMs; break;
            default: break;
        }
        t.chunks.push_back({start, byteTime, reply});
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace tovanix::sim
