// What the edit-line dialog (CEditLine) does on opening, on "更改线路" and
// on its port toggle, without its window.
#pragma once

#include <string>

#include "db/allocation.h"
#include "platform/result_follower.h"

namespace tovanix {
class Prompter;
}
namespace tovanix::devices {
class Engine;
}

namespace tovanix::config {

struct PortDrivers;

inline constexpr const char* kEditLineTitle = "编辑线路";
inline constexpr const char* kChangeLineButton = "更改线路";
inline constexpr const char* kClosePortButton = "关闭线路串口";
inline constexpr const char* kOpenPortButton = "打开线路串口";
inline constexpr const char* kExitButton = "退出";
inline constexpr const char* kLineMissing = "线路不存在";
inline constexpr const char* kCloseFirst = "请先关闭线路串口";
inline constexpr const char* kPortUnusableFormat = "COM串口%d不存在或被占用";
inline constexpr const char* kLineChangeFailed = "线路信息修改失败";
inline constexpr const char* kLineChanged = "线路串口修改成功！";

struct EditLineState {
    bool found = false;      // the line's row was read
    int lineid = 0;
    db::LineSettings settings;
    std::string portText;    // "COM<n>" of the stored port
    bool portOpen = false;   // the toggle's caption follows it
};

// Opening: the line of the selected node, its row and its entry.
EditLineState openEditLine(Prompter& prompter, devices::Engine& engine, unsigned lineNodeData);

struct ChangeLineInput {
    int lineid = 0;
    db::LineSettings stored;  // as read on opening
    std::string portText;     // the selected combo text
    bool wired = true;
};

// "更改线路". The dialog stays open whatever the outcome; true when stored.
bool submitChangeLine(Prompter& prompter, devices::Engine& engine, const PortDrivers& drivers,
                      const ChangeLineInput& in);

// The toggle: the request to follow (a close of the port when it is open, an
// open when it is closed) and the caption the button shows after the click.
struct PortToggle {
    platform::ResultFollower::Request request;
    std::string caption;
};
PortToggle portToggle(devices::Engine& engine, int lineid);

}  // namespace tovanix::config
