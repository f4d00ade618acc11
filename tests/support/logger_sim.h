// Test client for tovanix-logger-sim: spawns the simulator process, waits for
// its readiness line, links its pseudo-terminal as COM<n>, and drives it
// through its control socket (sim/logger/README.md lists the commands).
//
//   tovanix::test::LoggerSim sim({.addresses = {1, 2}});
//   ASSERT_TRUE(sim.start()) << sim.error();
//   sim.linkCom(3);                      // $TOVANIX_COMDIR/COM3 -> the pty
//   sim.setReading(1, 253, 551, 253, 551);
//   sim.setFault(2, LoggerSim::Fault::Silent);
//   ... the station talks to COM3 ...
//   auto frames = sim.sent(1);           // what logger 1 was sent
//
// Values are tenths, as on the wire. Times are local "YYYY-MM-DD HH:MM[:SS]".
// One LoggerSim plays one line; start several for several lines. The
// destructor stops the process and removes the links it made. Methods are
// not thread-safe: use one LoggerSim from one thread at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovanix::test {

struct LoggerSimOptions {
    std::vector<int> addresses{1};        // loggers present at start
    bool paced = true;                    // 9600-baud timing of replies
    bool receiver = false;                // play the wireless receiver (libTevlib) instead
    std::vector<std::string> extraArgs;   // e.g. {"--drift", "--cross", "1:1"}
    std::string executable;               // default: $TOVANIX_LOGGER_SIM, else bin/ beside tests/
    int readyTimeoutMs = 5000;
};

class LoggerSim {
public:
    enum class Fault {
        None,
        Silent,     // no reply at all
        BadCrc,     // CRC low byte flipped
        Short,      // reply one byte short
        Long,       // reply one byte long
        Split,      // reply in two parts, arg ms apart (default 60)
        Trickle,    // every byte arg ms after the last (default 10)
        Late,       // reply arg ms late (default 2500: after the 2 s wait)
        SlowFirst,  // first byte, arg ms (default 500), then the rest
        Oversize,   // reply padded to arg bytes (default 250), valid CRC
        HistBytes,  // history reply with byte count arg (default 185), valid CRC
    };
    static constexpr int kDefaultArg = -1;
    static constexpr int kForever = -1;

    struct Alarm {
        int mask = 0;
        int limits[4] = {0, 0, 0, 0};  // ch1 upper, ch1 lower, ch2 upper, ch2 lower
        int soundDuration = 0;
        int intervalCode = 0;
    };
    struct WirelessState {
        int running = 0;
        float power1 = 0, power2 = 0;
        int powerKind = 0;
    };

    LoggerSim() = default;
    explicit LoggerSim(LoggerSimOptions options);
    ~LoggerSim();
    LoggerSim(const LoggerSim&) = delete;
    LoggerSim& operator=(const LoggerSim&) = delete;

    // Spawns the process and waits for its readiness line and control socket.
    bool start();
    // Asks the process to quit (SIGTERM, then SIGKILL if it lingers), reaps
    // it and removes the links made by linkCom. Returns its exit status
    // (0 for a clean exit), -1 when it was not running or was killed.
    int stop();
    // Waits up to timeoutMs for the process to end by itself (after QUIT or a
    // signal) and reaps it: its exit status, or -1 when it is still running.
    int waitExit(int timeoutMs);
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& ptyPath() const { return pty_; }
    const std::string& error() const { return error_; }

    // Makes dir/COM<n> a link to the pty; dir defaults to $TOVANIX_COMDIR
    // (created when missing; /dev/tovanix when unset). Returns the link path,
    // "" on failure.
    std::string linkCom(int n, const std::string& dir = {});

    // One control command; returns the reply line ("OK ..." / "ERR ...") or
    // "" when the process is gone.
    std::string command(const std::string& line);
    bool ok(const std::string& line);

    // Settings shared by both modes.
    bool setPacing(bool on);
    bool addLogger(int address);
    bool removeLogger(int address);
    std::vector<int> addresses();
    // The fault hits `times` replies (kForever: until cleared), after `skip`
    // replies have gone through untouched. kDefaultArg takes the kind's default.
    bool setFault(int address, Fault fault, int arg = kDefaultArg, int times = kForever, int skip = 0);
    bool clearFault(int address) { return setFault(address, Fault::None); }
    // Frames with a good CRC sent to a logger (wired: to address & 0xFF).
    std::vector<std::vector<std::uint8_t>> sent(int address);
    // Every byte received on the line since the last clearLog.
    std::vector<std::uint8_t> raw();
    bool clearLog();

    // Wired loggers.
    bool setReading(int address, int r1, int r2, int r3, int r4);
    bool setAlarm(int address, const Alarm& alarm);
    std::optional<Alarm> alarm(int address);
    // The 27-byte block as the station last wrote it; nullopt if never written.
    std::optional<std::vector<std::uint8_t>> writtenBlock(int address);
    bool setClock(int address, const std::string& when);
    std::string clock(int address);  // "" on failure
    bool setSecondWord(int address, int value);
    bool setOldestWhenEmpty(int address, const std::string& when);
    bool clearHistory(int address);
    bool addHistory(int address, const std::string& when, int v1, int v2);
    // n records from `first`, stepMinutes apart; record i holds 100 + i and 500 - i.
    bool fillHistory(int address, int n, const std::string& first, int stepMinutes);
    int historyCount(int address);  // -1 on failure
    bool setRecording(int address, bool on);

    // Wireless loggers behind the receiver.
    bool setRunning(int address, bool running);
    bool setPower(int address, float v1, float v2, int kind);
    bool setBeep(int address, int enable, int monitorInterval, int duration);
    bool setConfig(int address, int recordInterval, int recordUnit, int samplingInterval, int lcdOffDelay);
    std::optional<WirelessState> wirelessState(int address);

private:
    std::string executable() const;
    bool connectControl();

    LoggerSimOptions options_;
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int control_ = -1;
    std::string dir_;      // private folder of the control socket
    std::string socket_;
    std::string pty_;
    std::string error_;
    std::string pendingIn_;
    std::vector<std::string> links_;
};

std::string toHex(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> fromHex(const std::string& text);

}  // namespace tovanix::test
