#include "alarm/port.h"

#include <chrono>
#include <cstdio>
#include <sys/ioctl.h>

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
    lastResult_ = 0;
    return 0;
}

int Port::open(int n) {
    // The caller closes between jobs; a handle left open is not leaked.
    serial_.close();
    if (!serial_.open(n)) {
        lastResult_ = 0;
        return 0;
    }
    const int fd = serial_.fd();

    if (::tcgetattr(fd, &lineSettings_) != 0) return fail("GetCommState Error", "Error");
    // Binary, 8N1 at 9600, no parity check, no flow control of any kind, no
    // NUL or bit stripping, no translation; everything else as the driver had it.
    lineSettings_.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                                    IXON | IXOFF | IXANY | INPCK);
    lineSettings_.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    lineSettings_.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    lineSettings_.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    lineSettings_.c_cflag |= CS8 | CREAD | CLOCAL;
    ::cfsetispeed(&lineSettings_, B9600);
    ::cfsetospeed(&lineSettings_, B9600);
    static_assert(kBaudRate == 9600, "the speed constant above follows kBaudRate");
    if (::tcsetattr(fd, TCSANOW, &lineSettings_) != 0) return fail("SetCommState Error", "Error");
    // DTR and RTS not driven; pseudo-terminals have no modem lines, so a
    // failure here is expected and harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);

    if (::tcgetattr(fd, &timeouts_) != 0) return fail(nullptr, nullptr);
    timeouts_.c_cc[VMIN] = 0;
    timeouts_.c_cc[VTIME] = kReadTimeoutDeciseconds;
    if (::tcsetattr(fd, TCSANOW, &timeouts_) != 0) return fail("StCommTimeouts function failed", "Com Port Error");

    // A freshly opened device has an empty input queue; a pseudo-terminal
    // whose other end stays open would still hold the modem's late result
    // lines of the previous job, which would spoil the next reply.
    ::tcflush(fd, TCIFLUSH);
    lastResult_ = 1;
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
    const long n = serial_.write(&b, 1, -1);
    bytesWritten_ = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return n == 1;
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
