// A pseudo-terminal pair for serial tests: the station opens the slave (via a
// COM link), the test plays the device on the master.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tovanix::test {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    bool ok() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slave_; }
    void writeMaster(const std::uint8_t* data, std::size_t len);
    // Reads until `count` bytes arrived or the time-out passed.
    std::vector<std::uint8_t> readMaster(std::size_t count, int timeoutMs);

private:
    int master_ = -1;
    int keepSlave_ = -1;  // holds the slave open so the master never sees a hang-up
    std::string slave_;
};

}  // namespace tovanix::test
