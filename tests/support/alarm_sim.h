// Test client of tovanix-alarm-sim, the simulated alarm device (alarm box:
// siren and mains monitor; GSM modem) on a pseudo-terminal.
//
//   tovanix::test::AlarmSim sim;
//   ASSERT_TRUE(sim.start()) << sim.error();   // spawns it, waits for "ready"
//   ASSERT_TRUE(sim.linkAs(5));                 // $TOVANIX_COMDIR/COM5 -> its pty
//   ... the station opens port 5 and works ...
//   EXPECT_EQ(sim.siren(), true);
//   auto list = sim.messages();                 // every short message received, decoded
//   EXPECT_EQ(list[0].recipient, "+8613912345678");
//   EXPECT_EQ(list[0].textUtf8(), "报警");
//   sim.stop();                                 // also done by the destructor
//
// The simulator keeps its own end of the line open, so the station may open
// and close the port per job. The modem echoes commands (ATE1), answers
// AT+CMGS with "\r\n> ", echoes the PDU line, and sends "+CMGS: n" and OK
// (or "+CMS ERROR: 304" for a PDU it cannot decode) after the network delay.
// Replies are paced at 9600 baud unless Options::paced is false.
//
// Every call returns false / an empty value when the simulator is not
// running or did not answer; error() says why. One AlarmSim is used from one
// thread at a time (it holds one control connection); the station under
// test may run in other threads meanwhile.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tovanix::test {

// One short message as the modem decoded it from the PDU the station sent.
struct AlarmSimMessage {
    bool decoded = false;       // the PDU decoded and matched the AT+CMGS length
    std::string error;          // otherwise why not ("length-mismatch", "bad-address-digits", ...)
    long cmgsLength = 0;        // the <length> of AT+CMGS=<length>
    std::string recipient;      // TP-DA: "+8613912345678" (international) or plain digits
    int addressDigits = 0;      // TP-DA length field
    int addressType = 0;        // TP-DA type of address (0x91)
    int firstOctet = 0;         // 0x11
    int dataCoding = 0;         // TP-DCS (0x08: UCS2)
    int userDataLength = 0;     // TP-UDL
    long tpduOctets = 0;        // octets after the service-centre part
    std::u16string text;        // the decoded text
    std::string pdu;            // the hex typed after the prompt, SUB and line end removed

    std::string textUtf8() const;
};

enum class AlarmSimFault {
    None,
    Silence,      // no reply to anything (box frames, AT commands, PDU)
    NoPrompt,     // AT+CMGS answered "ERROR" instead of the prompt
    PartialEcho,  // only the first `at` bytes of the PDU line are echoed (default 16)
    BadCrc,       // box replies carry their CRC high byte first
    Pause,        // a pause of `pauseMs` (default 300) after `at` bytes (default 4) of a reply
};

class AlarmSim {
public:
    struct Options {
        // Default: $TOVANIX_ALARM_SIM, else tovanix-alarm-sim in ../bin beside
        // the running test program's folder (build/tests -> build/bin).
        std::string executable;
        bool power = true;         // mains present at start
        bool commandEcho = true;   // ATE1
        bool paced = true;         // 9600-baud timing of replies
        int networkDelayMs = 1000; // echo -> "+CMGS" result
        bool quiet = false;        // no event log on stderr
        int readyTimeoutMs = 5000;
        std::vector<std::string> extraArgs;
    };

    AlarmSim() = default;
    ~AlarmSim();
    AlarmSim(const AlarmSim&) = delete;
    AlarmSim& operator=(const AlarmSim&) = delete;

    bool start();
    bool start(const Options& options);
    // SIGTERM, waits for the exit (SIGKILL after 5 s), removes the links made.
    void stop();
    bool running() const { return pid_ > 0; }
    // Exit code of the last stopped simulator; -1 when it was killed by a signal.
    int exitStatus() const { return exitStatus_; }
    pid_t pid() const { return pid_; }
    const std::string& ptyPath() const { return pty_; }
    const std::string& controlPath() const { return control_; }
    const std::string& error() const { return error_; }

    // Makes folder/COM<n> a link to the pseudo-terminal (folder: the station's
    // COM folder, $TOVANIX_COMDIR or /dev/tovanix, created when missing).
    // Replaces an existing entry; removed again by stop().
    bool linkAs(int comNumber, const std::string& folder = {});

    // One control request; the reply lines, the last starting with "ok" or
    // "error". Empty when there was no answer within timeoutMs.
    std::vector<std::string> command(const std::string& line, int timeoutMs = 5000);
    // True when the reply's last line starts with "ok".
    bool commandOk(const std::string& line, int timeoutMs = 5000);

    bool setPower(bool present);
    std::optional<bool> power();
    std::optional<bool> siren();
    // times: replies (requests, for Silence) it affects, 0 = until cleared;
    // at / pauseMs: 0 keeps the simulator's defaults.
    bool setFault(AlarmSimFault fault, int times = 0, int at = 0, int pauseMs = 0);
    bool clearFault() { return setFault(AlarmSimFault::None); }
    bool setCommandEcho(bool on);
    bool setNetworkDelay(int ms);

    std::vector<AlarmSimMessage> messages();
    // Forgets the messages and counters (siren and power stay).
    bool clearMessages();
    // "siren", "power", "messages", "frames", "bad_frames", "siren_on",
    // "siren_off", "power_queries", "commands", "ignored", "results", "fault", "echo".
    std::map<std::string, std::string> status();

    // Wait inside the simulator (no polling): true once the condition holds,
    // false when timeoutMs passed first.
    bool waitForMessages(std::size_t count, int timeoutMs);
    bool waitForSiren(bool on, int timeoutMs);
    bool waitForPowerQueries(long count, int timeoutMs);
    bool waitForFrames(long count, int timeoutMs);
    // Modem result lines ("+CMGS: n" / "+CMS ERROR") written so far, counted
    // since start (clearMessages keeps the count).
    bool waitForResults(long count, int timeoutMs);

private:
    bool connectControl();
    bool readLine(std::string& line, int timeoutMs);
    bool waitCommand(const std::string& line, int timeoutMs);

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    int stdout_ = -1;   // the simulator's stdout: readiness, then EOF at exit
    int control_fd_ = -1;
    std::string pty_;
    std::string control_;
    std::string dir_;   // temporary folder of the control socket
    std::string buffer_;
    std::vector<std::string> links_;
    std::string error_;
};

// The folder of build outputs as seen from the running test program
// (<its folder>/../bin), where libAlarm.so and the simulators are.
std::string buildBinDirectory();

}  // namespace tovanix::test
