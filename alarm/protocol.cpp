#include "alarm/protocol.h"

#include <cstring>

namespace tovanix::alarm {

bool frameReplyValid(const std::uint8_t* reply, std::size_t stored, bool overflowed) {
    if (overflowed || reply == nullptr) return false;
    return platform::crc16Ok({reply, stored});
}

bool powerPresent(const std::uint8_t* reply, std::size_t stored, bool overflowed) {
    return frameReplyValid(reply, stored, overflowed) && stored > kPowerStateByte && reply[kPowerStateByte] != 0;
}

ReplyCollector::ReplyCollector(std::uint8_t* buffer, std::size_t size, Mode mode, int firstByteAttempts)
    : buffer_(buffer),
      room_(mode == Mode::Text ? (size > 0 ? size - 1 : 0) : size),
      firstByteAttempts_(firstByteAttempts) {
    if (buffer_ != nullptr && size > 0) std::memset(buffer_, 0, size);
    if (buffer_ == nullptr) room_ = 0;
}

void ReplyCollector::byteArrived(std::uint8_t b) {
    if (state_ == State::Done) return;
    state_ = State::Receiving;
    ++received_;
    if (stored_ < room_) buffer_[stored_++] = b;
}

void ReplyCollector::readTimedOut() {
    if (state_ == State::Receiving) {
        state_ = State::Done;
        return;
    }
    if (state_ == State::AwaitingFirst && ++emptyReads_ >= firstByteAttempts_) state_ = State::Done;
}

std::string_view ReplyCollector::text() const {
    if (buffer_ == nullptr) return {};
    const char* p = reinterpret_cast<const char*>(buffer_);
    return std::string_view(p, ::strnlen(p, stored_));
}

bool textContains(std::string_view text, std::string_view pattern, std::size_t from) {
    if (from >= text.size()) return false;
    return text.find(pattern, from) != std::string_view::npos;
}

}  // namespace tovanix::alarm
