// Exported operations of libTevlib: each is one request to the receiver and
// its reply, with one repeat when the radio lost or garbled it.
#include "tevlib/tevlib.h"


#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/serial.h"
#include "tevlib/frames.h"

namespace {

namespace fr = tovanix::tevlib::frames;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr int kReplyTimeoutMs = 1000;  // radio round trip, receiver time-out included
constexpr int kWriteTimeoutMs = 200;
constexpr int kAttempts = 2;
constexpr int kNotReady = 0;
constexpr int kOk = 1;
constexpr std::size_t kReadChunk = 64;

enum class Outcome { Ok, NoReply, Refused };

// g_link guards the port and the target address: one exchange at a time.
std::mutex g_link;
tovanix::platform::SerialPort g_port;
int g_target = 0;

// Reads until a whole reply frame for (address, command) arrived or the
// time-out passed. Frames for other requests (a late answer) are skipped.
std::optional<fr::Parsed> readReply(int address, std::uint8_t command) {
    std::vector<std::uint8_t> buf;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        // Drop bytes that cannot start a reply, then try to take one frame.
        for (;;) {
            while (!buf.empty() && buf[0] != fr::kReplyStart) buf.erase(buf.begin());
            auto len = fr::frameLength(buf, fr::kReplyStart);
            if (!len) {
                buf.erase(buf.begin());
                continue;
            }
            if (*len == 0 || buf.size() < *len) break;
            std::vector<std::uint8_t> frame(buf.begin(), buf.begin() + static_cast<long>(*len));
            auto parsed = fr::parseReply(frame);
            if (!parsed) {
                buf.erase(buf.begin());  // bad CRC: resynchronise on the next start byte
                continue;
            }
            buf.erase(buf.begin(), buf.begin() + static_cast<long>(*len));
            if (parsed->address == address && parsed->command == command) return parsed;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        if (g_port.waitReadable(static_cast<int>(left)) != 1) return std::nullopt;
        std::uint8_t chunk[kReadChunk];
        long n = g_port.read(chunk, sizeof chunk);
        if (n < 0) return std::nullopt;
        buf.insert(buf.end(), chunk, chunk + n);
    }
}

// Needs g_link. Repeats once when no valid reply came (not when the logger
// refused), unless the command must not run twice.
Outcome exchange(fr::Command cmd, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& reply,
                 bool repeatable = true) {
    if (!g_port.isOpen()) return Outcome::NoReply;
    const std::vector<std::uint8_t> request = fr::request(g_target, cmd, payload);
    const int attempts = repeatable ? kAttempts : 1;
    for (int i = 0; i < attempts; ++i) {
        g_port.flushInput();  // nothing left over answers this request
        if (g_port.write(request.data(), request.size(), kWriteTimeoutMs) != static_cast<long>(request.size()))
            return Outcome::NoReply;
        auto parsed = readReply(g_target, cmd);
        if (!parsed) continue;
        if (parsed->status != fr::kStatusOk) return Outcome::Refused;
        reply = std::move(parsed->payload);
        return Outcome::Ok;
    }
    return Outcome::NoReply;
}

}  // namespace

extern "C" {

int T_Open(int port) {
    std::lock_guard<std::mutex> lock(g_link);
    g_port.close();
    if (!g_port.open(port)) return kNotReady;
    if (!g_port.configureRaw8N1(kBaud)) {
        g_port.close();
        return kNotReady;
    }
    g_port.flush();
    return kOk;
}

void T_Close(void) {
    std::lock_guard<std::mutex> lock(g_link);
    g_port.close();
}

void T_SetTargetDevice(int address) {
    std::lock_guard<std::mutex> lock(g_link);
    g_target = address;
}

int T_GetState(unsigned char* running, float* power1, float* power2, unsigned char* power_kind) {
    if (running == nullptr || power1 == nullptr || power2 == nullptr || power_kind == nullptr) return kNotReady;
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> r;
    if (exchange(fr::kCmdGetState, {}, r) != Outcome::Ok || r.size() != fr::kStatePayload) return kNotReady;
    *running = r[0];
    *power1 = fr::getF32(&r[1]);
    *power2 = fr::getF32(&r[5]);
    *power_kind = r[9];
    return kOk;
}

int T_Start(void) {
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> r;
    return exchange(fr::kCmdStart, {}, r) == Outcome::Ok ? kOk : kNotReady;
}

int T_Stop(void) {
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> r;
    return exchange(fr::kCmdStop, {}, r) == Outcome::Ok ? kOk : kNotReady;
}

int T_GetBeep(unsigned char* enable, unsigned char* monitor_interval, unsigned char* duration) {
    if (enable == nullptr || monitor_interval == nullptr || duration == nullptr) return kNotReady;
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> r;
    if (exchange(fr::kCmdGetBeep, {}, r) != Outcome::Ok || r.size() != fr::kBeepPayload) return kNotReady;
    *enable = r[0];
    *monitor_interval = r[1];
    *duration = r[2];
    return kOk;
}

int T_GetConfig(int* record_interval, int* record_unit, int* sampling_interval, int* lcd_off_delay) {
    if (record_interval == nullptr || record_unit == nullptr || sampling_interval == nullptr || lcd_off_delay == nullptr)
        return kNotReady;
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> r;
    if (exchange(fr::kCmdGetConfig, {}, r) != Outcome::Ok || r.size() != fr::kConfigPayload) return kNotReady;
    *record_interval = static_cast<int>(fr::getU16(&r[0]));
    *record_unit = r[2];
    *sampling_interval = static_cast<int>(fr::getU16(&r[3]));
    *lcd_off_delay = static_cast<int>(fr::getU16(&r[5]));
    return kOk;
}

int T_SetDeviceID(int new_address) {
    if (new_address < fr::kMinAddress || new_address > fr::kMaxAddress) return kNotReady;
    std::lock_guard<std::mutex> lock(g_link);
    std::vector<std::uint8_t> payload;
    fr::putU16(payload, static_cast<unsigned>(new_address));
    std::vector<std::uint8_t> r;
    // Not repeated: a lost confirmation would send the repeat to an address
    // the logger has already left.
    if (exchange(fr::kCmdSetId, payload, r, false) != Outcome::Ok) return kNotReady;
    g_target = new_address;
    return kOk;
}

int T_DownloadNow(char*, float*) { return kNotReady; }
int T_SetTimeouts(int, int) { return kNotReady; }
int T_GetTimeouts(int*, int*) { return kNotReady; }
int T_SetClock(const unsigned char*) { return kNotReady; }
int T_Clear(void) { return kNotReady; }
int T_SetAlarmConfig(const int*, int) { return kNotReady; }
int T_GetAlarmConfig(int*, int*) { return kNotReady; }
int T_SetAlarmChl(int, int) { return kNotReady; }
int T_SetBeep(unsigned char, unsigned char, unsigned char) { return kNotReady; }
int T_SetAlarmEnable(int) { return kNotReady; }
int T_GetClock(char*) { return kNotReady; }
int T_SetConfig(int, int, int, int) { return kNotReady; }
int T_DownloadAll(unsigned char (*)[6], float (*)[2], int, int*) { return kNotReady; }
int T_DownloadAllEx(int, unsigned char (*)[6], float (*)[2], int, int*) { return kNotReady; }

}  // extern "C"
