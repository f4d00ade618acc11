// Exported operations of libWired: each is one question-and-answer exchange
// built from the pure frames of protocol.h and the port layer.
#include "wired/wired.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/crc16.h"
#include "wired/port_layer.h"
#include "wired/protocol.h"

namespace {

using namespace tovanix::wired;
using Ms = std::chrono::milliseconds;

constexpr Ms kReplyWait{2000};
constexpr Ms kClearDataWait{3000};

constexpr int kDownloadNowOk = 22;
constexpr int kGetAlarmOk = 33;
constexpr int kOk = 1;
constexpr int kFailed = 0;

// The address the next operation talks to; only its low 8 bits are sent.
std::atomic<int> g_target{0};

// Serialises whole exchanges: the receive buffer and the target address
// are shared by all ports, so only one exchange may run at a time. The
// station serialises its calls too; this keeps a stray caller from
// corrupting an exchange in flight.
std::mutex g_exchangeMutex;

enum class Failure { None, NoReply, Length, Crc, Send };

// How the reply length is judged.
struct Expect {
    std::size_t length = 0;  // fixed length; 0 for a history reply
    bool history = false;
};

struct Reply {
    std::array<std::uint8_t, proto::kRxBufferSize> bytes{};
    std::size_t count = 0;
    Failure failure = Failure::None;
    bool ok() const { return failure == Failure::None; }
    std::span<const std::uint8_t> view() const { return {bytes.data(), count}; }
};

bool lengthOk(const Reply& r, const Expect& e) {
    if (r.count > proto::kRxBufferSize) return false;  // never copied past the buffer
    if (!e.history) return r.count == e.length;
    // Byte 2 must have been received before it can size the reply.
    if (r.count <= proto::kRoByteCount) return false;
    std::uint8_t byteCount = r.bytes[proto::kRoByteCount];
    if (!proto::historyByteCountOk(byteCount)) return false;
    return r.count == proto::historyReplyLength(byteCount);
}

// Steps 1 to 6 of every operation: send, wait for the reply event, check
// length and CRC.
Reply exchange(int port, const proto::Frame& request, Ms wait, bool purgeBefore, Expect expect) {
    PortLayer& layer = PortLayer::instance();
    Reply r;
    layer.begin(port, purgeBefore);
    long sent = layer.send(port, request.bytes.data(), request.length);
    if (sent != static_cast<long>(request.length)) {
        r.failure = Failure::Send;
        return r;
    }
    layer.makeCurrent(port);
    if (!layer.waitReply(port, wait, r.count, r.bytes)) {
        r.count = 0;
        r.failure = Failure::NoReply;
        return r;
    }
    if (!lengthOk(r, expect)) {
        r.failure = Failure::Length;
        return r;
    }
    if (!tovanix::platform::crc16Ok(r.view())) r.failure = Failure::Crc;
    return r;
}

// Step 8: what is left behind after an operation.
enum class CleanUp {
    Full,        // clear buffer and count, purge the port
    BufferOnly,  // clear buffer and count, no purge
};

void finish(int port, CleanUp how, bool keepTarget) {
    PortLayer::instance().cleanup(port, how == CleanUp::Full);
    if (!keepTarget) g_target.store(0);
}

bool usable(int port) { return PortLayer::inRange(port); }

void copyText(char* out, const char* text) {
    if (out != nullptr) std::memcpy(out, text, proto::kTimeTextLength);
}

bool getAlarmLocked(int port, proto::AlarmSettings& out) {
    if (!usable(port)) {
        g_target.store(0);
        return false;
    }
    Reply r = exchange(port, proto::buildGetAlarm(g_target.load()), kReplyWait, false, {proto::kReplyAlarm});
    if (!r.ok()) {
        finish(port, CleanUp::Full, false);
        return false;
    }
    out = proto::decodeAlarm(r.view());
    finish(port, CleanUp::Full, true);
    return true;
}

}  // namespace

extern "C" {

int StartThread(void) { return PortLayer::instance().startThread(); }

void EndThread(void) { PortLayer::instance().endThread(); }

int W_OpenCom(int port) { return PortLayer::instance().open(port); }

int W_CloseCom(int port) { return PortLayer::instance().close(port); }

int W_SetTargetDevice(int /*port*/, int address) {
    g_target.store(address);
    return address;
}

int W_DownloadNow(int port, char* time_text, float r12[2], float r34[2]) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildDownloadNow(g_target.load()), kReplyWait, true, {proto::kReplyCurrent});
    if (r.ok()) {
        proto::CurrentReading c = proto::decodeCurrent(r.view());
        copyText(time_text, c.timeText);
        if (r12 != nullptr) std::memcpy(r12, c.r12, sizeof c.r12);
        if (r34 != nullptr) std::memcpy(r34, c.r34, sizeof c.r34);
    }
    finish(port, CleanUp::Full, false);
    return r.ok() ? kDownloadNowOk : kFailed;
}

int W_GetAlarm(int port, char* enable_mask, int limits[4], int* sound_duration, int* interval_code) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    proto::AlarmSettings s;
    if (!getAlarmLocked(port, s)) return kFailed;
    if (enable_mask != nullptr) *enable_mask = static_cast<char>(s.enableMask);
    if (limits != nullptr) std::memcpy(limits, s.limits, sizeof s.limits);
    if (sound_duration != nullptr) *sound_duration = s.soundDuration;
    if (interval_code != nullptr) *interval_code = s.intervalCode;
    return kGetAlarmOk;
}

int W_SetAlarm(int port, int enable_mask, const int limits[4], int sound_duration, int interval_code) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port) || limits == nullptr) {
        g_target.store(0);
        return kFailed;
    }
    proto::AlarmSettings s;
    s.enableMask = enable_mask;
    std::memcpy(s.limits, limits, sizeof s.limits);
    s.soundDuration = sound_duration;
    s.intervalCode = interval_code;
    Reply r = exchange(port, proto::buildSetAlarm(g_target.load(), s), kReplyWait, false, {proto::kReplyWriteAck});
    if (!r.ok()) {
        finish(port, CleanUp::Full, false);
        return kFailed;
    }
    finish(port, CleanUp::BufferOnly, true);
    return kOk;
}

int W_GetRecordingInterval(int port) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildGetStatus(g_target.load()), kReplyWait, false, {proto::kReplyStatus});
    if (!r.ok()) {
        finish(port, CleanUp::Full, false);
        return kFailed;
    }
    int code = proto::decodeStatus(r.view()).intervalCode;
    finish(port, CleanUp::BufferOnly, true);
    return code;
}

int W_GetClock(int port, char* time_text) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildGetClock(g_target.load()), kReplyWait, false, {proto::kReplyClock});
    if (r.ok()) {
        char text[proto::kTimeTextLength + 1];
        proto::decodeClock(r.view(), text);
        copyText(time_text, text);
    }
    finish(port, CleanUp::Full, false);
    return r.ok() ? kOk : kFailed;
}

int W_SetClock(int port, const unsigned char bcd[6]) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port) || bcd == nullptr) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildSetClock(g_target.load(), bcd), kReplyWait, false, {proto::kReplyWriteAck});
    finish(port, CleanUp::Full, false);
    return r.ok() ? kOk : kFailed;
}

int W_GetHistroy(int port, int block, unsigned char times[][5], double values[][2], int* count) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildGetHistory(g_target.load(), block), kReplyWait, false, {0, true});
    if (r.ok()) {
        proto::HistoryRecord records[proto::kHistoryMaxRecords];
        std::size_t n = proto::decodeHistory(r.view(), records, proto::kHistoryMaxRecords);
        for (std::size_t i = 0; i < n; ++i) {
            if (times != nullptr) std::memcpy(times[i], records[i].time, sizeof records[i].time);
            if (values != nullptr) {
                values[i][0] = records[i].values[0];
                values[i][1] = records[i].values[1];
            }
        }
        if (count != nullptr) *count = static_cast<int>(n);
    }
    finish(port, CleanUp::Full, false);
    return r.ok() ? kOk : kFailed;
}

int W_GetOldestRecordTime(int port, char* time_text, int* interval_code, int* count, int* second_word) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildGetStatus(g_target.load()), kReplyWait, false, {proto::kReplyStatus});
    if (r.ok()) {
        proto::Status s = proto::decodeStatus(r.view());
        copyText(time_text, s.timeText);
        if (interval_code != nullptr) *interval_code = s.intervalCode;
        if (count != nullptr) *count = s.count;
        if (second_word != nullptr) *second_word = s.secondWord;
    }
    finish(port, CleanUp::Full, false);
    return r.ok() ? kOk : kFailed;
}

int W_SetRecordingInterval(int port, int interval_code) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    proto::AlarmSettings s;
    // Nothing is written unless the current settings could be read.
    if (!getAlarmLocked(port, s)) return kFailed;
    s.intervalCode = interval_code;
    Reply r = exchange(port, proto::buildSetAlarm(g_target.load(), s), kReplyWait, false, {proto::kReplyWriteAck});
    // Only a bad CRC forgets the target; a missing or mis-sized reply keeps it.
    finish(port, CleanUp::Full, r.failure != Failure::None && r.failure != Failure::Crc);
    return r.ok() ? kOk : kFailed;
}

int W_ClearData(int port) {
    std::lock_guard<std::mutex> lock(g_exchangeMutex);
    if (!usable(port)) {
        g_target.store(0);
        return kFailed;
    }
    Reply r = exchange(port, proto::buildClearData(g_target.load()), kClearDataWait, false, {proto::kReplyWriteAck});
    finish(port, CleanUp::Full, false);
    return r.ok() ? kOk : kFailed;
}

}  // extern "C"
