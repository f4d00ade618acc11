// What the add-line dialog (CAddLine) does on "确定", without its window.
#pragma once

#include <string>
#include <vector>

namespace tovanix {
class Prompter;
}
namespace tovanix::drivers {
class WiredApi;
class TevlibApi;
}  // namespace tovanix::drivers
namespace tovanix::devices {
class StationTable;
}

namespace tovanix::config {

inline constexpr const char* kAddLineTitle = "添加新线路";
inline constexpr const char* kNoSerialPort = "无串口";
inline constexpr const char* kDefaultLineName = "线路";
inline constexpr int kDefaultTcpPort = 50000;
inline constexpr const char* kDefaultHubAddress = "192.168.1.100";
inline constexpr int kDefaultScanSeconds = 3;
inline constexpr int kDefaultScanUpperSeconds = 60;

inline constexpr const char* kPortMissingFormat = "COM串口%d不存在";
inline constexpr const char* kPortTakenFormat = "串口;%d 已经被其他线路占用";
inline constexpr const char* kLineAddFailed = "线路添加失败";
// Not in the dialog's own table: the station holds 20 lines, and a line being
// deleted still owns its port and its number until its port is closed.
inline constexpr const char* kLinesFull = "线路数量已达上限（20条），无法再添加线路";
inline constexpr const char* kClosingInProgress = "请稍候，正在关闭串口";

// The port names of the combo box: the enumerated ports, or "无串口".
std::vector<std::string> serialPortChoices();
// "COM<n>" gives n; anything else (also "无串口") gives port 0.
int parsePortText(const std::string& text);

// The bound driver entries the port test uses.
struct PortDrivers {
    const drivers::WiredApi& wired;
    const drivers::TevlibApi& tevlib;
};

struct AddLineInput {
    std::string name;
    std::string portText;  // the selected combo text
    bool wired = true;
    bool deletionClosing = false;  // a deleted line's port is still being closed
};

struct AddLineOutcome {
    bool close = false;
    int lineid = 0;  // the new line's id when closed
};

AddLineOutcome submitAddLine(Prompter& prompter, devices::StationTable& table, const PortDrivers& drivers,
                             const AddLineInput& in);

}  // namespace tovanix::config
