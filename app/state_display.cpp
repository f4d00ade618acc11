#include "app/state_display.h"

#include "devices/messages.h"
#include "platform/format.h"

namespace tovanix::app {

std::optional<std::string> stateText(int code, const std::string& dots) {
    switch (code) {
        case devices::kStateIdle:
            return std::string("当前状态:空闲");
        case devices::kStateReadingAll:
            return platform::format("当前状态:检测设备中%s ", dots.c_str());
        case devices::kStateReadingPower:
            return platform::format("当前状态:获取设备电量%s ", dots.c_str());
        case devices::kStateReadingSettings:
            return platform::format("当前状态:获取设备设置参数%s", dots.c_str());
        case devices::kStateProbing:
            return platform::format("当前状态:读取新设备测量值%s ", dots.c_str());
        case devices::kStateReadingHistory:
            return platform::format("当前状态:获取历史记录中%s ", dots.c_str());
        default:
            return std::nullopt;
    }
}

std::string withGapNotice(const std::string& state, const std::string& notice) {
    return notice.empty() ? state : state + "  " + notice;
}

std::optional<std::string> StateDisplay::tick(int code) {
    if (code != devices::kStateIdle) {
        if (dots_.size() >= static_cast<std::size_t>(kMaxDots))
            dots_.clear();
        else
            dots_ += '.';
    }
    return stateText(code, dots_);
}

}  // namespace tovanix::app
