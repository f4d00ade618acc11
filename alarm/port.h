// The library's one port: open and configure, one-byte blocking writes,
// one-byte reads of at most kReadTimeoutMs, reply collection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "alarm/protocol.h"
#include "platform/serial.h"

namespace tovanix::alarm {

// Not thread-safe by itself: the exported operations hold the port lock
// (api.cpp) around every use.
class Port {
public:
    // 1 = open and configured; a port still open is closed first.
    int open(int n);
    // 1 when an open port was closed, 0 when none was open.
    int close();
    bool isOpen() const { return serial_.isOpen(); }

    bool sendByte(std::uint8_t b);
    // Stops at the first byte that cannot be sent.
    bool sendBytes(const std::uint8_t* data, std::size_t len);
    bool sendText(std::string_view text);

    // Feeds read results to the collector until it has finished.
    void collect(ReplyCollector& reply);

private:
    // One byte within kReadTimeoutMs; false when none came.
    bool readByte(std::uint8_t& b);
    int fail(const char* message, const char* caption);

    platform::SerialPort serial_;
};

}  // namespace tovanix::alarm
