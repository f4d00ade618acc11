#include "tevlib/frames.h"

#include <bit>
#include <cstring>

#include "platform/crc16.h"

namespace tovanix::tevlib::frames {

namespace {

std::vector<std::uint8_t> build(std::uint8_t start, int address, std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> f;
    f.push_back(start);
    f.push_back(static_cast<std::uint8_t>(2 + body.size()));
    putU16(f, static_cast<unsigned>(address));
    f.insert(f.end(), body.begin(), body.end());
    f.resize(f.size() + kCrcSize);
    platform::putCrc16(f);
    return f;
}

std::optional<Parsed> parse(std::span<const std::uint8_t> frame, std::uint8_t start, std::size_t fixed) {
    auto len = frameLength(frame, start);
    if (!len || *len == 0 || *len != frame.size()) return std::nullopt;
    if (!platform::crc16Ok(frame)) return std::nullopt;
    Parsed p;
    p.address = static_cast<int>(getU16(&frame[kHeaderSize]));
    p.command = static_cast<std::uint8_t>(frame[kHeaderSize + 2] & ~kReplyFlag);
    std::size_t payloadAt = kHeaderSize + fixed;
    if (fixed == kReplyFixed) p.status = static_cast<Status>(frame[kHeaderSize + 3]);
    p.payload.assign(frame.begin() + static_cast<long>(payloadAt), frame.end() - static_cast<long>(kCrcSize));
    return p;
}

}  // namespace

void putU16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void putF32(std::vector<std::uint8_t>& out, float v) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF));
}

unsigned getU16(const std::uint8_t* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

float getF32(const std::uint8_t* p) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

std::vector<std::uint8_t> request(int address, Command cmd, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> body{cmd};
    body.insert(body.end(), payload.begin(), payload.end());
    return build(kRequestStart, address, body);
}

std::vector<std::uint8_t> reply(int address, std::uint8_t cmd, Status status, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> body{static_cast<std::uint8_t>(cmd | kReplyFlag), status};
    body.insert(body.end(), payload.begin(), payload.end());
    return build(kReplyStart, address, body);
}

std::optional<std::size_t> frameLength(std::span<const std::uint8_t> data, std::uint8_t start) {
    if (data.empty()) return 0;
    if (data[0] != start) return std::nullopt;
    if (data.size() < kHeaderSize) return 0;
    const std::size_t fixed = start == kRequestStart ? kRequestFixed : kReplyFixed;
    const std::size_t len = data[1];
    if (len < fixed || len > fixed + kMaxPayload) return std::nullopt;
    return kHeaderSize + len + kCrcSize;
}

std::optional<Parsed> parseRequest(std::span<const std::uint8_t> frame) { return parse(frame, kRequestStart, kRequestFixed); }

std::optional<Parsed> parseReply(std::span<const std::uint8_t> frame) { return parse(frame, kReplyStart, kReplyFixed); }

}  // namespace tovanix::tevlib::frames
