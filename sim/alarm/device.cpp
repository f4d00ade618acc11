#include "sim/alarm/device.h"

#include <algorithm>
#include <cctype>

#include "platform/crc16.h"

namespace tovanix::alarmsim {

namespace {

// 10 bits a byte at 9600 baud.
constexpr auto kByteTime = std::chrono::nanoseconds(1'041'667);
// After CR, how long an LF may take to count as part of the same line end.
constexpr auto kLineEndSettle = std::chrono::milliseconds(20);
// A box frame whose 8 bytes do not arrive within this is dropped.
constexpr auto kFrameGap = std::chrono::milliseconds(50);
// PDU entry abandoned after this long without a byte (nothing is answered).
constexpr auto kPduEntryIdle = std::chrono::milliseconds(3000);
constexpr std::size_t kMaxCommandLine = 256;
constexpr std::size_t kMaxPduEntry = 2048;

constexpr std::uint8_t kBoxSlave = 0xFF;
constexpr std::uint8_t kWriteSingleRegister = 0x06;
constexpr std::size_t kFrameSize = 8;
constexpr std::uint16_t kSirenRegister = 0x0004;
constexpr std::uint16_t kSirenOn = 0xAA55;
constexpr std::uint16_t kSirenOff = 0x0000;
constexpr std::uint16_t kPowerRegister = 0x0008;

constexpr char kSub = 0x1A;
constexpr char kEsc = 0x1B;
constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kError = "\r\nERROR\r\n";
constexpr const char* kPrompt = "\r\n> ";
constexpr const char* kInvalidPdu = "\r\n+CMS ERROR: 304\r\n";
constexpr const char* kServiceCentreReply = "\r\n+CSCA: \"+8613800200500\",145\r\n\r\nOK\r\n";

std::vector<std::uint8_t> bytesOf(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

std::string normalised(const std::string& line) {
    std::string s;
    for (char c : line)
        if (c != ' ') s.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return s;
}

std::optional<long> parseLength(const std::string& digits) {
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

void PacedOutput::push(const std::vector<std::uint8_t>& bytes, int delayMs, Clock::time_point now, bool marked) {
    if (bytes.empty()) return;
    Clock::time_point start = now;
    if (!queue_.empty() || lastDue_ > now) start = std::max(now, lastDue_ + kByteTime);
    start += std::chrono::milliseconds(delayMs);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto due = paced_ ? start + kByteTime * static_cast<long>(i) : start;
        queue_.push_back({bytes[i], due, marked && i + 1 == bytes.size()});
        lastDue_ = due;
    }
}

std::vector<std::uint8_t> PacedOutput::takeDue(Clock::time_point now, long* markedDone) {
    std::vector<std::uint8_t> out;
    while (!queue_.empty() && queue_.front().due <= now) {
        out.push_back(queue_.front().byte);
        if (queue_.front().endsMarked && markedDone != nullptr) ++*markedDone;
        queue_.pop_front();
    }
    return out;
}

std::optional<Clock::time_point> PacedOutput::nextDue() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.front().due;
}

void AlarmDevice::clear() {
    messages_.clear();
    const long results = counters_.results;  // still counts lines already queued
    counters_ = {};
    counters_.results = results;
}

std::vector<std::string> AlarmDevice::takeEvents() {
    std::vector<std::string> e;
    e.swap(events_);
    return e;
}

std::optional<Clock::time_point> AlarmDevice::nextDeadline() const {
    std::optional<Clock::time_point> next = out_.nextDue();
    if (state_ != State::Command && (!next || deadline_ < *next)) next = deadline_;
    return next;
}

void AlarmDevice::receive(const std::uint8_t* data, std::size_t len, Clock::time_point now) {
    tick(now);
    for (std::size_t i = 0; i < len; ++i) feed(data[i], now);
}

void AlarmDevice::tick(Clock::time_point now) {
    if (state_ == State::Command || now < deadline_) return;
    switch (state_) {
        case State::CommandCr: executeCommand(now); break;
        case State::Frame:
            ++counters_.badFrames;
            event("box frame incomplete, dropped");
            frame_.clear();
            state_ = State::Command;
            break;
        case State::PduEntry:
            event("PDU entry abandoned after silence");
            pdu_.clear();
            state_ = State::Command;
            break;
        case State::PduEnd: finishPdu(now); break;
        case State::Command: break;
    }
}

void AlarmDevice::feed(std::uint8_t b, Clock::time_point now) {
    switch (state_) {
        case State::Command:
            if (line_.empty() && echo_.empty() && b == kBoxSlave) {
                frame_.assign(1, b);
                state_ = State::Frame;
                deadline_ = now + kFrameGap;
                return;
            }
            if (b == '\n' && line_.empty() && echo_.empty()) {
                // A bare line feed runs nothing; echo it as typed.
                if (commandEcho_) out_.push({b}, 0, now);
                return;
            }
            echo_.push_back(b);
            if (b == '\r') {
                state_ = State::CommandCr;
                deadline_ = now + kLineEndSettle;
            } else if (line_.size() < kMaxCommandLine) {
                line_.push_back(static_cast<char>(b));
            }
            return;
        case State::CommandCr:
            if (b == '\n') {
                echo_.push_back(b);
                executeCommand(now);
                return;
            }
            executeCommand(now);
            feed(b, now);
            return;
        case State::Frame:
            frame_.push_back(b);
            if (frame_.size() == kFrameSize) {
                handleFrame(now);
                frame_.clear();
                state_ = State::Command;
            }
            return;
        case State::PduEntry:
            deadline_ = now + kPduEntryIdle;
            if (b == static_cast<std::uint8_t>(kSub)) {
                pduTail_.assign(1, kSub);
                state_ = State::PduEnd;
                deadline_ = now + kLineEndSettle;
            } else if (b == static_cast<std::uint8_t>(kEsc)) {
                event("PDU entry cancelled");
                pdu_.clear();
                state_ = State::Command;
                reply(bytesOf(kOk), false, false, now);
            } else if (pdu_.size() <= kMaxPduEntry) {
                pdu_.push_back(static_cast<char>(b));
            }
            return;
        case State::PduEnd:
            if ((b == '\r' && pduTail_.size() == 1) || (b == '\n' && pduTail_.size() == 2)) {
                pduTail_.push_back(static_cast<char>(b));
                if (pduTail_.size() == 3) finishPdu(now);
                return;
            }
            finishPdu(now);
            feed(b, now);
            return;
    }
}

bool AlarmDevice::consume(Fault f) {
    if (fault_.fault != f) return false;
    if (fault_.times > 0 && --fault_.times == 0) fault_ = FaultSetting{};
    return true;
}

void AlarmDevice::reply(std::vector<std::uint8_t> bytes, bool boxReply, bool pduEcho, Clock::time_point now) {
    const FaultSetting f = fault_;  // consume() clears it after its last use
    if (boxReply && bytes.size() >= 2 && consume(Fault::BadCrc)) std::swap(bytes[bytes.size() - 2], bytes.back());
    if (pduEcho && consume(Fault::PartialEcho))
        bytes.resize(std::min(bytes.size(), f.at > 0 ? f.at : kDefaultPartialEcho));
    if (consume(Fault::Pause) && bytes.size() > 1) {
        const std::size_t at = std::clamp<std::size_t>(f.at > 0 ? f.at : kDefaultPauseAt, 1, bytes.size() - 1);
        const int ms = f.pauseMs > 0 ? f.pauseMs : kDefaultPauseMs;
        const auto split = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        out_.push(std::vector<std::uint8_t>(bytes.begin(), split), 0, now);
        out_.push(std::vector<std::uint8_t>(split, bytes.end()), ms, now);
        return;
    }
    out_.push(bytes, 0, now);
}

void AlarmDevice::executeCommand(Clock::time_point now) {
    const std::string cmd = normalised(line_);
    std::vector<std::uint8_t> echo;
    echo.swap(echo_);
    line_.clear();
    state_ = State::Command;
    ++counters_.commands;
    if (consume(Fault::Silence)) {
        ++counters_.ignored;
        event("command ignored (silence): " + cmd);
        return;
    }

    std::string response;
    bool enterPdu = false;
    long length = 0;
    const bool echoThis = commandEcho_;  // the command is echoed as typed, before it runs
    if (cmd.empty()) {
        response.clear();
    } else if (cmd == "AT") {
        response = kOk;
    } else if (cmd == "ATE0" || cmd == "ATE1") {
        commandEcho_ = cmd == "ATE1";
        response = kOk;
    } else if (cmd == "AT+CMGF=0" || cmd == "AT+CMGF=1") {
        pduMode_ = cmd == "AT+CMGF=0";
        response = kOk;
    } else if (cmd == "AT+CMGF?") {
        response = std::string("\r\n+CMGF: ") + (pduMode_ ? "0" : "1") + "\r\n" + kOk;
    } else if (cmd == "AT+CSCA?") {
        response = kServiceCentreReply;
    } else if (cmd.rfind("AT+CMGS=", 0) == 0) {
        const auto n = parseLength(cmd.substr(8));
        if (!n || !pduMode_ || consume(Fault::NoPrompt)) {
            response = kError;
        } else {
            response = kPrompt;
            enterPdu = true;
            length = *n;
        }
    } else {
        response = kError;
    }
    event("command " + (cmd.empty() ? std::string("(empty)") : cmd));

    std::vector<std::uint8_t> bytes;
    if (echoThis) bytes = echo;
    bytes.insert(bytes.end(), response.begin(), response.end());
    if (enterPdu) {
        state_ = State::PduEntry;
        pdu_.clear();
        cmgsLength_ = length;
        deadline_ = now + kPduEntryIdle;
    }
    if (!bytes.empty()) reply(std::move(bytes), false, false, now);
}

void AlarmDevice::handleFrame(Clock::time_point now) {
    if (!platform::crc16Ok(frame_) || frame_[0] != kBoxSlave || frame_[1] != kWriteSingleRegister) {
        ++counters_.badFrames;
        event("box frame dropped (CRC, slave or function)");
        return;
    }
    if (consume(Fault::Silence)) {
        ++counters_.ignored;
        event("box frame ignored (silence)");
        return;
    }
    ++counters_.frames;
    const std::uint16_t reg = static_cast<std::uint16_t>(frame_[2] << 8 | frame_[3]);
    const std::uint16_t value = static_cast<std::uint16_t>(frame_[4] << 8 | frame_[5]);
    std::vector<std::uint8_t> answer = frame_;  // function 6 answers with the request
    if (reg == kSirenRegister) {
        if (value == kSirenOn) {
            siren_ = true;
            ++counters_.sirenOn;
            event("siren on");
        } else if (value == kSirenOff) {
            siren_ = false;
            ++counters_.sirenOff;
            event("siren off");
        }
    } else if (reg == kPowerRegister) {
        ++counters_.powerQueries;
        answer[4] = power_ ? 1 : 0;
        answer[5] = 0;
        platform::putCrc16(answer);
        event(power_ ? "power query: mains present" : "power query: mains failed");
    }
    reply(std::move(answer), true, false, now);
}

void AlarmDevice::finishPdu(Clock::time_point now) {
    state_ = State::Command;
    std::string typed = pdu_ + pduTail_;
    ReceivedMessage m;
    m.cmgsLength = cmgsLength_;
    m.pdu = pdu_;
    pdu_.clear();
    pduTail_.clear();
    if (consume(Fault::Silence)) {
        ++counters_.ignored;
        event("PDU ignored (silence)");
        return;
    }
    reply(bytesOf(typed), false, true, now);

    if (m.pdu.size() > kMaxPduEntry) {
        m.error = "entry-too-long";
    } else {
        DecodeResult d = decodeSubmit(m.pdu);
        if (!d.tpdu) {
            m.error = d.error;
        } else {
            m.tpdu = std::move(d.tpdu);
            if (static_cast<long>(m.tpdu->tpduOctets) != m.cmgsLength) m.error = "length-mismatch";
        }
    }
    event("short message " + (m.error.empty() ? "to " + m.tpdu->destination : "rejected: " + m.error));
    const std::string result =
        m.error.empty() ? "\r\n+CMGS: " + std::to_string(++messageReference_ % 256) + "\r\n" + kOk : kInvalidPdu;
    messages_.push_back(std::move(m));
    // The network answers later; faults concern the echo only.
    out_.push(bytesOf(result), networkDelayMs_, now, true);
}

}  // namespace tovanix::alarmsim
