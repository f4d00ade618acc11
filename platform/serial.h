// Serial ports by number, on POSIX termios.
//
// Port n is the device "$TOVANIX_COMDIR/COM<n>" (default directory
// /dev/tovanix); when that entry is missing and n >= 1 it falls back to
// /dev/ttyS<n-1>. Tests point TOVANIX_COMDIR at a folder of links to
// pseudo-terminals.
//
// This file is compiled into the two serial libraries as well as the core,
// so it depends on nothing else of the project.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tovanix::platform {

inline constexpr const char* kComDirEnv = "TOVANIX_COMDIR";
inline constexpr const char* kDefaultComDir = "/dev/tovanix";

// The folder that holds the COM<n> links.
std::string comDirectory();

// Device path that port number n maps to (whether or not it exists).
std::string serialPortPath(int n);

struct SerialPortInfo {
    int number;        // the n of "COM<n>"
    std::string name;  // "COM<n>"
    std::string path;  // device it resolves to
};

// The COM<n> links of the COM folder, then /dev/ttyS*, ttyUSB*, ttyACM* that
// have a real driver behind them; sorted by number, each number once.
std::vector<SerialPortInfo> enumerateSerialPorts();

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;

    // Opens port n for exclusive reading and writing (no controlling tty,
    // non-blocking descriptor). Returns false and sets lastError() on failure.
    bool open(int n);
    // Opens a device by path, same flags as open(n).
    bool openPath(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& lastError() const { return error_; }

    // Raw mode, 8 data bits, no parity, one stop bit, no flow control,
    // DTR/RTS not driven, receiver on, modem lines ignored.
    bool configureRaw8N1(int baud);

    // Writes all bytes (waiting for the descriptor to drain as needed, at most
    // timeoutMs in all; a negative time-out waits without limit). Returns the
    // number of bytes written, -1 on error.
    long write(const std::uint8_t* data, std::size_t len, int timeoutMs = -1);
    // Reads what is there, at most len bytes, without blocking. Returns the
    // count (0 when nothing is waiting), -1 on error.
    long read(std::uint8_t* data, std::size_t len);
    // Waits until at least one byte can be read or the time-out passes.
    // Returns 1 readable, 0 time-out, -1 error or hang-up.
    int waitReadable(int timeoutMs);
    // Bytes in the driver's input queue (FIONREAD); -1 on error.
    int bytesWaiting() const;
    // Discards both queues.
    void flush();
    // Discards what has been received and not yet read.
    void flushInput();
    // Waits until everything written has left (tcdrain).
    void drain();

private:
    int fd_ = -1;
    std::string error_;
};

}  // namespace tovanix::platform
