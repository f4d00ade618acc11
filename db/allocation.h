// Adding lines, groups and devices. Deleted rows are revived with their
// numbers before new numbers are handed out, so the live numbers of a kind
// stay 1 ... count and count + 1 is always free.
#pragma once

#include <string>

namespace tovanix::db {

class Connection;

inline constexpr int kMaxGroupsPerLine = 99;
inline constexpr int kMinDeviceAddress = 1;
inline constexpr int kMaxDeviceAddress = 999;
// DownLastTime of a new or revived device: "never stored anything".
inline constexpr int kInitialDownYear = 2014;

enum class AllocationResult {
    Created,      // a new row was inserted
    Revived,      // a deleted row was reused with its number
    InUse,        // the port (lines) or the address (devices) is taken by a live row
    Full,         // no number left (groups: 99 per line)
    Invalid,      // an argument outside its range
    Failed,       // a statement failed
};

struct Allocation {
    AllocationResult result = AllocationResult::Failed;
    int number = 0;  // lineid, roomid or deviceid
    bool ok() const { return result == AllocationResult::Created || result == AllocationResult::Revived; }
};

struct LineSettings {
    std::string name;
    int tcpPort = 0;
    std::string hubAddress;
    int serialPort = 0;
    int scanInterval = 0;
    int scanIntervalUpper = 0;
    int wired = 1;
};

Allocation allocateLine(Connection& c, const LineSettings& line);
Allocation allocateGroup(Connection& c, int lineid, const std::string& name);
// roomid 0 puts the device directly under its line.
Allocation allocateDevice(Connection& c, int lineid, int address, const std::string& name, int roomid);

// "2014-01-01 00:00:00", built from local time as the device row expects.
std::string initialDownLastTime();

}  // namespace tovanix::db
