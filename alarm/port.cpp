#include "alarm/port.h"

#include <chrono>
#include <cstdio>
#include <termios.h>

namespace tovanix::alarm {

namespace {

// The read time-out in the units of VTIME (tenths of a second).
constexpr cc_t kReadTimeoutDeciseconds = static_cast<cc_t>(kReadTimeoutMs / 100);

// A shared library opens no window: the port's error boxes go to stderr.
void messageBox(const char* text, const char* caption) { std::fprintf(stderr, "%s: %s\n", caption, text); }

}  // namespace

int Port::fail(const char* message, const char* caption) {
    if (message != nullptr) messageBox(message, caption);
    serial_.close();
    return 0;
}

int Port::open(int n) {
    // The caller closes between jobs; a handle left open is not leaked.
    serial_.close();
    if (!serial_.open(n)) return 0;
    // Binary 8N1, no flow control, DTR and RTS low.
    if (!serial_.configureRaw8N1(kBaudRate)) return fail("SetCommState Error", "Error");
    // The driver's read time-out record; readByte keeps the same limit itself.
    termios timeouts {};
    if (::tcgetattr(serial_.fd(), &timeouts) != 0) return fail(nullptr, nullptr);
    timeouts.c_cc[VMIN] = 0;
    timeouts.c_cc[VTIME] = kReadTimeoutDeciseconds;
    if (::tcsetattr(serial_.fd(), TCSANOW, &timeouts) != 0) {
        return fail("StCommTimeouts function failed", "Com Port Error");
    }

    // A freshly opened device has an empty input queue; a pseudo-terminal
    // whose other end stays open would still hold the modem's late result
    // lines of the previous job, which would spoil the next reply.
    serial_.flushInput();
    return 1;
}

int Port::close() {
    if (!serial_.isOpen()) return 0;
    serial_.close();
    return 1;
}

bool Port::sendByte(std::uint8_t b) {
    if (!serial_.isOpen()) return false;
    // Writes never time out, as on the device's own line.
    return serial_.write(&b, 1, -1) == 1;
}

bool Port::sendBytes(const std::uint8_t* data, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i)
        if (!sendByte(data[i])) return false;
    return true;
}

bool Port::sendText(std::string_view text) {
    return sendBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool Port::readByte(std::uint8_t& b) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) return false;
        // -1 is an error or a hang-up: no byte, like a failed read.
        if (serial_.waitReadable(static_cast<int>(left)) != 1) return false;
        const long n = serial_.read(&b, 1);
        if (n == 1) return true;
        if (n < 0) return false;
    }
}

void Port::collect(ReplyCollector& reply) {
    while (!reply.finished()) {
        std::uint8_t b = 0;
        if (readByte(b))
            reply.byteArrived(b);
        else
            reply.readTimedOut();
    }
}

}  // namespace tovanix::alarm
