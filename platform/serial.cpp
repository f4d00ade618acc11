#include "platform/serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tovanix::platform {

namespace {

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

speed_t baudConstant(int baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// "COM12" -> 12, anything else -> -1.
int comNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return -1;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000) return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

}  // namespace

std::string comDirectory() {
    const char* env = std::getenv(kComDirEnv);
    if (env != nullptr && *env != '\0') return env;
    return kDefaultComDir;
}

std::string serialPortPath(int n) {
    std::string link = comDirectory() + "/COM" + std::to_string(n);
    if (n >= 1 && !exists(link)) return "/dev/ttyS" + std::to_string(n - 1);
    return link;
}

std::vector<SerialPortInfo> enumerateSerialPorts() {
    std::map<int, SerialPortInfo> found;
    const std::string dir = comDirectory();
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            int n = comNumber(e->d_name);
            std::string path = dir + "/" + e->d_name;
            if (n >= 0 && exists(path)) found.emplace(n, SerialPortInfo{n, e->d_name, path});
        }
        ::closedir(d);
    }
    // Real ports: numbered after the COM links, in the order the kernel names them.
    std::vector<std::string> real;
    if (DIR* d = ::opendir("/sys/class/tty")) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name.rfind("ttyS", 0) != 0 && name.rfind("ttyUSB", 0) != 0 && name.rfind("ttyACM", 0) != 0)
                continue;
            if (!exists("/sys/class/tty/" + name + "/device")) continue;
            // 8250 ports without hardware report type 0 (unknown).
            if (name.rfind("ttyS", 0) == 0) {
                std::string typePath = "/sys/class/tty/" + name + "/type";
                if (FILE* f = std::fopen(typePath.c_str(), "r")) {
                    int type = 0;
                    bool ok = std::fscanf(f, "%d", &type) == 1;
                    std::fclose(f);
                    if (ok && type == 0) continue;
                }
            }
            real.push_back("/dev/" + name);
        }
        ::closedir(d);
    }
    std::sort(real.begin(), real.end());
    for (const auto& path : real) {
        // A ttyS<k> already reachable as COM<k+1> keeps that number.
        int number = -1;
        if (path.rfind("/dev/ttyS", 0) == 0) {
            int k = std::atoi(path.c_str() + 9);
            if (found.count(k + 1) == 0) number = k + 1;
            else if (found[k + 1].path == path) continue;
        }
        if (number < 0) {
            bool dup = false;
            for (const auto& [n, info] : found) dup = dup || info.path == path;
            if (dup) continue;
            number = found.empty() ? 1 : found.rbegin()->first + 1;
        }
        found.emplace(number, SerialPortInfo{number, "COM" + std::to_string(number), path});
    }
    std::vector<SerialPortInfo> out;
    out.reserve(found.size());
    for (auto& [n, info] : found) out.push_back(std::move(info));
    return out;
}

SerialPort::~SerialPort() { close(); }

SerialPort::SerialPort(SerialPort&& other) noexcept : fd_(other.fd_), error_(std::move(other.error_)) {
    other.fd_ = -1;
}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

bool SerialPort::open(int n) {
    if (n < 0) {
        error_ = "invalid port number " + std::to_string(n);
        return false;
    }
    return openPath(serialPortPath(n));
}

bool SerialPort::openPath(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = errnoText(path.c_str());
        return false;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        error_ = path + ": not a terminal device";
        return false;
    }
    // Not shared. TIOCEXCL does not stop a privileged opener, the lock does.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ = path + ": in use by another program";
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    fd_ = fd;
    error_.clear();
    return true;
}

void SerialPort::close() {
    if (fd_ >= 0) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
}

bool SerialPort::configureRaw8N1(int baud) {
    if (fd_ < 0) return false;
    speed_t speed = baudConstant(baud);
    if (speed == B0) {
        error_ = "unsupported baud rate " + std::to_string(baud);
        return false;
    }
    termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        error_ = errnoText("tcgetattr");
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        error_ = errnoText("tcsetattr");
        return false;
    }
    // DTR and RTS low; pseudo-terminals have no modem lines, so a failure here is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &lines);
    return true;
}

long SerialPort::write(const std::uint8_t* data, std::size_t len, int timeoutMs) {
    if (fd_ < 0) return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::size_t done = 0;
    while (done < len) {
        ssize_t n = ::write(fd_, data + done, len - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = errnoText("write");
            return done > 0 ? static_cast<long>(done) : -1;
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            wait = static_cast<int>(left);
        }
        pollfd p {fd_, POLLOUT, 0};
        int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR) {
            error_ = errnoText("poll");
            break;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)) != 0) break;
    }
    return static_cast<long>(done);
}

long SerialPort::read(std::uint8_t* data, std::size_t len) {
    if (fd_ < 0) return -1;
    if (len == 0) return 0;
    for (;;) {
        ssize_t n = ::read(fd_, data, len);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        error_ = errnoText("read");
        return -1;
    }
}

int SerialPort::waitReadable(int timeoutMs) {
    if (fd_ < 0) return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left < 0 ? 0 : static_cast<int>(left);
        }
        pollfd p {fd_, POLLIN, 0};
        int r = ::poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            error_ = errnoText("poll");
            return -1;
        }
        if (r == 0) return 0;
        if ((p.revents & POLLIN) != 0) return 1;
        // POLLHUP without data: the other end of a pseudo-terminal is gone.
        return -1;
    }
}

int SerialPort::bytesWaiting() const {
    if (fd_ < 0) return -1;
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
    return n;
}

void SerialPort::flush() {
    if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
}

void SerialPort::flushInput() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::drain() {
    if (fd_ >= 0) ::tcdrain(fd_);
}

}  // namespace tovanix::platform
